// Reading a game's binary telemetry packet: little-endian fields at the offsets its published
// layout gives, each bounded to a finite range before anything else sees it. A packet is only
// ever read after its size has been checked against that layout, and every read checks again,
// so no offset can reach past the bytes received.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace torvane::tools {

class GamePacket {
  public:
    explicit GamePacket(std::string_view bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }

    /// The unsigned little-endian integer of `width` bytes at offset; 0 past the end.
    std::uint32_t unsignedAt(std::size_t offset, std::size_t width) const {
        if (offset > bytes_.size() || width > bytes_.size() - offset) return 0;
        std::uint32_t value = 0;
        for (std::size_t i = width; i-- > 0;)
            value = (value << 8) | static_cast<unsigned char>(bytes_[offset + i]);
        return value;
    }
    std::int32_t s32(std::size_t offset) const {
        return static_cast<std::int32_t>(unsignedAt(offset, 4));
    }
    unsigned u16(std::size_t offset) const { return unsignedAt(offset, 2); }
    unsigned u8(std::size_t offset) const { return unsignedAt(offset, 1); }

    /// The 32-bit float at offset, limited to low..high; NaN (or a read past the end) gives 0
    /// limited to the range, so no non-finite value ever leaves here.
    double f32(std::size_t offset, double low, double high) const {
        const std::uint32_t bits = unsignedAt(offset, 4);
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isnan(value)) return std::clamp(0.0, low, high);
        return std::clamp(static_cast<double>(value), low, high);
    }

  private:
    std::string_view bytes_;
};

}  // namespace torvane::tools
