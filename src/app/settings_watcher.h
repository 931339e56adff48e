// Live settings: while the bridge runs, a thread of its own looks at the settings file about once
// a second (its modification time and size only) and, when it changed and reads cleanly, hands
// the main loop the new gain, inversion and tuning. The loop picks them up between passes without
// waiting or allocating.
#pragma once

#include <atomic>
#include <condition_variable>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/options.h"
#include "app/settings.h"

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

    /// Starts the thread that calls check() about once a second.
    void start();

    /// Looks at the file once: when its time or size changed, reads it and prepares either new
    /// settings with the line that lists the changes, or the line that says why it was not used.
    void check();

    /// The loop's side: when check() prepared something, writes its line on err and, if the file
    /// read cleanly, sets live; returns whether live changed. Never waits: if the thread holds the
    /// lock right now, the next pass takes it. Allocates nothing.
    bool take(LiveSettings& live, std::ostream& err);

  private:
    void run();

    const platform::WideString path_;
    const std::string name_;
    const CommandLine commandLine_;
    BridgeOptions fileOptions_;  // the file as last applied; the thread's alone
    FileStamp stamp_;

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
