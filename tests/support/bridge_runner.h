// Runs the whole lifecycle on the fake DirectInput and a simulated clock, capturing its output.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/fake_directinput.h"
#include "support/simulated_clock.h"

namespace fake {

struct BridgeRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// runBridge with the program name and then arguments, fakeDirectInput8Create, clock and running.
BridgeRun runBridgeOnFake(const std::vector<const WCHAR*>& arguments, SimulatedClock& clock,
                          std::atomic<bool>& running);

/// A force-feedback wheel with two axes and the five effects the bridge uses.
FakeController& addWheel(FakeWorld& world,
                         const platform::WideString& name = TORVANE_WIDE("FANATEC Wheel"));

/// Inserts a marker into the call log at every sleep, so the calls of each pass can be told
/// apart; then runs onPass(pass number from 1) if given.
void markPasses(FakeWorld& world, SimulatedClock& clock,
                std::function<void(int pass)> onPass = nullptr);

/// The calls logged between the (pass-1)-th and pass-th sleep markers (pass counts from 1).
std::vector<std::string> callsOfPass(const FakeWorld& world, int pass);

}  // namespace fake
