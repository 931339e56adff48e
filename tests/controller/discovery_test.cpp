#include "controller/discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/options.h"
#include "support/fake_directinput.h"

namespace torvane {
namespace {

using ::testing::ElementsAre;

ControllerInfo controller(const platform::WideString& name, bool forceFeedback) {
    return {GUID{}, name, forceFeedback};
}

const char* const kNoController =
    "No DirectInput force-feedback controller was found. Put the wheel base in PC mode.\n";
const char* const kBadIndex =
    "The requested DirectInput device index is unavailable or has no FFB support.\n";

struct SelectionCase {
    const char* what;
    std::vector<ControllerInfo> controllers;
    std::int32_t deviceIndex;
    std::string nameFilter;
    int expectedIndex;  // -1: selection fails with expectedError
    const char* expectedError;
};

TEST(ControllerSelection, ChoosesByIndexOrNameAndNeverWithoutForceFeedback) {
    const platform::WideString fanatec = TORVANE_WIDE("FANATEC CSL DD");
    const platform::WideString other = TORVANE_WIDE("Other Wheel");
    const SelectionCase cases[] = {
        {"no controller, by name", {}, -1, "fanatec", -1, kNoController},
        {"no controller, by index", {}, 0, "fanatec", -1, kBadIndex},
        {"index equal to the count", {controller(other, true)}, 1, "", -1, kBadIndex},
        {"index of a controller without force feedback",
         {controller(other, false), controller(fanatec, true)},
         0,
         "fanatec",
         -1,
         kBadIndex},
        {"only non-force-feedback controllers",
         {controller(fanatec, false)},
         -1,
         "fanatec",
         -1,
         kNoController},
        {"name match ignores ASCII case",
         {controller(other, true), controller(fanatec, true)},
         -1,
         "fanatec",
         1,
         nullptr},
        {"a match without force feedback falls back to the first with it",
         {controller(fanatec, false), controller(other, true)},
         -1,
         "fanatec",
         1,
         nullptr},
        {"of two matches the earlier wins",
         {controller(other, true), controller(fanatec, true), controller(fanatec, true)},
         -1,
         "csl",
         1,
         nullptr},
        {"an index ignores a filter that matches another",
         {controller(other, true), controller(fanatec, true)},
         0,
         "fanatec",
         0,
         nullptr},
        {"an empty filter chooses the first with force feedback",
         {controller(other, false), controller(fanatec, true)},
         -1,
         "",
         1,
         nullptr},
        {"any negative index selects by name",
         {controller(other, true), controller(fanatec, true)},
         -3,
         "fanatec",
         1,
         nullptr},
        {"no match: the first with force feedback",
         {controller(other, false), controller(other, true), controller(fanatec, true)},
         -1,
         "zzz",
         1,
         nullptr},
        // The filter was lowercased byte-wise; non-ASCII capitals in names are not folded.
        {"non-ASCII capitals must match exactly",
         {controller(TORVANE_WIDE("Wheel"), true),
          controller(TORVANE_WIDE("\u00DCBER Wheel"), true)},
         -1,
         "\u00fcber",
         0,
         nullptr},
        {"non-ASCII text matches byte for byte",
         {controller(TORVANE_WIDE("Wheel"), true),
          controller(TORVANE_WIDE("\u00DCBER Wheel"), true)},
         -1,
         "\u00DCber",
         1,
         nullptr},
    };
    for (const SelectionCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::ostringstream out, err;
        const ControllerInfo* chosen =
            selectController(c.controllers, c.deviceIndex, c.nameFilter, out, err);
        if (c.expectedIndex < 0) {
            EXPECT_EQ(chosen, nullptr);
            EXPECT_EQ(err.str(), c.expectedError);
            EXPECT_EQ(out.str(), "");
        } else {
            ASSERT_EQ(chosen, &c.controllers[static_cast<std::size_t>(c.expectedIndex)]);
            EXPECT_EQ(err.str(), "");
            EXPECT_EQ(out.str(), "Selected: " + toUtf8(chosen->productName) + "\n");
        }
    }
}

TEST(ControllerSelection, PrintsTheChosenNameAsUtf8) {
    const std::vector<ControllerInfo> controllers = {
        controller(TORVANE_WIDE("R\u00E4der \u65B9\u5411\u76D8"), true)};
    std::ostringstream out, err;
    selectController(controllers, -1, "fanatec", out, err);
    EXPECT_EQ(out.str(),
              "Selected: R\xC3\xA4"
              "der \xE6\x96\xB9\xE5\x90\x91\xE7\x9B\x98\n");
}

TEST(ControllerListing, PrintsIndexUtf8NameAndFlag) {
    std::ostringstream out;
    printControllerList(
        {controller(TORVANE_WIDE("Wheel \u00C4"), true), controller(TORVANE_WIDE("Pedals"), false)},
        out);
    EXPECT_EQ(out.str(),
              "Attached game controllers:\n  [0] Wheel \xC3\x84 FFB=1\n  [1] Pedals FFB=0\n");

    std::ostringstream empty;
    printControllerList({}, empty);
    EXPECT_EQ(empty.str(), "Attached game controllers:\n");
}

TEST(ControllerEnumeration, ReadsForceFeedbackFromATemporaryDevice) {
    fake::FakeWorld world;
    world.addController(TORVANE_WIDE("Wheel"), true);
    world.addController(TORVANE_WIDE("Pedals"), false);
    world.addController(TORVANE_WIDE("Cannot open"), true);
    world.addController(TORVANE_WIDE("No capabilities"), true);
    world.failOn("directInput.CreateDevice(" + fake::guidName(world.controllers()[2].instanceGuid));
    world.failOn("device3.GetCapabilities");
    platform::ComPtr<IDirectInput8W> directInput;
    ASSERT_TRUE(createDirectInput(fake::fakeDirectInput8Create, directInput));

    const std::vector<ControllerInfo> controllers = enumerateControllers(*directInput);

    ASSERT_EQ(controllers.size(), 4u);
    EXPECT_EQ(controllers[0].productName, TORVANE_WIDE("Wheel"));  // the product, not the instance
    EXPECT_TRUE(controllers[0].instanceGuid == world.controllers()[0].instanceGuid);
    EXPECT_TRUE(controllers[0].forceFeedback);
    EXPECT_FALSE(controllers[1].forceFeedback);
    EXPECT_FALSE(controllers[2].forceFeedback);
    EXPECT_FALSE(controllers[3].forceFeedback);
    EXPECT_EQ(world.callsStartingWith("directInput.EnumDevices"),
              std::vector<std::string>{"directInput.EnumDevices(4,1)"});
    // Every temporary device is released, never given a format or acquired.
    EXPECT_EQ(world.callsStartingWith("device*.Release").size(), 3u);
    EXPECT_TRUE(world.callsStartingWith("device*.SetDataFormat").empty());
    EXPECT_TRUE(world.callsStartingWith("device*.Acquire").empty());
    EXPECT_EQ(world.callsStartingWith("device1.GetCapabilities"),
              std::vector<std::string>{"device1.GetCapabilities(44)"});
    directInput.reset();
    EXPECT_EQ(world.outstandingReferences(), 0u);
}

TEST(DirectInputCreation, PassesVersionAndInterfaceAndReleasesAFailedObject) {
    fake::FakeWorld world;
    world.createResult = DIERR_OLDDIRECTINPUTVERSION;
    world.createHandsOutObjectOnFailure = true;
    {
        platform::ComPtr<IDirectInput8W> directInput;
        EXPECT_FALSE(createDirectInput(fake::fakeDirectInput8Create, directInput));
    }
    EXPECT_THAT(world.calls(),
                ElementsAre("DirectInput8Create(2048,IID_IDirectInput8W)", "directInput.Release"));
    EXPECT_EQ(world.outstandingReferences(), 0u);
}

}  // namespace
}  // namespace torvane
