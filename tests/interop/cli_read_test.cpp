// kestrane-cli read against libmodbus as the controller: a libmodbus RTU
// server answers on the master side of a pseudo-terminal, the tool opens the
// slave side like any serial port.
#include <fcntl.h>
#include <modbus/modbus.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ProgramRun.h"

namespace kestrane {
namespace {

constexpr int kServerAddress = 7;
constexpr int kMappedRegisters = 0x0A00;  // registers 0x0000-0x09FF

uint16_t Pattern(int reg) {
    return static_cast<uint16_t>((reg * 7 + 3) & 0x7FFF);
}

using testing::ProgramRun;
using Json = nlohmann::json;

ProgramRun RunCli(const std::string& arguments) {
    return testing::RunProgram(std::string(KESTRANE_CLI_EXE) + " " + arguments);
}

// One JSON object per line of the tool's output.
std::vector<Json> JsonLines(const std::string& out) {
    std::vector<Json> objects;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        objects.push_back(Json::parse(line));
    return objects;
}

class CliAgainstLibmodbus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0) << errno;
        termios tio{};
        ASSERT_EQ(tcgetattr(slave_, &tio), 0);
        cfmakeraw(&tio);
        ASSERT_EQ(tcsetattr(slave_, TCSANOW, &tio), 0);
        path_ = ttyname(slave_);

        ctx_ = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
        ASSERT_NE(ctx_, nullptr);
        ASSERT_EQ(modbus_set_slave(ctx_, kServerAddress), 0);
        ASSERT_EQ(modbus_set_socket(ctx_, master_), 0);
        ASSERT_EQ(modbus_set_indication_timeout(ctx_, 0, 100000), 0);
        map_ = modbus_mapping_new_start_address(0, 0, 0, 0, 0, kMappedRegisters, 0, 0);
        ASSERT_NE(map_, nullptr);
        for (int r = 0; r < kMappedRegisters; ++r)
            map_->tab_registers[r] = Pattern(r);
        // Values that exercise every encoding and pass the lead-acid check.
        Set(0x0009, {0xFFF6, 0x0023});                         // temperatures -10 and 35
        Set(0x000C, {0x8000, 0x0001});                         // spare000C: top bit of 32 set
        Set(0x0703, {160, 150, 110, 120});                     // protection voltages
        Set(0x0206, {0x0001, 0x86A0});                         // chargedTodayWh 100000
        Set(0x020E, {0xFFFF, 0xFFFE});                         // chargedTotalWh 4294967294
        Set(0x0801, {0x3130, 0x3332, 0x3534, 0, 0, 0, 0, 0});  // "012345"
        Set(0x0809, {0x2E31, 0x0032});                         // "1.2"
        Set(0x080B, {0x4D4D, 0x5450, 0x2220, 0x5C41, 0x0042, 0, 0, 0x00E9});  // MMPT "A\B + é byte
    }

    void TearDown() override {
        stop_ = true;
        if (server_.joinable()) server_.join();
        if (map_ != nullptr) modbus_mapping_free(map_);
        if (ctx_ != nullptr) modbus_free(ctx_);
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }

    void Set(uint16_t start, std::initializer_list<uint16_t> words) {
        for (uint16_t word : words)
            map_->tab_registers[start++] = word;
    }

    // Serves requests until the test ends; requests for `ignored` get no answer.
    void Serve(int ignored = -1) {
        server_ = std::thread([this, ignored] {
            uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            while (!stop_) {
                const int rc = modbus_receive(ctx_, query);
                if (rc <= 0) continue;
                ++requests_;
                if ((query[2] << 8 | query[3]) == ignored) continue;
                modbus_reply(ctx_, query, rc, map_);
            }
        });
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};  // addressed to the server
    std::thread server_;
};

// Short waits for the addresses nobody serves keep these runs quick.
const std::string kQuick = " --response-timeout-ms 60 --retries 0";

