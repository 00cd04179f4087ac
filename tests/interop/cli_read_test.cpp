// kestrane-cli read against libmodbus as the controller: a libmodbus RTU
// server answers on the master side of a pseudo-terminal, the tool opens the
// slave side like any serial port.
#include <fcntl.h>
#include <modbus/modbus.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "support/ScratchDir.h"

namespace kestrane {
namespace {

constexpr int kServerAddress = 7;
constexpr int kMappedRegisters = 0x0A00;  // registers 0x0000-0x09FF

uint16_t Pattern(int reg) {
    return static_cast<uint16_t>((reg * 7 + 3) & 0x7FFF);
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

RunResult RunCli(const std::string& arguments) {
    const testing::ScratchDir dir("kestrane-cli-test");
    const std::string out = dir.Slashed() + "out", err = dir.Slashed() + "err";
    const std::string command =
        std::string(KESTRANE_CLI_EXE) + " " + arguments + " >" + out + " 2>" + err;
    RunResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
}

// The value after "name": in the tool's JSON, as written (strings unescaped).
std::map<std::string, std::string> ParseFlatJson(const std::string& json) {
    std::map<std::string, std::string> fields;
    size_t at = json.find('{');
    while (at != std::string::npos) {
        const size_t keyStart = json.find('"', at + 1);
        if (keyStart == std::string::npos) break;
        const size_t keyEnd = json.find('"', keyStart + 1);
        const std::string key = json.substr(keyStart + 1, keyEnd - keyStart - 1);
        size_t v = json.find(':', keyEnd) + 1;
        while (json[v] == ' ')
            ++v;
        std::string value;
        if (json[v] == '"') {
            for (++v; json[v] != '"'; ++v) {
                if (json[v] == '\\') {
                    ++v;
                    if (json[v] == 'u') {
                        value += static_cast<char>(std::stoi(json.substr(v + 1, 4), nullptr, 16));
                        v += 4;
                        continue;
                    }
                }
                value += json[v];
            }
            ++v;
        } else {
            while (json[v] != ',' && json[v] != '\n' && json[v] != '}')
                value += json[v++];
        }
        fields[key] = value;
        at = json.find(',', v);
    }
    return fields;
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
    std::thread server_;
};

TEST_F(CliAgainstLibmodbus, ReadPrintsEveryFieldAsServed) {
    Serve();
    const RunResult run = RunCli("read --port " + path_ + " --address 7 --timeout 20");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto fields = ParseFlatJson(run.out);
    EXPECT_EQ(fields.size(), 75u);

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
        EXPECT_EQ(fields.at(name), std::to_string(Pattern(reg))) << name;
    EXPECT_EQ(fields.at("batteryTemperature"), "-10");
    EXPECT_EQ(fields.at("innerTemperature"), "35");
    EXPECT_EQ(fields.at("overVoltageProtect"), "160");
    EXPECT_EQ(fields.at("lowVoltageRecover"), "120");
    EXPECT_EQ(fields.at("spare000C"), "2147483649");
    EXPECT_EQ(fields.at("chargedTodayWh"), "100000");
    EXPECT_EQ(fields.at("chargedTotalWh"), "4294967294");
    EXPECT_EQ(fields.at("usedTotalWh"),
              std::to_string(uint32_t{Pattern(0x0214)} << 16 | Pattern(0x0215)));
    EXPECT_EQ(fields.at("serialNumber"), "012345");
    EXPECT_EQ(fields.at("firmwareVersion"), "1.2");
    EXPECT_EQ(fields.at("modelName"), "MMPT \"A\\B\xE9");
}

TEST_F(CliAgainstLibmodbus, SilentBlockEndsWithStatusThreeNamingIt) {
    Serve(0x0801);
    const RunResult run = RunCli("read --port " + path_ + " --address 7 --timeout 3");
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("5 (0x0801)"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("4 (0x0203)"), std::string::npos) << run.err;
}

TEST_F(CliAgainstLibmodbus, NoControllerEndsWithStatusThreeNamingEveryBlock) {
    const RunResult run = RunCli("read --port " + path_ + " --timeout 1");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("0 (0x0000) 1 (0x0101)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("7 (0x0301)"), std::string::npos) << run.err;
}

TEST(CliPort, PortThatCannotBeOpenedEndsWithStatusTwo) {
    const RunResult run = RunCli("read --port /dev/kestrane-no-such-port --timeout 1");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("/dev/kestrane-no-such-port"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST(CliPort, BadCommandLineEndsWithStatusOne) {
    EXPECT_EQ(RunCli("read").status, 1);
    EXPECT_EQ(RunCli("read --port /dev/null --address 248").status, 1);
    EXPECT_EQ(RunCli("frobnicate --port /dev/null").status, 1);
}

}  // namespace
}  // namespace kestrane
