// The registers file of kestrane-sim: which registers it lists under which
// keys, which requests count as writes, and that over a real line it is
// rewritten after every write carried out and only then.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "sim/RegistersFile.h"
#include "sim/SimBus.h"
#include "support/ModbusTestFrames.h"
#include "support/ScratchDir.h"
#include "support/SimulatorLine.h"

namespace kestrane::sim {
namespace {

using nlohmann::json;
using testing::BatteryTypeFrame;
using testing::ReadRequest;
using testing::WithCrc;
using testing::WriteMultipleRequest;
using testing::WriteSingleRequest;

SimulatorOptions Line(std::vector<int> devices) {
    SimulatorOptions options;
    options.devices = std::move(devices);
    options.address = options.devices.front();
    options.daySeconds = 0;
    return options;
}

void Send(SimBus& bus, const std::vector<uint8_t>& frame,
          RtuFrame::Kind kind = RtuFrame::Kind::kModbus) {
    bus.Handle({kind, frame});
}

// The registers whose values differ between two devices' entries.
std::set<std::string> Changed(const json& before, const json& after) {
    std::set<std::string> changed;
    for (const auto& [key, value] : after.items()) {
        if (before.at(key) != value) changed.insert(key);
    }
    return changed;
}

TEST(RegistersJson, ListsTheWritableRegistersOfEachControllerUnderItsStartAddress) {
    SimBus bus(Line({1, 7}));
    Send(bus, WriteSingleRequest(7, reg::kControllerAddress, 9));
    const json doc = json::parse(RegistersJson(bus, {1, 7}));
    ASSERT_EQ(doc.at("devices").size(), 2u);
    for (const auto& [address, index] : {std::pair{"1", 0}, std::pair{"7", 1}}) {
        const json& device = doc.at("devices").at(address);
        EXPECT_EQ(device.size(), 63u) << address;
        for (const auto& [key, value] : device.items()) {
            const auto r = static_cast<uint16_t>(std::stoi(key));
            EXPECT_EQ(RegisterBank::AccessOf(r), RegisterAccess::kReadWrite) << key;
            EXPECT_EQ(value, bus.Device(static_cast<size_t>(index)).Bank().Get(r)) << key;
        }
        // The blocks a settings change writes are all there.
        for (const char* key : {"257", "264", "1025", "1038", "1795", "1798", "2311", "2316"})
            EXPECT_TRUE(device.contains(key)) << address << " " << key;
    }
    EXPECT_EQ(doc["devices"]["7"]["515"], 9);  // the new address, under the old key
    EXPECT_EQ(doc.at("writes"), 1);
}

TEST(RegistersJson, WritesCountRequestsCarriedOut) {
    SimulatorOptions options = Line({1, 2});
    options.faultDevice = 2;
    options.refuseWrites = true;
    SimBus bus(options);
    Send(bus, ReadRequest(1, reg::kCvChargeVoltage, 2));
    Send(bus, WriteSingleRequest(1, 0x0500, 1));  // not in the map
    Send(bus, WriteSingleRequest(2, reg::kCvChargeVoltage, 150));
    Send(bus, BatteryTypeFrame(1, 9), RtuFrame::Kind::kBatteryType);  // unknown type
    EXPECT_EQ(bus.Writes(), 0u);
    Send(bus, WriteSingleRequest(0, reg::kCvChargeVoltage, 150));  // stored by one of two
    EXPECT_EQ(bus.Writes(), 1u);
    Send(bus, BatteryTypeFrame(1, 2), RtuFrame::Kind::kBatteryType);
    Send(bus, WriteMultipleRequest(1, reg::kCommand, {reg::kCommandRestore}));
    EXPECT_EQ(bus.Writes(), 3u);
}

// The line of two controllers, the one at 2 refusing writes, with its
// registers file in a scratch directory.
class RegistersFileLine : public testing::SimulatorLine {
protected:
    void SetUp() override {
        SimulatorOptions options = Line({1, 2});
        options.faultDevice = 2;
        options.refuseWrites = true;
        options.registersFile = path_;
        Serve(options);
    }
    json Read() const {
        std::ifstream in(path_);
        return json::parse(in, nullptr, false);
    }
    // The document once its write count reaches `writes`; it stops the test
    // when that takes longer than five seconds.
    json WaitForWrites(int writes) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (json doc = Read();; doc = Read()) {
            if (doc.is_object() && doc.at("writes") == writes) return doc;
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "writes never reached " << writes << ": " << doc.dump();
                return doc;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ino_t Inode() const {
        struct stat st {};
        return ::stat(path_.c_str(), &st) == 0 ? st.st_ino : 0;
    }

    testing::ScratchDir dir_{"kestrane-sim-registers"};
    std::string path_ = (dir_.Path() / "registers.json").string();
};

TEST_F(RegistersFileLine, ChangesExactlyInTheWrittenRegistersAfterAWriteCarriedOut) {
    const json before = Read();  // there as soon as the line is
    ASSERT_TRUE(before.is_object());
    EXPECT_EQ(before.at("writes"), 0);

    EXPECT_EQ(Ask(WriteSingleRequest(2, reg::kOverVoltageProtect, 158)),
              WithCrc({0x02, 0x86, 0x04}));
    EXPECT_EQ(Ask(WriteSingleRequest(1, 0x0500, 1)), WithCrc({0x01, 0x86, 0x02}));
    // Over-voltage protection and low-voltage recovery change, the other two
    // are written with the values they have.
    const auto write = WriteMultipleRequest(1, reg::kOverVoltageProtect, {158, 150, 110, 124});
    EXPECT_EQ(Ask(write).size(), 8u);

    const json after = WaitForWrites(1);
    EXPECT_EQ(after["devices"]["2"], before["devices"]["2"]);
    EXPECT_EQ(Changed(before["devices"]["1"], after["devices"]["1"]),
              (std::set<std::string>{"1795", "1798"}));
    EXPECT_EQ(after["devices"]["1"]["1795"], 158);
    EXPECT_EQ(after["devices"]["1"]["1798"], 124);
}

TEST_F(RegistersFileLine, RefusedWritesLeaveTheFileAlone) {
    ASSERT_EQ(Ask(WriteSingleRequest(1, reg::kLoadMode, 5117)).size(), 8u);
    const json written = WaitForWrites(1);
    const ino_t inode = Inode();  // a replaced file is a new one

    EXPECT_EQ(Ask(WriteMultipleRequest(2, reg::kLoadMode, {5117, 5201})),
              WithCrc({0x02, 0x90, 0x04}));
    EXPECT_EQ(Ask(BatteryTypeFrame(2, 3)), WithCrc({0x02, 0x90, 0x04}));
    EXPECT_EQ(Ask(WriteSingleRequest(1, reg::kControllerAddress, 0)), WithCrc({0x01, 0x86, 0x03}));
    // The thread saves after a reply and before the next request, so once
    // this read is answered any save for the requests above has happened.
    EXPECT_EQ(Ask(ReadRequest(1, reg::kLoadMode, 1)).size(), 7u);
    EXPECT_EQ(Inode(), inode);
    EXPECT_EQ(Read(), written);
}

TEST(RegistersFile, StartFailsWhenTheFileCannotBeWritten) {
    testing::ScratchDir dir("kestrane-sim-registers");
    SimulatorOptions options;
    options.registersFile = (dir.Path() / "missing" / "registers.json").string();
    SimulatorThread sim(options);
    std::string error;
    EXPECT_FALSE(sim.Start(&error));
    EXPECT_NE(error.find(options.registersFile), std::string::npos) << error;
    EXPECT_FALSE(sim.Running());
}

}  // namespace
}  // namespace kestrane::sim
