// What one main-loop pass did, as the monitor and the trace see it: plain values, filled by the
// loop only while someone observes it.
#pragma once

#include <cstdint>

#include "ffb/effect_set.h"

namespace observe {

struct PassRecord {
    std::int64_t now = 0;                ///< the pass's clock reading, ns
    bool applied = false;                ///< the effects' parameters were sent
    bool stopped = false;                ///< stop stopped effects that were playing
    bool stateRead = false;              ///< a report read the wheel's state in this pass
    bool wheelKnown = false;             ///< some report has read the state, in this pass or before
    std::int32_t wheelX = 0;             ///< the X axis of the last state read
    torvane::SentEffects effects{};      ///< what the effects last received
    std::uint64_t datagrams = 0;         ///< telemetry datagrams received since the start
    std::int64_t lastTelemetryTime = 0;  ///< the pass that took the newest telemetry; 0: none yet
    std::int32_t wheelY = 0;             ///< the Y and Z axes (the pedals) of the last state read
    std::int32_t wheelZ = 0;
    double gain = 0;  ///< the live settings the pass used
    bool invert = false;
    torvane::ForceTuning tuning{};
    /// The steering force the formulas asked for, as a fraction of full scale, before the input's
    /// limit and the hard maximum: beside the constant force sent it shows what clipping takes.
    double requestedSteering = 0;
};

/// Told about every pass, on the loop's thread; must neither allocate nor wait.
class PassObserver {
  public:
    virtual ~PassObserver() = default;
    virtual void observe(const PassRecord& pass) = 0;
};

}  // namespace observe
