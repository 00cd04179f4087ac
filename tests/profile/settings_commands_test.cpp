// The settings commands against two simulated controllers on one real
// pseudo-terminal: export from one, apply to the other, compare; and every
// way apply refuses or fails without losing the controller's settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "profile/SettingsCommands.h"
#include "serial/CSerialPort.h"
#include "sim/SimulatorThread.h"
#include "support/ScratchDir.h"

namespace kestrane::profile {
namespace {

using nlohmann::json;
using Frame = std::vector<uint8_t>;

// Passes everything through and keeps every request written.
class RecordingLine : public ISerialLine {
public:
    explicit RecordingLine(ISerialLine& line) : line_(line) {}
    bool IsOpen() const override { return line_.IsOpen(); }
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override {
        written.emplace_back(data, data + length);
        return line_.Write(data, length, timeoutMs);
    }
    bool Read(uint8_t* buffer, size_t capacity, size_t& count) override {
        return line_.Read(buffer, capacity, count);
    }
    bool ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) override {
        return line_.ReadFor(buffer, capacity, count, timeoutMs);
    }
    bool HasHungUp() const override { return line_.HasHungUp(); }
    void ExpectReply(size_t length) override { line_.ExpectReply(length); }
    void DiscardInput() override { line_.DiscardInput(); }

    // The requests other than reads: the writes and the 0xAA frame.
    std::vector<Frame> Writes() const {
        std::vector<Frame> writes;
        for (const Frame& frame : written)
            if (frame.size() > 1 && frame[1] != 3) writes.push_back(frame);
        return writes;
    }
    std::vector<Frame> written;

private:
    ISerialLine& line_;
};

class SettingsCommandsTest : public ::testing::Test {
protected:
    void Serve(bool refuseWrites = false) {
        sim::SimulatorOptions options;
        options.devices = {1, 2};
        options.daySeconds = 0;
        options.refuseWrites = refuseWrites;
        simulator = std::make_unique<sim::SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        ASSERT_TRUE(port.Open(simulator->DevicePath())) << port.LastErrorText();
        ASSERT_TRUE(port.Configure(9600)) << port.LastErrorText();
        line = std::make_unique<RecordingLine>(port);
        bus = std::make_unique<CBusMaster>(*line, BusOptions{}, clock);
        run.backupDirectory = (backups.Path() / "kestrane" / "backups").string();
        run.profileName = "bank.json";
        run.now = 1780299000;  // 2026-06-01
        run.yes = true;
    }

    // Controller 1 set up otherwise than the factory left controller 2.
    void ChangeFirstController() {
        simulator->WithDevice(0, [](sim::SimDevice& device) {
            device.Bank().Set(0x0102, 2);     // 24 V
            device.Bank().Set(0x0104, 136);   // float 13.6 V
            device.Bank().Set(0x0706, 121);   // under-voltage recovery 12.1 V
            device.Bank().Set(0x090B, 121);   // lithium under-voltage recovery
            device.Bank().Set(0x0401, 5106);  // Light&Time, 6 h after dusk
            device.Bank().Set(0x0402, 5202);  // 2 h before dawn
        });
    }

    // Every register a profile sets, of controller `index`.
    std::vector<uint16_t> Settings(size_t index) const {
        std::vector<uint16_t> all;
        for (const auto& [start, count] :
             {std::pair{0x0101, 8}, {0x0703, 4}, {0x0907, 6}, {0x0401, 14}}) {
            const auto block = simulator->Registers(index, static_cast<uint16_t>(start), count);
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }

    std::string Export(int address) {
        run.addresses = {address};
        std::ostringstream out, err;
        EXPECT_EQ(ExportSettings(*bus, run, out, err), kSettingsDone) << err.str();
        return out.str();
    }
    int Apply(const std::string& profile, std::vector<int> addresses = {2}) {
        run.addresses = std::move(addresses);
        out.str("");
        err.str("");
        return ApplySettings(*bus, profile, run, out, err);
    }
    std::vector<std::filesystem::path> BackupFiles() const {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::exists(run.backupDirectory))
            for (const auto& entry : std::filesystem::directory_iterator(run.backupDirectory))
                files.push_back(entry.path());
        return files;
    }

