// kestrane-bridge setup as a person or a script runs it, against two
// simulated buses on pseudo-terminals (one answering only at 19200 baud with
// address 7, one at 9600 with addresses 1 and 2) and a real mosquitto: the
// config it writes, the bridge started on it, an existing config, a line
// with no controller, the same answers typed or given as options, and
// passwords that never reach the config or the screen.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "bridge/BridgeConfig.h"
#include "mqtt/BridgeTestKit.h"
#include "mqtt/ChildProcess.h"
#include "sim/SimDevice.h"
#include "sim/SimRegisters.h"
#include "sim/SimulatorThread.h"
#include "support/ProgramRun.h"
#include "support/StillSimulator.h"
#include "support/TargetProgram.h"

namespace kestrane::testing {
namespace {

using sim::SimulatorOptions;
using sim::SimulatorThread;

// A probe asks each rate and address once: on a machine busy with other
// builds a simulator thread can take longer than the 40 ms a probe waits
// for a prompt controller.
constexpr const char* kPatient = "--probe-wait-ms 250 ";

// A program on a pseudo-terminal, as a person at a terminal runs it: an
// answer is typed once its question has appeared, and a password only once
// the program has switched the echo off.
class TerminalRun {
public:
    explicit TerminalRun(const std::string& commandLine) {
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            ::execl("/bin/sh", "sh", "-c", ("exec " + commandLine).c_str(), nullptr);
            ::_exit(127);
        }
    }
    ~TerminalRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) ::close(master_);
    }
    bool Started() const { return pid_ > 0; }

    bool Answer(const std::string& question, const std::string& answer, bool hidden = false) {
        if (!ReadUntil(question)) return false;
        if (hidden && !Await([this] { return !Echoing(); })) return false;
        const std::string line = answer + "\n";
        return ::write(master_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }
    // Reads the rest and waits for the exit status.
    int Finish() {
        ReadUntil("\x04never");  // the program's end ends the output
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Transcript() const { return transcript_; }

private:
    bool Echoing() const {
        termios settings{};
        return ::tcgetattr(master_, &settings) != 0 || (settings.c_lflag & ECHO) != 0;
    }
    template <typename Condition>
    bool Await(Condition done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, 5) > 0 && !Read()) return false;
        }
        return true;
    }
    bool ReadUntil(const std::string& text) {
        const bool found =
            Await([&] { return transcript_.find(text, seen_) != std::string::npos; });
        if (found) seen_ = transcript_.find(text, seen_) + text.size();
        return found;
    }
    bool Read() {
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) return false;  // EIO once the program has ended
        transcript_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    std::string transcript_;
    size_t seen_ = 0;
};

class BridgeSetup : public BrokerTest {
protected:
    void SetUp() override {
        BrokerTest::SetUp();
        strict_ = dir_.Slashed() + "strict";
        pair_ = dir_.Slashed() + "pair";
        config_ = dir_.Slashed() + "etc/bridge.toml";
        Serve({.address = 7, .baud = 19200, .linkPath = strict_, .strictLine = true});
        // Each simulator numbers its controllers from the same serial number.
        sims_.back()->WithDevice([](sim::SimDevice& device) {
            device.Bank().SetText(sim::reg::kSerialNumber, sim::reg::kSerialWords,
                                  "KS2026A000000777");
        });
        Serve({.devices = {1, 2}, .linkPath = pair_});
    }
    void Serve(SimulatorOptions options) {
        sims_.push_back(testing::StartStillSimulator(options));
        ASSERT_TRUE(sims_.back());
    }
    // `input` is what the person types; none means stdin is empty.
    ProgramRun Setup(const std::string& arguments, const std::string& input = "") const {
        const std::string typed = dir_.Slashed() + "typed";
        std::ofstream(typed) << input;
        return RunProgram(TargetProgramCommand(KESTRANE_BRIDGE_EXE) + " setup " + kPatient +
                          arguments + " <" + typed);
    }
    std::string Buses() const { return "--port " + strict_ + " --port " + pair_; }
    std::string Mqtt() const {
        return "--mqtt 127.0.0.1 --mqtt-port " + std::to_string(broker_.Port());
    }
    // The answers that match `--web 8080` and Mqtt(): both ports, default
    // names, no control, the web page without an admin, MQTT without login.
    std::string TypedAnswers() const {
        return strict_ + " " + pair_ + "\n" + "\n\n\n\n\n\n" + "y\n\n\n" + "y\n127.0.0.1\n" +
               std::to_string(broker_.Port()) + "\n\n\n" + "\n";
    }
    static std::string Read(const std::string& path) { return ReadWholeFile(path); }

