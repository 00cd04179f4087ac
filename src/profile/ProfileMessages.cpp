#include "profile/ProfileMessages.h"

#include <cstdio>

namespace kestrane::profile {

namespace {

std::string Number(double value, bool decimal) {
    char text[32];
    std::snprintf(text, sizeof text, decimal ? "%.1f" : "%.0f", value);
    return text;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

const Messages& MessagesIn(bool english) {
    static constexpr Messages kEnglish(true);
    static constexpr Messages kChinese(false);
    return english ? kEnglish : kChinese;
}

std::string Messages::Where(size_t line, size_t column) const {
    const std::string l = std::to_string(line);
    const std::string c = std::to_string(column);
    return Pick("line " + l + ", column " + c, "第 " + l + " 行第 " + c + " 列");
}
std::string Messages::Malformed(const std::string& where, const std::string& reason) const {
    return Pick("malformed JSON at " + where + ": " + reason,
                "JSON 格式错误，位于" + where + "：" + reason);
}
std::string Messages::NotAnObject() const {
    return Pick("a profile is a JSON object { ... }", "配置文件应为 JSON 对象 { ... }");
}
std::string Messages::UnknownKey() const {
    return Pick("unknown key", "未知的键");
}
std::string Messages::Duplicate() const {
    return Pick("appears more than once; which value counts is unclear",
                "出现多次；无法确定以哪个值为准");
}
std::string Messages::Missing() const {
    return Pick("missing", "缺少此项");
}
std::string Messages::NeededByType(const std::string& type) const {
    return Pick("missing; battery type " + type + " needs it",
                "缺少此项；电池类型 " + type + " 需要此项");
}
std::string Messages::NeededByMode(const std::string& mode) const {
    return Pick("missing; load mode " + mode + " needs it",
                "缺少此项；负载模式 " + mode + " 需要此项");
}
std::string Messages::ExpectedNumber(std::string_view got) const {
    return Pick("expected a number, got " + std::string(got),
                "应为数字，实际为 " + std::string(got));
}
std::string Messages::ExpectedWhole(const std::string& got) const {
    return Pick("expected a whole number, got " + got, "应为整数，实际为 " + got);
}
std::string Messages::ExpectedText(std::string_view got) const {
    return Pick("expected a string, got " + std::string(got),
                "应为字符串，实际为 " + std::string(got));
}
std::string Messages::ExpectedObject(std::string_view got) const {
    return Pick("expected an object { ... }, got " + std::string(got),
                "应为对象 { ... }，实际为 " + std::string(got));
}
std::string Messages::OneDecimal(const std::string& value) const {
    return Pick(value + " has more than one decimal", value + " 的小数多于一位");
}
std::string Messages::OutOfRange(const std::string& value, double min, double max,
                                 bool decimal) const {
    const std::string low = Number(min, decimal);
    const std::string high = Number(max, decimal);
    return Pick(value + " is outside " + low + " to " + high,
                value + " 超出范围 " + low + " ~ " + high);
}
std::string Messages::NotAnEntry(const std::string& value, Unit unit) const {
    std::string entries;
    const int count = unit == Unit::kSystemVoltage ? 3 : 5;
    for (int index = 0; index < count; ++index)
        entries += (index ? ", " : "") + Quoted(EntryName(unit, index));
    if (unit == Unit::kSystemVoltage) entries += ", ... " + Quoted(EntryName(unit, 40));
    return Pick(Quoted(value) + " is not one of " + entries,
                Quoted(value) + " 不是以下之一：" + entries);
}
std::string Messages::Format(const std::string& value, int supported) const {
    const std::string version = std::to_string(supported);
    return Pick("format " + value + " is not one this program reads (" + version + ")",
                "不支持的格式 " + value + "（本程序读取格式 " + version + "）");
}
std::string Messages::NotBelow(const std::string& other) const {
    return Pick("must not be below " + other +
                    ", or the controller's lead-acid block is refused "
                    "when read back",
                "不得低于 " + other + "，否则读回控制器的铅酸参数时会被拒绝");
}
std::string Messages::NotAbove(const std::string& other) const {
    return Pick("must not be above " + other +
                    ", or the controller's lead-acid block is refused "
                    "when read back",
                "不得高于 " + other + "，否则读回控制器的铅酸参数时会被拒绝");
}

std::string Messages::NothingWritten(size_t errors) const {
    const std::string count = std::to_string(errors);
    return Pick(count + (errors == 1 ? " error" : " errors") + "; nothing written",
                "共 " + count + " 处错误；未写入任何内容");
}

}  // namespace kestrane::profile
