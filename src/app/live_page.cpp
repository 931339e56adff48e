#include "app/live_page.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>

#include "app/settings.h"
#include "platform/text.h"

namespace torvane {
namespace {

struct Presentation {
    std::string_view key, unit;
    double step;
};

constexpr Presentation kPresentation[] = {
    {"gain", "", 0.005},
    {"steering", "x", 0.05},
    {"engine", "x", 0.05},
    {"road", "x", 0.05},
    {"curb", "x", 0.05},
    {"damper", "x", 0.05},
    {"min-force", "of full scale", 0.005},
    {"smooth", "ms", 1},
};

Presentation presentationOf(std::string_view key) {
    for (const Presentation& p : kPresentation)
        if (p.key == key) return p;
    return {key, "", 1};
}

std::filesystem::path toPath(const platform::WideString& path) {
    const std::string utf8 = toUtf8(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

LivePage::LivePage(const BridgeOptions& options, platform::WideString path, observe::RimProbe* rim,
                   std::int64_t loopStartTime)
    : options_(options), path_(std::move(path)), publisher_(slot_, rim, loopStartTime) {}

bool LivePage::start(page::PageFacts facts, std::ostream& out, std::ostream& err) {
    facts.settingsFile = toUtf8(path_);
    server_.emplace(slot_, *this, std::move(facts));
    const std::string token = page::makeToken();
    const auto port = static_cast<std::uint16_t>(options_.pagePort);
    if (!server_->start(port, token)) {
        server_.reset();
        err << "Could not serve the live page on 127.0.0.1:" << port
            << " (another program holds it); the bridge runs without it.\n";
        return false;
    }
    out << "Live page: http://127.0.0.1:" << port << "/#" << token << '\n';
    out.flush();
    return true;
}

bool LivePage::take(LiveSettings& live) {
    if (!pending_.load(std::memory_order_acquire)) return false;
    std::unique_lock<std::mutex> lock(handoverMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    pending_.store(false, std::memory_order_relaxed);
    live = handed_;
    return true;
}

BridgeOptions LivePage::inEffect() {
    BridgeOptions options = options_;
    {
        // A change not yet taken by the loop is the newest word.
        const std::lock_guard<std::mutex> lock(handoverMutex_);
        if (pending_.load()) {
            options.gain = handed_.gain;
            options.invert = handed_.invert;
            options.tuning = handed_.tuning;
            return options;
        }
    }
    page::LiveRecord record;
    if (slot_.read(record)) {
        options.gain = record.gain;
        options.invert = record.invert != 0;
        options.tuning = {record.steering,     record.engineStrength, record.roadStrength,
                          record.curbStrength, record.damperStrength, record.minForce,
                          record.smooth};
    }
    return options;
}

BridgeOptions LivePage::fileOptions(bool& readable) {
    BridgeOptions options;
    readable = true;
    if (!settingsFileExists(path_)) return options;
    std::string text;
    SettingsProblem problem;
    std::vector<SettingsProblem> problems;
    readable = readSettingsFile(path_, text, problem) &&
               applySettingsText(text, toUtf8(path_), options, problems);
    return options;
}

std::string LivePage::lockReason(std::string_view name) const {
    const std::string option = "--" + std::string(name);
    if (std::find(options_.given.begin(), options_.given.end(), option) == options_.given.end())
        return "";
    return "the command line's " + option + " wins";
}

void LivePage::handOver(const BridgeOptions& options) {
    const std::lock_guard<std::mutex> lock(handoverMutex_);
    handed_ = liveSettingsOf(options);
    pending_.store(true, std::memory_order_release);
}

std::vector<page::SettingView> LivePage::settings() {
    bool readable = true;
    const BridgeOptions now = inEffect();
    const BridgeOptions saved = fileOptions(readable);
    const BridgeOptions defaults;
    std::vector<page::SettingView> views;
    for (const SettingInfo& info : numberSettings()) {
        page::SettingView view;
        view.name = info.key;
        view.help = info.meaning;
        view.flag = info.flag;
        view.live = info.live;
        view.lo = info.lo;
        view.hi = info.hi;
        const Presentation p = presentationOf(info.key);
        view.unit = p.unit;
        view.step = p.step;
        settingValue(now, info.key, view.value);
        settingValue(saved, info.key, view.saved);
        settingValue(defaults, info.key, view.fallback);
        view.lockedBy = lockReason(info.key);
        if (!info.live && view.lockedBy.empty()) view.lockedBy = "applies at the next start";
        views.push_back(std::move(view));
    }
    return views;
}

std::string LivePage::change(std::string_view name, double value) {
    for (const SettingInfo& info : numberSettings()) {
        if (info.key != name) continue;
        if (!info.live) return std::string(name) + " applies at the next start";
        if (const std::string reason = lockReason(name); !reason.empty()) return reason;
        BridgeOptions options = inEffect();
        if (!setSettingValue(options, name, value)) return "not a setting";
        handOver(options);
        return "";
    }
    return "unknown setting";
}

std::string LivePage::save() {
    bool readable = true;
    BridgeOptions file = fileOptions(readable);
    if (!readable) return "the settings file does not read cleanly; mend it by hand first";
    const BridgeOptions now = inEffect();
    for (const SettingInfo& info : numberSettings()) {
        double value = 0;
        // What the command line fixes is not the file's business.
        if (info.live && lockReason(info.key).empty() && settingValue(now, info.key, value))
            setSettingValue(file, info.key, value);
    }
    // A new file, then a rename over the old one: the reload never reads half a file.
    const std::filesystem::path target = toPath(path_);
    std::filesystem::path fresh = target;
    fresh += ".new";
    std::error_code error;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
    {
        std::ofstream stream(fresh, std::ios::binary | std::ios::trunc);
        stream << formatSettings(file);
        stream.close();
        if (!stream) return "could not write " + toUtf8(path_) + ".new";
    }
    std::filesystem::rename(fresh, target, error);
    if (error) {
        std::filesystem::remove(fresh, error);
        return "could not replace " + toUtf8(path_);
    }
    return "";
}

std::string LivePage::revert() {
    bool readable = true;
    const BridgeOptions file = fileOptions(readable);
    if (!readable) return "the settings file does not read cleanly";
    BridgeOptions options = inEffect();
    for (const SettingInfo& info : numberSettings()) {
        double value = 0;
        if (info.live && lockReason(info.key).empty() && settingValue(file, info.key, value))
            setSettingValue(options, info.key, value);
    }
    handOver(options);
    return "";
}

}  // namespace torvane
