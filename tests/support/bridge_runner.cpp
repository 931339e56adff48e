#include "support/bridge_runner.h"

#include <sstream>
#include <vector>

#include "app/bridge.h"

namespace fake {

namespace {
const std::string kPassMarker = "--- sleep";
}

BridgeRun runBridgeOnFake(const std::vector<const WCHAR*>& arguments, SimulatedClock& clock,
                          std::atomic<bool>& running) {
    std::vector<const WCHAR*> argv = {TORVANE_WIDE("torvane-bridge.exe")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::ostringstream out, err;
    const torvane::BridgeEnvironment environment{fakeDirectInput8Create, clock, running, out, err};
    BridgeRun run;
    run.exitCode = torvane::runBridge(static_cast<int>(argv.size()), argv.data(), environment);
    run.out = out.str();
    run.err = err.str();
    return run;
}

FakeController& addWheel(FakeWorld& world, const platform::WideString& name) {
    FakeController& wheel = world.addController(name, true);
    wheel.behaviour.axisTypes = {0x00000102, 0x00000202};
    wheel.behaviour.effects = {
        effectInfo(GUID_ConstantForce, TORVANE_WIDE("Constant Force"), 0x601),
        effectInfo(GUID_Sine, TORVANE_WIDE("Sine"), 0x603)};
    return wheel;
}

void markPasses(FakeWorld& world, SimulatedClock& clock, std::function<void(int)> onPass) {
    clock.onSleep = [&world, onPass](SimulatedClock& c) {
        world.record(kPassMarker);
        if (onPass) onPass(c.sleeps);
    };
}

std::vector<std::string> callsOfPass(const FakeWorld& world, int pass) {
    std::vector<std::string> calls;
    int seen = 0;
    for (const std::string& call : world.calls()) {
        if (call == kPassMarker) {
            if (++seen == pass) break;
            continue;
        }
        if (seen == pass - 1) calls.push_back(call);
    }
    return calls;
}

}  // namespace fake
