// Settings from the web API against the simulated controllers, through the
// real server, the bus thread and the serial line: the checks and the plan
// change nothing; a write changes exactly the registers it should, keeps a
// backup first and reads back; a page that edited stale values, a viewer, a
// forged request or a controller without control writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "LiveBridgeTest.h"
#include "protocol/RegisterMap.h"

namespace kestrane::web {
namespace {

using namespace testing;
using nlohmann::json;
using Registers = std::map<int, uint16_t>;

// Settings registers and backups on top of the live bridge.
class SettingsRoutesTest : public LiveBridgeTest {
protected:
    // Every register the settings writes can reach, of controller `index`.
    Registers SettingsRegisters(size_t index) const {
        Registers registers;
        for (int code : {10, 11, 12, 13}) {
            const auto block = WriteBlockFor(code);
            const auto words =
                simulator_->Registers(index, block->startRegister, block->registerCount);
            for (size_t i = 0; i < words.size(); ++i)
                registers[block->startRegister + static_cast<int>(i)] = words[i];
        }
        return registers;
    }
    static std::vector<int> Changed(const Registers& before, const Registers& after) {
        std::vector<int> changed;
        for (const auto& [address, value] : after)
            if (before.at(address) != value) changed.push_back(address);
        return changed;
    }
    size_t BackupCount() const {
        std::error_code error;
        size_t count = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator(sources_.backupDirectory, error))
            ++count;
        return count;
    }
};

TEST_F(SettingsRoutesTest, AnyoneReadsTheSettingsWithTheFormsFields) {
    const auto response = Get(std::string(kAllowed) + "/settings");
    ASSERT_TRUE(response && response->status == 200);
    const json answer = json::parse(response->body);
    EXPECT_EQ(answer["profile"]["serialNumber"], "KS2026A000000042");
    EXPECT_EQ(answer["profile"]["leadAcid"]["floatVoltage"], 13.8);
    EXPECT_TRUE(answer["read_at"].is_string());
    EXPECT_TRUE(answer["control"]);
    EXPECT_FALSE(json::parse(Get(std::string(kWatched) + "/settings")->body)["control"]);
    ASSERT_EQ(answer["fields"].size(), 33u);
    EXPECT_EQ(answer["fields"][0],
              (json{{"path", "battery.type"},
                    {"kind", "list"},
                    {"need", "always"},
                    {"options", {"User-Diy", "FLD", "SEL", "GEL", "Li-ion"}}}));
    EXPECT_EQ(Get("/api/v1/devices/sn-nobody/settings")->status, 404);
    // The read time stays while the controller's settings stay as they are.
    ASSERT_TRUE(WaitFor([&] {
        return board_->Device("sn-ks2026a000000042")->update.link["requests"].get<int>() > 40;
    }));
    EXPECT_EQ(GetJson(std::string(kAllowed) + "/settings")["read_at"], answer["read_at"]);
}

TEST_F(SettingsRoutesTest, ACheckListsEveryFailingFieldOrPlansOnlyTheDifferingBlocks) {
    json profile = GetJson(std::string(kAllowed) + "/settings")["profile"];
    const Registers before = SettingsRegisters(0);

    json bad = profile;
    bad["leadAcid"]["floatVoltage"] = 19.6;
    bad["leadAcid"]["lowVoltageRecover"] = 5.0;
    bad["leadAcid"]["overVoltageRecover"] = 16.5;
    for (const char* lang : {"en", "zh"}) {
        const auto response =
            AdminPost(std::string(kAllowed) + "/settings/check?lang=" + lang, bad);
        ASSERT_TRUE(response && response->status == 200);
        const json answer = json::parse(response->body);
        EXPECT_FALSE(answer["ok"]);
        std::set<std::string> fields;
        for (const json& problem : answer["problems"])
            fields.insert(problem["field"]);
        EXPECT_EQ(fields,
                  (std::set<std::string>{"leadAcid.floatVoltage", "leadAcid.lowVoltageRecover",
                                         "leadAcid.overVoltageRecover"}))
            << answer.dump();
        EXPECT_TRUE(answer["writes"].empty());
    }

    profile["leadAcid"]["floatVoltage"] = 13.6;
    const auto response = AdminPost(std::string(kAllowed) + "/settings/check", profile);
    ASSERT_TRUE(response && response->status == 200);
    const json answer = json::parse(response->body);
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    ASSERT_EQ(answer["writes"].size(), 2u);  // the battery block, then the battery-type frame
    EXPECT_EQ(answer["writes"][0]["code"], 10);
    EXPECT_EQ(answer["writes"][0]["changes"],
              (json::array(
                  {{{"field", "leadAcid.floatVoltage"}, {"from", "13.8 V"}, {"to", "13.6 V"}}})));
    EXPECT_TRUE(
        answer["writes"][0]["frames_hex"].get<std::string>().starts_with("01 10 01 01 00 08"));
    EXPECT_EQ(answer["writes"][1]["code"], 50);
    // A check on a controller without control is fine: it writes nothing.
    EXPECT_EQ(AdminPost(std::string(kWatched) + "/settings/check", profile)->status, 200);
    EXPECT_EQ(SettingsRegisters(0), before);
    EXPECT_EQ(BackupCount(), 0u);
}

TEST_F(SettingsRoutesTest, AWriteChangesExactlyItsRegistersAfterABackupAndReadsBack) {
    const json read = GetJson(std::string(kAllowed) + "/settings");
    json profile = read["profile"];
    profile["leadAcid"]["floatVoltage"] = 13.6;
    profile["load"]["mode"] = "Dual Timer Mode";
    const Registers before = SettingsRegisters(0);
    const Registers neighbour = SettingsRegisters(1);

    const auto response = AdminPost(std::string(kAllowed) + "/settings/apply",
                                    {{"profile", profile}, {"based_on", read["read_at"]}});
    ASSERT_TRUE(response && response->status == 200);
    const json answer = json::parse(response->body);
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    EXPECT_TRUE(answer["mismatches"].empty());
    EXPECT_EQ(answer["profile"]["leadAcid"]["floatVoltage"], 13.6);
    EXPECT_EQ(answer["profile"]["load"]["mode"], "Dual Timer Mode");
    EXPECT_NE(answer["read_at"], read["read_at"]);
    EXPECT_EQ(Changed(before, SettingsRegisters(0)), (std::vector<int>{0x0104, 0x0401}));
    EXPECT_EQ(SettingsRegisters(1), neighbour);

    // The backup holds the settings as they were, and the page can list and open it.
    const std::string name = answer["backup"];
    const json backups = GetJson(std::string(kAllowed) + "/backups")["backups"];
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0]["name"], name);
    const json backup = GetJson(std::string(kAllowed) + "/backups/" + name)["profile"];
    EXPECT_EQ(backup["leadAcid"]["floatVoltage"], 13.8);
    EXPECT_EQ(backup["load"]["mode"], "Light Mode");
    EXPECT_TRUE(GetJson(std::string(kWatched) + "/backups")["backups"].empty());
    // The live page and MQTT get what was read back.
    EXPECT_EQ(board_->Device("sn-ks2026a000000042")->update.settings["leadAcid"]["floatVoltage"],
              13.6);

    // Restoring is an ordinary write of the backup's values.
    const json now = GetJson(std::string(kAllowed) + "/settings");
    const auto restore = AdminPost(std::string(kAllowed) + "/settings/apply",
                                   {{"profile", backup}, {"based_on", now["read_at"]}});
    ASSERT_TRUE(restore && restore->status == 200);
    EXPECT_TRUE(json::parse(restore->body)["ok"]) << restore->body;
    EXPECT_EQ(SettingsRegisters(0), before);
    EXPECT_EQ(BackupCount(), 2u);
}

