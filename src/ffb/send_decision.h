// With "--low-latency" an effect's parameters go to the wheel only when they differ from the last
// ones it accepted. Every update is a call into the wheel's driver, and drivers that forward each
// one to the device over USB turn a resend of the same values into traffic the wheel must absorb
// (and a longer pass for the datagram waiting behind it). Some bases fade out an effect that
// nobody refreshes, so an unchanged effect is still sent at least every kKeepAliveNs.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace torvane {

inline constexpr std::int64_t kKeepAliveNs = 100'000'000;

/// The parameters an effect last accepted, and the clock reading of that call.
struct AcceptedParameters {
    /// False until the first accepted call, and again after a start, a re-acquire or a failed
    /// call: what the wheel holds is then unknown, so everything is sent again.
    bool known = false;
    LONG magnitude = 0;
    DWORD periodMicroseconds = 0;
    std::int64_t time = 0;
};

/// Whether an effect gets magnitude and period at the clock reading now.
constexpr bool shouldSend(const AcceptedParameters& last, LONG magnitude, DWORD period,
                          std::int64_t now) {
    return !last.known || last.magnitude != magnitude || last.periodMicroseconds != period ||
           now - last.time >= kKeepAliveNs;
}

}  // namespace torvane
