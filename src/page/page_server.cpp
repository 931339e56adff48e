#include "page/page_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

#include "page/assets.h"
#include "platform/listen_socket.h"

// cpp-httplib, as its single header, included here alone. Requests and headers are bounded by the
// library and by the limits set below; no TLS, compression or client is used.
#define CPPHTTPLIB_THREAD_POOL_COUNT 10
#define CPPHTTPLIB_PAYLOAD_MAX_LENGTH 4096
#include <httplib.h>
// nlohmann::json reads the changes' bodies (reporting errors as a discarded value).
#include <nlohmann/json.hpp>

namespace page {
namespace {

constexpr auto kEventInterval = std::chrono::milliseconds(33);  // 30 updates a second
constexpr std::string_view kTokenHeader = "X-Torvane-Token";
// A stream that stops being read fills this (a second or two of events) before its writes time
// out and it is dropped.
constexpr int kSendBufferBytes = 8 * 1024;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Compares in time independent of where the first difference lies.
bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string number(double value) {
    if (!std::isfinite(value)) value = 0;
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return std::string(buffer, static_cast<std::size_t>(std::max(n, 0)));
}

std::string recordJson(const LiveRecord& r) {
    const std::pair<const char*, double> fields[] = {
        {"t", r.timeMs},
        {"constant", r.constant},
        {"engine", r.engine},
        {"road", r.road},
        {"curb", r.curb},
        {"damper", r.damper},
        {"requested", r.requested},
        {"clip", r.clipShare},
        {"rim", r.rim},
        {"rimIsAngle", r.rimIsAngle},
        {"throttle", r.throttle},
        {"brake", r.brake},
        {"age", r.telemetryAgeMs},
        {"datagrams", r.datagrams},
        {"passes", r.passes},
        {"playing", r.playing},
        {"reason", r.stopReason},
    };
    std::string json = "{";
    for (const auto& [name, value] : fields) {
        if (json.size() > 1) json += ',';
        json += '"';
        json += name;
        json += "\":";
        json += number(value);
    }
    return json + '}';
}

nlohmann::json settingsJson(const std::vector<SettingView>& settings) {
    nlohmann::json list = nlohmann::json::array();
    for (const SettingView& s : settings) {
        list.push_back({{"name", s.name},
                        {"help", s.help},
                        {"unit", s.unit},
                        {"flag", s.flag},
                        {"live", s.live},
                        {"value", s.value},
                        {"saved", s.saved},
                        {"default", s.fallback},
                        {"lo", s.lo},
                        {"hi", s.hi},
                        {"step", s.step},
                        {"lockedBy", s.lockedBy}});
        if (!s.text.empty()) {
            list.back()["text"] = s.text;
            list.back()["defaultText"] = s.fallbackText;
        }
    }
    return list;
}

}  // namespace

int refusal(std::string_view method, std::string_view host, std::string_view origin,
            std::string_view token, std::string_view contentType, std::uint16_t port,
            std::string_view expectedToken) {
    const std::string portText = ':' + std::to_string(port);
    // Only the names a person types for this machine: a foreign name that resolves here (DNS
    // rebinding) is not this page.
    if (host != "127.0.0.1" + portText && host != "localhost" + portText) return 421;
    if (method == "GET" || method == "HEAD") return 0;
    // A change comes from the page alone: its token (never sent by the browser by itself), its own
    // origin, and a type no form can send.
    const bool json =
        contentType == "application/json" || startsWith(contentType, "application/json;");
    if (!sameSecret(token, expectedToken) || origin != "http://" + std::string(host) || !json)
        return 403;
    return 0;
}

std::string makeToken() {
    std::random_device random;
    std::string token;
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        std::uint32_t word = random();
        for (int j = 0; j < 8; ++j, word >>= 4) token += kHex[word & 0xF];
    }
    return token;
}

struct PageServer::Impl {
    const LatestSlot<LiveRecord>& slot;
    SettingsPort& settings;
    PageFacts facts;
    std::string token;
    std::uint16_t port = 0;
    httplib::Server server;
    std::thread thread;
    std::atomic<int> clients{0};
    std::atomic<bool> stopping{false};
    std::mutex settingsMutex;  // one settings call at a time; never touched by the loop
    std::array<std::chrono::steady_clock::time_point, kMaxChangesPerSecond> changes{};
    std::size_t nextChange = 0;

    Impl(const LatestSlot<LiveRecord>& s, SettingsPort& p, PageFacts f)
        : slot(s), settings(p), facts(std::move(f)) {}

    void routes();
    void answer(httplib::Response& response, const std::string& problem);
    bool rateLimited();
};

void PageServer::Impl::answer(httplib::Response& response, const std::string& problem) {
    if (!problem.empty()) {
        response.status = 409;
        response.set_content(nlohmann::json({{"error", problem}}).dump(), "application/json");
        return;
    }
    response.set_content(settingsJson(settings.settings()).dump(), "application/json");
}

// At most kMaxChangesPerSecond in any second: the oldest of the last that many must be a second
// old. Called under settingsMutex.
bool PageServer::Impl::rateLimited() {
    const auto now = std::chrono::steady_clock::now();
    auto& oldest = changes[nextChange];
    if (oldest.time_since_epoch().count() != 0 && now - oldest < std::chrono::seconds(1))
        return true;
    oldest = now;
    nextChange = (nextChange + 1) % changes.size();
    return false;
}

