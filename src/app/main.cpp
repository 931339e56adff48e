// The program's entry point: the wide-character console entry, as on Windows.
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

// Hands bytes to a standard stream's own buffer; false when they did not all go out.
observe::BackgroundWriter::Sink sinkInto(std::streambuf* buffer) {
    return [buffer](std::string_view bytes) {
        const auto size = static_cast<std::streamsize>(bytes.size());
        return buffer->sputn(bytes.data(), size) == size && buffer->pubsync() == 0;
    };
}

// The text of standard output and the error stream, from the program's first line to its last,
// goes out on a writer thread, in the order written: a console that takes nothing (a full pipe,
// Ctrl+S) or is gone (a closed pipe) never holds up start-up, the loop or Ctrl+C. Whatever writes
// to std::cout or std::cerr (the main thread alone) is queued; the streams get their own buffers
// back at the end.
class QueuedConsole {
  public:
    QueuedConsole()
        : outBuffer_(std::cout.rdbuf()),
          errBuffer_(std::cerr.rdbuf()),
          writer_(kConsoleQueueBytes, sinkInto(outBuffer_), sinkInto(errBuffer_)),
          out_(writer_, 0),
          err_(writer_, 1) {
        std::cout.rdbuf(out_.rdbuf());
        std::cerr.rdbuf(err_.rdbuf());
    }
    ~QueuedConsole() { restore(); }
    QueuedConsole(const QueuedConsole&) = delete;
    QueuedConsole& operator=(const QueuedConsole&) = delete;

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }

    /// Writes what is queued, for at most grace; false when the console was still stuck then.
    /// The streams write to the system directly from here on.
    bool finish(std::chrono::milliseconds grace) {
        out_.flush();
        err_.flush();
        restore();
        return writer_.finish(grace);
    }
    std::uint64_t droppedBytes() const { return writer_.droppedBytes(); }

  private:
    void restore() {
        std::cout.rdbuf(outBuffer_);
        std::cerr.rdbuf(errBuffer_);
    }
    std::streambuf* const outBuffer_;
    std::streambuf* const errBuffer_;
    observe::BackgroundWriter writer_;
    observe::QueuedStream out_;
    observe::QueuedStream err_;
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
    QueuedConsole console;
    torvane::SteadyLoopClock clock;
    // Cheap to make and idle until "--virtual-wheel" asks for it; it runs on the loop's clock.
    virtual_wheel::VirtualWheel virtualWheel([&clock] { return clock.now(); });
    VirtualRim rim(virtualWheel);
    torvane::BridgeEnvironment environment{DirectInput8Create, clock, torvane::runningFlag(),
                                           console.out(), console.err()};
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
    const bool written = console.finish(observe::BackgroundWriter::kExitGrace);
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
    if (const std::uint64_t dropped = console.droppedBytes(); dropped > 0)
        std::cerr << "The console did not keep up: " << dropped << " bytes of output were lost.\n";
    return code;
}
