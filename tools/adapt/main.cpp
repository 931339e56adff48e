// torvane-adapt: plays a game's own telemetry (Forza "Data Out", the F1 games' UDP telemetry,
// Assetto Corsa's remote telemetry) to the bridge as its JSON messages, one per game packet.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include "app/console_control.h"
#include "platform/pass_timer.h"
#include "tools/adapt/game_reader.h"
#include "tools/adapt/skip_notice.h"
#include "tools/common/arguments.h"
#include "tools/common/lap_model.h"
#include "tools/listen/listener.h"
#include "tools/send/sender.h"

namespace {

using namespace torvane::tools;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "Usage: torvane-adapt FORMAT [--port N] [--forward PORT] [--strength X] [--mz-scale NM]\n"
    "       torvane-adapt --list\n"
    "Reads a game's telemetry and sends the bridge one JSON message per game packet on UDP\n"
    "127.0.0.1:8766. FORMAT is forza, f1 or assetto (--list shows them); docs/adapters.md\n"
    "says what to set in each game.\n"
    "  --port N        the port the game sends to (Assetto Corsa: the port it listens on);\n"
    "                  forza 5400, f1 20777, assetto 9996 by default\n"
    "  --forward PORT  pass every packet on unchanged to 127.0.0.1:PORT, for a dashboard\n"
    "  --strength X    strength of the modelled steering force for forza and f1, above 0 up\n"
    "                  to 2 (default 1)\n"
    "  --mz-scale NM   assetto: the front tyres' aligning torque (Nm) that is full force;\n"
    "                  by default the largest seen so far, at least 30\n"
    "  --list          list the formats\n"
    "  --help          show this text\n";

constexpr auto kWait = std::chrono::milliseconds(50);
constexpr int kMostPacketsPerWait = 256;       // then the console and the handshake get a turn
constexpr double kShortestMessageGap = 0.001;  // s: never more than 1000 messages a second
constexpr double kAssettoSilence = 2.0;        // s without car info before asking again
constexpr double kAssettoRetry = 1.0;          // s between two handshakes
constexpr double kQuiet = 1.0;  // s without a frame after which the game counts as stopped

// Assetto Corsa's operations, sent as three little-endian ints: identifier, version, operation.
enum class AssettoOperation : std::uint8_t { Handshake = 0, SubscribeUpdate = 1, Dismiss = 3 };

std::string assettoRequest(AssettoOperation operation) {
    std::string bytes(12, '\0');
    bytes[0] = 1;  // identifier and version: not used by the game, 1 as its documentation shows
    bytes[4] = 1;
    bytes[8] = static_cast<char>(operation);
    return bytes;
}

struct AdaptOptions {
    GameFormatInfo game = kGameFormats[0];
    unsigned short port = 0;
    unsigned short forward = 0;  ///< 0: none
    AdaptSettings settings;
};

/// A port number 1..65535, or nothing after saying so.
std::optional<unsigned short> readPort(const WCHAR* option, const WCHAR* value) {
    const std::optional<double> number = readNumberOption("torvane-adapt", option, value);
    if (!number) return std::nullopt;
    if (*number > 65535.0 || std::floor(*number) != *number) {
        std::cerr << "torvane-adapt: " << torvane::toUtf8(option)
                  << " needs a port number from 1 to 65535\n";
        return std::nullopt;
    }
    return static_cast<unsigned short>(*number);
}

std::optional<AdaptOptions> parseOptions(int argc, WCHAR* argv[], int& exitCode) {
    AdaptOptions options;
    bool haveFormat = false;
    exitCode = 2;
    for (int i = 1; i < argc; ++i) {
        const WCHAR* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (isHelp(argument) || isArgument(argument, TORVANE_WIDE("--list"))) {
            if (isHelp(argument)) {
                std::cout << kUsage;
            } else {
                for (const GameFormatInfo& info : kGameFormats)
                    std::cout << info.name << std::string(9 - info.name.size(), ' ')
                              << info.description << "; port " << info.defaultPort << "\n";
            }
            exitCode = 0;
            return std::nullopt;
        } else if ((isArgument(argument, TORVANE_WIDE("--port")) ||
                    isArgument(argument, TORVANE_WIDE("--forward"))) &&
                   hasValue) {
            const std::optional<unsigned short> port = readPort(argument, argv[++i]);
            if (!port) return std::nullopt;
            (isArgument(argument, TORVANE_WIDE("--port")) ? options.port : options.forward) = *port;
        } else if ((isArgument(argument, TORVANE_WIDE("--strength")) ||
                    isArgument(argument, TORVANE_WIDE("--mz-scale"))) &&
                   hasValue) {
            const bool strength = isArgument(argument, TORVANE_WIDE("--strength"));
            const std::optional<double> value =
                readNumberOption("torvane-adapt", argument, argv[++i]);
            if (!value) return std::nullopt;
            if (strength && *value > 2.0) {
                std::cerr << "torvane-adapt: --strength needs a number above 0, at most 2\n";
                return std::nullopt;
            }
            (strength ? options.settings.strength : options.settings.mzScale) = *value;
        } else if (argument[0] != '-' && !haveFormat) {
            const std::optional<GameFormatInfo> game =
                findGameFormat(torvane::toUtf8(platform::WideString(argument)));
            if (!game) {
                std::cerr << "torvane-adapt: unknown format \"" << torvane::toUtf8(argument)
                          << "\"; torvane-adapt --list shows the formats\n";
                return std::nullopt;
            }
            options.game = *game;
            haveFormat = true;
        } else {
            std::cerr << "torvane-adapt: unexpected argument \"" << torvane::toUtf8(argument)
                      << "\"\n"
                      << kUsage;
            return std::nullopt;
        }
    }
    if (!haveFormat) {
        std::cerr << "torvane-adapt: name a FORMAT\n" << kUsage;
        return std::nullopt;
    }
    if (options.port == 0) options.port = options.game.defaultPort;
    if (options.forward == options.port || options.forward == kTelemetryDestinationPort) {
        std::cerr << "torvane-adapt: --forward needs a port other than the game's and the "
                     "bridge's\n";
        return std::nullopt;
    }
    return options;
}

int run(const AdaptOptions& options) {
    const bool assetto = options.game.format == GameFormat::Assetto;
    DatagramListener game;
    // Assetto Corsa is asked from a port of the system's choosing and answers to it; the other
    // games send to the port the user set in them.
    if (game.open(assetto ? 0 : options.port) != ListenerOpenResult::Opened) {
        std::cerr << "torvane-adapt: could not bind UDP 127.0.0.1:" << options.port
                  << "; is another program listening there? (run that one on another port and "
                     "pass the packets on to it with --forward)\n";
        return 1;
    }
    DatagramSender bridge;
    DatagramSender forward;
    if (!bridge.open() || (options.forward != 0 && !forward.open(options.forward))) {
        std::cerr << "torvane-adapt: could not create a UDP socket\n";
        return 1;
    }
    std::cout << "torvane-adapt: " << (assetto ? "asking " : "reading ") << options.game.name
              << (assetto ? " on 127.0.0.1:" : " packets on 127.0.0.1:") << options.port
              << ", sending to the bridge on 127.0.0.1:" << kTelemetryDestinationPort;
    if (options.forward != 0) std::cout << ", passing them on to 127.0.0.1:" << options.forward;
    std::cout << std::endl;

    GameReader reader(options.game.format, options.settings);
    SkipNotice skipped;
    platform::PassTimer timer;
    const Clock::time_point start = Clock::now();
    const auto seconds = [start] {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double lastMessage = -1.0;
    std::optional<torvane::TelemetryFrame> pending;  // the newest frame not yet sent
    double lastFrame = -kAssettoSilence;
    double lastHandshake = -kAssettoRetry;
    long long packets = 0;
    long long messages = 0;
    bool driving = false;  // frames came within the last second
    while (torvane::runningFlag().load()) {
        double now = seconds();
        if (assetto && now - lastFrame >= kAssettoSilence && now - lastHandshake >= kAssettoRetry) {
            game.sendTo(options.port, assettoRequest(AssettoOperation::Handshake));
            lastHandshake = now;
        }
        // With a frame waiting for the gap between messages, wake when the gap has passed.
        const double gapLeft = pending ? kShortestMessageGap - (now - lastMessage) : 0.0;
        timer.waitReadable(game.handle(),
                           pending ? std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::duration<double>(gapLeft))
                                   : kWait);
        for (int n = 0; n < kMostPacketsPerWait; ++n) {
            const std::optional<std::string_view> packet = game.receive();
            if (!packet) break;
            ++packets;
            if (options.forward != 0) forward.send(*packet);
            const PacketReading reading = reader.read(*packet);
            now = seconds();
            if (reading.verdict == PacketVerdict::Skipped) skipped.count(packet->size());
            if (reading.verdict == PacketVerdict::Subscribe) {
                // A new session may be another car: its torque scale starts afresh.
                reader.resetScale();
                game.sendTo(options.port, assettoRequest(AssettoOperation::SubscribeUpdate));
                lastFrame = now;
                std::cout << "torvane-adapt: Assetto Corsa answered (" << reading.session
                          << "); subscribed to its updates" << std::endl;
            }
            if (reading.verdict != PacketVerdict::Frame) continue;
            lastFrame = now;
            pending = reading.frame;
        }
        // The newest frame of the packets just read goes out: one message per game packet at
        // most, and never two within a millisecond, so neither the game nor anyone else on the
        // port can make the adapter flood the bridge; packets that came together send only the
        // newest, which is the one the bridge would play.
        now = seconds();
        if (pending && now - lastMessage >= kShortestMessageGap) {
            if (bridge.send(formatTelemetryLine(now, *pending))) ++messages;
            lastMessage = now;
            pending.reset();
        }
        // Say when the game starts and stops sending, so that a player can tell whether the
        // game's settings work without watching the wheel.
        if (driving != (messages > 0 && seconds() - lastFrame < kQuiet)) {
            driving = !driving;
            std::cout << (driving ? "torvane-adapt: the game is sending; playing it to the bridge"
                                  : "torvane-adapt: the game stopped sending (menus, pause or "
                                    "closed); the bridge lets the wheel go")
                      << std::endl;
        }
        if (const std::optional<std::string> line = skipped.due(seconds(), options.game.name))
            std::cerr << *line << std::endl;
    }
    if (assetto) game.sendTo(options.port, assettoRequest(AssettoOperation::Dismiss));
    std::cerr << "torvane-adapt: " << packets << " packets read, " << messages << " messages sent, "
              << skipped.total() << " skipped" << std::endl;
    return 0;
}

}  // namespace

extern "C" int wmain(int argc, WCHAR* argv[]) {
    SetConsoleCtrlHandler(torvane::consoleControlHandler, TRUE);
    int exitCode = 0;
    const std::optional<AdaptOptions> options = parseOptions(argc, argv, exitCode);
    if (!options) return exitCode;
    const int code = run(*options);
    torvane::announceShutdownFinished();
    return code;
}