    ScratchDir dir_{"kestrane-setup"};
    std::string strict_, pair_, config_;
    std::vector<std::unique_ptr<SimulatorThread>> sims_;
};

TEST_F(BridgeSetup, YesWritesEveryControllerAtItsRateAndTheBridgePublishesThemAll) {
    const ProgramRun run = Setup("--yes --config " + config_ + " " + Buses() + " " + Mqtt() +
                                 " --history-dir " + dir_.Slashed() + "history");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("found address 7 at 19200 baud: KESTRANE-MPPT40A"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Checked: " + config_ + ": 2 bus(es), 3 device(s)"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("sudo systemctl enable --now kestrane-bridge"), std::string::npos);

    const bridge::ConfigLoad load = bridge::LoadBridgeConfig(config_);
    ASSERT_TRUE(load.config) << load.error;
    const auto& buses = load.config->buses;
    ASSERT_EQ(buses.size(), 2u);
    EXPECT_EQ(buses[0].port, strict_);
    EXPECT_EQ(buses[0].baud, 19200u);
    ASSERT_EQ(buses[0].devices.size(), 1u);
    EXPECT_EQ(buses[0].devices[0].address, 7);
    EXPECT_EQ(buses[0].devices[0].name.rfind("KESTRANE-MPPT40A ", 0), 0u);
    EXPECT_EQ(buses[1].port, pair_);
    EXPECT_EQ(buses[1].baud, 9600u);
    ASSERT_EQ(buses[1].devices.size(), 2u);
    EXPECT_EQ(buses[1].devices[0].address, 1);
    EXPECT_EQ(buses[1].devices[1].address, 2);
    EXPECT_EQ(RunProgram(TargetProgramCommand(KESTRANE_BRIDGE_EXE) + " --check-config --config " +
                         config_)
                  .status,
              0);

    MqttProbe probe(broker_.Port());
    ASSERT_TRUE(probe.WaitSubscribed());
    ChildProcess bridge;
    ASSERT_TRUE(bridge.Start(TargetProgramArguments(KESTRANE_BRIDGE_EXE, {"--config", config_}),
                             dir_.Slashed() + "log"));
    const auto states = [](const std::vector<ProbeMessage>& messages) {
        std::set<std::string> topics;
        for (const ProbeMessage& m : messages)
            if (m.topic.starts_with("kestrane/sn-") && m.topic.ends_with("/state"))
                topics.insert(m.topic);
        return topics.size();
    };
    EXPECT_TRUE(probe.WaitFor([&](const auto& messages) { return states(messages) == 3; }))
        << states(probe.Messages()) << " controllers published\n"
        << Read(dir_.Slashed() + "log");
    EXPECT_EQ(bridge.Stop(SIGTERM), 0);
}

TEST_F(BridgeSetup, ExistingConfigIsKeptWithoutForceAndSavedBesideWithIt) {
    std::filesystem::create_directories(dir_.Slashed() + "etc");
    std::ofstream(config_) << "# mine\n";
    const ProgramRun refused = Setup("--yes --config " + config_ + " " + Buses());
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << "one line: " << refused.err;
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out.find("Searching"), std::string::npos) << "no search: " << refused.out;
    EXPECT_EQ(Read(config_), "# mine\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Slashed() + "etc"),
                            std::filesystem::directory_iterator{}),
              1);

    const ProgramRun forced = Setup("--yes --force --config " + config_ + " " + Buses());
    ASSERT_EQ(forced.status, 0) << forced.out << forced.err;
    std::vector<std::string> saved;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Slashed() + "etc"))
        if (entry.path().string() != config_) saved.push_back(entry.path().string());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].rfind(config_ + ".", 0), 0u) << saved[0];
    EXPECT_EQ(saved[0].size(), config_.size() + 16) << "bridge.toml.YYYYmmdd-HHMMSS";
    EXPECT_EQ(Read(saved[0]), "# mine\n");
    EXPECT_NE(Read(config_).find("[[bus]]"), std::string::npos);
    EXPECT_NE(forced.out.find("Saved the old configuration as " + saved[0]), std::string::npos);
}

TEST_F(BridgeSetup, NoControllerOnTheLineExitsThreeAndWritesNothing) {
    const std::string lonely = dir_.Slashed() + "lonely";
    Serve({.address = 200, .linkPath = lonely});  // not among the likely addresses
    const ProgramRun run =
        Setup("--yes --search-seconds 2 --config " + config_ + " --port " + lonely);
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("no controller answered"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(config_));
    EXPECT_FALSE(std::filesystem::exists(dir_.Slashed() + "etc"));
}

