// Live settings: while the bridge runs, a thread of its own looks at the settings file ten times a
// second (its modification time and size only) and, when it changed, has stayed the same for
// 100 ms and reads cleanly, hands the main loop the new gain, inversion and tuning. The loop picks
// them up between passes without waiting or allocating.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/options.h"
#include "app/settings.h"
#include "platform/streams.h"

namespace torvane {

class SettingsWatcher {
  public:
    /// path: the settings file, fileOptions: the defaults with the file applied as read at start
    /// (the base the changes are told against); commandLine: what the command line gave, laid
    /// over every new file so that it keeps winning.
    SettingsWatcher(platform::WideString path, const BridgeOptions& fileOptions,
                    CommandLine commandLine);
    ~SettingsWatcher();  ///< stops the thread
    SettingsWatcher(const SettingsWatcher&) = delete;
    SettingsWatcher& operator=(const SettingsWatcher&) = delete;

    /// Starts the thread that calls check() every kCheckInterval.
    void start();

    /// Looks at the file once: when its time or size changed and has stayed so since a look at
    /// least kSettle earlier, reads it and prepares either new settings with the line that lists
    /// the changes, or the line that says why it was not used. An editor that empties the file
    /// and then writes it is never caught in between: such a file changes again within kSettle.
    void check();

    static constexpr std::chrono::milliseconds kCheckInterval{100};
    static constexpr std::chrono::milliseconds kSettle{100};

    /// The loop's side: when check() prepared something, writes its line on err and, if the file
    /// read cleanly, sets live; returns whether live changed. Never waits: if the thread holds the
    /// lock right now, the next pass takes it. Allocates nothing.
    bool take(LiveSettings& live, std::ostream& err);

  private:
    void run();

    /// Whether problem is to be told: an unknown key is named once in a run, not at every reload.
    bool firstMention(const SettingsProblem& problem);

    const platform::WideString path_;
    const std::string name_;
    const CommandLine commandLine_;
    BridgeOptions fileOptions_;    // the file as last applied; the thread's alone
    platform::FileStamp stamp_;    // of the file as last taken
    platform::FileStamp changed_;  // of the file as it was at changedSince_, when not stamp_
    std::chrono::steady_clock::time_point changedSince_;
    std::vector<std::string> namedKeys_;  // the unknown keys named so far, without their place

    std::mutex mutex_;  // guards the four below
    LiveSettings pendingLive_;
    bool pendingHasSettings_ = false;
    std::string pendingLine_;
    std::string shownLine_;  // the loop's: swapped with pendingLine_, so nothing is allocated
    std::atomic<bool> pending_{false};

    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace torvane
