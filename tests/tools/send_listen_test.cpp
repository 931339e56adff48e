#include <gtest/gtest.h>

#include <sstream>

#include "tools/listen/listener.h"
#include "tools/send/sender.h"

namespace torvane::tools {
namespace {

TEST(ScheduleLines, FollowsTheRecordedTimesAndTheRateWhereThereAreNone) {
    const struct {
        const char* text;
        std::vector<double> due;
    } cases[] = {
        // The rate alone; recorded times, the first one's offset removed; mixed, t going back.
        {.text = "{\"speed\":1}\n{\"speed\":2}\r\n\n  \n{}\n", .due = {0.0, 0.1, 0.2}},
        {.text = "{\"t\":5}\n{\"t\":5.25}\n{\"t\":7}\n", .due = {0.0, 0.25, 2.0}},
        {.text = "{}\n{\"t\":3}\n{\"t\":3.5}\n{\"t\":1}\n{}\n", .due = {0.0, 0.1, 0.6, 0.7, 0.8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream lines(c.text);
        const std::vector<ScheduledMessage> messages = scheduleLines(lines, 10.0);
        ASSERT_EQ(messages.size(), c.due.size());
        for (std::size_t i = 0; i < messages.size(); ++i)
            EXPECT_NEAR(messages[i].time, c.due[i], 1e-9) << "message " << i;
        EXPECT_EQ(messages[0].text.back(), '}') << "line ends are not sent";
    }
}

TEST(ListenerOutput, ShowsAReportOnOneSafeLine) {
    EXPECT_EQ(
        formatLiveLine("{\"type\":\"raw-input\",\"axes\":{\"x\":-1532,\"y\":10000,\"z\":-10000,"
                       "\"rx\":0,\"ry\":0,\"rz\":0,\"slider0\":5,\"slider1\":0},"
                       "\"buttons\":[0,12]}"),
        "x -1532  y 10000  z -10000  rx 0  ry 0  rz 0  s0 5  s1 0  buttons 0,12");
    EXPECT_EQ(formatLiveLine("\x1b[2J\"buttons\":[1,\x1b]"),
              "x 0  y 0  z 0  rx 0  ry 0  rz 0  s0 0  s1 0  buttons 1,");
    EXPECT_EQ(printableLine(std::string_view("a\nb\x1b\0c\x7f", 6)), "a?b??c");
}

}  // namespace
}  // namespace torvane::tools
