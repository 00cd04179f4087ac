#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "monitor/ControlIds.h"
#include "monitor/LoadModeText.h"

namespace kestrane {
namespace {

constexpr int kLines[] = {id::kLoadLine1, id::kLoadLine2, id::kLoadLine3,
                          id::kLoadLine4, id::kLoadLine5, id::kLoadLine6};

const char* const kNoteEnglish = "○Note:If Vbat exceeds the protection,will turn off! ";
const char* const kNoteChinese = "○Note:电池电压超出保护值，负载将关闭！";

using Lines = std::array<std::optional<std::string>, 6>;

// The six lines as the pass leaves them; nullopt where it writes nothing.
Lines LinesFor(const ControllerData& data, bool english) {
    std::vector<ControlText> texts;
    AppendLoadModeTexts(data, english, texts);
    Lines lines;
    for (const ControlText& t : texts) {
        const auto* it = std::find(std::begin(kLines), std::end(kLines), t.id);
        EXPECT_NE(it, std::end(kLines)) << "unexpected control " << t.id;
        if (it != std::end(kLines)) lines[it - std::begin(kLines)] = t.text;
    }
    return lines;
}

void ExpectLines(const ControllerData& data, bool english, const Lines& expected) {
    const Lines actual = LinesFor(data, english);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "line " << kLines[i] << (english ? " en" : " zh");
}

TEST(LoadModeText, LightModeWithLowByteDelays) {
    ControllerData data;
    data.loadMode = 5100;
    data.loadOnPvVoltage = 50;
    data.loadOffPvVoltage = 123;
    data.loadOnDelay = 0x0105;  // only the low byte counts
    data.loadOffDelay = 10;
    ExpectLines(data, true,
                {"○Load Control Mode: Light Mode", "○ON ：->",
                 "When PV is less than 5.0V, ON 5 minutes later.", "○OFF：->",
                 "When PV is more than 12.3V, OFF 10 minutes later.", kNoteEnglish});
    ExpectLines(data, false,
                {"○负载控制模式：光控模式", "○打开：->", "  当PV电压小于5.0V时将延时5分钟打开负载",
                 "○关闭：->", "  当PV电大于12.3V时将延时10分钟关闭负载", kNoteChinese});
}

TEST(LoadModeText, LightTimeModeTakesHoursFromTheModeCodes) {
    ControllerData data;
    data.loadMode = 5110;
    data.morningOnCode = 5202;
    data.loadOnPvVoltage = 50;
    data.loadOffPvVoltage = 60;
    ExpectLines(data, true,
                {"○Load Control Mode: Light-Time Mode", "○Sunset ：->",
                 "When PV is less than 5.0V, ON 10 hours.", "○Sunrise：->",
                 "When PV is more than 6.0V, ON 2 hours before.", kNoteEnglish});
    ExpectLines(data, false,
                {"○负载控制模式：固定时间光控模式", "○日落：->",
                 "  当PV电压小于5.0V时打开负载，约10小时后关闭", "○日出：->",
                 "  当PV电大于6.0V时关闭负载，约2小时前打开", kNoteChinese});

    for (int mode : {5101, 5115}) {
        data.loadMode = mode;
        EXPECT_EQ(LinesFor(data, true)[2],
                  "When PV is less than 5.0V, ON " + std::to_string(mode - 5100) + " hours.");
    }
}

TEST(LoadModeText, DualTimerWithoutZeroPadding) {
    ControllerData data;
    data.loadMode = 5116;
    data.timer1OnHour = 18;
    data.timer1OnMinute = 5;
    data.timer1OffHour = 6;
    data.timer1OffMinute = 0;
    data.timer2OnHour = 0x100 + 7;  // only the low byte counts
    data.timer2OnMinute = 30;
    data.timer2OffHour = 23;
    data.timer2OffMinute = 59;
    ExpectLines(data, true,
                {"○Load Control Mode: Dual Timer Mode", "○Timer 1 ：->",
                 "Turn ON at 18：5 and turn OFF at 6：0.", "○Timer 2 ：->",
                 "Turn ON at 7：30 and turn OFF at 23：59.", kNoteEnglish});
    ExpectLines(data, false,
                {"○负载控制模式：双时段定时模式", "○时段1：->", "  在18：5打开，在6：0关闭",
                 "○时段2：->", "  在7：30打开，在23：59关闭", kNoteChinese});
}

TEST(LoadModeText, AlwaysOnAndAlwaysOffPutTheModeInTheSecondLine) {
    ControllerData data;
    data.loadMode = 5117;
    ExpectLines(data, true, {"", "○Load Control Mode: On Mode", "", "", "", kNoteEnglish});
    ExpectLines(data, false, {"", "○负载控制模式：常开模式", "", "", "", kNoteChinese});
    data.loadMode = 5118;
    ExpectLines(data, true, {"", "○Load Control Mode: Off Mode", "", "", "", ""});
    ExpectLines(data, false, {"", "○负载控制模式：常关模式", "", "", "", ""});
}

TEST(LoadModeText, UnknownModeEmptiesFourLinesAndKeepsTwo) {
    for (int mode : {0, 5099, 5119, 5200, 0xFFFF}) {
        ControllerData data;
        data.loadMode = mode;
        ExpectLines(data, true, {"", std::nullopt, "", "", "", std::nullopt});
    }
}

}  // namespace
}  // namespace kestrane
