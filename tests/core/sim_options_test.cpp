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
                       "--hangup-after",
                       "8"},
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
    EXPECT_EQ(o.hangupAfter, 8);
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
