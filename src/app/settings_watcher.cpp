#include "app/settings_watcher.h"

#include "platform/text.h"

#include <chrono>
#include <ostream>
#include <utility>

namespace torvane {
namespace {

constexpr std::chrono::seconds kCheckInterval{1};

}  // namespace

SettingsWatcher::SettingsWatcher(platform::WideString path, const BridgeOptions& fileOptions,
                                 CommandLine commandLine)
    : path_(std::move(path)),
      name_(toUtf8(path_)),
      commandLine_(std::move(commandLine)),
      fileOptions_(fileOptions),
      stamp_(stampOf(path_)) {}

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
    const FileStamp stamp = stampOf(path_);
    if (stamp == stamp_) return;
    stamp_ = stamp;

    std::string line;
    bool hasSettings = false;
    LiveSettings live;
    std::string text;
    SettingsProblem problem;
    std::vector<SettingsProblem> problems;
    BridgeOptions fromFile;
    if (!stamp.exists) {
        line = "Settings file " + name_ + " is gone; the settings in effect stay.";
    } else if (!readSettingsFile(path_, text, problem)) {
        line = "Settings not reloaded, the settings in effect stay: " + problem.text + ".";
    } else if (!applySettingsText(text, name_, fromFile, problems)) {
        // Half a file is not what its author meant: nothing of it applies.
        line = "Settings not reloaded, the settings in effect stay: " + problems.front().text + ".";
    } else {
        const BridgeOptions inEffect = applyCommandLine(commandLine_, fromFile);
        std::string changes = describeChanges(fileOptions_, fromFile, commandLine_);
        line = "Settings reloaded from " + name_ + ": " + (changes.empty() ? "no change" : changes);
        fileOptions_ = fromFile;
        live = inEffect.live;
        hasSettings = true;
    }
    line += '\n';
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
