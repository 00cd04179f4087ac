#include "monitor/LoadModeText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "monitor/ControlIds.h"
#include "monitor/NumberText.h"

namespace kestrane {

namespace {

constexpr int kLineIds[] = {id::kLoadLine1, id::kLoadLine2, id::kLoadLine3,
                            id::kLoadLine4, id::kLoadLine5, id::kLoadLine6};
constexpr std::size_t kLineCount = std::size(kLineIds);

// A line the mode leaves untouched.
constexpr LanguageText kKeep = {nullptr, nullptr};
constexpr LanguageText kEmpty = {"", ""};
constexpr LanguageText kNote = {"○Note:If Vbat exceeds the protection,will turn off! ",
                                "○Note:电池电压超出保护值，负载将关闭！"};

// One mode (or range of modes) and its six lines. A line may hold placeholders
// in braces, replaced by the register values named in LoadValues below.
struct LoadModeRow {
    uint32_t first;
    uint32_t last;
    LanguageText lines[kLineCount];
};

constexpr LoadModeRow kLoadModes[] = {
    {5100,
     5100,
     {{"○Load Control Mode: Light Mode", "○负载控制模式：光控模式"},
      {"○ON ：->", "○打开：->"},
      {"When PV is less than {onPv}V, ON {onDelay} minutes later.",
       "  当PV电压小于{onPv}V时将延时{onDelay}分钟打开负载"},
      {"○OFF：->", "○关闭：->"},
      {"When PV is more than {offPv}V, OFF {offDelay} minutes later.",
       "  当PV电大于{offPv}V时将延时{offDelay}分钟关闭负载"},
      kNote}},
    {5101,
     5115,
     {{"○Load Control Mode: Light-Time Mode", "○负载控制模式：固定时间光控模式"},
      {"○Sunset ：->", "○日落：->"},
      {"When PV is less than {onPv}V, ON {eveningHours} hours.",
       "  当PV电压小于{onPv}V时打开负载，约{eveningHours}小时后关闭"},
      {"○Sunrise：->", "○日出：->"},
      {"When PV is more than {offPv}V, ON {morningHours} hours before.",
       "  当PV电大于{offPv}V时关闭负载，约{morningHours}小时前打开"},
      kNote}},
    {5116,
     5116,
     {{"○Load Control Mode: Dual Timer Mode", "○负载控制模式：双时段定时模式"},
      {"○Timer 1 ：->", "○时段1：->"},
      {"Turn ON at {t1OnH}：{t1OnM} and turn OFF at {t1OffH}：{t1OffM}.",
       "  在{t1OnH}：{t1OnM}打开，在{t1OffH}：{t1OffM}关闭"},
      {"○Timer 2 ：->", "○时段2：->"},
      {"Turn ON at {t2OnH}：{t2OnM} and turn OFF at {t2OffH}：{t2OffM}.",
       "  在{t2OnH}：{t2OnM}打开，在{t2OffH}：{t2OffM}关闭"},
      kNote}},
    {5117,
     5117,
     {kEmpty,
      {"○Load Control Mode: On Mode", "○负载控制模式：常开模式"},
      kEmpty,
      kEmpty,
      kEmpty,
      kNote}},
    {5118,
     5118,
     {kEmpty,
      {"○Load Control Mode: Off Mode", "○负载控制模式：常关模式"},
      kEmpty,
      kEmpty,
      kEmpty,
      kEmpty}},
};

constexpr LoadModeRow kUnknownLoadMode = {0, 0, {kEmpty, kKeep, kEmpty, kEmpty, kEmpty, kKeep}};

struct NamedText {
    std::string_view name;
    std::string text;
};

uint32_t Unsigned(const AtomicValue& value) {
    return static_cast<uint32_t>(value.load());
}

// The values a line may name, formatted once per pass.
std::array<NamedText, 14> LoadValues(const ControllerData& data) {
    const auto tenths = [](const AtomicValue& v) { return FormatTenths(Unsigned(v)); };
    const auto low = [](const AtomicValue& v) { return FormatLowByte(Unsigned(v)); };
    return {{
        {"onPv", tenths(data.loadOnPvVoltage)},
        {"offPv", tenths(data.loadOffPvVoltage)},
        {"onDelay", low(data.loadOnDelay)},
        {"offDelay", low(data.loadOffDelay)},
        {"eveningHours", std::to_string(Unsigned(data.loadMode) % 100)},
        {"morningHours", std::to_string(Unsigned(data.morningOnCode) % 100)},
        {"t1OnH", low(data.timer1OnHour)},
        {"t1OnM", low(data.timer1OnMinute)},
        {"t1OffH", low(data.timer1OffHour)},
        {"t1OffM", low(data.timer1OffMinute)},
        {"t2OnH", low(data.timer2OnHour)},
        {"t2OnM", low(data.timer2OnMinute)},
        {"t2OffH", low(data.timer2OffHour)},
        {"t2OffM", low(data.timer2OffMinute)},
    }};
}

// Replaces every {name} of the pattern by its value; an unknown name stays as
// written.
template <std::size_t N>
std::string FillPlaceholders(std::string_view pattern, const std::array<NamedText, N>& values) {
    std::string out;
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const std::size_t open = pattern.find('{', pos);
        const std::size_t close = open == std::string_view::npos ? open : pattern.find('}', open);
        if (close == std::string_view::npos) break;
        out.append(pattern, pos, open - pos);
        const std::string_view name = pattern.substr(open + 1, close - open - 1);
        const NamedText* value = nullptr;
        for (const NamedText& candidate : values)
            if (candidate.name == name) value = &candidate;
        if (value != nullptr)
            out += value->text;
        else
            out.append(pattern, open, close - open + 1);
        pos = close + 1;
    }
    out.append(pattern.substr(std::min(pos, pattern.size())));
    return out;
}

const LoadModeRow& FindLoadMode(uint32_t loadMode) {
    for (const LoadModeRow& row : kLoadModes)
        if (loadMode >= row.first && loadMode <= row.last) return row;
    return kUnknownLoadMode;
}

}  // namespace

void AppendLoadModeTexts(const ControllerData& data, bool english, std::vector<ControlText>& out) {
    const LoadModeRow& mode = FindLoadMode(Unsigned(data.loadMode));
    const auto values = LoadValues(data);
    for (std::size_t i = 0; i < kLineCount; ++i) {
        if (mode.lines[i].english == nullptr) continue;
        out.push_back({kLineIds[i], FillPlaceholders(mode.lines[i].In(english), values)});
    }
}

}  // namespace kestrane
