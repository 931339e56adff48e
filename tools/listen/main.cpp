// torvane-listen: shows the raw-input datagrams that the bridge sends to 127.0.0.1:8767.
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "app/console_control.h"
#include "platform/terminal.h"
#include "tools/common/arguments.h"
#include "tools/listen/listener.h"

namespace {

using namespace torvane::tools;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "Usage: torvane-listen [--count N] [--seconds N]\n"
    "Receives the bridge's raw-input datagrams on UDP 127.0.0.1:8767 and prints each on a line\n"
    "of its own; on a terminal, one live line of the axes and pressed buttons instead.\n"
    "  --count N     stop after N datagrams\n"
    "  --seconds N   stop after N seconds\n"
    "  --help        show this text\n";

constexpr auto kRedrawInterval = std::chrono::milliseconds(50);

struct ListenOptions {
    double count = 0.0;    ///< 0: no limit
    double seconds = 0.0;  ///< 0: no limit
};

std::optional<ListenOptions> parseOptions(int argc, WCHAR* argv[], int& exitCode) {
    ListenOptions options;
    exitCode = 2;
    for (int i = 1; i < argc; ++i) {
        const WCHAR* argument = argv[i];
        if (isHelp(argument)) {
            std::cout << kUsage;
            exitCode = 0;
            return std::nullopt;
        }
        const bool count = isArgument(argument, TORVANE_WIDE("--count"));
        if ((count || isArgument(argument, TORVANE_WIDE("--seconds"))) && i + 1 < argc) {
            const std::optional<double> value =
                readNumberOption("torvane-listen", argument, argv[++i]);
            if (!value) return std::nullopt;
            (count ? options.count : options.seconds) = *value;
        } else {
            std::cerr << "torvane-listen: unexpected argument \"" << torvane::toUtf8(argument)
                      << "\"\n"
                      << kUsage;
            return std::nullopt;
        }
    }
    return options;
}

/// Rewrites the live line in place; a carriage return works on every console, and the padding
/// clears what a longer previous line left behind.
void redraw(const std::string& line, std::size_t& previousLength) {
    std::cout << '\r' << line;
    if (line.size() < previousLength) std::cout << std::string(previousLength - line.size(), ' ');
    std::cout << std::flush;
    previousLength = line.size();
}

}  // namespace

extern "C" int wmain(int argc, WCHAR* argv[]) {
    SetConsoleCtrlHandler(torvane::consoleControlHandler, TRUE);
    int exitCode = 0;
    const std::optional<ListenOptions> options = parseOptions(argc, argv, exitCode);
    if (!options) return exitCode;
    DatagramListener listener;
    const ListenerOpenResult opened = listener.open();
    if (opened != ListenerOpenResult::Opened) {
        std::cerr << (opened == ListenerOpenResult::NetworkUnavailable
                          ? "torvane-listen: Windows Sockets did not start\n"
                          : "torvane-listen: could not bind UDP 127.0.0.1:8767; is another "
                            "program listening there?\n");
        return 1;
    }

    const bool live = platform::standardOutputIsTerminal();
    const Clock::time_point start = Clock::now();
    Clock::time_point lastDraw = start - kRedrawInterval;
    std::size_t drawnLength = 0;
    std::string latest;
    long long received = 0;
    while (torvane::runningFlag().load()) {
        if (options->count > 0.0 && static_cast<double>(received) >= options->count) break;
        if (options->seconds > 0.0 &&
            std::chrono::duration<double>(Clock::now() - start).count() >= options->seconds)
            break;
        const std::optional<std::string_view> datagram = listener.receive();
        if (!datagram) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        ++received;
        if (!live) {
            std::cout << printableLine(*datagram) << std::endl;
            continue;
        }
        latest = formatLiveLine(*datagram) + "  (" + std::to_string(received) + " received)";
        if (Clock::now() - lastDraw >= kRedrawInterval) {
            redraw(latest, drawnLength);
            lastDraw = Clock::now();
        }
    }
    if (live) {
        if (!latest.empty()) redraw(latest, drawnLength);
        std::cout << '\n';
    }
    std::cerr << "torvane-listen: " << received << " datagrams received\n";
    torvane::announceShutdownFinished();
    return 0;
}
