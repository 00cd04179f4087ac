// The command line of kestrane-sim.
#include <gtest/gtest.h>

#include "sim/SimulatorOptions.h"

namespace kestrane::sim {
namespace {

bool Parse(std::vector<const char*> args, SimulatorOptions* options, std::string* error = nullptr) {
    args.insert(args.begin(), "kestrane-sim");
    bool help = false;
    std::string ignored;
    return ParseSimulatorOptions(static_cast<int>(args.size()), args.data(), options, &help,
                                 error ? error : &ignored);
}

TEST(SimulatorOptions, EveryOptionLandsInItsField) {
    SimulatorOptions o;
    ASSERT_TRUE(Parse({"--address",
                       "17",
                       "--baud=19200",
                       "--seed",
                       "99",
                       "--day-seconds",
                       "0.5",
                       "--link",
                       "/tmp/x",
                       "--start",
                       "2026-12-31T23:00:00",
                       "--drop",
                       "0.1",
                       "--corrupt",
                       "0.2",
                       "--exception",
                       "0.3",
                       "--wrong-echo",
                       "0.4",
                       "--split",
                       "0.5",
                       "--noise",
                       "0.6",
                       "--delay",
                       "70",
                       "--pace",
                       "--ignore-aa",
                       "--refuse-writes",
                       "--hangup-after",
                       "8",
                       "--registers-file",
                       "/tmp/registers.json"},
                      &o));
    EXPECT_EQ(o.address, 17);
    EXPECT_EQ(o.baud, 19200u);
    EXPECT_EQ(o.seed, 99u);
    EXPECT_DOUBLE_EQ(o.daySeconds, 0.5);
    EXPECT_EQ(o.linkPath, "/tmp/x");
    EXPECT_EQ(o.start.ToString(), "2026-12-31T23:00:00");
    EXPECT_DOUBLE_EQ(o.drop, 0.1);
    EXPECT_DOUBLE_EQ(o.corrupt, 0.2);
    EXPECT_DOUBLE_EQ(o.exception, 0.3);
    EXPECT_DOUBLE_EQ(o.wrongEcho, 0.4);
    EXPECT_DOUBLE_EQ(o.split, 0.5);
    EXPECT_DOUBLE_EQ(o.noise, 0.6);
    EXPECT_EQ(o.delayMs, 70);
    EXPECT_TRUE(o.pace);
    EXPECT_TRUE(o.ignoreAa);
    EXPECT_TRUE(o.refuseWrites);
    EXPECT_EQ(o.hangupAfter, 8);
    EXPECT_EQ(o.registersFile, "/tmp/registers.json");
}

TEST(SimulatorOptions, SeveralControllersShareTheLine) {
    SimulatorOptions o;
    ASSERT_TRUE(Parse({"--devices", "1,2,7", "--fault-device=7", "--turnaround", "0.5"}, &o));
    EXPECT_EQ(BusAddresses(o), (std::vector<int>{1, 2, 7}));
    EXPECT_EQ(o.address, 1);
    EXPECT_EQ(o.faultDevice, 7);
    EXPECT_DOUBLE_EQ(o.turnaroundMs, 0.5);

    SimulatorOptions repeated;
    ASSERT_TRUE(Parse({"--address", "9", "--address", "4", "--devices", "5"}, &repeated));
    EXPECT_EQ(BusAddresses(repeated), (std::vector<int>{9, 4, 5}));
    EXPECT_EQ(repeated.address, 9);

    SimulatorOptions plain;
    ASSERT_TRUE(Parse({}, &plain));
    EXPECT_EQ(BusAddresses(plain), std::vector<int>{1});
    EXPECT_DOUBLE_EQ(plain.turnaroundMs, 2);
}

TEST(SimulatorOptions, EachControllerGetsItsOwnSeedAndOnlyTheFaultDeviceItsFaults) {
    SimulatorOptions o;
    ASSERT_TRUE(
        Parse({"--devices", "1,2,7", "--seed", "5", "--fault-device", "2", "--drop", "1", "--delay",
               "40", "--ignore-aa", "--refuse-writes", "--pace", "--hangup-after", "3"},
              &o));
    const SimulatorOptions first = DeviceOptions(o, 0);
    const SimulatorOptions faulty = DeviceOptions(o, 1);
    const SimulatorOptions last = DeviceOptions(o, 2);
    EXPECT_EQ(first.address, 1);
    EXPECT_EQ(first.seed, 5u);
    EXPECT_EQ(faulty.address, 2);
    EXPECT_NE(faulty.seed, first.seed);
    EXPECT_NE(last.seed, faulty.seed);
    for (const SimulatorOptions* sound : {&first, &last}) {
        EXPECT_EQ(sound->drop, 0);
        EXPECT_EQ(sound->delayMs, 0);
        EXPECT_FALSE(sound->ignoreAa);
        EXPECT_FALSE(sound->refuseWrites);
        EXPECT_TRUE(sound->pace);  // the line's own properties stay
        EXPECT_EQ(sound->hangupAfter, 3);
    }
    EXPECT_EQ(faulty.drop, 1);
    EXPECT_EQ(faulty.delayMs, 40);
    EXPECT_TRUE(faulty.ignoreAa);
    EXPECT_TRUE(faulty.refuseWrites);
}

TEST(SimulatorOptions, TcpListenTakesAPortAndAnOptionalHost) {
    SimulatorOptions o;
    EXPECT_EQ(o.tcpListenPort, -1);  // a pseudo-terminal unless asked
    ASSERT_TRUE(Parse({"--tcp-listen", "0"}, &o));
    EXPECT_EQ(o.tcpListenPort, 0);
    EXPECT_EQ(o.tcpListenHost, "127.0.0.1");
    SimulatorOptions bound;
    ASSERT_TRUE(Parse({"--tcp-listen=0.0.0.0:5020"}, &bound));
    EXPECT_EQ(bound.tcpListenPort, 5020);
    EXPECT_EQ(bound.tcpListenHost, "0.0.0.0");
}

TEST(SimulatorOptions, BadValuesAreRefusedWithAReason) {
    const std::vector<std::vector<const char*>> bad = {
        {"--address", "0"},
        {"--address", "248"},
        {"--address", "1.5"},
        {"--drop", "1.1"},
        {"--noise", "-0.1"},
        {"--delay", "x"},
        {"--baud"},
        {"--pace=1"},
        {"--bogus"},
        {"--start", "2026-02-30T00:00:00"},
        {"--day-seconds", "-1"},
        {"--devices", "1,,2"},
        {"--devices", "1,248"},
        {"--devices", "1,2,"},
        {"--devices", ""},
        {"--devices", "1,2", "--address", "2"},
        {"--devices", "1,2", "--fault-device", "3"},
        {"--fault-device", "2"},
        {"--turnaround", "-1"},
        {"--tcp-listen", "65536"},
        {"--tcp-listen", "host:"},
        {"--tcp-listen", ":5020"},
        {"--tcp-listen", "0", "--link", "/tmp/x"},
        {"--registers-file"},
        {"--refuse-writes=1"},
    };
    for (const auto& args : bad) {
        SimulatorOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, &o, &error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace kestrane::sim
