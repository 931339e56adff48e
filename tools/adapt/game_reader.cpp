#include "tools/adapt/game_reader.h"

namespace torvane::tools {

std::optional<GameFormatInfo> findGameFormat(std::string_view name) {
    for (const GameFormatInfo& info : kGameFormats)
        if (info.name == name) return info;
    return std::nullopt;
}

PacketReading GameReader::read(std::string_view packet) {
    switch (format_) {
        case GameFormat::Forza:
            return readForza(packet);
        case GameFormat::F1:
            return readF1(packet);
        case GameFormat::Assetto:
            return readAssetto(packet);
    }
    return {};
}

}  // namespace torvane::tools
