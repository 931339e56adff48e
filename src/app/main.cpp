// The program's entry point: the wide-character console entry, as on Windows.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <limits>

#include "app/bridge.h"
#include "app/console_control.h"
#include "app/settings.h"
#include "observe/background_writer.h"
#include "observe/rim_probe.h"
#include "platform/environment.h"
#include "platform/streams.h"
#include "platform/window_thread.h"
#include "virtual_wheel/virtual_wheel.h"

namespace {

// Far more than the loop writes between two of the writer's turns; a console that takes nothing
// for several seconds makes the monitor drop lines, never the loop wait.
constexpr std::size_t kConsoleQueueBytes = 64 * 1024;

// One standard stream's text, from the program's first line to its last, goes out on a writer
// thread of its own: a console that takes nothing (a full pipe, Ctrl+S) or is gone (a closed
// pipe) never holds up start-up, the loop or Ctrl+C. Whatever writes to std::cout or std::cerr
// (the main thread alone) is queued; the stream gets its own buffer back at the end.
class QueuedConsole {
  public:
    explicit QueuedConsole(std::ostream& stream)
        : stream_(stream),
          system_(stream.rdbuf()),
          writer_(kConsoleQueueBytes,
                  [buffer = system_](std::string_view bytes) {
                      const auto size = static_cast<std::streamsize>(bytes.size());
                      return buffer->sputn(bytes.data(), size) == size && buffer->pubsync() == 0;
                  }),
          queued_(writer_) {
        stream_.rdbuf(queued_.rdbuf());
    }
    ~QueuedConsole() { stream_.rdbuf(system_); }
    QueuedConsole(const QueuedConsole&) = delete;
    QueuedConsole& operator=(const QueuedConsole&) = delete;

    std::ostream& stream() { return queued_; }

    /// Writes what is queued until deadline; false when the console was still stuck then. The
    /// stream writes to the system directly from here on.
    bool finish(std::chrono::steady_clock::time_point deadline) {
        queued_.flush();
        stream_.rdbuf(system_);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return writer_.finish(std::max(left, std::chrono::milliseconds(0)));
    }
    std::uint64_t droppedBytes() const { return writer_.droppedBytes(); }

  private:
    std::ostream& stream_;
    std::streambuf* const system_;
    observe::BackgroundWriter writer_;
    observe::QueuedStream queued_;
};

// The monitor's view of the virtual wheel's rim.
class VirtualRim final : public observe::RimProbe {
  public:
    explicit VirtualRim(virtual_wheel::VirtualWheel& wheel) : wheel_(wheel) {}
    bool read(double& torqueNewtonMetres, double& angleDegrees) override {
        const virtual_wheel::RimReadout readout = wheel_.readout();
        torqueNewtonMetres = readout.torqueNewtonMetres;
        angleDegrees = readout.angleDegrees;
        return true;
    }

  private:
    virtual_wheel::VirtualWheel& wheel_;
};

}  // namespace

extern "C" int wmain(int argc, WCHAR* argv[]) {
    SetConsoleCtrlHandler(torvane::consoleControlHandler, TRUE);
    platform::setSessionEndHandler(torvane::endSession);
    torvane::enforceStopDeadline();
    platform::Utf8ConsoleOutput utf8Console;
    QueuedConsole out(std::cout);
    QueuedConsole err(std::cerr);
    torvane::SteadyLoopClock clock;
    // Cheap to make and idle until "--virtual-wheel" asks for it; it runs on the loop's clock.
    virtual_wheel::VirtualWheel virtualWheel([&clock] { return clock.now(); });
    VirtualRim rim(virtualWheel);
    torvane::BridgeEnvironment environment{DirectInput8Create, clock, torvane::runningFlag(),
                                           out.stream(), err.stream()};
    environment.virtualWheel = &virtualWheel;
    environment.rimProbe = &rim;
    environment.noControllerHint = platform::noControllerHint;
    environment.settingsCandidates =
        torvane::settingsCandidates(platform::executableFolder(), platform::kWindows,
                                    platform::environmentVariable(TORVANE_WIDE("APPDATA")),
                                    platform::environmentVariable(TORVANE_WIDE("XDG_CONFIG_HOME")),
                                    platform::environmentVariable(TORVANE_WIDE("HOME")));
    const int code = torvane::runBridge(argc, argv, environment);
    // The wheel is released by now; output that is stuck gets a short grace, no more.
    const auto deadline = std::chrono::steady_clock::now() + observe::BackgroundWriter::kExitGrace;
    const bool outWritten = out.finish(deadline);
    const bool written = err.finish(deadline) && outWritten;
    torvane::announceShutdownFinished();
    // Started from Explorer, the console window closes with the program: keep a failure's message
    // on screen until it has been read.
    if (written && torvane::shouldPauseBeforeClosing(platform::consoleProcessCount(),
                                                     platform::standardInputIsConsole(), code)) {
        std::cerr << "Press Enter to close this window.\n";
        std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    if (!written || observe::BackgroundWriter::abandoned()) {
        utf8Console.restore();
        platform::endProcessNow(code);
    }
    if (const std::uint64_t dropped = out.droppedBytes() + err.droppedBytes(); dropped > 0)
        std::cerr << "The console did not keep up: " << dropped << " bytes of output were lost.\n";
    return code;
}
