// The diagnose mode: the wheel's supported effects, then 20 seconds of its input state printed
// whenever it changes.
#pragma once

#include <atomic>
#include <iosfwd>
#include <vector>

#include "controller/setup.h"
#include "platform/loop_clock.h"
#include "platform/platform.h"

namespace torvane {

inline constexpr std::int64_t kDiagnoseCaptureNs = 20'000'000'000;
inline constexpr std::int64_t kDiagnosePauseMs = 40;

/// Lists effects, prints the capture prompt, then prints the state on every change until 20 s
/// after the prompt or until running is cleared (tested before every pass).
void runDiagnose(IDirectInputDevice8W& device, const std::vector<EffectInfo>& effects,
                 const std::atomic<bool>& running, LoopClock& clock, std::ostream& out);

}  // namespace torvane
