#include "app/console_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace torvane {
namespace {

using namespace std::chrono_literals;

// One test, because the flag and the shutdown announcement are process-wide and one-way.
TEST(ConsoleControl, CtrlCReturnsAtOnceAndClosingWaitsForTheShutdown) {
    EXPECT_TRUE(runningFlag().load());
    EXPECT_EQ(consoleControlHandler(CTRL_C_EVENT), TRUE);
    EXPECT_FALSE(runningFlag().load());
    EXPECT_EQ(consoleControlHandler(CTRL_BREAK_EVENT), TRUE);

    // The platform ends the process once a close handler returns: it must wait for the shutdown.
    auto closing =
        std::async(std::launch::async, [] { return consoleControlHandler(CTRL_CLOSE_EVENT); });
    EXPECT_EQ(closing.wait_for(200ms), std::future_status::timeout);
    announceShutdownFinished();
    ASSERT_EQ(closing.wait_for(3s), std::future_status::ready);
    EXPECT_EQ(closing.get(), TRUE);
    EXPECT_FALSE(runningFlag().load());
}

}  // namespace
}  // namespace torvane
