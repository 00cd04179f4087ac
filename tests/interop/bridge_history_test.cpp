// kestrane-bridge's own history with the real simulator: three controllers on
// two buses, one bus hanging up and coming back, midnight passing (the bridge
// runs under faketime), the bridge killed at random moments, and a file-size
// limit that stands for a full disk and is lifted again.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "history/CLogDayReader.h"
#include "history/HistoryStore.h"
#include "history/LogDayFiles.h"
#include "support/BackgroundProgram.h"
#include "support/FakeTime.h"
#include "support/ProgramRun.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using testing::BackgroundProgram;
using testing::FakeTimeLibrary;
using Clock = std::chrono::steady_clock;

// Waits for `done`, looking every 50 ms; false after `bound`.
template <typename Condition>
bool WaitFor(Condition done, std::chrono::seconds bound = std::chrono::seconds(30)) {
    const auto end = Clock::now() + bound;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Every log file of every controller, read as the viewer reads it.
std::vector<HistoryDay> AllDays(const std::string& root) {
    std::vector<HistoryDay> days;
    HistoryStore store(root);
    for (const std::string& device : store.Devices())
        for (const LogDayFile& file : ListLogDays(root + "/" + device))
            days.push_back(ReadLogDay(file.path, file.date));
    return days;
}

int Records(const std::string& root, const std::string& device, bool connected) {
    int count = 0;
    for (const LogDayFile& file : ListLogDays(root + "/" + device))
        for (const HistorySample& s : ReadLogDay(file.path, file.date).samples)
            count += s.connected == connected;
    return count;
}

bool FileEndsWithLineEnd(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    return text.empty() || text.ends_with("\r\n");
}

class BridgeHistory : public ::testing::Test {
protected:
    std::unique_ptr<BackgroundProgram> Simulator(const std::string& devices,
                                                 const std::string& link, int hangupAfter = 0) {
        std::string command = std::string(KESTRANE_SIM_EXE) + " --devices " + devices +
                              " --day-seconds 0 --link " + link;
        if (hangupAfter > 0) command += " --hangup-after " + std::to_string(hangupAfter);
        auto simulator = std::make_unique<BackgroundProgram>(command);
        EXPECT_TRUE(simulator->ReadLine()) << simulator->Errors();
        return simulator;
    }
    std::string WriteConfig(const std::vector<std::pair<std::string, std::string>>& buses) {
        const std::string path = dir_.Slashed() + "bridge.toml";
        std::ofstream out(path);
        out << "poll_interval_s = 0.2\n[history]\ndir = \"" << History() << "\"\ninterval_s = 1\n";
        for (const auto& [port, devices] : buses)
            out << "[[bus]]\nport = \"" << port
                << "\"\nresponse_timeout_ms = 80\nretries = 0\ndevices = [" << devices << "]\n";
        return path;
    }
    std::string History() const { return dir_.Slashed() + "history"; }
    testing::ScratchDir dir_{"kestrane-bridge-history"};
};

TEST_F(BridgeHistory, ControllersThatComeAndGoAcrossMidnightLeaveWholeDays) {
#ifdef KESTRANE_SANITIZED
    GTEST_SKIP() << "libfaketime cannot be preloaded into a sanitized program";
#endif
    auto steady = Simulator("1,2", dir_.Slashed() + "bus0");
    auto flaky = Simulator("3", dir_.Slashed() + "bus1", 60);
    const std::string config =
        WriteConfig({{dir_.Slashed() + "bus0", "{ address = 1 }, { address = 2 }"},
                     {dir_.Slashed() + "bus1", "{ address = 3 }"}});
    // Eight seconds before midnight on the bridge's clock; intervals and
    // timeouts keep the real monotonic clock.
    // Its states go to a file, which nothing can fill up as a pipe would.
    // libfaketime is loaded into the bridge itself, so the signal reaches it.
    const std::string states = dir_.Slashed() + "states.jsonl";
    const std::string fakeTime = FakeTimeLibrary();
    ASSERT_FALSE(fakeTime.empty()) << "libfaketime is missing (Debian package faketime)";
    BackgroundProgram bridge("env LD_PRELOAD=" + fakeTime +
                             " FAKETIME='@2026-12-09 23:59:52' FAKETIME_DONT_FAKE_MONOTONIC=1 " +
                             KESTRANE_BRIDGE_EXE + " --json-lines --config " + config + " >" +
                             states);

    // The flaky bus hangs up after its requests; once it has been recorded
    // as away, it is back.
    ASSERT_TRUE(WaitFor([&] { return bridge.Errors().find("line lost") != std::string::npos; }))
        << bridge.Errors();
    EXPECT_EQ(flaky->Wait(), 0);
    std::string flakyId;
    ASSERT_TRUE(WaitFor([&] {
        HistoryStore store(History());
        for (const std::string& device : store.Devices())
            if (Records(History(), device, false) > 0) flakyId = device;
        return !flakyId.empty();
    })) << "no Disconnected record while the bus was away\n"
        << bridge.Errors();
    const int before = Records(History(), flakyId, true);
    flaky = Simulator("3", dir_.Slashed() + "bus1");

    // After midnight, every controller has records in the new day's file,
    // the flaky one's again Connected.
    const std::string nextDay = "/2026_12_10_Log.csv";
    ASSERT_TRUE(WaitFor([&] {
        HistoryStore store(History());
        const auto devices = store.Devices();
        if (devices.size() != 3) return false;
        for (const std::string& device : devices) {
            const HistoryDay day = ReadLogDay(History() + "/" + device + nextDay, {2026, 12, 10});
            if (day.samples.size() < 2 || !day.samples.back().connected) return false;
        }
        return true;
    })) << bridge.Errors();
    EXPECT_GT(Records(History(), flakyId, true), before);

    bridge.Signal(SIGTERM);
    EXPECT_EQ(bridge.Wait(), 0) << bridge.Errors();

    // What the bridge published last and what it recorded last agree.
    std::map<std::string, double> published;
    std::ifstream lines(states);
    for (std::string line; std::getline(lines, line);) {
        const auto update = nlohmann::json::parse(line);
        if (!update.at("state").is_null())
            published[update.at("device")] = update.at("state").at("battery_voltage");
    }
    EXPECT_EQ(published.size(), 3u);

    for (const auto& [device, voltage] : published) {
        ASSERT_TRUE(fs::exists(History() + "/" + device + "/2026_12_9_Log.csv")) << device;
        const HistoryDay day = ReadLogDay(History() + "/" + device + nextDay, {2026, 12, 10});
        EXPECT_EQ(day.headerLines, 1);
        EXPECT_NEAR(day.samples.back().batteryVoltage, voltage, 0.5) << device;
        EXPECT_EQ(day.Text(day.samples.back().serialText).size(), 16u);
    }
    for (const HistoryDay& day : AllDays(History())) {
        EXPECT_EQ(day.junkLines, 0);
        EXPECT_FALSE(day.tornLastLine);
    }
}

TEST_F(BridgeHistory, KilledAtRandomMomentsItLeavesOnlyWholeLines) {
    auto simulator = Simulator("1,2,3,4,5,6,7,8", dir_.Slashed() + "bus0");
    const std::string config =
        WriteConfig({{dir_.Slashed() + "bus0",
                      "{ address = 1 }, { address = 2 }, { address = 3 }, { address = 4 }, "
                      "{ address = 5 }, { address = 6 }, { address = 7 }, { address = 8 }"}});
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 4; ++round) {
        BackgroundProgram bridge(std::string(KESTRANE_BRIDGE_EXE) + " --config " + config);
        ASSERT_TRUE(WaitFor([&] { return AllDays(History()).size() >= 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 2500));
        bridge.Signal(SIGKILL);
        bridge.Wait();
    }
    int records = 0;
    for (const HistoryDay& day : AllDays(History())) {
        EXPECT_EQ(day.junkLines, 0);
        EXPECT_FALSE(day.tornLastLine);
        records += static_cast<int>(day.samples.size());
    }
    EXPECT_GT(records, 0);
    for (const auto& entry : fs::recursive_directory_iterator(History()))
        if (entry.is_regular_file()) {
            EXPECT_TRUE(FileEndsWithLineEnd(entry.path())) << entry.path();
        }
}

TEST_F(BridgeHistory, AFullDiskLosesNoLineInHalfAndWritingResumes) {
    auto simulator = Simulator("1", dir_.Slashed() + "bus0");
    const std::string config = WriteConfig({{dir_.Slashed() + "bus0", "{ address = 1 }"}});
    // A file-size limit makes every write past 2 kB fail as a full disk does.
    BackgroundProgram bridge("prlimit --fsize=2000:unlimited " + std::string(KESTRANE_BRIDGE_EXE) +
                             " --config " + config);
    ASSERT_TRUE(WaitFor([&] {
        return bridge.Errors().find("history: cannot write") != std::string::npos;
    })) << bridge.Errors();
    std::string device = HistoryStore(History()).Devices().at(0);
    const int atLimit = Records(History(), device, true);
    ASSERT_EQ(testing::RunProgram("prlimit --pid " + std::to_string(bridge.Pid()) +
                                  " --fsize=unlimited:unlimited")
                  .status,
              0);
    ASSERT_TRUE(WaitFor([&] {
        return bridge.Errors().find("history: writing again") != std::string::npos &&
               Records(History(), device, true) > atLimit + 2;
    })) << bridge.Errors();
    bridge.Signal(SIGTERM);
    EXPECT_EQ(bridge.Wait(), 0);

    // The records kept while the disk was full are there, one a second.
    const std::vector<HistoryDay> days = AllDays(History());
    std::vector<int64_t> times;
    for (const HistoryDay& day : days) {
        EXPECT_EQ(day.junkLines, 0);
        EXPECT_FALSE(day.tornLastLine);
        for (const HistorySample& s : day.samples)
            times.push_back(LocalSeconds(day.date, s.secondOfDay));
    }
    std::sort(times.begin(), times.end());
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_LE(times[i] - times[i - 1], 2) << "a gap after record " << i;
}

}  // namespace
}  // namespace kestrane
