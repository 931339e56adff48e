// The telemetry reader on a typical message, on hostile messages of the largest datagram size,
// and a JSON library's parse of the typical message as a yardstick.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "telemetry/telemetry_frame.h"

namespace {

using torvane::parseTelemetryFrame;
using torvane::TelemetryFrame;

constexpr std::size_t kLargestMessage = 8191;

constexpr std::string_view kTypical =
    R"({"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,"roadGain":0.12,)"
    R"("curbPulse":0.8,"tireSlip":0.05,"tractionSlip":0.02,"speed":27.4,"verticalAccel":1.6,)"
    R"("curb":true,"offroad":false})";

/// Repeats filler up to the largest message size, less the room that tail needs, then appends
/// tail (the real keys, so that every lookup has to pass all of the filler).
std::string fillLargest(std::string_view filler, std::string_view tail) {
    std::string text;
    while (text.size() + tail.size() < kLargestMessage) text += filler;
    text.resize(kLargestMessage - tail.size());
    text += tail;
    return text;
}

constexpr std::string_view kRealKeysTail =
    R"("speed":9.5,"curb":true,"verticalAccel":-1.25,"offroad":true})";

/// All nine numeric keys in front of a single colon, then digits up to the largest size: every
/// key's value is the same long number.
std::string allKeysOneNumber(std::string_view prefix, char digit) {
    std::string text = "{";
    for (const char* key : {"aligningTorque", "engineHz", "engineGain", "roadGain", "curbPulse",
                            "tireSlip", "tractionSlip", "speed", "verticalAccel"}) {
        text += '"';
        text += key;
        text += '"';
    }
    text += ':';
    text += prefix;
    text.resize(kLargestMessage, digit);
    return text;
}

std::string hostileMessage(int kind) {
    switch (kind) {
        case 0:  // near-miss keys, fragments, stray quotes and colons
            return fillLargest(
                R"({"speedx":1,"curbPulse"curb"":":"spee":"engineH":2,"tractionSli{"a":[)"
                R"("offroadd":true,"aligningTorqu":"verticalAcce":)",
                kRealKeysTail);
        case 1:  // nothing but quotes: every byte starts a candidate
            return fillLargest(R"(")", kRealKeysTail);
        case 2:  // quote, all of a key but its last letter, quote: the longest failing comparison
            return fillLargest(R"("aligningTorqu""verticalAcce""tractionSli")", kRealKeysTail);
        case 3:  // every key present but without a colon anywhere after it
            return fillLargest(R"("aligningTorque""engineHz""speed""curb""offroad")", "");
        case 4:  // one number as long as the message, for the number conversion
            return fillLargest("1", "").replace(0, 10, R"({"speed":1)");
        case 6:  // all nine numeric keys sharing one colon and one 8000-digit number
            return allKeysOneNumber("1.", '7');
        case 7:  // the same with a hexadecimal number
            return allKeysOneNumber("0x1.", 'f');
        default:  // the nine numbers, each some 900 digits long
        {
            std::string text = "{";
            for (const char* key :
                 {"aligningTorque", "engineHz", "engineGain", "roadGain", "curbPulse", "tireSlip",
                  "tractionSlip", "speed", "verticalAccel"}) {
                text += '"';
                text += key;
                text += "\":0.";
                text.append(880, '3');
                text += "e-2,";
            }
            return text.substr(0, kLargestMessage);
        }
    }
}

void BM_TelemetryTypical(benchmark::State& state) {
    for (auto _ : state) {
        TelemetryFrame frame = parseTelemetryFrame(kTypical);
        benchmark::DoNotOptimize(frame);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kTypical.size()));
}
BENCHMARK(BM_TelemetryTypical);

void BM_TelemetryLargestHostile(benchmark::State& state) {
    const std::string text = hostileMessage(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TelemetryFrame frame = parseTelemetryFrame(text);
        benchmark::DoNotOptimize(frame);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_TelemetryLargestHostile)->DenseRange(0, 8)->Unit(benchmark::kMicrosecond);

TelemetryFrame frameFromJson(const nlohmann::json& json) {
    TelemetryFrame frame;
    frame.aligningTorque = json.value("aligningTorque", 0.0);
    frame.engineHz = json.value("engineHz", 0.0);
    frame.engineGain = json.value("engineGain", 0.0);
    frame.roadGain = json.value("roadGain", 0.0);
    frame.curbPulse = json.value("curbPulse", 0.0);
    frame.tireSlip = json.value("tireSlip", 0.0);
    frame.tractionSlip = json.value("tractionSlip", 0.0);
    frame.speed = json.value("speed", 0.0);
    frame.verticalAccel = json.value("verticalAccel", 0.0);
    frame.curb = json.value("curb", false);
    frame.offroad = json.value("offroad", false);
    return frame;
}

/// The JSON library on the typical message. After the measured loop it times the reader over as
/// many messages, so the counters give both costs per message from one run and their ratio.
void BM_TelemetryTypicalNlohmannJson(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point libraryStart = Clock::now();
    for (auto _ : state) {
        TelemetryFrame frame = frameFromJson(nlohmann::json::parse(kTypical));
        benchmark::DoNotOptimize(frame);
    }
    const Clock::time_point readerStart = Clock::now();
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
        TelemetryFrame frame = parseTelemetryFrame(kTypical);
        benchmark::DoNotOptimize(frame);
    }
    const Clock::time_point readerEnd = Clock::now();

    const auto count = static_cast<double>(state.iterations());
    const double libraryNs =
        std::chrono::duration<double, std::nano>(readerStart - libraryStart).count() / count;
    const double readerNs =
        std::chrono::duration<double, std::nano>(readerEnd - readerStart).count() / count;
    state.counters["json_ns"] = libraryNs;
    state.counters["reader_ns"] = readerNs;
    state.counters["json_per_reader"] = libraryNs / readerNs;
}
BENCHMARK(BM_TelemetryTypicalNlohmannJson);

}  // namespace
