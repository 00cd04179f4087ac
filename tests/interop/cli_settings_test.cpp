// kestrane-cli settings as an operator runs it, against the simulated
// controllers: the files it reads and writes, its exit statuses, and that
// without a terminal and without --yes it writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/SimulatorThread.h"
#include "support/ProgramRun.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

using testing::ProgramRun;

class CliSettings : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorOptions options;
        options.devices = {1, 2};
        options.daySeconds = 0;
        sim_ = std::make_unique<sim::SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
    }
    // Standard input is never a terminal here; backups go to the scratch directory.
    ProgramRun Cli(const std::string& arguments) {
        return testing::RunProgram("XDG_DATA_HOME=" + dir_.Path().string() + " " +
                                   KESTRANE_CLI_EXE + " settings " + arguments + " --port " +
                                   sim_->DevicePath() + " </dev/null");
    }
    std::string File(const std::string& name) const { return (dir_.Path() / name).string(); }
    size_t Backups() const {
        const auto backups = dir_.Path() / "kestrane" / "backups";
        if (!std::filesystem::exists(backups)) return 0;
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(backups),
                                                 std::filesystem::directory_iterator()));
    }

    testing::ScratchDir dir_{"kestrane-cli-settings"};
    std::unique_ptr<sim::SimulatorThread> sim_;
};

TEST_F(CliSettings, ExportEditApplyAndDiff) {
    ProgramRun run = Cli("export --address 1,2 -o " + File("bank.json"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "address 1: " + File("bank-1.json") + "\naddress 2: " + File("bank-2.json") + "\n");
    nlohmann::json profile;
    std::ifstream(File("bank-1.json")) >> profile;
    EXPECT_EQ(profile["serialNumber"], "KS2026A000000042");
    profile["leadAcid"]["floatVoltage"] = 13.5;
    std::ofstream(File("edited.json")) << profile.dump(2);

    run = Cli("diff " + File("edited.json") + " --address 2");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "leadAcid.floatVoltage: 13.8 V → 13.5 V\n");

    // No terminal to ask and no --yes: refused after the backup, nothing written.
    run = Cli("apply " + File("edited.json") + " --address 2");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no terminal"), std::string::npos) << run.err;
    EXPECT_EQ(sim_->Registers(1, 0x0104, 1)[0], 138);

    run = Cli("apply " + File("edited.json") + " --address 2 --dry-run");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("address 2: would send 02 10 01 01 00 08 10 00 00 00 00 00 90 00 87"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(sim_->Registers(1, 0x0104, 1)[0], 138);

    run = Cli("apply " + File("edited.json") + " --address 2 --yes");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sim_->Registers(1, 0x0104, 1)[0], 135);
    EXPECT_EQ(Backups(), 3u);  // one each time the controller was read for apply

    run = Cli("diff " + File("edited.json") + " --address 2");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(CliSettings, BadProfileIsRefusedInTheChosenLanguageBeforeThePortIsUsed) {
    std::ofstream(File("bad.json")) << "{\"format\": 1,\n \"model\": \"X\",\n \"battery\" {}}";
    ProgramRun run = Cli("apply " + File("bad.json") + " --yes --lang zh");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(File("bad.json") + ": JSON 格式错误，位于第 3 行第 12 列"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(sim_->RequestCount(), 0u);

    run = Cli("apply " + File("missing.json") + " --yes");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot read " + File("missing.json")), std::string::npos) << run.err;
    run = Cli("diff /dev/zero");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("/dev/zero is larger than a profile can be"), std::string::npos)
        << run.err;
    EXPECT_EQ(Backups(), 0u);
}

}  // namespace
}  // namespace kestrane
