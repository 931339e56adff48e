#include "report/raw_input.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <system_error>

namespace torvane {
namespace {

// The fixed pieces of the message, in the order they are written.
constexpr std::string_view kHead = "{\"type\":\"raw-input\",\"axes\":{\"x\":";
constexpr std::string_view kAxisKeys[] = {
    ",\"y\":", ",\"z\":", ",\"rx\":", ",\"ry\":", ",\"rz\":", ",\"slider0\":", ",\"slider1\":"};
constexpr std::string_view kButtonsHead = "},\"buttons\":[";
constexpr std::string_view kTail = "]}";

constexpr std::size_t kButtonCount = sizeof(DIJOYSTATE2{}.rgbButtons);
constexpr std::size_t kAxisCount = 1 + std::size(kAxisKeys);
constexpr BYTE kPressed = 0x80;

static_assert(sizeof(LONG) == 4, "axis values are 32-bit");
static_assert(sizeof(DIJOYSTATE2) == 272);
static_assert(kButtonCount == 128);

constexpr std::size_t decimalDigits(std::uint32_t value) {
    std::size_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

constexpr std::size_t fixedTextLength() {
    std::size_t length = kHead.size() + kButtonsHead.size() + kTail.size();
    for (std::string_view key : kAxisKeys) length += key.size();
    return length;
}

/// The button list with every button pressed: all indexes and a comma between each two.
constexpr std::size_t longestButtonList() {
    std::size_t length = kButtonCount - 1;
    for (std::uint32_t index = 0; index < kButtonCount; ++index) length += decimalDigits(index);
    return length;
}

// "-2147483648" is the longest number an axis can produce.
constexpr std::size_t kLongestNumber = 1 + decimalDigits(std::uint32_t{1} << 31);
constexpr std::size_t kLongestReport =
    fixedTextLength() + kAxisCount * kLongestNumber + longestButtonList();

// Everything formatRawInputReport writes is counted above, so no report can outgrow the storage:
// the writes below need no check of their own.
static_assert(kLongestReport == RawInputText::kCapacity);
static_assert(fixedTextLength() + kAxisCount * 1 == 105, "the idle report");

/// Appends to a RawInputText whose capacity covers the longest report.
class ReportWriter {
  public:
    explicit ReportWriter(RawInputText& text) : text_(text) {}

    void put(std::string_view piece) {
        std::memcpy(text_.bytes.data() + text_.length, piece.data(), piece.size());
        text_.length += piece.size();
    }

    void put(char c) { text_.bytes[text_.length++] = c; }

    /// Signed decimal, every LONG included: the magnitude is taken in unsigned arithmetic, so the
    /// most negative value needs no negation that would overflow.
    void putSigned(LONG value) {
        auto magnitude = static_cast<std::uint32_t>(value);
        if (value < 0) {
            put('-');
            magnitude = 0u - magnitude;
        }
        putUnsigned(magnitude);
    }

    void putUnsigned(std::uint32_t value) {
        char* const begin = text_.bytes.data() + text_.length;
        char* const end = text_.bytes.data() + text_.bytes.size();
        // Cannot run out of room (see kLongestReport); a result past the end would be dropped.
        const auto result = std::to_chars(begin, end, value);
        if (result.ec == std::errc{}) text_.length += static_cast<std::size_t>(result.ptr - begin);
    }

  private:
    RawInputText& text_;
};

}  // namespace

RawInputText formatRawInputReport(const DIJOYSTATE2& state) {
    RawInputText text;
    ReportWriter writer(text);

    const LONG axes[kAxisCount] = {state.lX,  state.lY,  state.lZ,           state.lRx,
                                   state.lRy, state.lRz, state.rglSlider[0], state.rglSlider[1]};
    writer.put(kHead);
    writer.putSigned(axes[0]);
    for (std::size_t i = 0; i < std::size(kAxisKeys); ++i) {
        writer.put(kAxisKeys[i]);
        writer.putSigned(axes[i + 1]);
    }

    writer.put(kButtonsHead);
    bool first = true;
    for (std::uint32_t index = 0; index < kButtonCount; ++index) {
        if ((state.rgbButtons[index] & kPressed) == 0) continue;
        if (!first) writer.put(',');
        writer.putUnsigned(index);
        first = false;
    }
    writer.put(kTail);
    return text;
}

void RawInputReporter::sendRawInput(const DIJOYSTATE2& state) {
    lastX_ = state.lX;
    lastY_ = state.lY;
    lastZ_ = state.lZ;
    hasReadState_ = true;

    const RawInputText text = formatRawInputReport(state);
    const sockaddr_in destination = platform::loopbackAddress(kReportPort);
    // Fire and forget: with nobody listening, or no socket at all, the report is simply lost.
    sendto(socket_.get(), text.bytes.data(), static_cast<int>(text.length), 0,
           reinterpret_cast<const sockaddr*>(&destination), static_cast<int>(sizeof destination));
}

}  // namespace torvane
