// When a pass sends the wheel's state: 16 ms after the last attempt. Where the platform's timer
// is coarse (Windows without the high-resolution timer rounds every pause up to its 15.625 ms
// tick), passes come about one report interval apart; counted strictly, every other pass would
// find the interval a fraction short and reports would go out every 31 ms. There the report is
// due once less than half a pass remains, so that the pass nearest the due time sends it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace torvane {

inline constexpr std::int64_t kReportIntervalNs = 16'000'000;

/// Whether the pass at now attempts the report; lastReport is the last attempt and previousPass
/// the pass before this one, whose distance stands for the pass period (at most an interval, so
/// that after a stall a report still waits half an interval).
constexpr bool reportDue(std::int64_t now, std::int64_t lastReport, std::int64_t previousPass,
                         bool coarseTimer) {
    const std::int64_t slack =
        coarseTimer ? std::clamp<std::int64_t>(now - previousPass, 0, kReportIntervalNs) / 2 : 0;
    return now - lastReport + slack >= kReportIntervalNs;
}

}  // namespace torvane