TEST_F(SettingsRoutesTest, StaleOrFailingOrForbiddenWritesWriteNothing) {
    const json read = GetJson(std::string(kAllowed) + "/settings");
    json profile = read["profile"];
    profile["leadAcid"]["floatVoltage"] = 13.6;
    const Registers before = SettingsRegisters(0);

    // Someone else changes the load mode between the page's read and its write.
    ASSERT_EQ(AdminPost(std::string(kAllowed) + "/load_mode", {{"mode", "On"}})->status, 200);
    const Registers changed = SettingsRegisters(0);
    const auto stale = AdminPost(std::string(kAllowed) + "/settings/apply",
                                 {{"profile", profile}, {"based_on", read["read_at"]}});
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->status, 409);
    const json conflict = json::parse(stale->body);
    EXPECT_TRUE(conflict["changed"]);
    EXPECT_EQ(conflict["profile"]["load"]["mode"], "On Mode");
    EXPECT_NE(conflict["read_at"], read["read_at"]);
    EXPECT_EQ(SettingsRegisters(0), changed);
    EXPECT_EQ(Changed(before, changed), (std::vector<int>{0x0401}));

    json bad = conflict["profile"];
    bad["leadAcid"]["floatVoltage"] = 19.6;
    const auto failing = AdminPost(std::string(kAllowed) + "/settings/apply",
                                   {{"profile", bad}, {"based_on", conflict["read_at"]}});
    EXPECT_EQ(failing->status, 422);
    EXPECT_EQ(json::parse(failing->body)["problems"][0]["field"], "leadAcid.floatVoltage");
    EXPECT_EQ(AdminPost(std::string(kAllowed) + "/settings/apply", {{"profile", bad}})->status,
              400);

    // A viewer, a request without the CSRF header, and a controller without control.
    const json body = {{"profile", conflict["profile"]}, {"based_on", conflict["read_at"]}};
    EXPECT_EQ(
        Request(server_->Port(), "POST", std::string(kAllowed) + "/settings/apply", {}, body.dump())
            ->status,
        401);
    EXPECT_EQ(Request(server_->Port(), "POST", std::string(kAllowed) + "/settings/apply",
                      {"Cookie: " + Cookie()}, body.dump())
                  ->status,
              403);
    const json watched = GetJson(std::string(kWatched) + "/settings");
    EXPECT_EQ(AdminPost(std::string(kWatched) + "/settings/apply",
                        {{"profile", watched["profile"]}, {"based_on", watched["read_at"]}})
                  ->status,
              409);
    EXPECT_EQ(SettingsRegisters(0), changed);
    EXPECT_EQ(BackupCount(), 0u);
}

