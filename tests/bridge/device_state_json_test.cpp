// The state and link objects the bridge publishes, from a record filled by
// hand: every key of the entity table, the units, the alarm names, and the
// values of a garbled reply published as they were decoded.
#include <gtest/gtest.h>

#include <cstdlib>

#include "bridge/DeviceStateJson.h"
#include "bridge/StateFields.h"

namespace kestrane::bridge {
namespace {

using std::chrono::system_clock;

system_clock::time_point At(long long secondsSinceEpoch, int millis = 0) {
    return system_clock::time_point(std::chrono::seconds(secondsSinceEpoch) +
                                    std::chrono::milliseconds(millis));
}

struct KnownRecord : ::testing::Test {
    KnownRecord() {
        d.pvVoltage = 189;       // 18.9 V
        d.batteryVoltage = 138;  // 13.8 V
        d.loadVoltage = 137;
        d.chargeCurrent = 52;  // 5.2 A
        d.loadCurrent = 7;
        d.chargePower = 71;
        d.loadPower = 9;
        d.innerTemperature = 31;
        d.batteryTemperature = -10;
        d.chargedTodayWh = 100000;
        d.chargedMonthWh = 2500;
        d.chargedTotalWh = 1234567;
        d.usedTodayWh = 40;
        d.usedMonthWh = 900;
        d.usedTotalWh = 50;
        d.chargeState = 2;
        d.alarmCode = 0x081;  // battery over-voltage and battery low
        d.loadOutputOn = 1;
        d.batteryType = 3;
    }
    ControllerData d;
};

TEST_F(KnownRecord, HasEveryEntityKeyAndTheExtraKeys) {
    const nlohmann::json state = DeviceStateJson(d, At(0));
    for (const StateField& field : kStateFields) {
        ASSERT_TRUE(state.contains(std::string(field.key))) << field.key;
        if (field.kind == EntityKind::kBinarySensor)
            EXPECT_TRUE(state.at(std::string(field.key)).is_boolean()) << field.key;
        else if (field.unit.empty())
            EXPECT_TRUE(state.at(std::string(field.key)).is_string()) << field.key;
        else
            EXPECT_TRUE(state.at(std::string(field.key)).is_number()) << field.key;
    }
    for (const char* extra : {"charge_state", "load_mode", "alarm_code", "alarms", "battery_type",
                              "charged_total_wh", "used_total_wh", "timestamp"})
        EXPECT_TRUE(state.contains(extra)) << extra;
}

TEST_F(KnownRecord, ValuesAreInRealUnits) {
    const nlohmann::json s = DeviceStateJson(d, At(0));
    EXPECT_DOUBLE_EQ(s["pv_voltage"].get<double>(), 18.9);
    EXPECT_DOUBLE_EQ(s["battery_voltage"].get<double>(), 13.8);
    EXPECT_DOUBLE_EQ(s["charge_current"].get<double>(), 5.2);
    EXPECT_DOUBLE_EQ(s["load_current"].get<double>(), 0.7);
    EXPECT_EQ(s["charge_power"], 71);
    EXPECT_EQ(s["battery_temperature"], -10);
    EXPECT_EQ(s["inner_temperature"], 31);
    EXPECT_EQ(s["charged_today_wh"], 100000);
    EXPECT_EQ(s["charged_total_wh"], 1234567);
    EXPECT_DOUBLE_EQ(s["charged_total_kwh"].get<double>(), 1234.567);
    EXPECT_DOUBLE_EQ(s["used_total_kwh"].get<double>(), 0.05);
    EXPECT_EQ(s["charge_state"], 2);
    EXPECT_EQ(s["charge_state_text"], "C.V. Charging");
    EXPECT_EQ(s["load_on"], true);
    EXPECT_EQ(s["battery_type"], 3);
    EXPECT_EQ(s["battery_type_text"], "GEL");
}

// The load-mode select takes its state from this key, so it must be one of
// the select's options, or null.
TEST_F(KnownRecord, LoadModeIsNamedAsTheSelectOffersIt) {
    const std::pair<int32_t, nlohmann::json> cases[] = {{5100, "Light"},      {5104, "Light&Time"},
                                                        {5116, "Dual Timer"}, {5117, "On"},
                                                        {5118, "Off"},        {42, nullptr}};
    for (const auto& [code, name] : cases) {
        d.loadMode = code;
        EXPECT_EQ(DeviceStateJson(d, At(0))["load_mode"], name) << code;
    }
}

TEST_F(KnownRecord, AlarmsAreListedByName) {
    nlohmann::json s = DeviceStateJson(d, At(0));
    EXPECT_EQ(s["alarm_code"], 0x081);
    EXPECT_EQ(s["alarm"], true);
    EXPECT_EQ(s["alarms"], nlohmann::json({"BAT Over", "BAT Low"}));
    EXPECT_EQ(s["alarm_text"], "BAT Over, BAT Low");

    d.alarmCode = 0;
    s = DeviceStateJson(d, At(0));
    EXPECT_EQ(s["alarm"], false);
    EXPECT_TRUE(s["alarms"].empty());
    EXPECT_EQ(s["alarm_text"], "Normal Run");

    d.alarmCode = 0x8000;  // a bit without a name
    EXPECT_EQ(DeviceStateJson(d, At(0))["alarms"], nlohmann::json({"8000"}));
}

TEST_F(KnownRecord, GarbledValuesArePublishedAsDecoded) {
    d.pvVoltage = 0xFFFF;
    d.chargedTotalWh = static_cast<int32_t>(0xFFFFFFFFu);
    d.chargeState = 99;
    d.batteryType = 77;
    const nlohmann::json s = DeviceStateJson(d, At(0));
    EXPECT_DOUBLE_EQ(s["pv_voltage"].get<double>(), 6553.5);
    EXPECT_EQ(s["charged_total_wh"], 4294967295u);
    EXPECT_EQ(s["charge_state_text"], "Unknown");
    EXPECT_EQ(s["battery_type_text"], "--");
}

TEST(IsoTimestamp, CarriesMillisecondsAndTheOffset) {
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved ? saved : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(IsoTimestamp(At(1780299000, 250)), "2026-06-01T07:30:00.250+00:00");
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);  // daylight time in June
    tzset();
    EXPECT_EQ(IsoTimestamp(At(1780299000)), "2026-06-01T03:30:00.000-04:00");
    setenv("TZ", "IST-5:30", 1);
    tzset();
    EXPECT_EQ(IsoTimestamp(At(1780299000)), "2026-06-01T13:00:00.000+05:30");
    if (saved)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(LinkJson, CountsEveryResultByName) {
    LinkCounters counters;
    counters.requests = 12;
    for (int i = 0; i < 9; ++i)
        counters.Add(BusResult::kOk);
    counters.Add(BusResult::kTimeout);
    counters.Add(BusResult::kCrcError);
    counters.Add(BusResult::kCrcError);
    const nlohmann::json link = LinkJson(counters, 182.5);
    EXPECT_EQ(link["requests"], 12);
    EXPECT_EQ(link["ok"], 9);
    EXPECT_EQ(link["timeout"], 1);
    EXPECT_EQ(link["crc_error"], 2);
    EXPECT_EQ(link["line_closed"], 0);
    EXPECT_DOUBLE_EQ(link["last_cycle_ms"].get<double>(), 182.5);
    EXPECT_EQ(link.size(), kBusResultCount + 2);
}

}  // namespace
}  // namespace kestrane::bridge
