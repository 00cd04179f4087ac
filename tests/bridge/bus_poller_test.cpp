// A bus thread against the simulated controllers on a real pseudo-terminal:
// availability, a dead controller beside live ones, a line that goes away
// and comes back, and the stop that wakes every wait.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "RecordingSink.h"
#include "bridge/BridgeBuses.h"
#include "bridge/BusPoller.h"
#include "sim/SimulatorThread.h"
#include "support/ScratchDir.h"

namespace kestrane::bridge {
namespace {

using std::chrono::milliseconds;
using testing::RecordingSink;
using Sink = const RecordingSink&;

std::unique_ptr<sim::SimulatorThread> StartSimulator(std::vector<int> addresses,
                                                     const std::string& link = {},
                                                     int hangupAfter = 0) {
    sim::SimulatorOptions options;
    options.devices = std::move(addresses);
    options.daySeconds = 0;
    options.linkPath = link;
    options.hangupAfter = hangupAfter;
    auto simulator = std::make_unique<sim::SimulatorThread>(options);
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}

BusConfig Bus(const std::string& port, std::vector<int> addresses) {
    BusConfig bus;
    bus.port = port;
    bus.responseTimeoutMs = 60;
    bus.retries = 0;
    for (const int address : addresses)
        bus.devices.push_back(
            {static_cast<uint8_t>(address), "c" + std::to_string(address), false});
    return bus;
}

size_t CountOf(Sink sink, uint8_t address) {
    return sink.Of(address).size();
}

bool LastOnline(Sink sink, uint8_t address, bool online) {
    const auto updates = sink.Of(address);
    return !updates.empty() && updates.back().online == online;
}

TEST(BusPoller, LiveDevicesComeOnlineUnderTheirSerialNumbers) {
    auto simulator = StartSimulator({1, 2});
    RecordingSink sink;
    BusPoller poller(3, Bus(simulator->DevicePath(), {1, 2}), 0, sink, SystemLineOpener());
    poller.Start();
    ASSERT_TRUE(
        sink.WaitFor([](Sink s) { return LastOnline(s, 1, true) && LastOnline(s, 2, true); }));
    poller.RequestStop();
    poller.Join();

    const DeviceUpdate first = sink.Of(1).front();
    EXPECT_EQ(first.identity.deviceId, "sn-ks2026a000000042");
    EXPECT_EQ(first.identity.serialNumber, "KS2026A000000042");
    EXPECT_FALSE(first.identity.model.empty());
    EXPECT_EQ(first.identity.busIndex, 3);
    EXPECT_EQ(first.state["battery_voltage"].get<double>(),
              simulator->Registers(0, 0x0002, 1)[0] / 10.0);
    EXPECT_EQ(first.link["ok"], 8);
    EXPECT_EQ(sink.Of(2).front().identity.deviceId, "sn-ks2026a000000043");
    ASSERT_EQ(sink.Renames().size(), 2u);
    EXPECT_EQ(sink.Renames()[0].first, "bus3-addr1");
    EXPECT_EQ(sink.Renames()[0].second, "sn-ks2026a000000042");
}

TEST(BusPoller, DeadDeviceGoesOfflineAfterThreeCyclesAndRestsWhileNeighboursRun) {
    auto simulator = StartSimulator({1, 2});
    RecordingSink sink;
    PollerTiming timing;
    timing.deadFirst = timing.deadMax = milliseconds(3600 * 1000);
    BusPoller poller(0, Bus(simulator->DevicePath(), {1, 9, 2}), 0, sink, SystemLineOpener(),
                     timing);
    poller.Start();
    ASSERT_TRUE(sink.WaitFor([](Sink s) { return CountOf(s, 9) == 3; }));
    const size_t neighbourBefore = sink.OfCopy(2).size();
    ASSERT_TRUE(sink.WaitFor([&](Sink s) { return CountOf(s, 2) >= neighbourBefore + 10; }));
    poller.RequestStop();
    poller.Join();

    const auto dead = sink.Of(9);
    ASSERT_EQ(dead.size(), 3u);  // never asked again within its back-off
    for (const DeviceUpdate& u : dead) {
        EXPECT_FALSE(u.online);
        EXPECT_TRUE(u.state.is_null());  // never answered: no state
        EXPECT_EQ(u.identity.deviceId, "bus0-addr9");
    }
    EXPECT_EQ(dead.back().link["timeout"], 3);
    for (const DeviceUpdate& u : sink.Of(2))
        EXPECT_TRUE(u.online);
}

TEST(BusPoller, BusOfRestingDevicesSleepsUntilTheNextProbe) {
    auto simulator = StartSimulator({1});
    RecordingSink sink;
    PollerTiming timing;
    timing.deadFirst = timing.deadMax = milliseconds(3600 * 1000);
    BusConfig bus = Bus(simulator->DevicePath(), {9});
    bus.devices[0].allowControl = true;
    BusPoller poller(0, bus, 0, sink, SystemLineOpener(), timing);
    poller.Start();
    ASSERT_TRUE(sink.WaitFor([](Sink s) { return CountOf(s, 9) == 3; }));
    // The pass after the third failure finds nothing due and goes to its
    // wait. Commands are served from there; a thread that spun would make
    // passes over the bus while they run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (poller.Passes() < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(1));
    const uint64_t passes = poller.Passes();
    ASSERT_EQ(passes, 4u);
    for (size_t served = 1; served <= 2; ++served) {
        ASSERT_TRUE(poller.Submit({"bus0-addr9", DeviceCommand::Kind::kSetClock}));
        ASSERT_TRUE(sink.WaitFor([&](Sink s) { return s.Outcomes().size() == served; }));
    }
    EXPECT_EQ(poller.Passes(), passes);
    poller.RequestStop();
    poller.Join();
}

TEST(BusPoller, DeadDeviceIsAskedAgainOncePerBackoffPeriod) {
    auto simulator = StartSimulator({1});
    RecordingSink sink;
    PollerTiming timing;
    timing.deadFirst = milliseconds(50);
    timing.deadMax = milliseconds(100);
    BusConfig bus = Bus(simulator->DevicePath(), {1, 9});
    bus.retries = 2;
    BusPoller poller(0, bus, 0, sink, SystemLineOpener(), timing);
    poller.Start();
    // Probes go on after the first three failures; each of them is one cycle.
    ASSERT_TRUE(sink.WaitFor([](Sink s) { return CountOf(s, 9) >= 6; }));
    poller.RequestStop();
    poller.Join();
    // The live device is read on every pass, the dead one at most once a pass.
    EXPECT_GE(sink.Of(1).size(), sink.Of(9).size());
    // Three failed cycles of three attempts each, then one request a probe.
    const auto dead = sink.Of(9);
    EXPECT_EQ(dead[2].link["requests"], 9);
    EXPECT_EQ(dead[3].link["requests"], 10);
    EXPECT_EQ(dead[5].link["requests"], 12);
}

TEST(BusPoller, LostLineTakesItsDevicesOfflineOnceAndComesBackOnTheSamePath) {
    const kestrane::testing::ScratchDir dir("kestrane-poller");
    const std::string link = dir.Slashed() + "bus";
    auto simulator = StartSimulator({1, 2}, link, 20);
    RecordingSink sink;
    PollerTiming timing;
    timing.reopenFirst = milliseconds(20);
    timing.reopenMax = milliseconds(80);
    BusPoller poller(0, Bus(link, {1, 2}), 0, sink, SystemLineOpener(), timing);
    poller.Start();
    ASSERT_TRUE(sink.WaitFor([](Sink s) { return LastOnline(s, 1, true); }));
    ASSERT_TRUE(
        sink.WaitFor([](Sink s) { return LastOnline(s, 1, false) && LastOnline(s, 2, false); }));
    ASSERT_TRUE(sink.WaitFor([&](Sink) { return simulator->HungUp(); }, std::chrono::seconds(5)));
    simulator.reset();

    // While the path is gone nothing more is published; once it is back the
    // devices are read again.
    auto again = StartSimulator({1, 2}, link);
    ASSERT_TRUE(
        sink.WaitFor([](Sink s) { return LastOnline(s, 1, true) && LastOnline(s, 2, true); }));
    poller.RequestStop();
    poller.Join();

    for (const uint8_t address : {1, 2}) {
        const auto updates = sink.Of(address);
        int offline = 0;
        for (const DeviceUpdate& u : updates) {
            if (u.online) continue;
            ++offline;
            // The counters run on across the lost line.
            EXPECT_GT(u.link["requests"].get<int>(), 0);
            EXPECT_GT(updates.back().link["requests"], u.link["requests"]);
        }
        EXPECT_EQ(offline, 1) << "address " << int(address);
    }
}

TEST(BusPoller, UnopenablePortLeavesDevicesOfflineFailsCommandsAndStopsAtOnce) {
    RecordingSink sink;
    int attempts = 0;
    const LineOpener failing = [&](const BusConfig&, std::string* error) {
        ++attempts;
        *error = "no such device";
        return std::unique_ptr<ISerialLine>();
    };
    PollerTiming timing;
    timing.reopenFirst = milliseconds(3600 * 1000);  // only the stop can end the wait
    BusConfig bus = Bus("/dev/ttyNOTHERE", {4});
    bus.devices[0].allowControl = true;
    BusPoller poller(0, bus, 0, sink, failing, timing);
    poller.Start();
    ASSERT_TRUE(sink.WaitFor([](Sink s) { return CountOf(s, 4) == 1; }));
    // A command meanwhile is answered at once, not kept for when the line is back.
    ASSERT_TRUE(poller.Submit({"bus0-addr4", DeviceCommand::Kind::kSetClock}));
    ASSERT_TRUE(sink.WaitFor([](Sink s) { return s.Outcomes().size() == 1; }));
    EXPECT_FALSE(sink.OutcomesCopy()[0].ok);
    EXPECT_EQ(sink.OutcomesCopy()[0].message, "the bus line is not open");
    poller.RequestStop();
    poller.Join();
    EXPECT_EQ(attempts, 1);
    EXPECT_FALSE(sink.Of(4).front().online);
}

TEST(BusPoller, MissingLineIsTriedAgainEverySecondHoweverLongItStaysAway) {
    // A doubling wait would leave a replugged adapter unread for as long
    // again as it was away: after 1, 2 and 4 s, the fourth try came 7 s in.
    RecordingSink sink;
    std::mutex mutex;
    std::condition_variable tried;
    std::vector<std::chrono::steady_clock::time_point> attempts;
    const LineOpener missing = [&](const BusConfig&, std::string* error) {
        {
            const std::lock_guard lock(mutex);
            attempts.push_back(std::chrono::steady_clock::now());
        }
        tried.notify_all();
        *error = "No such file or directory";
        return std::unique_ptr<ISerialLine>();
    };
    BusPoller poller(0, Bus("/dev/ttyUSB-unplugged", {1}), 5, sink, missing);
    poller.Start();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            tried.wait_for(lock, std::chrono::seconds(20), [&] { return attempts.size() >= 5; }));
    }
    poller.RequestStop();
    poller.Join();
    for (size_t i = 1; i < 5; ++i)
        EXPECT_LT(attempts[i] - attempts[i - 1], milliseconds(2500)) << "between tries " << i;
}

