#include "app/settings_watcher.h"

#include "platform/streams.h"
#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <utility>

namespace torvane {

SettingsWatcher::SettingsWatcher(platform::WideString path, const BridgeOptions& fileOptions,
                                 CommandLine commandLine)
    : path_(std::move(path)),
      name_(toUtf8(path_)),
      commandLine_(std::move(commandLine)),
      fileOptions_(fileOptions),
      stamp_(platform::fileStamp(path_)),
      changed_(stamp_) {
    // The unknown keys start-up has named.
    std::string text;
    SettingsProblem problem;
    std::vector<SettingsProblem> problems;
    BridgeOptions read;
    if (readSettingsFile(path_, text, problem)) applySettingsText(text, name_, read, problems);
    for (const SettingsProblem& p : problems) firstMention(p);
}

bool SettingsWatcher::firstMention(const SettingsProblem& problem) {
    if (!problem.unknownKey) return true;
    // Without its place: the same key on another line is the same key.
    const std::string key = problem.text.substr(problem.text.find(": unknown setting"));
    if (std::find(namedKeys_.begin(), namedKeys_.end(), key) != namedKeys_.end()) return false;
    namedKeys_.push_back(key);
    return true;
}

SettingsWatcher::~SettingsWatcher() {
    {
        const std::lock_guard<std::mutex> lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void SettingsWatcher::start() {
    thread_ = std::thread([this] { run(); });
}

void SettingsWatcher::run() {
    std::unique_lock<std::mutex> lock(stopMutex_);
    while (!stopSignal_.wait_for(lock, kCheckInterval, [this] { return stopping_; })) {
        lock.unlock();
        check();
        lock.lock();
    }
}

void SettingsWatcher::check() {
    const platform::FileStamp stamp = platform::fileStamp(path_);
    const auto now = std::chrono::steady_clock::now();
    if (!(stamp == changed_)) {
        changed_ = stamp;  // still being written, maybe: wait until it stays so
        changedSince_ = now;
        return;
    }
    if (stamp == stamp_ || now - changedSince_ < kSettle) return;

    std::string line;
    bool hasSettings = false;
    LiveSettings live;
    std::string text;
    SettingsProblem problem;
    std::vector<SettingsProblem> problems;
    BridgeOptions fromFile;
    const bool read = stamp.exists && readSettingsFile(path_, text, problem);
    if (read) applySettingsText(text, name_, fromFile, problems);
    // Half a file is not what its author meant: nothing of it applies. An unknown key (from a
    // newer version, say) is only named, as at start-up.
    const auto blocking =
        std::find_if(problems.begin(), problems.end(), [](auto& p) { return !p.unknownKey; });
    if (!stamp.exists) {
        line = "Settings file " + name_ + " is gone; the settings in effect stay.";
    } else if (!(platform::fileStamp(path_) == stamp)) {
        return;  // written while it was read: read again once it stays the same
    } else if (!read) {
        line = "Settings not reloaded, the settings in effect stay: " + problem.text + ".";
    } else if (blocking != problems.end()) {
        line = "Settings not reloaded, the settings in effect stay: " + blocking->text + ".";
    } else {
        for (const SettingsProblem& p : problems) {
            if (firstMention(p)) line += p.line() + '\n';
        }
        const BridgeOptions inEffect = applyCommandLine(commandLine_, fromFile);
        std::string changes = describeChanges(fileOptions_, fromFile, commandLine_);
        line +=
            "Settings reloaded from " + name_ + ": " + (changes.empty() ? "no change" : changes);
        fileOptions_ = fromFile;
        live = inEffect.live;
        hasSettings = true;
    }
    line += '\n';
    stamp_ = stamp;
    const std::lock_guard<std::mutex> lock(mutex_);
    pendingLine_ = std::move(line);
    pendingLive_ = live;
    pendingHasSettings_ = hasSettings;
    pending_.store(true, std::memory_order_release);
}

bool SettingsWatcher::take(LiveSettings& live, std::ostream& err) {
    if (!pending_.load(std::memory_order_acquire)) return false;
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    pending_.store(false, std::memory_order_relaxed);
    shownLine_.swap(pendingLine_);
    const bool changed = pendingHasSettings_;
    if (changed) live = pendingLive_;
    lock.unlock();
    err.write(shownLine_.data(), static_cast<std::streamsize>(shownLine_.size())).flush();
    return changed;
}

}  // namespace torvane
