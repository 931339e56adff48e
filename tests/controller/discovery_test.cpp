// Choosing the controller, one list and request per row. The listing and the exit codes are in
// tests/e2e.
#include "controller/discovery.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "platform/text.h"

namespace torvane {
namespace {

const char* const kNoController =
    "No DirectInput force-feedback controller was found. Put the wheel base in PC mode.\n";
const char* const kBadIndex =
    "The requested DirectInput device index is unavailable or has no FFB support.\n";

// Controllers by letter (F, O, W, U); lower case for the same name without force feedback.
std::vector<ControllerInfo> controllers(const std::string& letters) {
    std::vector<ControllerInfo> found;
    const platform::WideString names[] = {TORVANE_WIDE("FANATEC CSL DD"),
                                          TORVANE_WIDE("Other Wheel"), TORVANE_WIDE("Wheel"),
                                          TORVANE_WIDE("\u00DCBER Wheel")};
    for (char letter : letters) {
        const char upper = static_cast<char>(std::toupper(letter));
        found.push_back({GUID{}, names[std::string_view("FOWU").find(upper)], letter == upper});
    }
    return found;
}

TEST(ControllerSelection, ChoosesByIndexOrNameAndNeverWithoutForceFeedback) {
    const std::string noFfb =
        "No force-feedback controller name contains \"fanatec\"; using [1] Other Wheel.\n";
    const std::string noZzz = "No controller name contains \"zzz\"; using [1] Other Wheel.\n";
    const std::string noUber = "No controller name contains \"\u00fcber\"; using [0] Wheel.\n";
    const struct {
        const char* list;  // the controllers by letter
        std::int32_t index = -1;
        const char* filter = "";
        int chosen = -1;  // none: the selection fails with err
        std::string err{};
    } cases[] = {
        {.list = "", .filter = "fanatec", .err = kNoController},
        {.list = "O", .index = 1, .err = kBadIndex},  // the count
        {.list = "oF", .index = 0, .filter = "fanatec", .err = kBadIndex},
        {.list = "f", .filter = "fanatec", .err = kNoController},
        {.list = "OF", .filter = "fanatec", .chosen = 1},  // ASCII case is ignored
        // A match without force feedback: the first with it, announced.
        {.list = "fO", .filter = "fanatec", .chosen = 1, .err = noFfb},
        {.list = "OFF", .filter = "csl", .chosen = 1},  // of two matches the earlier wins
        {.list = "OF", .index = 0, .filter = "fanatec", .chosen = 0},  // an index wins
        {.list = "oF", .chosen = 1},  // no filter: the first with force feedback
        {.list = "OF", .index = -3, .filter = "fanatec", .chosen = 1},  // any negative: by name
        {.list = "oOF", .filter = "zzz", .chosen = 1, .err = noZzz},    // no match: as above
        // The filter was lowercased byte-wise; non-ASCII capitals in names are not folded.
        {.list = "WU", .filter = "\u00fcber", .chosen = 0, .err = noUber},
        {.list = "WU", .filter = "\u00DCber", .chosen = 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.list << " " << c.index << " " << c.filter);
        const std::vector<ControllerInfo> list = controllers(c.list);
        std::ostringstream out, err;
        const ControllerInfo* chosen = selectController(list, c.index, c.filter, out, err);
        EXPECT_EQ(err.str(), c.err);
        if (c.chosen < 0) {
            EXPECT_EQ(chosen, nullptr);
            EXPECT_EQ(out.str(), "");
        } else {
            ASSERT_EQ(chosen, &list[static_cast<std::size_t>(c.chosen)]);
            EXPECT_EQ(out.str(), "Selected: " + toUtf8(chosen->productName) + "\n");
        }
    }
}

}  // namespace
}  // namespace torvane
