// The program's entry point: the wide-character console entry, as on Windows.
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
    platform::Utf8ConsoleOutput utf8Console;
    // The lines written while the loop runs reach the error stream through this thread.
    observe::BackgroundWriter console(kConsoleQueueBytes, [](std::string_view bytes) {
        std::cerr.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush();
        return std::cerr.good();
    });
    observe::QueuedStream loopErr(console);
    torvane::SteadyLoopClock clock;
    // Cheap to make and idle until "--virtual-wheel" asks for it; it runs on the loop's clock.
    virtual_wheel::VirtualWheel virtualWheel([&clock] { return clock.now(); });
    VirtualRim rim(virtualWheel);
    torvane::BridgeEnvironment environment{DirectInput8Create, clock, torvane::runningFlag(),
                                           std::cout, std::cerr};
    environment.virtualWheel = &virtualWheel;
    environment.rimProbe = &rim;
    environment.loopErr = &loopErr;
    environment.noControllerHint = platform::noControllerHint;
    environment.settingsCandidates =
        torvane::settingsCandidates(platform::executableFolder(), platform::kWindows,
                                    platform::environmentVariable(TORVANE_WIDE("APPDATA")),
                                    platform::environmentVariable(TORVANE_WIDE("XDG_CONFIG_HOME")),
                                    platform::environmentVariable(TORVANE_WIDE("HOME")));
    const int code = torvane::runBridge(argc, argv, environment);
    std::cout.flush();
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
