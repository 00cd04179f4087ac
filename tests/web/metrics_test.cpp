// GET /metrics: the text the collectors render from real state and link
// objects (DeviceStateJson, LinkJson), its escaping of hostile names, the
// grouping of families, and Debian's promtool reading it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestHttpClient.h"
#include "bridge/DeviceStateJson.h"
#include "web/HttpServer.h"
#include "web/MonotonicClock.h"
#include "web/PasswordHash.h"
#include "web/Router.h"
#include "web/metrics/BridgeMetrics.h"
#include "web/metrics/DeviceMetrics.h"
#include "web/metrics/MetricsText.h"
#include "web/routes/MetricsRoutes.h"

namespace kestrane::web::metrics {
namespace {

using bridge::DeviceSnapshot;
using nlohmann::json;

DeviceSnapshot Answering(const std::string& name, int bus, int address) {
    DeviceSnapshot device;
    bridge::DeviceIdentity& id = device.update.identity;
    id.deviceId = "sn-" + std::to_string(bus) + std::to_string(address);
    id.name = name;
    id.busIndex = bus;
    id.address = static_cast<uint8_t>(address);
    id.model = "ML2440";
    id.firmware = "4.1";
    id.serialNumber = "SN" + std::to_string(address);
    device.update.online = true;

    ControllerData data;
    data.pvVoltage.store(1837);      // 183.7 V
    data.batteryVoltage.store(137);  // 13.7 V
    data.chargeCurrent.store(52);    // 5.2 A
    data.chargePower.store(71);
    data.innerTemperature.store(-5);
    data.chargedTotalWh.store(1234);
    data.usedTotalWh.store(10);
    data.loadOutputOn.store(1);
    data.alarmCode.store(0x21);
    const auto when =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1700000000250));
    device.update.state = bridge::DeviceStateJson(data, when);
    device.lastUpdate = when;

    LinkCounters counters;
    counters.requests = 40;
    for (int i = 0; i < 37; ++i)
        counters.Add(BusResult::kOk);
    counters.Add(BusResult::kTimeout);
    counters.Add(BusResult::kCrcError);
    device.update.link = bridge::LinkJson(counters, 12.5);
    device.update.link["bus_cycle_ms"] = 80.0;
    return device;
}

DeviceSnapshot NeverAnswered(int bus, int address) {
    DeviceSnapshot device;
    device.update.identity.deviceId =
        "bus" + std::to_string(bus) + "-addr" + std::to_string(address);
    device.update.identity.name = "Shed";
    device.update.identity.busIndex = bus;
    device.update.identity.address = static_cast<uint8_t>(address);
    LinkCounters counters;
    counters.requests = 3;
    counters.Add(BusResult::kTimeout);
    device.update.link = bridge::LinkJson(counters, 300);
    return device;
}

