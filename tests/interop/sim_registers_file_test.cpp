// kestrane-sim as the end-to-end tests of settings run it: its registers file
// after kestrane-cli applied a profile, to a controller that takes the change
// and to one that refuses every write.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>

#include "support/BackgroundProgram.h"
#include "support/ProgramRun.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

using nlohmann::json;
using testing::ProgramRun;

class SimRegistersFile : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<testing::BackgroundProgram>(
            std::string(KESTRANE_SIM_EXE) +
            " --devices 1,2 --fault-device 2 --refuse-writes --day-seconds 0 --registers-file " +
            File("registers.json"));
        const auto line = sim_->ReadLine();
        ASSERT_TRUE(line) << sim_->Errors();
        port_ = *line;
    }
    ProgramRun Cli(const std::string& arguments) {
        return testing::RunProgram("XDG_DATA_HOME=" + dir_.Path().string() + " " +
                                   KESTRANE_CLI_EXE + " settings " + arguments + " --port " +
                                   port_ + " </dev/null");
    }
    std::string File(const std::string& name) const { return (dir_.Path() / name).string(); }
    json Registers() const {
        std::ifstream in(File("registers.json"));
        return json::parse(in, nullptr, false);
    }
    // The registers once more than `writes` were carried out; the test fails
    // when that takes longer than five seconds.
    json WaitForMoreWrites(int writes) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (json doc = Registers();; doc = Registers()) {
            if (doc.is_object() && doc.at("writes") > writes) return doc;
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "no write after " << writes << ": " << doc.dump();
                return doc;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    testing::ScratchDir dir_{"kestrane-sim-registers"};
    std::unique_ptr<testing::BackgroundProgram> sim_;
    std::string port_;
};

TEST_F(SimRegistersFile, AppliedProfileChangesOnlyTheEditedRegister) {
    const json before = Registers();  // there once the line is named
    ASSERT_TRUE(before.is_object());
    EXPECT_EQ(before.at("writes"), 0);

    ProgramRun run = Cli("export --address 1 -o " + File("bank.json"));
    ASSERT_EQ(run.status, 0) << run.err;
    json profile;
    std::ifstream(File("bank.json")) >> profile;
    profile["leadAcid"]["floatVoltage"] = 13.5;
    std::ofstream(File("edited.json")) << profile.dump(2);

    run = Cli("apply " + File("edited.json") + " --address 1 --yes");
    ASSERT_EQ(run.status, 0) << run.err;
    const json applied = WaitForMoreWrites(0);
    std::set<std::string> changed;
    for (const auto& [key, value] : applied["devices"]["1"].items()) {
        if (before["devices"]["1"].at(key) != value) changed.insert(key);
    }
    EXPECT_EQ(changed, std::set<std::string>{"260"});  // 0x0104, float voltage
    EXPECT_EQ(applied["devices"]["1"]["260"], 135);

    // Controller 2 refuses: apply fails, and neither its registers nor the
    // count move.
    run = Cli("apply " + File("edited.json") + " --address 2 --yes");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Registers(), applied);
}

}  // namespace
}  // namespace kestrane
