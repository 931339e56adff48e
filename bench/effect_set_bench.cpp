// One force update (EffectSet::apply) against a device whose calls cost next to nothing, so the
// figure is the synthesis and the description building alone.
#include <benchmark/benchmark.h>

#include <sstream>

#include "ffb/effect_set.h"
#include "noop_device.h"

namespace {

using bench::NoOpDevice;
using torvane::EffectSet;
using torvane::TelemetryFrame;

const TelemetryFrame kDriving{.aligningTorque = -0.42,
                              .engineHz = 61.5,
                              .engineGain = 0.3,
                              .roadGain = 0.12,
                              .curbPulse = 0.8,
                              .speed = 27.4,
                              .verticalAccel = 1.6,
                              .curb = true};

// Arg 0, the steady state: effects playing, every pass sends all five parameter sets.
// Arg 1, telemetry going stale and coming back on every pass: stop, then start and send.
void BM_Apply(benchmark::State& state) {
    NoOpDevice device;
    std::ostringstream out;
    EffectSet set(&device, out);
    set.create(out);
    const bool stopFirst = state.range(0) != 0;
    TelemetryFrame frame = kDriving;
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame);
        if (stopFirst) set.stop();
        set.apply(synthesizeForces(frame, 0.1, {}, false));
    }
}
BENCHMARK(BM_Apply)->Arg(0)->Arg(1);

}  // namespace