std::string Render(const std::vector<DeviceSnapshot>& devices, const json& status = nullptr) {
    MetricsWriter out;
    WriteDeviceMetrics(devices, out);
    WriteBridgeMetrics(status, out);
    return out.Take();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The sample lines of one family, without HELP/TYPE.
std::vector<std::string> Samples(const std::string& text, const std::string& family) {
    std::vector<std::string> out;
    for (const std::string& line : Lines(text))
        if (line.rfind(family + "{", 0) == 0 || line.rfind(family + " ", 0) == 0)
            out.push_back(line);
    return out;
}

const char* const kLabels = R"(device="sn-01",name="Roof",bus="0",address="1")";

TEST(MetricsText, NumbersAndEscapes) {
    EXPECT_EQ(FormatNumber(13.7), "13.7");
    EXPECT_EQ(FormatNumber(0.1), "0.1");
    EXPECT_EQ(FormatNumber(4442400), "4442400");
    EXPECT_EQ(FormatNumber(-5), "-5");
    EXPECT_EQ(FormatNumber(1700000000.25), "1700000000.25");
    EXPECT_EQ(FormatNumber(0.0 / 0.0), "NaN");
    EXPECT_EQ(FormatNumber(1.0 / 0.0), "+Inf");
    EXPECT_EQ(FormatNumber(-1.0 / 0.0), "-Inf");
    EXPECT_EQ(std::stod(FormatNumber(1e300)), 1e300);

    EXPECT_EQ(EscapeLabelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
    EXPECT_EQ(EscapeLabelValue("Süd °C"), "Süd °C");  // UTF-8 passes as it is
    // Bytes from a controller's registers that are no UTF-8, or control
    // characters, become U+FFFD, one per byte.
    EXPECT_EQ(EscapeLabelValue(std::string("A\xFF\xC3", 3)), "A\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(EscapeLabelValue(std::string("\xC0\xAF", 2)), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(EscapeLabelValue(std::string("x\0y\r", 4)), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
    EXPECT_EQ(EscapeHelp("a\\b\nc \"q\""), "a\\\\b\\nc \"q\"");
}

TEST(DeviceMetrics, ValuesInBaseUnitsWithTheDeviceLabels) {
    const std::string text = Render({Answering("Roof", 0, 1)});
    const auto sample = [&](const std::string& family) {
        const auto lines = Samples(text, family);
        return lines.size() == 1 ? lines[0] : "(" + std::to_string(lines.size()) + " samples)";
    };
    const std::string labels = kLabels;
    EXPECT_EQ(sample("kestrane_device_up"), "kestrane_device_up{" + labels + "} 1");
    EXPECT_EQ(sample("kestrane_pv_volts"), "kestrane_pv_volts{" + labels + "} 183.7");
    EXPECT_EQ(sample("kestrane_battery_volts"), "kestrane_battery_volts{" + labels + "} 13.7");
    EXPECT_EQ(sample("kestrane_charge_amperes"), "kestrane_charge_amperes{" + labels + "} 5.2");
    EXPECT_EQ(sample("kestrane_charge_watts"), "kestrane_charge_watts{" + labels + "} 71");
    EXPECT_EQ(sample("kestrane_controller_temperature_celsius"),
              "kestrane_controller_temperature_celsius{" + labels + "} -5");
    EXPECT_EQ(sample("kestrane_load_on"), "kestrane_load_on{" + labels + "} 1");
    EXPECT_EQ(sample("kestrane_alarm_code"), "kestrane_alarm_code{" + labels + "} 33");
    // The lifetime watt-hour totals as joules.
    EXPECT_EQ(sample("kestrane_charged_energy_joules_total"),
              "kestrane_charged_energy_joules_total{" + labels + "} 4442400");
    EXPECT_EQ(sample("kestrane_used_energy_joules_total"),
              "kestrane_used_energy_joules_total{" + labels + "} 36000");
    EXPECT_EQ(sample("kestrane_device_last_update_timestamp_seconds"),
              "kestrane_device_last_update_timestamp_seconds{" + labels + "} 1700000000.25");
    EXPECT_EQ(
        sample("kestrane_device_info"),
        "kestrane_device_info{" + labels + R"(,model="ML2440",firmware="4.1",serial="SN1"} 1)");
    EXPECT_NE(text.find("# TYPE kestrane_charged_energy_joules_total counter\n"),
              std::string::npos);
    EXPECT_NE(text.find("# TYPE kestrane_battery_volts gauge\n"), std::string::npos);

    // Every result class of the link object, and nothing else from it.
    const auto requests = Samples(text, "kestrane_requests_total");
    EXPECT_EQ(requests.size(), kBusResultCount);
    EXPECT_NE(text.find("kestrane_requests_total{" + labels + R"(,result="ok"} 37)"),
              std::string::npos);
    EXPECT_NE(text.find("kestrane_requests_total{" + labels + R"(,result="crc_error"} 1)"),
              std::string::npos);
    for (const char* notAResult : {"\"requests\"", "last_cycle_ms", "bus_cycle_ms"})
        EXPECT_EQ(text.find(notAResult), std::string::npos) << notAResult;
}

TEST(DeviceMetrics, EachFamilyOnceWithAllItsSamplesAfterIt) {
    const std::string text =
        Render({Answering("Roof", 0, 1), NeverAnswered(0, 2), Answering("Barn", 1, 7)},
               json{{"version", "1.2.3"},
                    {"uptime_s", 5},
                    {"buses", {{{"index", 0}, {"open", true}, {"last_pass_ms", 250}}}},
                    {"history", {{"enabled", true}, {"history_dropped", 2}, {"ok", true}}}});
    std::map<std::string, int> helps;
    std::string current;
    for (const std::string& line : Lines(text)) {
        ASSERT_FALSE(line.empty());
        if (line.rfind("# HELP ", 0) == 0) {
            current = line.substr(7, line.find(' ', 7) - 7);
            ++helps[current];
            continue;
        }
        if (line.rfind("# TYPE ", 0) == 0) {
            EXPECT_EQ(line.substr(7, current.size() + 1), current + " ") << line;
            continue;
        }
        // A sample belongs to the family whose HELP came last.
        EXPECT_EQ(line.substr(0, current.size()), current) << line;
        EXPECT_TRUE(line[current.size()] == '{' || line[current.size()] == ' ') << line;
    }
    for (const auto& [family, count] : helps)
        EXPECT_EQ(count, 1) << family;
    EXPECT_EQ(Samples(text, "kestrane_battery_volts").size(), 2u);
    EXPECT_EQ(Samples(text, "kestrane_device_up").size(), 3u);
    EXPECT_EQ(Samples(text, "kestrane_history_dropped_records_total"),
              std::vector<std::string>{"kestrane_history_dropped_records_total 2"});
    EXPECT_EQ(Samples(text, "kestrane_bus_last_pass_seconds"),
              std::vector<std::string>{R"(kestrane_bus_last_pass_seconds{bus="0"} 0.25)"});
}

TEST(DeviceMetrics, NeverAnsweredDeviceIsOnlyDown) {
    const std::string text = Render({NeverAnswered(2, 9)});
    std::vector<std::string> samples;
    for (const std::string& line : Lines(text))
        if (line[0] != '#') samples.push_back(line);
    EXPECT_EQ(samples,
              std::vector<std::string>{
                  R"(kestrane_device_up{device="bus2-addr9",name="Shed",bus="2",address="9"} 0)"});

    // One that answered once and then stopped keeps its last values, and is down.
    DeviceSnapshot gone = Answering("Roof", 0, 1);
    gone.update.online = false;
    const std::string goneText = Render({gone});
    EXPECT_EQ(Samples(goneText, "kestrane_device_up"),
              std::vector<std::string>{"kestrane_device_up{" + std::string(kLabels) + "} 0"});
    EXPECT_EQ(Samples(goneText, "kestrane_battery_volts").size(), 1u);
}

TEST(DeviceMetrics, HostileNamesStayInsideTheirLabel) {
    DeviceSnapshot device = Answering("Roof \"east\"\\\n} 99\nkestrane_fake 1", 0, 1);
    device.update.identity.model = std::string("M\xFF\n", 3);
    const std::string text = Render({device});
    const std::string name = R"(name="Roof \"east\"\\\n} 99\nkestrane_fake 1")";
    EXPECT_NE(text.find("kestrane_battery_volts{device=\"sn-01\"," + name +
                        R"(,bus="0",address="1"} 13.7)" + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("model=\"M\xEF\xBF\xBD\\n\""), std::string::npos);
    for (const std::string& line : Lines(text))
        EXPECT_NE(line.rfind("kestrane_fake", 0), 0u) << "a name broke out of its label";
}

TEST(BridgeMetrics, NoPathsOrErrorTexts) {
    const std::string text = Render({}, json{{"version", "1.2.3"},
                                             {"mqtt", {{"configured", true}, {"connected", false}}},
                                             {"history",
                                              {{"enabled", true},
                                               {"dir", "/secret/place"},
                                               {"last_error", "cannot write /secret/place"},
                                               {"records_written", 12}}}});
    EXPECT_EQ(text.find("/secret"), std::string::npos);
    EXPECT_EQ(Samples(text, "kestrane_mqtt_connected"),
              std::vector<std::string>{"kestrane_mqtt_connected 0"});
    EXPECT_EQ(Samples(text, "kestrane_history_written_records_total"),
              std::vector<std::string>{"kestrane_history_written_records_total 12"});
    EXPECT_EQ(Samples(text, "kestrane_bridge_info"),
              std::vector<std::string>{R"(kestrane_bridge_info{version="1.2.3"} 1)"});
}

std::string FindPromtool() {
    if (const char* path = std::getenv("PATH")) {
        std::istringstream dirs(path);
        for (std::string dir; std::getline(dirs, dir, ':');)
            if (!dir.empty() && std::filesystem::exists(dir + "/promtool"))
                return dir + "/promtool";
    }
    return std::filesystem::exists("/usr/bin/promtool") ? "/usr/bin/promtool" : "";
}

TEST(DeviceMetrics, PromtoolAcceptsTheText) {
    const std::string promtool = FindPromtool();
    if (promtool.empty()) GTEST_SKIP() << "promtool not installed (package prometheus)";
    DeviceSnapshot hostile = Answering("Roof \"east\"\\\nwing", 1, 3);
    hostile.update.identity.model = std::string("M\xFF\x01", 3);
    const std::string text =
        Render({Answering("Roof", 0, 1), NeverAnswered(0, 2), hostile},
               json{{"version", "1.2.3"},
                    {"uptime_s", 5},
                    {"poll_interval_s", 5},
                    {"buses", {{{"index", 0}, {"open", true}, {"last_pass_ms", 250}}}},
                    {"mqtt", {{"configured", true}, {"connected", true}}},
                    {"history",
                     {{"enabled", true},
                      {"ok", true},
                      {"history_dropped", 0},
                      {"records_written", 3},
                      {"queued", 0}}}});
    const auto file = std::filesystem::temp_directory_path() /
                      ("kestrane-metrics-" + std::to_string(::getpid()) + ".txt");
    std::ofstream(file) << text;
    const std::string command = promtool + " check metrics < " + file.string() + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    std::filesystem::remove(file);
    EXPECT_EQ(status, 0) << output << "\n" << text;
    EXPECT_EQ(output, "") << text;
}

// The route through the real server: the format's content type, and the
// viewer access it needs when reading is behind a password.
TEST(MetricsRoute, ContentTypeAndAccess) {
    bridge::BridgeConfig config;
    config.buses.push_back({});
    config.buses[0].devices.push_back({1, "Roof", false});
    bridge::DeviceBoard board(config);
    WebSources sources;
    sources.board = &board;
    for (const bool open : {true, false}) {
        SteadyClock clock;
        Sessions sessions(clock);
        AccessSettings access;
        access.readOpen = open;
        access.viewerPasswordHash = *HashPassword("viewer", {1, 64, 1});
        Router router(sessions, access);
        RegisterMetricsRoutes(router, sources);
        HttpServer server({}, [&router](const HttpRequest& r) { return router.Handle(r); });
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        const auto response = testing::Request(server.Port(), "GET", "/metrics", {}, "");
        ASSERT_TRUE(response);
        if (!open) {
            EXPECT_EQ(response->status, 401);
            continue;
        }
        EXPECT_EQ(response->status, 200);
        EXPECT_EQ(response->Header("content-type"), "text/plain; version=0.0.4; charset=utf-8");
        EXPECT_NE(response->body.find("\nkestrane_device_up{device=\"bus0-addr1\""),
                  std::string::npos)
            << response->body;
    }
}

}  // namespace
}  // namespace kestrane::web::metrics