TEST(BridgeBuses, SameSerialNumberOnTwoBusesKeepsTheSecondOnItsBusId) {
    // Two simulated lines whose first controllers share the factory identity.
    auto first = StartSimulator({1});
    auto second = StartSimulator({1});
    BridgeConfig config;
    config.pollIntervalS = 0;
    config.buses = {Bus(first->DevicePath(), {1}), Bus(second->DevicePath(), {1})};
    RecordingSink sink;
    BridgeBuses buses(config, sink, SystemLineOpener());
    buses.Start();
    const auto onlineOnBus = [](Sink s, int bus) {
        for (const DeviceUpdate& u : s.Updates())
            if (u.identity.busIndex == bus && u.online) return true;
        return false;
    };
    ASSERT_TRUE(sink.WaitFor([&](Sink s) { return onlineOnBus(s, 0) && onlineOnBus(s, 1); }));
    buses.Stop();

    std::set<std::string> ids;
    for (const DeviceUpdate& u : sink.Updates())
        if (u.online) ids.insert(u.identity.deviceId);
    EXPECT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids.count("sn-ks2026a000000042"), 1u);
    EXPECT_TRUE(ids.count("bus0-addr1") + ids.count("bus1-addr1") == 1u);
    EXPECT_EQ(sink.Renames().size(), 1u);
}

}  // namespace
}  // namespace kestrane::bridge
