#include "wheel/journal.h"

#include <cstdio>

namespace wheel {

DWORD propertyNumber(REFGUID property) {
    // A property is named by the address of its reference, never its contents (on Windows the
    // reference is a small integer disguised as a pointer).
    const GUID* const known[] = {&DIPROP_BUFFERSIZE, &DIPROP_AXISMODE, &DIPROP_GRANULARITY,
                                 &DIPROP_RANGE,      &DIPROP_DEADZONE, &DIPROP_SATURATION,
                                 &DIPROP_FFGAIN,     &DIPROP_FFLOAD,   &DIPROP_AUTOCENTER};
    for (DWORD i = 0; i < sizeof known / sizeof known[0]; ++i)
        if (&property == known[i]) return i + 1;
    return 0;
}

Journal::Journal(std::size_t capacity) : ring_(capacity == 0 ? 1 : capacity) {}

void Journal::record(JournalEntry entry) {
    entry.sequence = recorded_++;
    ring_[next_] = entry;
    next_ = (next_ + 1) % ring_.size();
    if (count_ < ring_.size()) ++count_;
}

std::vector<JournalEntry> Journal::entries() const {
    std::vector<JournalEntry> out;
    out.reserve(count_);
    const std::size_t first = (next_ + ring_.size() - count_) % ring_.size();
    for (std::size_t i = 0; i < count_; ++i) out.push_back(ring_[(first + i) % ring_.size()]);
    return out;
}

std::vector<JournalEntry> Journal::entries(Method method, int effect) const {
    std::vector<JournalEntry> out;
    for (const JournalEntry& entry : entries())
        if (entry.method == method && entry.effect == effect) out.push_back(entry);
    return out;
}

std::optional<EffectParameters> Journal::lastParameters(int effect) const {
    std::optional<EffectParameters> last;
    for (const JournalEntry& entry : entries())
        if (entry.effect == effect && entry.hasParameters) last = entry.parameters;
    return last;
}

void Journal::clear() {
    next_ = 0;
    count_ = 0;
    recorded_ = 0;
}

const char* methodName(Method method) {
    static const char* const names[] = {"GetCapabilities",
                                        "EnumObjects",
                                        "GetObjectInfo",
                                        "GetDeviceInfo",
                                        "GetProperty",
                                        "SetProperty",
                                        "SetDataFormat",
                                        "SetCooperativeLevel",
                                        "Acquire",
                                        "Unacquire",
                                        "Poll",
                                        "GetDeviceState",
                                        "CreateEffect",
                                        "EnumEffects",
                                        "GetEffectInfo",
                                        "GetForceFeedbackState",
                                        "SendForceFeedbackCommand",
                                        "Unsupported",
                                        "GetEffectGuid",
                                        "GetParameters",
                                        "SetParameters",
                                        "Start",
                                        "Stop",
                                        "GetEffectStatus",
                                        "Download",
                                        "Unload",
                                        "ReleaseEffect"};
    const auto index = static_cast<std::size_t>(method);
    return index < sizeof names / sizeof names[0] ? names[index] : "?";
}

namespace {

const char* kindName(EffectKind kind) {
    static const char* const names[kEffectKindCount] = {
        "ConstantForce", "Sine",   "Square", "Triangle", "SawtoothUp",
        "SawtoothDown",  "Spring", "Damper", "Inertia",  "Friction"};
    return names[static_cast<int>(kind) % kEffectKindCount];
}

}  // namespace

std::string describe(const JournalEntry& entry) {
    char line[256];
    int n =
        std::snprintf(line, sizeof line, "#%llu %s",
                      static_cast<unsigned long long>(entry.sequence), methodName(entry.method));
    auto append = [&](const char* format, auto... values) {
        if (n >= 0 && static_cast<std::size_t>(n) < sizeof line)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), format,
                               values...);
    };
    if (entry.effect != kDeviceCall) append(" effect %d", entry.effect);
    append(" arg 0x%lx -> 0x%08lx", static_cast<unsigned long>(entry.argument),
           static_cast<unsigned long>(static_cast<DWORD>(entry.result)));
    if (entry.hasParameters) {
        const EffectParameters& p = entry.parameters;
        append(" {%s gain %lu", kindName(p.kind), static_cast<unsigned long>(p.gain));
        switch (p.kind) {
            case EffectKind::ConstantForce:
                append(" level %ld", static_cast<long>(p.level));
                break;
            case EffectKind::Spring:
            case EffectKind::Damper:
            case EffectKind::Inertia:
            case EffectKind::Friction:
                append(" coefficients %ld/%ld saturations %lu/%lu",
                       static_cast<long>(p.positiveCoefficient),
                       static_cast<long>(p.negativeCoefficient),
                       static_cast<unsigned long>(p.positiveSaturation),
                       static_cast<unsigned long>(p.negativeSaturation));
                break;
            default:
                append(" magnitude %lu period %luus offset %ld",
                       static_cast<unsigned long>(p.magnitude),
                       static_cast<unsigned long>(p.periodMicroseconds),
                       static_cast<long>(p.offset));
        }
        append("%s", "}");
    }
    return std::string(line);
}

}  // namespace wheel
