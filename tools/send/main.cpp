// torvane-send: plays telemetry to the bridge, from a JSON-lines file or the built-in lap.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>

#include "app/console_control.h"
#include "tools/common/arguments.h"
#include "tools/common/lap_model.h"
#include "tools/send/sender.h"

namespace {

using namespace torvane::tools;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "Usage: torvane-send (FILE | --lap) [--rate HZ] [--loop] [--seconds N] [--write OUT]\n"
    "Sends telemetry to the bridge on UDP 127.0.0.1:8766, one JSON message per datagram.\n"
    "  FILE          JSON lines, one message per line; a line's \"t\" (seconds) says when\n"
    "                to send it, lines without one follow at the rate\n"
    "  --lap         the built-in synthetic lap (60 s at 100 Hz) instead of a file\n"
    "  --rate HZ     messages per second for lines without \"t\" (default 100)\n"
    "  --loop        start again from the first message after the last\n"
    "  --seconds N   stop after N seconds\n"
    "  --write OUT   write the messages to OUT as JSON lines instead of sending them\n"
    "  --help        show this text\n";

struct SendOptions {
    platform::WideString file;
    platform::WideString output;
    bool lap = false;
    bool loop = false;
    double rate = 100.0;
    double seconds = 0.0;  ///< 0: no limit
};

/// The options, or nothing after printing why they are unusable (or the help).
std::optional<SendOptions> parseOptions(int argc, WCHAR* argv[], int& exitCode) {
    SendOptions options;
    exitCode = 2;
    for (int i = 1; i < argc; ++i) {
        const WCHAR* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (isHelp(argument)) {
            std::cout << kUsage;
            exitCode = 0;
            return std::nullopt;
        } else if (isArgument(argument, TORVANE_WIDE("--lap"))) {
            options.lap = true;
        } else if (isArgument(argument, TORVANE_WIDE("--loop"))) {
            options.loop = true;
        } else if (isArgument(argument, TORVANE_WIDE("--write")) && hasValue) {
            options.output = argv[++i];
        } else if ((isArgument(argument, TORVANE_WIDE("--rate")) ||
                    isArgument(argument, TORVANE_WIDE("--seconds"))) &&
                   hasValue) {
            const std::optional<double> value =
                readNumberOption("torvane-send", argument, argv[++i]);
            if (!value) return std::nullopt;
            (isArgument(argument, TORVANE_WIDE("--rate")) ? options.rate : options.seconds) =
                *value;
        } else if (argument[0] != '-' && options.file.empty()) {
            options.file = argument;
        } else {
            std::cerr << "torvane-send: unexpected argument \"" << torvane::toUtf8(argument)
                      << "\"\n"
                      << kUsage;
            return std::nullopt;
        }
    }
    if (options.lap == options.file.empty()) return options;
    std::cerr << "torvane-send: give either a FILE or --lap\n" << kUsage;
    return std::nullopt;
}

std::vector<ScheduledMessage> loadMessages(const SendOptions& options) {
    if (options.lap) {
        std::vector<ScheduledMessage> messages;
        for (const LapSample& sample : generateLap())
            messages.push_back({sample.time, formatTelemetryLine(sample.time, sample.frame)});
        return messages;
    }
    std::ifstream file(std::filesystem::path(options.file), std::ios::binary);
    if (!file) return {};
    return scheduleLines(file, options.rate);
}

int writeMessages(const std::vector<ScheduledMessage>& messages, const SendOptions& options) {
    std::ofstream out(std::filesystem::path(options.output), std::ios::binary);
    for (const ScheduledMessage& message : messages) out << message.text << '\n';
    out.close();
    if (!out) {
        std::cerr << "torvane-send: could not write " << torvane::toUtf8(options.output) << "\n";
        return 1;
    }
    std::cout << "torvane-send: wrote " << messages.size() << " messages\n";
    return 0;
}

int sendMessages(const std::vector<ScheduledMessage>& messages, const SendOptions& options) {
    DatagramSender sender;
    if (!sender.open()) {
        std::cerr << "torvane-send: could not create a UDP socket\n";
        return 1;
    }
    const Clock::time_point start = Clock::now();
    const auto seconds = [start] {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    const double loopLength = messages.back().time + 1.0 / options.rate;
    double loopStart = 0.0;
    double nextProgress = 1.0;
    std::size_t next = 0;
    long long sent = 0;
    long long failed = 0;
    const auto progress = [&](double elapsed) {
        std::cout << "torvane-send: " << std::fixed << std::setprecision(1) << elapsed << " s, "
                  << sent << " sent, " << (elapsed > 0.0 ? sent / elapsed : 0.0) << " per second";
        if (failed > 0) std::cout << ", " << failed << " failed";
        std::cout << std::endl;
    };
    while (torvane::runningFlag().load()) {
        double now = seconds();
        if (options.seconds > 0.0 && now >= options.seconds) break;
        if (next == messages.size()) {
            if (!options.loop) break;
            next = 0;
            loopStart += loopLength;
        }
        if (now >= nextProgress) {
            progress(now);
            nextProgress += 1.0;
        }
        const double due = loopStart + messages[next].time;
        if (due <= now) {
            (sender.send(messages[next].text) ? sent : failed) += 1;
            ++next;
            continue;
        }
        // Sleep until the next message is due, but wake for the progress line and the stop time.
        double wake = std::min(due, nextProgress);
        if (options.seconds > 0.0) wake = std::min(wake, options.seconds);
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(wake - now, 0.05)));
    }
    progress(seconds());
    return 0;
}

}  // namespace

extern "C" int wmain(int argc, WCHAR* argv[]) {
    SetConsoleCtrlHandler(torvane::consoleControlHandler, TRUE);
    int exitCode = 0;
    const std::optional<SendOptions> options = parseOptions(argc, argv, exitCode);
    if (!options) return exitCode;
    const std::vector<ScheduledMessage> messages = loadMessages(*options);
    if (messages.empty()) {
        std::cerr << "torvane-send: could not read any message from "
                  << torvane::toUtf8(options->file) << "\n";
        return 1;
    }
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].text.size() > kLongestTelemetryMessage) {
            std::cerr << "torvane-send: line " << i + 1 << " is longer than "
                      << kLongestTelemetryMessage << " bytes; the bridge drops such messages\n";
            break;
        }
    }
    const int code = options->output.empty() ? sendMessages(messages, *options)
                                             : writeMessages(messages, *options);
    torvane::announceShutdownFinished();
    return code;
}
