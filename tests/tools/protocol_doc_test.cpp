// docs/protocol.md is what application authors build against: every JSON example in it must be
// what the bridge really reads or writes. Each ```json block is followed by a line that states
// its meaning in backquotes, "Reads as: `key=value ...`" for telemetry or "Made from:
// `axis=value ... buttons=i,j`" for raw-input; the message each code snippet sends must be one
// of the checked examples.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "report/raw_input.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {
namespace {

struct Block {
    std::string language;
    std::string body;     ///< without the final line feed
    std::string comment;  ///< the first non-blank line after the block
};

std::vector<Block> fencedBlocks(const std::string& document) {
    static const std::regex kBlock("```(\\w*)\n([\\s\\S]*?)\n```\n(?=\\s*([^\n]*))");
    std::vector<Block> blocks;
    for (std::sregex_iterator it(document.begin(), document.end(), kBlock), end; it != end; ++it)
        blocks.push_back({(*it)[1], (*it)[2], (*it)[3]});
    return blocks;
}

/// The key=value pairs between the backquotes of a "Reads as:" or "Made from:" line.
std::map<std::string, std::string> statedValues(const std::string& comment) {
    std::map<std::string, std::string> values;
    const std::size_t open = comment.find('`');
    const std::size_t close = comment.rfind('`');
    std::istringstream pairs(comment.substr(open + 1, close - open - 1));
    std::string pair;
    while (pairs >> pair) {
        const std::size_t equals = pair.find('=');
        values[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    return values;
}

void expectReadsAs(const std::string& message, std::map<std::string, std::string> stated) {
    const TelemetryFrame frame = parseTelemetryFrame(message);
    const std::pair<const char*, double> numbers[] = {
        {"aligningTorque", frame.aligningTorque}, {"engineHz", frame.engineHz},
        {"engineGain", frame.engineGain},         {"roadGain", frame.roadGain},
        {"curbPulse", frame.curbPulse},           {"tireSlip", frame.tireSlip},
        {"tractionSlip", frame.tractionSlip},     {"speed", frame.speed},
        {"verticalAccel", frame.verticalAccel}};
    for (const auto& [key, value] : numbers) {
        const std::string text = stated.count(key) != 0 ? stated[key] : "0";
        EXPECT_EQ(value, std::strtod(text.c_str(), nullptr)) << key << " in " << message;
        stated.erase(key);
    }
    for (const auto& [key, value] : {std::pair{"curb", frame.curb}, {"offroad", frame.offroad}}) {
        EXPECT_EQ(value, stated.count(key) != 0 && stated[key] == "true")
            << key << " in " << message;
        stated.erase(key);
    }
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
        if (key == "buttons") {
            std::istringstream list(value);
            std::string index;
            while (std::getline(list, index, ',')) state.rgbButtons[std::stoul(index)] = 0x80;
        } else {
            ASSERT_EQ(axes.count(key), 1u) << "unknown axis " << key;
            *axes.at(key) = static_cast<LONG>(std::stol(value));
        }
    }
    EXPECT_EQ(formatRawInputReport(state).view(), message);
}

TEST(ProtocolDocument, EveryExampleIsWhatTheBridgeReadsOrWrites) {
    std::ifstream file(TORVANE_PROTOCOL_DOC, std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << TORVANE_PROTOCOL_DOC;
    std::ostringstream document;
    document << file.rdbuf();
    const std::vector<Block> blocks = fencedBlocks(document.str());

    std::set<std::string> telemetryExamples;
    int made = 0;
    for (const Block& block : blocks) {
        if (block.language != "json") continue;
        if (block.comment.rfind("Reads as: `", 0) == 0) {
            expectReadsAs(block.body, statedValues(block.comment));
            telemetryExamples.insert(block.body);
        } else if (block.comment.rfind("Made from: `", 0) == 0) {
            expectMadeFrom(block.body, statedValues(block.comment));
            ++made;
        } else {
            ADD_FAILURE() << "example without a \"Reads as\" or \"Made from\" line: " << block.body;
        }
    }
    EXPECT_GE(telemetryExamples.size(), 3u);
    EXPECT_GE(made, 1);

    // The snippets' message, once its language's quote escapes are undone, is a checked example.
    int snippets = 0;
    for (const Block& block : blocks) {
        const std::size_t start = block.body.find("{\\\"");
        const std::size_t startRaw = block.body.find("{\"");
        const std::size_t begin = start != std::string::npos ? start : startRaw;
        if (block.language == "json" || begin == std::string::npos) continue;
        std::string message = block.body.substr(begin, block.body.find('}', begin) - begin + 1);
        for (std::size_t at; (at = message.find("\\\"")) != std::string::npos;)
            message.erase(at, 1);
        EXPECT_EQ(telemetryExamples.count(message), 1u) << block.language << ": " << message;
        ++snippets;
    }
    EXPECT_EQ(snippets, 3);
}

}  // namespace
}  // namespace torvane
