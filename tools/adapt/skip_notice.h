// Packets that match no documented layout are counted and dropped; a console line says so, the
// first at once and later ones at most once a minute, so a stray sender cannot flood the console.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torvane::tools {

class SkipNotice {
  public:
    static constexpr double kInterval = 60.0;  ///< seconds between two lines at the least

    /// Counts one skipped packet of that many bytes.
    void count(std::size_t size) {
        ++pending_;
        ++total_;
        lastSize_ = size;
    }

    /// The line to print at `now` (seconds), if one is due; it covers every packet counted
    /// since the last line.
    std::optional<std::string> due(double now, std::string_view format) {
        if (pending_ == 0 || (told_ && now - lastTold_ < kInterval)) return std::nullopt;
        std::string line =
            "torvane-adapt: skipped " + std::to_string(pending_) +
            (pending_ == 1 ? " packet that matches no " : " packets that match no ") +
            std::string(format) + " layout (the last of " + std::to_string(lastSize_) + " bytes)";
        pending_ = 0;
        told_ = true;
        lastTold_ = now;
        return line;
    }

    long long total() const { return total_; }

  private:
    long long pending_ = 0;
    long long total_ = 0;
    std::size_t lastSize_ = 0;
    bool told_ = false;
    double lastTold_ = 0.0;
};

}  // namespace torvane::tools
