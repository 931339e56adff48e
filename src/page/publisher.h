// The loop's side of the live page: each pass's record, turned into the page's numbers and put
// where the server's threads take it. Runs on the loop's thread: no allocation, no lock.
#pragma once

#include <cstdint>

#include "observe/clip_meter.h"
#include "observe/pass_record.h"
#include "observe/rim_probe.h"
#include "page/live_record.h"

namespace page {

class Publisher final : public observe::PassObserver {
  public:
    /// rim may be null (a real wheel): the page then shows the X axis.
    Publisher(LatestSlot<LiveRecord>& slot, observe::RimProbe* rim, std::int64_t loopStartTime)
        : slot_(slot), rim_(rim), loopStartTime_(loopStartTime) {}

    void observe(const observe::PassRecord& pass) override;

    /// The clipping share, which the monitor shows too.
    const observe::ClipMeter& clipping() const { return clipping_; }

  private:
    LatestSlot<LiveRecord>& slot_;
    observe::RimProbe* rim_;
    std::int64_t loopStartTime_;
    std::uint64_t passes_ = 0;
    observe::ClipMeter clipping_;
};

}  // namespace page