TEST_F(CliAgainstLibmodbus, ReadPrintsEveryFieldAsServedAndNothingMore) {
    Serve();
    const ProgramRun run = RunCli("read --port " + path_ + " --address 7 --timeout 20");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<Json> objects = JsonLines(run.out);
    ASSERT_EQ(objects.size(), 1u) << run.out;
    const Json& fields = objects[0];
    EXPECT_EQ(fields.size(), 77u);  // address, the 75 fields, link
    EXPECT_EQ(fields.begin().key(), "address");
    EXPECT_EQ(fields.at("address"), 7);
    // The eight blocks, each asked once; the run ends with the last reply.
    EXPECT_EQ(fields.at("link").at("requests"), 8);
    EXPECT_EQ(fields.at("link").at("ok"), 8);
    EXPECT_EQ(fields.at("link").at("timeout"), 0);
    EXPECT_EQ(requests_.load(), 8);

    // 16-bit fields hold the register as served.
    const std::pair<const char*, int> registers[] = {
        {"chargeState", 0x0000},
        {"pvVoltage", 0x0001},
        {"batteryVoltage", 0x0002},
        {"loadPower", 0x0008},
        {"alarmCode", 0x000E},
        {"batteryType", 0x0101},
        {"systemVoltageUnits", 0x010A},
        {"liChargeVoltage", 0x0907},
        {"liOverVoltageRecover", 0x090C},
        {"controllerAddress", 0x0203},
        {"spare0205", 0x0205},
        {"loadMode", 0x0401},
        {"loadOutputOn", 0x040F},
        {"pvVoltageRatio", 0x0301},
        {"compVoltageOffset", 0x030C},
    };
    for (const auto& [name, reg] : registers)
        EXPECT_EQ(fields.at(name), Pattern(reg)) << name;
    EXPECT_EQ(fields.at("batteryTemperature"), -10);
    EXPECT_EQ(fields.at("innerTemperature"), 35);
    EXPECT_EQ(fields.at("overVoltageProtect"), 160);
    EXPECT_EQ(fields.at("lowVoltageRecover"), 120);
    EXPECT_EQ(fields.at("spare000C"), 2147483649u);
    EXPECT_EQ(fields.at("chargedTodayWh"), 100000);
    EXPECT_EQ(fields.at("chargedTotalWh"), 4294967294u);
    EXPECT_EQ(fields.at("usedTotalWh"), uint32_t{Pattern(0x0214)} << 16 | Pattern(0x0215));
    EXPECT_EQ(fields.at("serialNumber"), "012345");
    EXPECT_EQ(fields.at("firmwareVersion"), "1.2");
    // The byte 0xE9 stands for U+00E9 and is written as an ASCII escape.
    EXPECT_EQ(fields.at("modelName"), "MMPT \"A\\B\u00e9");
    EXPECT_NE(run.out.find(R"(\u00e9)"), std::string::npos) << run.out;
}

TEST_F(CliAgainstLibmodbus, CountRepeatsTheCycleAndStatsGivesItsTimes) {
    Serve();
    const ProgramRun run = RunCli("read --port " + path_ + " --address 7 --count 3 --stats");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(JsonLines(run.out).size(), 3u);
    EXPECT_EQ(requests_.load(), 24);
    const std::regex stats(R"(^cycle-time-ms min=[0-9.]+ median=[0-9.]+ max=[0-9.]+ cycles=3\n$)");
    EXPECT_TRUE(std::regex_search(run.err, stats)) << run.err;
}

TEST_F(CliAgainstLibmodbus, SilentBlockEndsWithStatusThreeNamingIt) {
    Serve(0x0801);
    const ProgramRun run = RunCli("read --port " + path_ + " --address 7" + kQuick);
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("address 7: 5 (0x0801)\n"), std::string::npos) << run.err;
    EXPECT_EQ(requests_.load(), 8);  // the silent block did not stop the others
}

TEST_F(CliAgainstLibmodbus, AddressesNobodyServesEndWithStatusThreeNamingEach) {
    Serve();
    const ProgramRun run = RunCli("read --port " + path_ + " --address 1,2,3,4,5,6" + kQuick);
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    for (int address = 1; address <= 6; ++address) {
        const std::string named = "address " + std::to_string(address) + ": 0 (0x0000) 1 (0x0101)";
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    }
    EXPECT_NE(run.err.find("7 (0x0301)"), std::string::npos) << run.err;
    EXPECT_EQ(requests_.load(), 0);
}

TEST(CliPort, PortThatCannotBeOpenedEndsWithStatusTwo) {
    const ProgramRun run = RunCli("read --port /dev/kestrane-no-such-port --timeout 1");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("/dev/kestrane-no-such-port"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No such file"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST(CliPort, BadCommandLineEndsWithStatusTwoAndTheParsersMessage) {
    EXPECT_EQ(RunCli("").status, 2);
    const ProgramRun noPort = RunCli("read");
    EXPECT_EQ(noPort.status, 2);
    EXPECT_NE(noPort.err.find("--port is required"), std::string::npos) << noPort.err;
    const ProgramRun badAddress = RunCli("read --port /dev/null --address 1,248");
    EXPECT_EQ(badAddress.status, 2);
    EXPECT_NE(badAddress.err.find("248"), std::string::npos) << badAddress.err;
    EXPECT_EQ(RunCli("read --port /dev/null --retries -1").status, 2);
    EXPECT_EQ(RunCli("read --port /dev/null --timeout inf").status, 2);  // no clock reaches it
    EXPECT_EQ(RunCli("watch --port /dev/null --lang fr").status, 2);
    EXPECT_EQ(RunCli("read --help").status, 0);
}

}  // namespace
}  // namespace kestrane
