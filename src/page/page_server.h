// "--page": a web page on 127.0.0.1 that shows the forces live and changes the live settings.
// The server runs on threads of its own and only reads what the loop publishes; every request is
// treated as hostile, since any web page the user visits may send requests to 127.0.0.1.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "page/live_record.h"
#include "page/settings_port.h"

namespace page {

inline constexpr std::uint16_t kDefaultPort = 8768;
inline constexpr int kMaxClients = 4;  ///< live streams at once
inline constexpr int kMaxChangesPerSecond = 20;
inline constexpr std::size_t kMaxRequestBytes = 4096;

/// What the page shows that does not change while the bridge runs.
struct PageFacts {
    std::string controller;    ///< the controller's name
    std::string effects;       ///< the "FFB effects: ..." line
    std::string settingsFile;  ///< "" for none
    bool testSignal = false;
};

/// Why a request is refused before any handler sees it: 0 to serve it, else the HTTP status.
/// host, origin, token and contentType are the request's headers ("" when absent); a change is
/// any request but GET and HEAD.
int refusal(std::string_view method, std::string_view host, std::string_view origin,
            std::string_view token, std::string_view contentType, std::uint16_t port,
            std::string_view expectedToken);

/// A fresh random token: 32 hexadecimal digits.
std::string makeToken();

class PageServer {
  public:
    PageServer(const LatestSlot<LiveRecord>& slot, SettingsPort& settings, PageFacts facts);
    ~PageServer();  ///< stops the server and waits for its threads
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    /// Binds 127.0.0.1:port and starts serving; false when the port cannot be bound.
    bool start(std::uint16_t port, std::string token);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace page
