#include "controller/discovery.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "app/options.h"
#include "platform/text.h"
#include "support/stub_driver.h"
#include "support/wheel_rig.h"

namespace torvane {
namespace {

ControllerInfo controller(const platform::WideString& name, bool forceFeedback) {
    return {GUID{}, name, forceFeedback};
}

const char* const kNoController =
    "No DirectInput force-feedback controller was found. Put the wheel base in PC mode.\n";
const char* const kBadIndex =
    "The requested DirectInput device index is unavailable or has no FFB support.\n";

// Controllers by letter: F "FANATEC CSL DD", O "Other Wheel", W "Wheel", U "\u00DCBER Wheel";
// lower case for the same name without force feedback.
std::vector<ControllerInfo> controllers(const std::string& letters) {
    std::vector<ControllerInfo> found;
    for (char letter : letters) {
        const char upper = static_cast<char>(std::toupper(letter));
        const platform::WideString name = upper == 'F'   ? TORVANE_WIDE("FANATEC CSL DD")
                                          : upper == 'O' ? TORVANE_WIDE("Other Wheel")
                                          : upper == 'W' ? TORVANE_WIDE("Wheel")
                                                         : TORVANE_WIDE("\u00DCBER Wheel");
        found.push_back(controller(name, letter == upper));
    }
    return found;
}

TEST(ControllerSelection, ChoosesByIndexOrNameAndNeverWithoutForceFeedback) {
    const struct {
        const char* what;
        const char* controllers;
        std::int32_t deviceIndex;
        const char* nameFilter;
        int expectedIndex;  // -1: selection fails with expectedError
        const char* expectedError;
    } cases[] = {
        {"no controller, by name", "", -1, "fanatec", -1, kNoController},
        {"no controller, by index", "", 0, "fanatec", -1, kBadIndex},
        {"index equal to the count", "O", 1, "", -1, kBadIndex},
        {"index of a controller without force feedback", "oF", 0, "fanatec", -1, kBadIndex},
        {"only non-force-feedback controllers", "f", -1, "fanatec", -1, kNoController},
        {"name match ignores ASCII case", "OF", -1, "fanatec", 1, nullptr},
        {"a match without force feedback: the first with it", "fO", -1, "fanatec", 1, nullptr},
        {"of two matches the earlier wins", "OFF", -1, "csl", 1, nullptr},
        {"an index ignores a filter that matches another", "OF", 0, "fanatec", 0, nullptr},
        {"an empty filter chooses the first with force feedback", "oF", -1, "", 1, nullptr},
        {"any negative index selects by name", "OF", -3, "fanatec", 1, nullptr},
        {"no match: the first with force feedback", "oOF", -1, "zzz", 1, nullptr},
        // The filter was lowercased byte-wise; non-ASCII capitals in names are not folded.
        {"non-ASCII capitals must match exactly", "WU", -1, "\u00fcber", 0, nullptr},
        {"non-ASCII text matches byte for byte", "WU", -1, "\u00DCber", 1, nullptr},
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
            EXPECT_EQ(err.str(), "");
            EXPECT_EQ(out.str(), "Selected: " + toUtf8(chosen->productName) + "\n");
        }
    }
}

TEST(ControllerListing, PrintsIndexUtf8NameAndFlag) {
    std::ostringstream out;
    printControllerList({controller(TORVANE_WIDE("R\u00E4der \u65B9\u5411\u76D8"), true),
                         controller(TORVANE_WIDE("Pedals"), false)},
                        out);
    EXPECT_EQ(out.str(),
              "Attached game controllers:\n  [0] R\xC3\xA4"
              "der \xE6\x96\xB9\xE5\x90\x91\xE7\x9B\x98 FFB=1\n  [1] Pedals FFB=0\n");

    std::ostringstream empty;
    printControllerList({}, empty);
    EXPECT_EQ(empty.str(), "Attached game controllers:\n");
}

TEST(ControllerEnumeration, ReadsForceFeedbackFromATemporaryDeviceAndReleasesIt) {
    for (const bool wheelOpens : {true, false}) {
        SCOPED_TRACE(wheelOpens ? "the wheel opens" : "the wheel cannot be opened");
        stub::Source stubs;  // pedals without force feedback, then a wheel
        fake::WatchedSource source(stubs);
        source.opensLeft = wheelOpens ? -1 : 1;
        wheel::Journal journal;
        platform::ComPtr<IDirectInput8W> directInput(wheel::createDirectInput(source, &journal));

        const std::vector<ControllerInfo> found = enumerateControllers(*directInput);

        ASSERT_EQ(found.size(), 2u);
        EXPECT_EQ(found[1].productName, TORVANE_WIDE("Stub Wheel"));
        EXPECT_TRUE(found[1].instanceGuid == stubs.wheel.info.instanceGuid);
        EXPECT_FALSE(found[0].forceFeedback);
        EXPECT_EQ(found[1].forceFeedback, wheelOpens);
        // Every temporary device is released, never given a format or acquired.
        EXPECT_EQ(source.openDrivers, 0);
        for (const wheel::JournalEntry& call : journal.entries())
            EXPECT_EQ(call.method, wheel::Method::GetCapabilities);
    }
}

}  // namespace
}  // namespace torvane
