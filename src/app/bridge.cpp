#include "app/bridge.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "app/live_page.h"
#include "app/main_loop.h"
#include "app/options.h"
#include "app/settings.h"
#include "app/settings_watcher.h"
#include "app/usage.h"
#include "controller/diagnose.h"
#include "controller/setup.h"
#include "ffb/effect_set.h"
#include "observe/background_writer.h"
#include "observe/monitor.h"
#include "observe/trace.h"
#include "observe/version.h"
#include "platform/loop_priority.h"
#include "platform/resources.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "report/raw_input.h"
#include "telemetry/receiver.h"
#include "telemetry/test_signal.h"

namespace torvane {
namespace {

// Room for several seconds of a trace at the loop's fastest pace, should the disk stall.
constexpr std::size_t kTraceQueueBytes = 1024 * 1024;

// The opt-in observers of the loop. They outlive the loop's passes and shutdown's stop of the
// effects, which they see too; on destruction the trace hands over what is left, its writer
// writes it and closes the file (giving up after a short grace if the disk is stuck), and the
// monitor ends its line.
struct Observers {
    std::optional<observe::BackgroundWriter> traceWriter;
    std::optional<observe::Trace> trace;
    std::optional<observe::Monitor> monitor;
};

// A trace file that cannot be opened costs the trace, not the bridge.
void startObservers(Observers& observers, const BridgeOptions& options,
                    const BridgeEnvironment& environment, std::ostream& loopErr,
                    std::int64_t loopStartTime, MainLoop& loop) {
    if (!options.tracePath.empty()) {
        const std::string name = toUtf8(options.tracePath);
        // The file belongs to the writer's thread, which may outlive the bridge if it is stuck.
        auto file = std::make_shared<observe::TraceFile>(options.tracePath);
        if (file->isOpen()) {
            observers.traceWriter.emplace(
                kTraceQueueBytes, [file](std::string_view bytes) { return file->write(bytes); });
            observers.trace.emplace(*observers.traceWriter, name, loopStartTime, loopErr);
            loop.addObserver(*observers.trace);
        } else {
            environment.err << "Could not open trace file " << name << ".\n";
        }
    }
    if (options.monitor) {
        // Only the virtual wheel can tell what its rim does.
        observe::RimProbe* const rim = options.virtualWheel ? environment.rimProbe : nullptr;
        observers.monitor.emplace(loopErr, platform::errorStreamIsTerminal(), options.test, rim,
                                  loopStartTime);
        loop.addObserver(*observers.monitor);
    }
}

// What "--page" needs beyond the options: the file its Save writes, what the command line gave
// (locked on the page), and the controller's name.
struct PageRequest {
    platform::WideString settingsPath;
    const CommandLine& commandLine;
    std::string controller;
};

// The bridge proper, once the controller is set up: sockets, effects, the loop, shutdown.
// Declaration order is release order reversed: the receiver's socket, the report socket and
// Windows Sockets go first, then the effects, and the observers' output last.
int runNetworkBridge(const BridgeOptions& options, IDirectInputDevice8W& device,
                     const BridgeEnvironment& environment, SettingsWatcher* watcher,
                     const PageRequest* pageRequest) {
    std::ostream& loopErr = environment.loopErr != nullptr ? *environment.loopErr : environment.err;
    std::optional<LivePage> page;  // outlives the observers: the monitor reads its clipping
    Observers observers;
    std::optional<EffectSet> effects;
    platform::WinsockSession network;
    RawInputReporter reporter;
    TelemetryReceiver receiver;
    switch (receiver.open(network)) {
        case ReceiverOpenResult::NetworkUnavailable:
            return kExitNoNetwork;
        case ReceiverOpenResult::BindFailed:
            environment.err << "Could not bind telemetry UDP port 8766.\n";
            return kExitCannotBind;
        case ReceiverOpenResult::Opened:
            break;
    }
    reporter.open();

    effects.emplace(&device, loopErr);
    std::ostringstream effectsLine;
    effects->create(effectsLine);
    environment.out << effectsLine.str();
    effects->sendOnlyChanges(options.lowLatency);

    TestSignal testSignal(options.testMode);
    TelemetrySource& telemetry =
        options.test ? static_cast<TelemetrySource&>(testSignal) : receiver;
    MainLoop loop(options.live, options.lowLatency, device, *effects, telemetry, reporter,
                  environment.running);
    const std::int64_t lastReportTime = environment.clock.now();
    const std::int64_t loopStartTime = environment.clock.now();
    loop.begin(lastReportTime, loopStartTime);
    environment.out << "Bridge active. Gain=" << options.live.gain
                    << " (hard maximum 0.35). Ctrl+C to stop.\n";
    environment.out.flush();
    observe::RimProbe* const rim = options.virtualWheel ? environment.rimProbe : nullptr;
    if (pageRequest != nullptr) {
        page.emplace(options, pageRequest->commandLine, pageRequest->settingsPath, rim,
                     loopStartTime);
        std::string line = effectsLine.str();
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (page->start({pageRequest->controller, line, "", options.test}, environment.out,
                        environment.err)) {
            loop.addObserver(page->publisher());
            loop.watchPage(*page);
        } else {
            page.reset();
        }
    }
    startObservers(observers, options, environment, loopErr, loopStartTime, loop);
    if (page && observers.monitor) observers.monitor->showClipping(page->publisher().clipping());
    if (watcher != nullptr) {
        // The reload lines are written from the loop's pass: through the stream that never blocks.
        loop.watchSettings(*watcher, loopErr);
        watcher->start();
    }
    // The loop runs on this thread: with "--low-latency" it asks for a class that runs it as soon
    // as a datagram arrives, and gives it back when the loop ends. Asked last, so that the
    // threads that write the trace and the console (started before) keep the ordinary class.
    std::optional<platform::LoopPriority> priority;
    if (options.lowLatency) {
        priority.emplace();
        environment.out << priority->line();
        environment.out.flush();
    }
    loop.run(environment.clock);
    priority.reset();

    loop.stopEffects(environment.clock);
    device.Unacquire();
    receiver.close();
    reporter.close();
    network.cleanup();
    return kExitOk;
}

// "--wait": with no usable controller, lists them again every second until one matches or the
// running flag is cleared (then null). The list and the selection are printed as usual once one
// matches; the tries before print nothing.
const ControllerInfo* waitForController(IDirectInput8W& directInput, const BridgeOptions& options,
                                        std::vector<ControllerInfo>& controllers,
                                        const BridgeEnvironment& environment,
                                        bool announceFallback) {
    std::ostringstream quiet;
    if (selectController(controllers, options.deviceIndex, options.nameFilter, quiet, quiet) !=
        nullptr)
        return selectController(controllers, options.deviceIndex, options.nameFilter,
                                environment.out, environment.err, announceFallback);
    environment.err << "Waiting for a force-feedback wheel... (Ctrl+C to stop)\n";
    environment.err.flush();
    constexpr std::int64_t kListIntervalNs = 1'000'000'000;
    std::int64_t nextList = environment.clock.now() + kListIntervalNs;
    while (environment.running.load()) {
        // Short sleeps, so that Ctrl+C ends the wait at once.
        environment.clock.sleep(std::chrono::milliseconds(100));
        if (environment.clock.now() < nextList) continue;
        nextList = environment.clock.now() + kListIntervalNs;
        controllers = enumerateControllers(directInput);
        quiet.str({});  // a wait may last hours: keep nothing of the tries
        if (selectController(controllers, options.deviceIndex, options.nameFilter, quiet, quiet) ==
            nullptr)
            continue;
        printControllerList(controllers, environment.out);
        return selectController(controllers, options.deviceIndex, options.nameFilter,
                                environment.out, environment.err, announceFallback);
    }
    return nullptr;
}

}  // namespace

bool shouldPauseBeforeClosing(unsigned consoleProcesses, bool inputIsConsole, int exitCode) {
    return consoleProcesses == 1 && inputIsConsole && exitCode >= kExitNoDirectInput &&
           exitCode <= kExitCannotBind;
}

int runBridge(int argc, const WCHAR* const* argv, const BridgeEnvironment& environment) {
    std::ostream& out = environment.out;
    std::ostream& err = environment.err;
    // Parsing needs nothing that COM sets up, so it may come first: a request for help or the
    // version is then answered on any machine, with no wheel, DirectInput or network at all.
    const CommandLine commandLine = readCommandLine(argc, argv);
    std::vector<std::string> problems;
    BridgeOptions options = applyCommandLine(commandLine, BridgeOptions{}, &problems);
    if (options.help || options.version) {
        for (const std::string& problem : problems) err << problem << '\n';
        if (options.help) {
            printUsage(out);  // the usage names the version too
        } else {
            printVersion(out);
        }
        return kExitOk;
    }
    // The settings file under the command line: what the command line gives wins. Without a file
    // nothing is printed, so such a run is as it always was.
    const platform::WideString settingsPath =
        chooseSettingsFile(options.configPath, environment.settingsCandidates);
    BridgeOptions fromFile;
    if (!settingsPath.empty()) {
        fromFile = readSettings(settingsPath, err);
        problems.clear();
        options = applyCommandLine(commandLine, fromFile, &problems);
    }
    for (const std::string& problem : problems) err << problem << '\n';
    if (!options.writeConfigPath.empty())
        return writeSettings(options, out, err) ? kExitOk : kExitSettingsNotWritten;
    // A diagnose log is what users paste into bug reports: it starts with the version.
    if (options.diagnose) out << "torvane-bridge " << versionText() << " diagnose\n";
    const platform::ComApartment com;

    platform::ComPtr<IDirectInput8W> directInput;
    if (options.virtualWheel) {
        // The same DirectInput interfaces, served in-process by the virtual wheel.
        if (environment.virtualWheel != nullptr)
            *directInput.put() =
                wheel::createDirectInput(*environment.virtualWheel, environment.journal);
        if (!directInput) {
            err << "DirectInput8Create failed.\n";
            return kExitNoDirectInput;
        }
    } else if (!createDirectInput(environment.createDirectInput, directInput)) {
        err << "DirectInput8Create failed.\n";
        return kExitNoDirectInput;
    }
    std::vector<ControllerInfo> controllers = enumerateControllers(*directInput);
    printControllerList(controllers, out);
    // Whoever asks for the virtual wheel gets it: that the default name filter does not match it
    // is no news, while a filter someone chose deserves the line.
    const bool filterChosen =
        commandLine.gave("--device") || fromFile.nameFilter != BridgeOptions{}.nameFilter;
    const bool announceFallback = !options.virtualWheel || filterChosen;
    const ControllerInfo* chosen = nullptr;
    if (options.wait) {
        chosen =
            waitForController(*directInput, options, controllers, environment, announceFallback);
        if (chosen == nullptr) return kExitOk;  // Ctrl+C while waiting
    } else {
        chosen = selectController(controllers, options.deviceIndex, options.nameFilter, out, err,
                                  announceFallback);
        if (chosen == nullptr) {
            if (options.deviceIndex < 0 && !options.virtualWheel &&
                environment.noControllerHint != nullptr) {
                const std::string hint = environment.noControllerHint();
                if (!hint.empty()) err << hint << '\n';
            }
            return kExitNoController;
        }
    }

    platform::ComPtr<IDirectInputDevice8W> device;
    if (!openController(*directInput, *chosen, device)) {
        err << "Could not open the selected controller.\n";
        return kExitCannotOpen;
    }
    const OwnerWindow window = createOwnerWindow();
    if (!window) {
        err << "Could not create the DirectInput owner window.\n";
        return kExitCannotAcquire;
    }
    if (!setCooperativeLevel(*device, window.get())) {
        err << "Could not set exclusive background access. Close other FFB applications and "
               "retry.\n";
        return kExitCannotAcquire;
    }
    setAxisRanges(*device);
    // DirectInput accepts the autocentering switch only while the device is not acquired.
    disableAutocenter(*device, err);
    if (FAILED(device->Acquire())) {
        err << "Could not acquire the controller. Close Fanatec Control Panel or other FFB "
               "applications and retry.\n";
        return kExitCannotAcquire;
    }
    const std::vector<EffectInfo> effectList = enumerateEffects(*device);

    if (options.diagnose) {
        runDiagnose(*device, effectList, environment.running, environment.clock, out);
        device->Unacquire();
        return kExitOk;
    }
    // With the page, Save may write a file where none was: it is watched from the start.
    platform::WideString watchedPath = settingsPath;
    if (watchedPath.empty() && options.page && !environment.settingsCandidates.empty())
        watchedPath = environment.settingsCandidates.back();
    std::optional<SettingsWatcher> watcher;
    if (!watchedPath.empty()) watcher.emplace(watchedPath, fromFile, commandLine);
    const PageRequest pageRequest{watchedPath, commandLine, toUtf8(chosen->productName)};
    return runNetworkBridge(options, *device, environment, watcher ? &*watcher : nullptr,
                            options.page ? &pageRequest : nullptr);
}

}  // namespace torvane
