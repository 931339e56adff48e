// The three telemetry formats torvane-adapt reads, and the reader that turns each of a game's
// packets into the bridge's telemetry frame. docs/adapters.md has every field's source and unit.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "telemetry/telemetry_frame.h"
#include "tools/adapt/vehicle_model.h"

namespace torvane::tools {

enum class GameFormat { Forza, F1, Assetto };

struct GameFormatInfo {
    GameFormat format;
    std::string_view name;         ///< as given on the command line
    unsigned short defaultPort;    ///< where the game sends (Assetto Corsa: where it listens)
    std::string_view description;  ///< one line for --list
};

inline constexpr std::array<GameFormatInfo, 3> kGameFormats{{
    {GameFormat::Forza, "forza", 5400,
     "Forza Motorsport 7 / 2023, Forza Horizon 4 / 5: \"Data Out\" (Sled, Dash, Horizon)"},
    {GameFormat::F1, "f1", 20777, "F1 25: UDP telemetry, UDP Format 2025"},
    {GameFormat::Assetto, "assetto", 9996,
     "Assetto Corsa: remote telemetry (handshake, then one car-info packet per physics step)"},
}};

std::optional<GameFormatInfo> findGameFormat(std::string_view name);

struct AdaptSettings {
    double strength = 1.0;  ///< the modelled aligning torque's strength (forza, f1), 0..2
    double mzScale = 0.0;   ///< N·m of front Mz that is full force (assetto); 0: automatic
};

/// What one packet amounts to.
enum class PacketVerdict {
    Frame,      ///< a message for the bridge: the frame holds it
    Kept,       ///< a packet of the format that sends nothing by itself (or the game is paused)
    Subscribe,  ///< Assetto Corsa's answer to the handshake: subscribe to its updates now
    Skipped,    ///< not of a documented layout and size: counted and dropped
};

struct PacketReading {
    PacketVerdict verdict = PacketVerdict::Skipped;
    TelemetryFrame frame;
    std::string session;  ///< Assetto Corsa's answer: "car NAME, track NAME" in printable ASCII
};

/// Reads one format's packets. Keeps what a frame needs across packets: the F1 games spread a
/// frame's fields over three packets, Assetto Corsa's automatic torque scale is the highest
/// torque seen, and the vertical acceleration's slow average lives here.
class GameReader {
  public:
    GameReader(GameFormat format, AdaptSettings settings) : format_(format), settings_(settings) {}

    PacketReading read(std::string_view packet);

    /// Forgets the automatic torque scale (a new Assetto Corsa session may be another car).
    void resetScale() { mzPeak_ = 0.0; }

  private:
    PacketReading readForza(std::string_view packet);
    PacketReading readF1(std::string_view packet);
    PacketReading readAssetto(std::string_view packet);

    /// What the latest F1 packets of each kind said, kept until the next motion packet.
    struct F1State {
        double speed = 0.0;
        double throttle = 0.0;
        double rpm = 0.0;
        std::array<unsigned, 4> surface{};  ///< RL, RR, FL, FR as the game orders wheels
        std::array<double, 4> suspensionVelocity{};
        std::array<double, 4> slipRatio{};
        std::array<double, 4> slipAngle{};
    };

    GameFormat format_;
    AdaptSettings settings_;
    BumpFilter bumps_;
    F1State f1_;
    double mzPeak_ = 0.0;
};

}  // namespace torvane::tools