TEST_F(BridgeSetup, TypedAnswersWriteTheSameFileAsTheOptions) {
    const std::string scripted = dir_.Slashed() + "scripted.toml";
    const ProgramRun yes =
        Setup("--yes --config " + scripted + " " + Buses() + " --web 8080 " + Mqtt());
    ASSERT_EQ(yes.status, 0) << yes.out << yes.err;
    const ProgramRun typed = Setup("--config " + config_ + " " + Buses(), TypedAnswers());
    ASSERT_EQ(typed.status, 0) << typed.out << typed.err;
    EXPECT_EQ(Read(config_), Read(scripted));
    EXPECT_NE(typed.out.find("Search which ports"), std::string::npos) << typed.out;
    EXPECT_NE(typed.out.find("The dashboard: http://"), std::string::npos) << typed.out;

    // The input ends after the choice of ports: nothing is written.
    const std::string cut = dir_.Slashed() + "cut.toml";
    const ProgramRun ended = Setup("--config " + cut + " " + Buses(), strict_ + "\n\n");
    EXPECT_EQ(ended.status, 2) << ended.out << ended.err;
    EXPECT_NE(ended.err.find("nothing written"), std::string::npos) << ended.err;
    EXPECT_FALSE(std::filesystem::exists(cut));
}

TEST_F(BridgeSetup, PasswordsNeverReachTheConfigOrTheScreen) {
    const std::string admin = "Adm1n-s3cret", broker = "Mq77-s3cret";
    const std::string answers = pair_ + "\n" + "Shed east\ny\n\n\n" + "\n8081\n" + admin + "\n" +
                                "y\n127.0.0.1\n1883\nsolar\n" + broker + "\n" + "\n";
    const ProgramRun typed = Setup("--config " + config_ + " " + Buses(), answers);
    ASSERT_EQ(typed.status, 0) << typed.out << typed.err;
    const std::string text = Read(config_);
    const std::string passwordFile = dir_.Slashed() + "etc/mqtt.pass";
    for (const std::string& secret : {admin, broker}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << text;
        EXPECT_EQ(typed.out.find(secret), std::string::npos) << typed.out;
        EXPECT_EQ(typed.err.find(secret), std::string::npos) << typed.err;
    }
    EXPECT_NE(text.find("admin_password_hash = \"$argon2id$"), std::string::npos) << text;
    EXPECT_NE(text.find("password_file = \"" + passwordFile + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("{ address = 1, name = \"Shed east\", allow_control = true }"),
              std::string::npos)
        << text;
    struct stat info {};
    ASSERT_EQ(::stat(passwordFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(Read(passwordFile), broker + "\n");
    const bridge::ConfigLoad load = bridge::LoadBridgeConfig(config_);
    ASSERT_TRUE(load.config) << load.error;
    EXPECT_EQ(load.config->mqtt->password, broker);
    EXPECT_TRUE(load.warnings.empty()) << load.warnings.front();
}

TEST_F(BridgeSetup, OnATerminalPasswordsAreNotEchoedAndAskedTwice) {
    const std::string password = "Pty-s3cret";
    TerminalRun run(TargetProgramCommand(KESTRANE_BRIDGE_EXE) + " setup " + kPatient + "--config " +
                    config_ + " " + Buses());
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.Answer("Search which ports", pair_));
    ASSERT_TRUE(run.Answer("Name", "East"));
    ASSERT_TRUE(run.Answer("Allow control", ""));
    ASSERT_TRUE(run.Answer("Name", ""));
    ASSERT_TRUE(run.Answer("Allow control", ""));
    ASSERT_TRUE(run.Answer("Serve the web page", ""));
    ASSERT_TRUE(run.Answer("Port", ""));
    ASSERT_TRUE(run.Answer("Admin password", password, true));
    ASSERT_TRUE(run.Answer("Again", password, true)) << run.Transcript();
    ASSERT_TRUE(run.Answer("Publish to an MQTT broker", ""));
    ASSERT_TRUE(run.Answer("Write ", ""));
    EXPECT_EQ(run.Finish(), 0) << run.Transcript();
    EXPECT_EQ(run.Transcript().find(password), std::string::npos) << run.Transcript();
    EXPECT_NE(run.Transcript().find("East"), std::string::npos) << "typed answers are echoed";
    const std::string text = Read(config_);
    EXPECT_NE(text.find("admin_password_hash = \"$argon2id$"), std::string::npos) << text;
    EXPECT_NE(text.find("name = \"East\""), std::string::npos) << text;
    EXPECT_EQ(text.find(password), std::string::npos);
}

}  // namespace
}  // namespace kestrane::testing
