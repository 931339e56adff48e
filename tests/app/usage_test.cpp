// "--help" and "--version" answer and end with 0 before DirectInput (and so any controller or
// socket) is touched; every other argument still starts the bridge.
#include "app/usage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "app/bridge.h"
#include "observe/version.h"
#include "support/simulated_clock.h"

namespace torvane {
namespace {

int createCalls = 0;

HRESULT WINAPI countingCreate(HINSTANCE, DWORD, REFIID, LPVOID* out, LPUNKNOWN) {
    ++createCalls;
    *out = nullptr;
    return E_FAIL;
}

TEST(Usage, HelpAndVersionEndBeforeDirectInputWhileOtherArgumentsStartTheBridge) {
    std::ostringstream usage;
    printUsage(usage);
    const std::string help = usage.str();
    const std::string version = std::string("torvane-bridge ") + versionText() + "\n";
    const std::string failed = "DirectInput8Create failed.\n";
    const struct {
        std::vector<const WCHAR*> arguments;
        std::string out, err;  // err empty: answered with exit code 0, without DirectInput
    } cases[] = {
        {{TORVANE_WIDE("--help")}, help, ""},
        {{TORVANE_WIDE("--version")}, version, ""},
        {{TORVANE_WIDE("--version"), TORVANE_WIDE("--help")}, help, ""},
        {{TORVANE_WIDE("--bogus"), TORVANE_WIDE("--version")}, version, ""},
        {{TORVANE_WIDE("--bogus")}, "", failed},
        {{TORVANE_WIDE("--device"), TORVANE_WIDE("--help")}, "", failed},  // a name, not a request
    };
    for (const auto& c : cases) {
        std::vector<const WCHAR*> argv = {TORVANE_WIDE("torvane-bridge")};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        SCOPED_TRACE(&c - cases);
        createCalls = 0;
        fake::SimulatedClock clock;
        std::atomic<bool> running{true};
        std::ostringstream out, err;
        const int code = runBridge(static_cast<int>(argv.size()), argv.data(),
                                   {countingCreate, clock, running, out, err});
        EXPECT_EQ(code, c.err.empty() ? 0 : 2);
        EXPECT_EQ(createCalls, c.err.empty() ? 0 : 1);
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(err.str(), c.err);
    }

    // The version line first, then every option on a line of its own, with the parser's defaults.
    EXPECT_EQ(help.rfind(version, 0), 0u);
    for (const char* part :
         {"--diagnose ", "--test ", "--test-mode MODE ", "--invert ", "--gain NUMBER ",
          "--device-index N ", "--device TEXT ", "--virtual-wheel ", "--monitor ", "--trace FILE ",
          "--low-latency ", "-h, --help, /? ", "--version ", "(default: all)\n", "(default: 0.1)\n",
          "(default: fanatec)\n"})
        EXPECT_NE(help.find(part[0] == '-' ? "\n  " + std::string(part) : part), std::string::npos)
            << part;
}

}  // namespace
}  // namespace torvane
