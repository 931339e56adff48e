// The report's rhythm on a coarse timer tick: every pass pattern keeps reports near 16 ms.
#include "app/report_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace torvane {
namespace {

constexpr std::int64_t kUs = 1'000;

// Pass intervals in microseconds, repeated for a simulated second; the reports' mean interval and
// the shortest one.
struct Rhythm {
    double meanMs;
    double shortestMs;
};

Rhythm reportRhythm(const std::vector<std::int64_t>& pattern, bool coarse) {
    std::int64_t now = 0;
    std::int64_t previous = 0;
    std::int64_t lastReport = 0;
    std::int64_t shortest = 1'000'000 * kUs;
    int reports = 0;
    for (std::size_t i = 0; now < 1'000'000 * kUs; ++i) {
        now += pattern[i % pattern.size()] * kUs;
        if (reportDue(now, lastReport, previous, coarse)) {
            if (reports > 0 && now - lastReport < shortest) shortest = now - lastReport;
            lastReport = now;
            ++reports;
        }
        previous = now;
    }
    return {static_cast<double>(lastReport) / 1e6 / reports, static_cast<double>(shortest) / 1e6};
}

TEST(ReportSchedule, ACoarseTickDoesNotHalveTheReportRate) {
    const struct {
        const char* name;
        std::vector<std::int64_t> pattern;
        bool coarse;
        double meanLow, meanHigh, shortest;
    } rows[] = {
        {"4 ms passes, precise timer", {4'000}, false, 16.0, 16.0, 16.0},
        {"4 ms passes, coarse timer", {4'000}, true, 16.0, 16.0, 16.0},
        {"15.625 ms tick", {15'625}, true, 15.6, 15.7, 15.6},
        {"irregular", {1'000, 15'625, 3'000, 9'000, 15'625, 600}, true, 14.0, 18.0, 8.0},
    };
    for (const auto& row : rows) {
        const Rhythm rhythm = reportRhythm(row.pattern, row.coarse);
        EXPECT_GE(rhythm.meanMs, row.meanLow - 0.05) << row.name;
        EXPECT_LE(rhythm.meanMs, row.meanHigh + 0.05) << row.name;
        EXPECT_GE(rhythm.shortestMs, row.shortest - 0.05) << row.name;
    }
    // Counted strictly, the tick would send every other pass.
    EXPECT_NEAR(reportRhythm({15'625}, false).meanMs, 31.25, 0.05);
}

}  // namespace
}  // namespace torvane
