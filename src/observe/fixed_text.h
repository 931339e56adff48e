// Text built in fixed storage, so that formatting on the loop's thread never allocates. What does
// not fit is dropped: a line cut short is better than a write past the end.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <system_error>

namespace observe {

template <std::size_t Capacity>
class FixedText {
  public:
    void clear() { length_ = 0; }
    std::size_t size() const { return length_; }
    std::string_view view() const { return {bytes_.data(), length_}; }

    void put(char c) {
        if (length_ < Capacity) bytes_[length_++] = c;
    }

    void put(std::string_view piece) {
        const std::size_t n = piece.size() < Capacity - length_ ? piece.size() : Capacity - length_;
        std::memcpy(bytes_.data() + length_, piece.data(), n);
        length_ += n;
    }

    /// Decimal, a leading '-' when negative.
    template <typename Integer>
    void putInteger(Integer value) {
        convert([value](char* first, char* last) { return std::to_chars(first, last, value); });
    }

    /// Fixed-point with the given number of decimals.
    void putFixed(double value, int decimals) {
        convert([value, decimals](char* first, char* last) {
            return std::to_chars(first, last, value, std::chars_format::fixed, decimals);
        });
    }

  private:
    template <typename Conversion>
    void convert(Conversion conversion) {
        char* const first = bytes_.data() + length_;
        const std::to_chars_result result = conversion(first, bytes_.data() + Capacity);
        if (result.ec == std::errc{}) length_ += static_cast<std::size_t>(result.ptr - first);
    }

    std::array<char, Capacity> bytes_{};
    std::size_t length_ = 0;
};

}  // namespace observe
