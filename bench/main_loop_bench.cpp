// One whole main-loop pass without its sleep: drain the telemetry socket (nothing waiting),
// apply a fresh frame to five effects, and every fourth pass (16 ms of 4 ms passes) poll the
// wheel and send the raw-input report; and the "--low-latency" wait that replaces the sleep.
// Binds 127.0.0.1:8766, so no bridge may be running.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string_view>

#include "app/main_loop.h"
#include "noop_device.h"
#include "platform/loop_clock.h"
#include "telemetry/receiver.h"
#include "telemetry/test_signal.h"

namespace {

// What each pass finds: no datagram (so the effects are stopped); the test signal (a fresh frame
// applied every pass); or one typical datagram per pass, whose send by the "game" is timed too.
constexpr int kNoTelemetry = 0;
constexpr int kTestSignal = 1;
constexpr int kOneDatagram = 2;
constexpr std::string_view kMessage =
    R"({"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,"roadGain":0.12,"curbPulse":0.8,)"
    R"("tireSlip":0.05,"tractionSlip":0.02,"speed":27.4,"verticalAccel":1.6,"curb":true,)"
    R"("offroad":false})";

/// Sends kMessage to the telemetry port, as a driving application does.
void sendMessage(const platform::Socket& game) {
    const sockaddr_in telemetryPort = platform::loopbackAddress(torvane::kTelemetryPort);
    sendto(game.get(), kMessage.data(), static_cast<int>(kMessage.size()), 0,
           reinterpret_cast<const sockaddr*>(&telemetryPort),
           static_cast<int>(sizeof telemetryPort));
}

void BM_MainLoopPass(benchmark::State& state) {
    bench::NoOpDevice device;
    std::ostringstream out;
    torvane::EffectSet effects(&device, out);
    effects.create(out);
    platform::WinsockSession network;
    torvane::TelemetryReceiver receiver;
    if (receiver.open(network) != torvane::ReceiverOpenResult::Opened) {
        state.SkipWithError("UDP 127.0.0.1:8766 is taken");
        return;
    }
    torvane::RawInputReporter reporter;
    reporter.open();
    torvane::BridgeOptions options;
    options.test = state.range(0) == kTestSignal;
    platform::Socket game(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    std::atomic<bool> running{true};
    torvane::TestSignal testSignal(options.testMode);
    torvane::TelemetrySource& telemetry =
        options.test ? static_cast<torvane::TelemetrySource&>(testSignal) : receiver;
    torvane::MainLoop loop(options.live, false, device, effects, telemetry, reporter, running);
    std::int64_t now = 1'000'000'000;
    loop.begin(now, now);
    for (auto _ : state) {
        now += 4'000'000;
        if (state.range(0) == kOneDatagram) sendMessage(game);
        loop.runPass(now);
    }
}
BENCHMARK(BM_MainLoopPass)->Arg(kNoTelemetry)->Arg(kTestSignal)->Arg(kOneDatagram);

// The cost of the "--low-latency" wait itself, through the clock the loop uses: one that returns
// at once because a datagram is waiting (it is never read, so it keeps waiting), and one with a
// deadline already reached on an empty socket (a look at the socket, no pause).
constexpr int kDatagramWaiting = 0;
constexpr int kZeroTimeout = 1;

void BM_LowLatencyWait(benchmark::State& state) {
    platform::WinsockSession network;
    torvane::TelemetryReceiver receiver;
    if (receiver.open(network) != torvane::ReceiverOpenResult::Opened) {
        state.SkipWithError("UDP 127.0.0.1:8766 is taken");
        return;
    }
    torvane::SteadyLoopClock clock;
    if (state.range(0) == kDatagramWaiting) {
        sendMessage(platform::Socket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
    }
    const std::int64_t deadline =
        state.range(0) == kDatagramWaiting ? clock.now() + 1'000'000'000 : 0;
    for (auto _ : state) {
        const bool woken = clock.waitUntil(deadline, receiver.socketHandle());
        benchmark::DoNotOptimize(woken);
        if (woken != (state.range(0) == kDatagramWaiting)) {
            state.SkipWithError("the wait did not end as expected");
            break;
        }
    }
}
BENCHMARK(BM_LowLatencyWait)->Arg(kDatagramWaiting)->Arg(kZeroTimeout);

}  // namespace
