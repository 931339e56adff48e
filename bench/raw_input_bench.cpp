// The raw-input message built from an idle wheel (all zeros, no button: the shortest message) and
// from a busy one (every axis at its most negative value, every button pressed: the longest).
// The main loop builds one every 16 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <limits>

#include "report/raw_input.h"

namespace {

DIJOYSTATE2 idleState() {
    return DIJOYSTATE2{};
}

DIJOYSTATE2 busyState() {
    constexpr LONG kMin = std::numeric_limits<std::int32_t>::min();
    DIJOYSTATE2 state{};
    state.lX = state.lY = state.lZ = state.lRx = state.lRy = state.lRz = kMin;
    state.rglSlider[0] = state.rglSlider[1] = kMin;
    for (BYTE& button : state.rgbButtons) button = 0x80;
    return state;
}

/// A wheel in use: axes anywhere in -10000..10000 and a few buttons held.
DIJOYSTATE2 typicalState() {
    DIJOYSTATE2 state{};
    state.lX = -1532;
    state.lY = 10000;
    state.lZ = -10000;
    state.lRz = 4711;
    state.rglSlider[0] = -9999;
    state.rgbButtons[0] = state.rgbButtons[12] = state.rgbButtons[101] = 0x80;
    return state;
}

void formatReport(benchmark::State& loop, const DIJOYSTATE2& state) {
    DIJOYSTATE2 input = state;
    std::size_t bytes = 0;
    for (auto _ : loop) {
        benchmark::DoNotOptimize(input);
        const torvane::RawInputText text = torvane::formatRawInputReport(input);
        benchmark::DoNotOptimize(text);
        bytes += text.length;
    }
    loop.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_RawInputIdle(benchmark::State& loop) {
    formatReport(loop, idleState());
}
void BM_RawInputTypical(benchmark::State& loop) {
    formatReport(loop, typicalState());
}
void BM_RawInputBusy(benchmark::State& loop) {
    formatReport(loop, busyState());
}

BENCHMARK(BM_RawInputIdle);
BENCHMARK(BM_RawInputTypical);
BENCHMARK(BM_RawInputBusy);

}  // namespace
