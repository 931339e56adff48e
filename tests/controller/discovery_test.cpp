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
    const struct {
        const char* what;
        const char* controllers;
        std::int32_t deviceIndex;
        const char* nameFilter;
        int expectedIndex;          // -1: selection fails with expectedError
        const char* expectedError;  // nullptr: none
    } cases[] = {
        // clang-format off
        {"no controller, by name", "", -1, "fanatec", -1, kNoController},
        {"index equal to the count", "O", 1, "", -1, kBadIndex},
        {"index of a controller without force feedback", "oF", 0, "fanatec", -1, kBadIndex},
        {"only non-force-feedback controllers", "f", -1, "fanatec", -1, kNoController},
        {"name match ignores ASCII case", "OF", -1, "fanatec", 1, nullptr},
        {"a match without force feedback: the first with it, announced", "fO", -1, "fanatec", 1,
         "No force-feedback controller name contains \"fanatec\"; using [1] Other Wheel.\n"},
        {"of two matches the earlier wins", "OFF", -1, "csl", 1, nullptr},
        {"an index ignores a filter that matches another", "OF", 0, "fanatec", 0, nullptr},
        {"an empty filter chooses the first with force feedback", "oF", -1, "", 1, nullptr},
        {"any negative index selects by name", "OF", -3, "fanatec", 1, nullptr},
        {"no match: the first with force feedback, announced", "oOF", -1, "zzz", 1,
         "No controller name contains \"zzz\"; using [1] Other Wheel.\n"},
        // The filter was lowercased byte-wise; non-ASCII capitals in names are not folded.
        {"non-ASCII capitals must match exactly", "WU", -1, "\u00fcber", 0,
         "No controller name contains \"\u00fcber\"; using [0] Wheel.\n"},
        {"non-ASCII text matches byte for byte", "WU", -1, "\u00DCber", 1, nullptr},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ControllerInfo> list = controllers(c.controllers);
        std::ostringstream out, err;
        const ControllerInfo* chosen =
            selectController(list, c.deviceIndex, c.nameFilter, out, err);
        if (c.expectedIndex < 0) {
            EXPECT_EQ(chosen, nullptr);
            EXPECT_EQ(err.str(), c.expectedError);
            EXPECT_EQ(out.str(), "");
        } else {
            ASSERT_EQ(chosen, &list[static_cast<std::size_t>(c.expectedIndex)]);
            EXPECT_EQ(err.str(), c.expectedError != nullptr ? c.expectedError : "");
            EXPECT_EQ(out.str(), "Selected: " + toUtf8(chosen->productName) + "\n");
        }
    }
}

}  // namespace
}  // namespace torvane
