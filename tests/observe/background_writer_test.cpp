// A stuck sink costs dropped, counted bytes, never a wait; the end gives up on it.
#include "observe/background_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <utility>

namespace observe {
namespace {

using namespace std::chrono_literals;

TEST(BackgroundWriter, AStuckSinkDropsWholeWritesAndIsLeftBehindAtTheEnd) {
    std::promise<void> unstick;
    std::shared_future<void> unstuck = unstick.get_future().share();
    auto written = std::make_shared<std::string>();
    {
        BackgroundWriter writer(16, [unstuck, written](std::string_view bytes) {
            unstuck.wait();
            *written += bytes;
            return true;
        });
        QueuedStream stream(writer);
        stream << "first\n";  // taken by the thread, which then sticks in the sink
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 10; ++i) stream << "line " << i << '\n';
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
        EXPECT_GT(writer.droppedBytes(), 0u);
        EXPECT_FALSE(writer.write("more than sixteen bytes"));
        EXPECT_FALSE(writer.finish(50ms));
        EXPECT_TRUE(BackgroundWriter::abandoned());
    }
    unstick.set_value();  // the thread left behind still owns its sink and ends by itself
}

// Standard output and the error stream share one queue: their bytes go out in the order written,
// and a sink that fails (a console that is gone) loses only its own.
TEST(BackgroundWriter, KeepsTheOrderOfTwoSinksAndDropsOnlyAFailedOnesBytes) {
    auto written = std::make_shared<std::string>();
    auto sink = [written](std::string_view bytes) {
        *written += bytes;
        return bytes != " gone";
    };
    BackgroundWriter writer(64, sink, sink);
    const std::pair<const char*, unsigned> writes[] = {{"out", 0},   {" err", 1},  {" gone", 0},
                                                       {" err2", 1}, {" more", 0}, {" err3", 1}};
    for (const auto& [text, channel] : writes) writer.write(text, channel);
    EXPECT_TRUE(writer.finish(1s));
    EXPECT_EQ(*written, "out err gone err2 err3");
    EXPECT_EQ(writer.droppedBytes(), 5u);
}

}  // namespace
}  // namespace observe
