// Reading a profile file: every problem at once with the field it is about,
// the window's own messages for its checks, and a controller's export read
// back to the same values.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "profile/ProfileJson.h"
#include "protocol/TextCodec.h"

namespace kestrane::profile {
namespace {

using nlohmann::json;

constexpr const char* kRangeEnglish =
    "The voltage parameter of lead-acid battery exceeds the range of 9 ~ 15V!";
constexpr const char* kRangeChinese = "请确认铅酸电池电压参数在9~15V范围内！";

// A complete User-Diy profile in Light Mode, as a person would write it.
json BaseProfile() {
    return json::parse(R"({
      "format": 1, "model": "KESTRANE-MPPT40A", "serialNumber": "X1", "firmware": "V1.3",
      "exportedAt": "2026-06-01T07:30:00Z",
      "battery": {"type": "User-Diy", "systemVoltage": "24V", "maxChargeCurrent": 30.5,
                  "maxLoadCurrent": 20, "equalizeMinutes": 120},
      "leadAcid": {"chargeVoltage": 14.4, "floatVoltage": 13.8, "equalizeVoltage": 14.6,
                   "overVoltageProtect": 16.0, "overVoltageRecover": 15.0,
                   "lowVoltageProtect": 11.0, "lowVoltageRecover": 12.2},
      "load": {"mode": "Light Mode", "onVoltage": 5.0, "offVoltage": 6.0, "onDelay": 5,
               "offDelay": 10}
    })");
}

std::vector<ProfileError> TextErrors(const std::string& text, bool english = true) {
    std::vector<ProfileError> errors;
    const auto profile = ReadProfile(text, english, errors);
    EXPECT_EQ(profile.has_value(), errors.empty());
    return errors;
}
std::vector<ProfileError> ErrorsOf(const json& profile, bool english = true) {
    return TextErrors(profile.dump(), english);
}

std::vector<std::string> Fields(const std::vector<ProfileError>& errors) {
    std::vector<std::string> fields;
    for (const ProfileError& error : errors)
        fields.push_back(error.field);
    return fields;
}

int32_t Value(const Profile& profile, std::string_view path) {
    return profile.values[*FieldIndex(path)].value_or(-1);
}

TEST(ReadProfile, CompleteProfileGivesRegisterValues) {
    std::vector<ProfileError> errors;
    const auto profile = ReadProfile(BaseProfile().dump(), true, errors);
    ASSERT_TRUE(profile) << errors.front().field << ": " << errors.front().message;
    EXPECT_EQ(profile->model, "KESTRANE-MPPT40A");
    EXPECT_EQ(Value(*profile, "battery.type"), 0);
    EXPECT_EQ(Value(*profile, "battery.systemVoltage"), 2);
    EXPECT_EQ(Value(*profile, "battery.maxChargeCurrent"), 305);
    EXPECT_EQ(Value(*profile, "battery.maxLoadCurrent"), 200);
    EXPECT_EQ(Value(*profile, "leadAcid.floatVoltage"), 138);
    EXPECT_EQ(Value(*profile, "load.offDelay"), 10);
    // Left out, so the controller keeps its own: lithium set, timers, durations.
    EXPECT_FALSE(profile->values[*FieldIndex("lithium.chargeVoltage")]);
    EXPECT_FALSE(profile->values[*FieldIndex("load.timer1.onHour")]);
}

TEST(ReadProfile, EveryErrorIsListedAtOnceWithItsField) {
    json profile = BaseProfile();
    profile["leadAcid"]["chargeVoltage"] = 15.1;   // the window's range check
    profile["leadAcid"]["equalizeVoltage"] = 8.9;  // the same check, again
    profile["load"]["onDelay"] = "5";              // wrong type
    profile["load"]["timer3"] = json::object();    // unknown key
    profile["battery"].erase("maxLoadCurrent");    // missing
    const std::vector<ProfileError> errors = ErrorsOf(profile);
    EXPECT_EQ(Fields(errors), (std::vector<std::string>{
                                  "battery.maxLoadCurrent", "leadAcid.chargeVoltage",
                                  "leadAcid.equalizeVoltage", "load.onDelay", "load.timer3"}));
    EXPECT_EQ(errors[1].message, kRangeEnglish);
    EXPECT_EQ(errors[2].message, kRangeEnglish);
    EXPECT_EQ(errors[3].message, "expected a whole number, got \"5\"");
    EXPECT_EQ(errors[4].message, "unknown key");

    const std::vector<ProfileError> chinese = ErrorsOf(profile, false);
    EXPECT_EQ(chinese[1].message, kRangeChinese);
}

TEST(ReadProfile, WindowLimitsAreInclusiveAndApplyOnlyToUserDiy) {
    json profile = BaseProfile();
    profile["leadAcid"]["chargeVoltage"] = 9.0;
    profile["leadAcid"]["floatVoltage"] = 15.0;
    EXPECT_TRUE(ErrorsOf(profile).empty());

    // A preset type fixes its own charge voltages: no check, not even needed.
    profile["battery"]["type"] = "GEL";
    profile["leadAcid"]["chargeVoltage"] = 20.0;
    profile["leadAcid"].erase("floatVoltage");
    EXPECT_TRUE(ErrorsOf(profile).empty());
}

TEST(ReadProfile, FieldsTheTypeOrModeNeedsMustBeThere) {
    json lithium = BaseProfile();
    lithium["battery"]["type"] = "Li-ion";
    lithium["lithium"] = {{"chargeVoltage", 14.2}, {"nominalVoltage", 12.8}};
    lithium.erase("leadAcid");                  // not needed by Li-ion
    lithium["battery"].erase("systemVoltage");  // hidden in the window for Li-ion
    const std::vector<ProfileError> errors = ErrorsOf(lithium);
    EXPECT_EQ(Fields(errors), (std::vector<std::string>{
                                  "lithium.lowVoltageProtect", "lithium.overVoltageProtect",
                                  "lithium.lowVoltageRecover", "lithium.overVoltageRecover"}));
    EXPECT_EQ(errors[0].message, "missing; battery type Li-ion needs it");

    json lightTime = BaseProfile();
    lightTime["load"]["mode"] = "Light&Time Mode";
    lightTime["load"]["eveningHours"] = 6;
    EXPECT_EQ(Fields(ErrorsOf(lightTime)), std::vector<std::string>{"load.morningHours"});

    json timers = BaseProfile();
    timers["load"] = {{"mode", "Dual Timer Mode"}, {"timer1", {{"onHour", 18}}}};
    EXPECT_EQ(ErrorsOf(timers).size(), 7u);  // the other seven timer values
}

TEST(ReadProfile, ValuesARegisterCannotHoldAreRefused) {
    struct Case {
        const char* section;
        const char* key;
        json value;
        const char* message;
    };
    const Case cases[] = {
        {"leadAcid", "floatVoltage", 13.85, "13.85 has more than one decimal"},
        {"leadAcid", "floatVoltage", -1.0, "-1.0 is outside 0.0 to 6553.5"},
        {"battery", "maxChargeCurrent", 6553.6, "6553.6 is outside 0.0 to 6553.5"},
        {"battery", "equalizeMinutes", 65536, "65536 is outside 0 to 65535"},
        {"battery", "equalizeMinutes", -3, "-3 is outside 0 to 65535"},
        {"battery", "equalizeMinutes", 12.5, "expected a whole number, got 12.5"},
        {"battery", "maxLoadCurrent", true, "expected a number, got boolean"},
        {"battery", "type", "AGM",
         "\"AGM\" is not one of \"User-Diy\", \"FLD\", \"SEL\", \"GEL\", \"Li-ion\""},
        {"battery", "systemVoltage", "20V",
         "\"20V\" is not one of \"Auto\", \"12V\", \"24V\", ... \"480V\""},
    };
    for (const Case& c : cases) {
        json profile = BaseProfile();
        profile[c.section][c.key] = c.value;
        const std::vector<ProfileError> errors = ErrorsOf(profile);
        ASSERT_EQ(errors.size(), 1u) << c.key << " " << c.value;
        EXPECT_EQ(errors[0].field, std::string(c.section) + "." + c.key);
        EXPECT_EQ(errors[0].message, c.message);
    }

    // 0 and 16 would read back as Light Mode and Dual Timer Mode.
    for (int hours : {0, 16}) {
        json profile = BaseProfile();
        profile["load"]["mode"] = "Light&Time Mode";
        profile["load"]["eveningHours"] = hours;
        profile["load"]["morningHours"] = 2;
        EXPECT_EQ(Fields(ErrorsOf(profile)), std::vector<std::string>{"load.eveningHours"});
    }
}

TEST(ReadProfile, ProtectionVoltagesTheControllerWouldRefuseToReportAreRefused) {
    json profile = BaseProfile();
    profile["leadAcid"]["overVoltageRecover"] = 16.1;  // above the protection
    profile["leadAcid"]["lowVoltageRecover"] = 10.9;   // below the protection
    EXPECT_EQ(Fields(ErrorsOf(profile)), (std::vector<std::string>{"leadAcid.overVoltageRecover",
                                                                   "leadAcid.lowVoltageRecover"}));
    profile = BaseProfile();
    profile["leadAcid"]["lowVoltageProtect"] = 16.5;  // above the over-voltage protection
    profile["leadAcid"]["lowVoltageRecover"] = 16.5;
    EXPECT_EQ(Fields(ErrorsOf(profile)), std::vector<std::string>{"leadAcid.overVoltageProtect"});
}

TEST(ReadProfile, TheFileAsAWholeMustBeAProfile) {
    const std::vector<ProfileError> malformed =
        TextErrors("{\n  \"format\": 1,\n  \"model\": \"X\"\n  \"battery\": {}\n}");
    ASSERT_EQ(malformed.size(), 1u);
    EXPECT_EQ(malformed[0].field, "");
    EXPECT_EQ(malformed[0].message.rfind("malformed JSON at line 4, column 11: ", 0), 0u)
        << malformed[0].message;
    EXPECT_EQ(TextErrors("").at(0).message.rfind("malformed JSON at line 1, column 1", 0), 0u);
    const std::vector<ProfileError> twice =
        TextErrors(R"({"format": 1, "model": "M", "battery": {"type": "GEL", "type": "GEL"}})");
    ASSERT_FALSE(twice.empty());
    EXPECT_EQ(twice[0].field, "battery.type");
    EXPECT_EQ(twice[0].message, "appears more than once; which value counts is unclear");
    EXPECT_EQ(TextErrors("[1, 2]").at(0).message, "a profile is a JSON object { ... }");

    json newer = BaseProfile();
    newer["format"] = 2;
    newer.erase("model");
    newer["leadAcid"] = 14.4;  // one error for the section, not one per field in it
    newer["colour"] = "blue";
    EXPECT_EQ(Fields(ErrorsOf(newer)),
              (std::vector<std::string>{"format", "model", "leadAcid", "colour"}));
}

TEST(ExportProfile, ReadsBackAsTheControllerHoldsIt) {
    ControllerData data;
    data.batteryType = 0;
    data.systemVoltageSetting = 2;
    data.cvChargeVoltage = 144;
    data.floatChargeVoltage = 137;
    data.maxChargeCurrent = 405;
    data.maxLoadCurrent = 200;
    data.equalizeVoltage = 146;
    data.equalizeMinutes = 300;  // the window shows 44; the profile keeps all of it
    data.overVoltageProtect = 160;
    data.overVoltageRecover = 150;
    data.lowVoltageProtect = 110;
    data.lowVoltageRecover = 122;
    data.liChargeVoltage = 142;
    data.loadMode = 5106;
    data.morningOnCode = 5202;
    data.loadOnPvVoltage = 50;
    data.timer2OffMinute = 75;
    TextToWords("KESTRANE-MPPT40A", data.modelName, ControllerData::kModelWords);
    TextToWords("SN\xE9", data.serialNumber, ControllerData::kSerialWords);

    const std::string text = ExportProfile(data, "2026-06-01T07:30:00Z");
    const json exported = json::parse(text);
    EXPECT_EQ(exported["serialNumber"], "SN\xEF\xBF\xBD");  // not UTF-8: the replacement character
    EXPECT_EQ(exported["battery"]["maxChargeCurrent"].dump(), "40.5");
    EXPECT_EQ(exported["load"]["mode"], "Light&Time Mode");

    std::vector<ProfileError> errors;
    const auto profile = ReadProfile(text, true, errors);
    ASSERT_TRUE(profile) << errors.front().field << ": " << errors.front().message;
    EXPECT_EQ(profile->exportedAt, "2026-06-01T07:30:00Z");
    for (size_t i = 0; i < kFieldCount; ++i)
        EXPECT_EQ(profile->values[i], FieldFromRecord(kProfileFields[i], data))
            << kProfileFields[i].path;

    // A preset type's charge voltages are the controller's own and stay out.
    data.batteryType = 1;
    EXPECT_FALSE(json::parse(ExportProfile(data, "")).at("leadAcid").contains("chargeVoltage"));
}

}  // namespace
}  // namespace kestrane::profile
