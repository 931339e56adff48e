// "--page": the live page's place in the program. The loop publishes each pass to the page and
// takes the page's setting changes between passes, as it takes a reloaded settings file; the
// page's server reads and writes the settings file through here. What the page shows of each
// setting (range, default, unit, meaning, whether it applies live) comes from the setting table.
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>

#include "app/options.h"
#include "observe/rim_probe.h"
#include "page/live_record.h"
#include "page/page_server.h"
#include "page/publisher.h"
#include "page/settings_port.h"

namespace torvane {

class LivePage final : public page::SettingsPort {
  public:
    /// options: in effect at start; commandLine: what it gave (the page shows those settings
    /// locked); path: the settings file that Save writes (it may not exist yet). rim may be null.
    LivePage(const BridgeOptions& options, const CommandLine& commandLine,
             platform::WideString path, observe::RimProbe* rim, std::int64_t loopStartTime);

    /// Binds the port and prints "Live page: http://127.0.0.1:PORT/#TOKEN" on out; or says on
    /// err why there is no page (the bridge runs on without it).
    bool start(page::PageFacts facts, std::ostream& out, std::ostream& err);

    page::Publisher& publisher() { return publisher_; }

    /// The loop's side: the settings the page changed since the last call, if any. Never waits
    /// (if the server holds the lock, the next pass takes them) and allocates nothing.
    bool take(LiveSettings& live);

    std::vector<page::SettingView> settings() override;
    std::string change(std::string_view name, double value) override;
    std::string save() override;
    std::string revert() override;

  private:
    BridgeOptions inEffect();  // the options with the live settings the loop uses now
    BridgeOptions fileOptions(bool& readable);
    void handOver(const LiveSettings& live);

    const BridgeOptions options_;
    const CommandLine& commandLine_;
    const platform::WideString path_;
    page::LatestSlot<page::LiveRecord> slot_;
    page::Publisher publisher_;
    std::optional<page::PageServer> server_;

    std::mutex handoverMutex_;  // between the server's calls and the loop's take
    LiveSettings handed_{};
    std::atomic<bool> pending_{false};
};

}  // namespace torvane