void PageServer::Impl::routes() {
    server.set_pre_routing_handler([this](const httplib::Request& request,
                                          httplib::Response& response) {
        const int status = refusal(request.method, request.get_header_value("Host"),
                                   request.get_header_value("Origin"),
                                   request.get_header_value(kTokenHeader.data()),
                                   request.get_header_value("Content-Type"), port, token);
        if (status == 0) return httplib::Server::HandlerResponse::Unhandled;
        response.status = status;
        response.set_content(status == 421 ? "Misdirected request\n" : "Forbidden\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
    for (std::size_t i = 0; i < kAssetCount; ++i) {
        const Asset& asset = kAssets[i];
        server.Get(std::string(asset.path), [&asset](const httplib::Request&,
                                                     httplib::Response& response) {
            response.set_content(asset.body.data(), asset.body.size(), std::string(asset.type));
        });
    }
    server.Get("/facts", [this](const httplib::Request&, httplib::Response& response) {
        const nlohmann::json json = {{"controller", facts.controller},
                                     {"effects", facts.effects},
                                     {"settingsFile", facts.settingsFile},
                                     {"testSignal", facts.testSignal}};
        response.set_content(json.dump(), "application/json");
    });
    server.Get("/settings", [this](const httplib::Request&, httplib::Response& response) {
        const std::lock_guard<std::mutex> lock(settingsMutex);
        answer(response, "");
    });
    server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
        if (clients.fetch_add(1) >= kMaxClients) {
            clients.fetch_sub(1);
            response.status = 503;
            response.set_content("Too many live pages\n", "text/plain");
            return;
        }
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream",
            [this](std::size_t, httplib::DataSink& sink) {
                // A client that stops reading fills its socket: the write then fails after the
                // write timeout and the stream ends. The loop never sees any of it.
                std::this_thread::sleep_for(kEventInterval);
                LiveRecord record;
                const std::string event =
                    slot.read(record) ? "data: " + recordJson(record) + "\n\n" : ": idle\n\n";
                return !stopping.load() && sink.write(event.data(), event.size());
            },
            [this](bool) { clients.fetch_sub(1); });
    });
    const auto change = [this](const httplib::Request& request, httplib::Response& response,
                               auto&& act) {
        const std::lock_guard<std::mutex> lock(settingsMutex);
        if (rateLimited()) {
            response.status = 429;
            response.set_content("Too many changes\n", "text/plain");
            return;
        }
        const nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
        if (body.is_discarded() || !body.is_object()) {
            response.status = 400;
            response.set_content("Expected a JSON object\n", "text/plain");
            return;
        }
        answer(response, act(body));
    };
    server.Post("/settings",
                [this, change](const httplib::Request& request, httplib::Response& response) {
                    change(request, response, [this](const nlohmann::json& body) -> std::string {
                        const auto name = body.find("name");
                        const auto value = body.find("value");
                        if (name == body.end() || !name->is_string() || value == body.end())
                            return "expected a name and a value";
                        double number = 0;
                        if (value->is_boolean()) {
                            number = value->get<bool>() ? 1 : 0;
                        } else if (value->is_number()) {
                            number = value->get<double>();
                        } else {
                            return "expected a number";
                        }
                        return settings.change(name->get<std::string>(), number);
                    });
                });
    server.Post(
        "/save", [this, change](const httplib::Request& request, httplib::Response& response) {
            change(request, response, [this](const nlohmann::json&) { return settings.save(); });
        });
    server.Post(
        "/revert", [this, change](const httplib::Request& request, httplib::Response& response) {
            change(request, response, [this](const nlohmann::json&) { return settings.revert(); });
        });
}

PageServer::PageServer(const LatestSlot<LiveRecord>& slot, SettingsPort& settings, PageFacts facts)
    : impl_(std::make_unique<Impl>(slot, settings, std::move(facts))) {}

PageServer::~PageServer() {
    impl_->stopping.store(true);
    impl_->server.stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}

bool PageServer::start(std::uint16_t port, std::string token) {
    Impl& impl = *impl_;
    impl.port = port;
    impl.token = std::move(token);
    // No CORS header is ever sent: another origin can neither read an answer nor send a change
    // that passes the checks above.
    impl.server.set_default_headers(
        {{"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"},
         {"X-Content-Type-Options", "nosniff"},
         {"Referrer-Policy", "no-referrer"},
         {"Cache-Control", "no-store"}});
    impl.server.set_payload_max_length(kMaxRequestBytes);
    impl.server.set_read_timeout(std::chrono::seconds(2));
    impl.server.set_write_timeout(std::chrono::seconds(1));
    // One request per connection: the library polls an idle kept-alive connection every 10 ms,
    // and a new connection on this machine costs less than that.
    impl.server.set_keep_alive_max_count(1);
    // On Windows the library polls for new connections; every 10 ms by default, needlessly often.
    if (platform::acceptPolls()) impl.server.set_idle_interval(0, 100'000);
    impl.server.set_address_family(AF_INET);
    impl.server.set_socket_options([](auto socket) {
        platform::prepareListeningSocket(static_cast<std::uintptr_t>(socket), kSendBufferBytes);
    });
    impl.routes();
    if (!impl.server.bind_to_port("127.0.0.1", port)) return false;
    impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
    return true;
}

}  // namespace page