    testing::ScratchDir backups{"kestrane-backups"};
    std::unique_ptr<sim::SimulatorThread> simulator;
    CSerialPort port;
    std::unique_ptr<RecordingLine> line;
    SteadyBusClock clock;
    std::unique_ptr<CBusMaster> bus;
    SettingsRun run;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(SettingsCommandsTest, ExportAppliedToASecondControllerMakesBothEqual) {
    Serve();
    ChangeFirstController();
    const std::string profile = Export(1);
    ASSERT_NE(Settings(0), Settings(1));

    // The dry run shows the frames; the real run sends exactly those.
    run.dryRun = true;
    ASSERT_EQ(Apply(profile), kSettingsDone) << err.str();
    std::vector<Frame> shown;
    std::istringstream lines(out.str());
    for (std::string text; std::getline(lines, text);) {
        const size_t at = text.find("would send ");
        if (at == std::string::npos) continue;
        std::istringstream hex(text.substr(at + 11));
        Frame frame;
        for (unsigned byte; hex >> std::hex >> byte;)
            frame.push_back(static_cast<uint8_t>(byte));
        shown.push_back(frame);
    }
    EXPECT_TRUE(line->Writes().empty());
    ASSERT_EQ(shown.size(), 5u);  // lead-acid, lithium, battery, 0xAA, load

    run.dryRun = false;
    EXPECT_EQ(Apply(profile), kSettingsDone) << err.str();
    EXPECT_EQ(line->Writes(), shown);
    EXPECT_NE(out.str().find("address 2: every field reads back as the profile says"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(Settings(1), Settings(0));

    run.addresses = {2};
    std::ostringstream diff, diffErr;
    EXPECT_EQ(DiffSettings(*bus, profile, run, diff, diffErr), kSettingsDone) << diffErr.str();
    EXPECT_EQ(diff.str(), "");
}

TEST_F(SettingsCommandsTest, DiffNamesEachFieldControllerValueFirst) {
    Serve();
    ChangeFirstController();
    const std::string profile = Export(1);
    run.addresses = {2};
    std::ostringstream diff, diffErr;
    EXPECT_EQ(DiffSettings(*bus, profile, run, diff, diffErr), kSettingsDiffer) << diffErr.str();
    EXPECT_EQ(diff.str(),
              "battery.systemVoltage: Auto → 24V\n"
              "leadAcid.floatVoltage: 13.8 V → 13.6 V\n"
              "leadAcid.lowVoltageRecover: 12.2 V → 12.1 V\n"
              "lithium.lowVoltageRecover: 12.0 V → 12.1 V\n"
              "load.mode: Light Mode → Light&Time Mode\n"
              "load.eveningHours: -- → 6 h\n"
              "load.morningHours: 0 h → 2 h\n");
}

TEST_F(SettingsCommandsTest, BackupIsTheControllersProfileBeforeTheWrite) {
    Serve();
    ChangeFirstController();
    const std::string before = Export(2);
    ASSERT_EQ(Apply(Export(1)), kSettingsDone) << err.str();
    const std::vector<std::filesystem::path> files = BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string().rfind("KS2026A000000043-20260601-", 0), 0u);
    EXPECT_NE(out.str().find("backup " + files[0].string()), std::string::npos);
    std::ifstream in(files[0]);
    const json backup = json::parse(in);
    EXPECT_EQ(backup, json::parse(before));

    // Undoing with the backup brings the earlier settings back.
    EXPECT_EQ(Apply(backup.dump()), kSettingsDone) << err.str();
    EXPECT_EQ(Export(2), before);
}

TEST_F(SettingsCommandsTest, ProfileWithThreeErrorsListsThemAllAndTouchesNothing) {
    Serve();
    json profile = json::parse(Export(1));
    profile["leadAcid"]["floatVoltage"] = 15.5;
    profile["load"]["onDelay"] = -1;
    profile["lithium"]["colour"] = "blue";
    const std::vector<uint16_t> before = Settings(1);
    const size_t requests = line->written.size();

    EXPECT_EQ(Apply(profile.dump()), kSettingsRefused);
    EXPECT_EQ(err.str(),
              "bank.json: leadAcid.floatVoltage: The voltage parameter of lead-acid battery "
              "exceeds the range of 9 ~ 15V!\n"
              "bank.json: lithium.colour: unknown key\n"
              "bank.json: load.onDelay: -1 is outside 0 to 65535\n"
              "bank.json: 3 errors; nothing written\n");
    EXPECT_EQ(line->written.size(), requests);  // the controller was not even asked
    EXPECT_EQ(Settings(1), before);
    EXPECT_TRUE(BackupFiles().empty());
}

TEST_F(SettingsCommandsTest, RefusedWriteLeavesTheBackupAndNamesWhatDidNotTake) {
    Serve(true);
    ChangeFirstController();
    const std::string profile = Export(1);
    const std::vector<uint16_t> before = Settings(1);

    EXPECT_EQ(Apply(profile), kSettingsDiffer);
    const std::vector<std::filesystem::path> files = BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(err.str().find("address 2: writing lead-acid protection (0x0703-0x0706) failed: "
                             "exception (exception code 4)"),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("address 2: not taken: battery.systemVoltage, leadAcid.floatVoltage, "
                             "leadAcid.lowVoltageRecover, lithium.lowVoltageRecover, load.mode, "
                             "load.eveningHours, load.morningHours; undo with: settings apply " +
                             files[0].string()),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Settings(1), before);
}

TEST_F(SettingsCommandsTest, NothingIsWrittenUnlessConfirmed) {
    Serve();
    ChangeFirstController();
    const std::string profile = Export(1);
    const std::vector<uint16_t> before = Settings(1);
    run.yes = false;

    run.confirm = {};  // no terminal
    EXPECT_EQ(Apply(profile), kSettingsRefused);
    EXPECT_NE(err.str().find("no terminal"), std::string::npos) << err.str();

    std::string asked;
    run.confirm = [&](const std::string& question) -> std::optional<bool> {
        asked = question;
        return false;
    };
    EXPECT_EQ(Apply(profile), kSettingsRefused);
    EXPECT_EQ(asked, "Write these settings? [y/N] ");
    EXPECT_TRUE(line->Writes().empty());
    EXPECT_EQ(Settings(1), before);

    run.confirm = [](const std::string&) -> std::optional<bool> { return true; };
    EXPECT_EQ(Apply(profile), kSettingsDone) << err.str();
    EXPECT_EQ(Settings(1), Settings(0));
}

TEST_F(SettingsCommandsTest, ProfileOfAnotherModelNeedsForce) {
    Serve();
    ChangeFirstController();
    json profile = json::parse(Export(1));
    profile["model"] = "OTHER-MPPT20A";
    const std::vector<uint16_t> before = Settings(1);

    EXPECT_EQ(Apply(profile.dump()), kSettingsRefused);
    EXPECT_NE(err.str().find("the profile is for model \"OTHER-MPPT20A\", the controller is "
                             "\"KESTRANE-MPPT40A\""),
              std::string::npos)
        << err.str();
    EXPECT_TRUE(line->Writes().empty());
    EXPECT_EQ(Settings(1), before);

    run.force = true;
    EXPECT_EQ(Apply(profile.dump()), kSettingsDone) << err.str();
    EXPECT_EQ(Settings(1), Settings(0));
}

TEST_F(SettingsCommandsTest, OneProfileAppliedToSeveralControllers) {
    Serve();
    json profile = json::parse(Export(1));
    profile["battery"]["maxLoadCurrent"] = 12.5;
    profile["load"]["onDelay"] = 9;

    EXPECT_EQ(Apply(profile.dump(), {1, 2, 1}), kSettingsDone) << err.str();
    EXPECT_EQ(BackupFiles().size(), 2u);  // the address named twice is done once
    for (size_t index : {0u, 1u}) {
        EXPECT_EQ(simulator->Registers(index, 0x0106, 1)[0], 125);
        EXPECT_EQ(simulator->Registers(index, 0x0405, 1)[0], 9);
    }
    // Already as the profile says: nothing more is written.
    const size_t writes = line->Writes().size();
    EXPECT_EQ(Apply(profile.dump(), {1, 2}), kSettingsDone) << err.str();
    EXPECT_EQ(line->Writes().size(), writes);
    EXPECT_NE(out.str().find("address 1: already as the profile says"), std::string::npos);
}

TEST_F(SettingsCommandsTest, SilentControllerStopsTheRunBeforeAnyWrite) {
    Serve();
    ChangeFirstController();
    bus = std::make_unique<CBusMaster>(*line, BusOptions{9600, 50, 0, 0, 0}, clock);
    EXPECT_EQ(Apply(Export(1), {2, 9}), kSettingsNoAnswer);
    EXPECT_NE(err.str().find("address 9: cannot read the settings: no answer\n"), std::string::npos)
        << err.str();
    EXPECT_TRUE(line->Writes().empty());

    // A lead-acid block out of order is refused on every read: no profile of it.
    simulator->WithDevice(1, [](sim::SimDevice& device) { device.Bank().Set(0x0704, 170); });
    run.addresses = {2};
    std::ostringstream exported, exportErr;
    EXPECT_EQ(ExportSettings(*bus, run, exported, exportErr), kSettingsNoAnswer);
    EXPECT_EQ(exportErr.str(), "address 2: cannot read the settings: block 3 (0x0701) rejected\n");
    EXPECT_EQ(exported.str(), "");
}

}  // namespace
}  // namespace kestrane::profile
