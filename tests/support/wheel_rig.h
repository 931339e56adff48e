// The virtual wheel on simulated time, its devices writing to a journal, behind a source that
// counts the drivers still open (a leaked device leaves one), can refuse opens and lose one read.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "controller/discovery.h"
#include "platform/resources.h"
#include "support/simulated_clock.h"
#include "virtual_wheel/virtual_wheel.h"
#include "wheel/journal.h"

namespace fake {

class WatchedSource final : public wheel::DriverSource {
  public:
    explicit WatchedSource(wheel::DriverSource& inner) : inner_(inner) {}
    void listDevices(std::vector<wheel::DriverInfo>& out) override {
        if (hiddenListings > 0) {
            --hiddenListings;  // a wheel switched on later
            return;
        }
        inner_.listDevices(out);
    }
    std::unique_ptr<wheel::Driver> openDevice(REFGUID instance) override;

    int openDrivers = 0;
    int opensLeft = -1;         ///< how many more opens succeed; negative: all
    bool loseNextRead = false;  ///< the next input read answers Lost, as a brief disconnect
    int hiddenListings = 0;     ///< how many listings come before the wheel appears

  private:
    wheel::DriverSource& inner_;
};

struct Run {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct Rig {
    SimulatedClock clock;
    virtual_wheel::VirtualWheel wheel{[this] { return clock.time; }};
    WatchedSource source{wheel};
    wheel::Journal journal{1 << 15};
    std::atomic<bool> running{true};

    /// runBridge with "--virtual-wheel" on source; with create instead, on that DirectInput; with
    /// the extra arguments after those.
    Run run(torvane::DirectInputCreateFunction create = nullptr,
            std::vector<const WCHAR*> extra = {});

    /// A device on source's first controller, set up and acquired as the bridge does it.
    platform::ComPtr<IDirectInputDevice8W> openDevice();

    /// The journal's entries of method, whichever device or effect made them.
    std::vector<wheel::JournalEntry> calls(wheel::Method method) const;

  private:
    platform::ComPtr<IDirectInput8W> directInput_;
};

}  // namespace fake
