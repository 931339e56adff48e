#include "controller/diagnose.h"

#include <charconv>
#include <cstring>
#include <ostream>
#include <string_view>

#include "platform/text.h"
#include "report/raw_input.h"

namespace torvane {
namespace {

/// Lowercase hexadecimal without leading zeros, written by hand rather than through the stream's
/// format flags, so the stream is left exactly as it was.
void writeHex(std::ostream& out, DWORD value) {
    char digits[2 * sizeof(DWORD)];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
    out << std::string_view(digits, static_cast<std::size_t>(result.ptr - digits));
}

void printEffects(const std::vector<EffectInfo>& effects, std::ostream& out) {
    out << "\nSupported effects:\n";
    for (const EffectInfo& effect : effects) {
        out << "  - " << toUtf8(effect.effectName) << " (type 0x";
        writeHex(out, effect.effectType);
        out << ")\n";
    }
}

}  // namespace

void runDiagnose(IDirectInputDevice8W& device, const std::vector<EffectInfo>& effects,
                 const std::atomic<bool>& running, LoopClock& clock, std::ostream& out) {
    printEffects(effects, out);
    // Flushed so the user sees the prompt, and later each state, as soon as the capture runs.
    out << "\nMove the wheel/pedals and operate every shifter position for 20 seconds.\n"
        << std::flush;

    // Compared byte for byte, so both records are cleared with memset rather than member-wise.
    DIJOYSTATE2 previous;
    std::memset(&previous, 0, sizeof previous);
    bool havePrevious = false;
    const std::int64_t deadline = clock.now() + kDiagnoseCaptureNs;

    while (running.load()) {
        if (clock.now() >= deadline) break;
        DIJOYSTATE2 current;
        std::memset(&current, 0, sizeof current);
        // The whole record counts, hats and force feedback fields included, even though the
        // printed text does not show them.
        if (pollControllerState(device, current) &&
            (!havePrevious || std::memcmp(&current, &previous, sizeof current) != 0)) {
            out << formatRawInputReport(current).view() << '\n' << std::flush;
            std::memcpy(&previous, &current, sizeof current);
            havePrevious = true;
        }
        clock.sleep(std::chrono::milliseconds(kDiagnosePauseMs));
    }
}

}  // namespace torvane
