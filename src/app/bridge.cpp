#include "app/bridge.h"

#include <optional>
#include <ostream>

#include "app/main_loop.h"
#include "app/options.h"
#include "controller/diagnose.h"
#include "controller/setup.h"
#include "ffb/effect_set.h"
#include "platform/resources.h"
#include "report/raw_input.h"
#include "telemetry/receiver.h"

namespace torvane {
namespace {

// The bridge proper, once the controller is set up: sockets, effects, the loop, shutdown.
// Declaration order is release order reversed: the receiver's socket, the report socket and
// Windows Sockets go first, then the effects.
int runNetworkBridge(const BridgeOptions& options, IDirectInputDevice8W& device,
                     const BridgeEnvironment& environment) {
    std::optional<EffectSet> effects;
    platform::WinsockSession network;
    RawInputReporter reporter;
    TelemetryReceiver receiver;
    switch (receiver.open(network, reporter)) {
        case ReceiverOpenResult::NetworkUnavailable:
            return kExitNoNetwork;
        case ReceiverOpenResult::BindFailed:
            environment.err << "Could not bind telemetry UDP port 8766.\n";
            return kExitCannotBind;
        case ReceiverOpenResult::Opened:
            break;
    }

    effects.emplace(&device, environment.err);
    effects->create(environment.out);

    MainLoop loop(options, device, *effects, receiver, reporter, environment.running);
    const std::int64_t lastReportTime = environment.clock.now();
    loop.begin(lastReportTime, environment.clock.now());
    environment.out << "Bridge active. Gain=" << options.gain
                    << " (hard maximum 0.35). Ctrl+C to stop.\n";
    environment.out.flush();
    loop.run(environment.clock);

    effects->stop();
    device.Unacquire();
    receiver.close();
    reporter.close();
    network.cleanup();
    return kExitOk;
}

}  // namespace

int runBridge(int argc, const WCHAR* const* argv, const BridgeEnvironment& environment) {
    std::ostream& out = environment.out;
    std::ostream& err = environment.err;
    const platform::ComApartment com;
    const BridgeOptions options = parseBridgeOptions(argc, argv);

    platform::ComPtr<IDirectInput8W> directInput;
    if (!createDirectInput(environment.createDirectInput, directInput)) {
        err << "DirectInput8Create failed.\n";
        return kExitNoDirectInput;
    }
    const std::vector<ControllerInfo> controllers = enumerateControllers(*directInput);
    printControllerList(controllers, out);
    const ControllerInfo* chosen =
        selectController(controllers, options.deviceIndex, options.nameFilter, out, err);
    if (chosen == nullptr) return kExitNoController;

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
    return runNetworkBridge(options, *device, environment);
}

}  // namespace torvane
