#include "app/live_page.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>

#include "app/setting_table.h"
#include "app/settings.h"
#include "platform/text.h"

namespace torvane {
namespace {

bool isText(const SettingRow& row) {
    return row.kind == SettingKind::Text || row.kind == SettingKind::Path;
}

// The settings a slider or a box can show: those of the file that hold a number or a flag.
bool shown(const SettingRow& row) {
    return !row.key.empty() && (row.kind == SettingKind::Flag || row.kind == SettingKind::Number ||
                                row.kind == SettingKind::Gain || row.kind == SettingKind::Index);
}

// A slider's step: about a two-hundredth of the range, rounded to 1, 5 or a power of ten.
double stepOf(const SettingRow& row) {
    if (row.kind == SettingKind::Flag || row.kind == SettingKind::Index) return 1;
    const double range = row.hi - row.lo;
    if (range <= 0.5) return 0.005;
    if (range <= 5) return 0.05;
    return 1;
}

// Sets a live row's value in options, held to its range; false for any other row.
bool setValue(const SettingRow& row, BridgeOptions& options, double value) {
    if (!appliesLive(row) || std::isnan(value)) return false;
    void* at = row.field(options);
    if (row.kind == SettingKind::Flag) {
        *static_cast<bool*>(at) = value != 0;
    } else {
        *static_cast<double*>(at) = std::clamp(value, row.lo, row.hi) + 0.0;  // -0 counts as 0
    }
    return true;
}

std::string lockReason(const SettingRow& row, const CommandLine& commandLine) {
    if (commandLine.gave(row.option))
        return "the command line's " + std::string(row.option) + " wins";
    if (!appliesLive(row)) return "applies at the next start";
    return "";
}

std::filesystem::path toPath(const platform::WideString& path) {
    const std::string utf8 = toUtf8(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

LivePage::LivePage(const BridgeOptions& options, const CommandLine& commandLine,
                   platform::WideString path, observe::RimProbe* rim, std::int64_t loopStartTime)
    : options_(options),
      commandLine_(commandLine),
      path_(std::move(path)),
      publisher_(slot_, rim, loopStartTime) {}

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
            options.live = handed_;
            return options;
        }
    }
    page::LiveRecord r;
    if (slot_.read(r)) {
        options.live = {r.gain,
                        r.invert != 0,
                        {r.steering, r.engineStrength, r.roadStrength, r.curbStrength,
                         r.damperStrength, r.minForce, r.smooth}};
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

void LivePage::handOver(const LiveSettings& live) {
    const std::lock_guard<std::mutex> lock(handoverMutex_);
    handed_ = live;
    pending_.store(true, std::memory_order_release);
}

std::vector<page::SettingView> LivePage::settings() {
    bool readable = true;
    const BridgeOptions now = inEffect();
    const BridgeOptions saved = fileOptions(readable);
    const BridgeOptions defaults;
    std::vector<page::SettingView> views;
    for (const SettingRow* row : fileRows()) {
        if (isText(*row)) {
            // Text is read only at start: shown as the file writes it, never offered.
            page::SettingView& view = views.emplace_back();
            view.name = row->key;
            view.help = row->meaning;
            view.text = valueText(*row, now);
            view.fallbackText = valueText(*row, defaults);
            view.lockedBy = lockReason(*row, commandLine_);
            continue;
        }
        if (!shown(*row)) continue;
        const bool flag = row->kind == SettingKind::Flag;
        views.push_back({.name = std::string(row->key),
                         .help = std::string(row->meaning),
                         .unit = std::string(row->unit),
                         .flag = flag,
                         .live = appliesLive(*row),
                         .value = numberOf(*row, now),
                         .saved = numberOf(*row, saved),
                         .fallback = numberOf(*row, defaults),
                         .lo = flag ? 0 : row->lo,
                         .hi = flag ? 1 : row->hi,
                         .step = stepOf(*row),
                         .text = {},
                         .fallbackText = {},
                         .lockedBy = lockReason(*row, commandLine_)});
    }
    return views;
}

std::string LivePage::change(std::string_view name, double value) {
    for (const SettingRow* row : fileRows()) {
        if (row->key != name || !shown(*row)) continue;
        if (const std::string reason = lockReason(*row, commandLine_); !reason.empty())
            return std::string(name) + ": " + reason;
        BridgeOptions options = inEffect();
        if (!setValue(*row, options, value)) return "not a number";
        handOver(options.live);
        return "";
    }
    return "unknown setting";
}

std::string LivePage::save() {
    bool readable = true;
    BridgeOptions file = fileOptions(readable);
    if (!readable) return "the settings file does not read cleanly; mend it by hand first";
    const BridgeOptions now = inEffect();
    // The live settings the page may change; what the command line fixes is not the file's.
    for (const SettingRow* row : fileRows())
        if (shown(*row) && lockReason(*row, commandLine_).empty())
            setValue(*row, file, numberOf(*row, now));
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
    for (const SettingRow* row : fileRows())
        if (shown(*row) && lockReason(*row, commandLine_).empty())
            setValue(*row, options, numberOf(*row, file));
    handOver(options.live);
    return "";
}

}  // namespace torvane