TEST_F(SettingsRoutesTest, BackupNamesFromTheNetworkReachOnlyThisControllersBackups) {
    std::filesystem::create_directories(sources_.backupDirectory);
    std::ofstream(sources_.backupDirectory + "/KS2026A000000043-20261209-101010.json") << "{}";
    std::ofstream(sources_.backupDirectory + "/KS2026A000000042-20261209-101010.json")
        << R"({"format": 1})";
    std::ofstream(sources_.backupDirectory + "/KS2026A000000042-notes.json") << "{}";
    std::filesystem::create_symlink(
        "/etc/passwd", sources_.backupDirectory + "/KS2026A000000042-20261209-111111.json");
    const json backups = GetJson(std::string(kAllowed) + "/backups")["backups"];
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0]["name"], "KS2026A000000042-20261209-101010.json");
    EXPECT_EQ(GetJson(std::string(kAllowed) + "/backups/KS2026A000000042-20261209-101010.json"),
              (json{{"profile", {{"format", 1}}}}));
    for (const char* name : {"KS2026A000000043-20261209-101010.json", "KS2026A000000042-notes.json",
                             "..%2F..%2Fetc%2Fpasswd", "KS2026A000000042-20261209-101010.json.bak",
                             "KS2026A000000042-20261209-111111.json"})
        EXPECT_NE(Get(std::string(kAllowed) + "/backups/" + name, Cookie())->status, 200) << name;
    // Viewers do not see backups.
    EXPECT_EQ(Get(std::string(kAllowed) + "/backups")->status, 401);
}

// The first controller refuses every write, as one that is locked would.
class RefusingController : public SettingsRoutesTest {
    void Adjust(sim::SimulatorOptions& options) override {
        options.refuseWrites = true;
        options.faultDevice = 1;
    }
};

TEST_F(RefusingController, AFailedWriteSaysWhatFailedAndKeepsTheBackup) {
    const json read = GetJson(std::string(kAllowed) + "/settings");
    json profile = read["profile"];
    profile["battery"]["maxChargeCurrent"] = 30.0;
    const Registers before = SettingsRegisters(0);
    const auto response = AdminPost(std::string(kAllowed) + "/settings/apply",
                                    {{"profile", profile}, {"based_on", read["read_at"]}});
    ASSERT_TRUE(response && response->status == 200);
    const json answer = json::parse(response->body);
    EXPECT_FALSE(answer["ok"]);
    EXPECT_EQ(answer["message"],
              "writing battery settings (0x0101-0x0108) failed: exception (exception code 4)");
    EXPECT_TRUE(answer["written"].empty());
    EXPECT_EQ(answer["mismatches"], (json::array({{{"field", "battery.maxChargeCurrent"},
                                                   {"read", "40.0 A"},
                                                   {"expected", "30.0 A"}}})));
    EXPECT_EQ(SettingsRegisters(0), before);
    EXPECT_EQ(BackupCount(), 1u);
    EXPECT_EQ(GetJson(std::string(kAllowed) + "/backups")["backups"][0]["name"], answer["backup"]);
}

}  // namespace
}  // namespace kestrane::web
