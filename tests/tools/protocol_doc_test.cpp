// docs/protocol.md is what application authors build against: every JSON example in it must be
// what the bridge really reads or writes. Each ```json block is followed by a line that states
// its meaning in backquotes, "Reads as: `key=value ...`" for telemetry or "Made from:
// `axis=value ... buttons=i,j`" for raw-input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "report/raw_input.h"
#include "support/frame_fields.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {
namespace {

/// The key=value pairs between the backquotes of a "Reads as:" or "Made from:" line.
std::map<std::string, std::string> statedValues(const std::string& comment) {
    std::map<std::string, std::string> values;
    const std::size_t open = comment.find('`');
    std::istringstream pairs(comment.substr(open + 1, comment.rfind('`') - open - 1));
    for (std::string pair; pairs >> pair;) {
        const std::size_t equals = pair.find('=');
        values[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    return values;
}

void expectReadsAs(const std::string& message, std::map<std::string, std::string> stated) {
    const TelemetryFrame frame = parseTelemetryFrame(message);
    const auto expect = [&](const char* key, double value) {
        const std::string text = stated.count(key) != 0 ? stated[key] : "0";
        const double expected = text == "true" ? 1.0 : std::strtod(text.c_str(), nullptr);
        EXPECT_EQ(value, expected) << key << " in " << message;
        stated.erase(key);
    };
    for (const auto& [key, field] : fake::kFrameNumbers) expect(key, frame.*field);
    expect("curb", frame.curb);
    expect("offroad", frame.offroad);
    EXPECT_TRUE(stated.empty()) << "unknown key stated for " << message;
}

void expectMadeFrom(const std::string& message, const std::map<std::string, std::string>& stated) {
    DIJOYSTATE2 state{};
    const std::map<std::string, LONG*> axes = {{"x", &state.lX},
                                               {"y", &state.lY},
                                               {"z", &state.lZ},
                                               {"rx", &state.lRx},
                                               {"ry", &state.lRy},
                                               {"rz", &state.lRz},
                                               {"slider0", &state.rglSlider[0]},
                                               {"slider1", &state.rglSlider[1]}};
    for (const auto& [key, value] : stated) {
        std::istringstream list(value);
        if (key == "buttons")
            for (std::string index; std::getline(list, index, ',');)
                state.rgbButtons[std::stoul(index)] = 0x80;
        else if (axes.count(key) == 1)
            *axes.at(key) = static_cast<LONG>(std::stol(value));
        else
            ADD_FAILURE() << "unknown axis " << key;
    }
    EXPECT_EQ(formatRawInputReport(state).view(), message);
}

TEST(ProtocolDocument, EveryExampleIsWhatTheBridgeReadsOrWrites) {
    std::ifstream file(TORVANE_PROTOCOL_DOC, std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << TORVANE_PROTOCOL_DOC;
    std::ostringstream document;
    document << file.rdbuf();
    const std::string text = document.str();
    // A block's language, its body without the last line feed, and the first line after it.
    static const std::regex kBlock("```(\\w*)\n([\\s\\S]*?)\n```\n(?=\\s*([^\n]*))");

    int read = 0, made = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), kBlock), end; it != end; ++it) {
        const std::string language = (*it)[1], body = (*it)[2], comment = (*it)[3];
        if (language != "json") continue;
        if (comment.rfind("Reads as: `", 0) == 0) {
            expectReadsAs(body, statedValues(comment));
            ++read;
        } else if (comment.rfind("Made from: `", 0) == 0) {
            expectMadeFrom(body, statedValues(comment));
            ++made;
        } else {
            ADD_FAILURE() << "example without a \"Reads as\" or \"Made from\" line: " << body;
        }
    }
    EXPECT_GE(read, 3);
    EXPECT_GE(made, 1);
}

}  // namespace
}  // namespace torvane
