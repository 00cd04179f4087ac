// The search over addresses and rates against scripted buses on a clock
// that moves by each probe's wait: the order of the probes, what steers it,
// and the time bound.
#include <gtest/gtest.h>

#include <map>

#include "doctor/AddressSearch.h"

namespace kestrane {
namespace {

using Candidate = std::pair<unsigned, int>;

// A bus with devices at given rates and addresses. A device hears probes at
// another rate as garbage and answers with garbage when `garbles`.
struct ScriptedBus {
    std::map<int, unsigned> devices;  // address -> rate
    bool garbles = true;
    std::map<Candidate, ProbeOutcome> overrides;
    std::vector<Candidate> asked;
    double now = 0;

    Probe Ask(unsigned baud, int address) {
        asked.push_back({baud, address});
        now += ProbeTimeoutMs(baud, 40) / 1000.0;
        if (const auto it = overrides.find({baud, address}); it != overrides.end())
            return {it->second, 0};
        const auto device = devices.find(address);
        if (device == devices.end()) return {ProbeOutcome::kSilent, 0};
        if (device->second == baud) return {ProbeOutcome::kAnswer, 0};
        return {garbles ? ProbeOutcome::kGarbled : ProbeOutcome::kSilent, 0};
    }
};

SearchResult RunSearch(ScriptedBus& bus, SearchStart start) {
    AddressSearch search(std::move(start));
    return search.Run([&](unsigned b, int a) { return bus.Ask(b, a); }, [&] { return bus.now; },
                      {});
}

TEST(AddressSearch, GarbledBytesSendTheSearchToTheOtherRatesAtThatAddress) {
    ScriptedBus bus;
    bus.devices = {{7, 19200}};
    const SearchResult result = RunSearch(bus, {.baud = 9600, .address = 1});
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.baud, 19200u);
    EXPECT_EQ(result.address, 7);
    // 2..7 at the given rate, then 19200 at address 7 straight away.
    const std::vector<Candidate> expected{{9600, 2}, {9600, 3}, {9600, 4}, {9600, 5},
                                          {9600, 6}, {9600, 7}, {19200, 7}};
    EXPECT_EQ(bus.asked, expected);
    EXPECT_EQ(result.probes, 7);
}

TEST(AddressSearch, GivenRateCoversEveryAddressLikelyOnesFirstBeforeOtherRates) {
    ScriptedBus bus;
    bus.devices = {{200, 9600}};
    const SearchResult result = RunSearch(bus, {.baud = 9600, .address = 1});
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.address, 200);
    for (const auto& [baud, address] : bus.asked)
        EXPECT_EQ(baud, 9600u);
    ASSERT_GE(bus.asked.size(), 17u);
    EXPECT_EQ(bus.asked[15].second, 247);  // 2..16, then 247
    EXPECT_EQ(bus.asked[16].second, 17);
}

TEST(AddressSearch, SilentDeviceAtAnotherRateIsFoundAmongTheLikelyAddresses) {
    ScriptedBus bus;
    bus.garbles = false;
    bus.devices = {{3, 4800}};
    const SearchResult result = RunSearch(bus, {.baud = 9600, .address = 1, .budgetSeconds = 600});
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.baud, 4800u);
    // The whole given rate, then the likely addresses of 19200 before 4800.
    EXPECT_EQ(result.probes, 246 + 17 + 3);
}

TEST(AddressSearch, FrameFromAnotherAddressIsAskedNext) {
    ScriptedBus bus;
    bus.devices = {{42, 9600}};
    const SearchResult result =
        RunSearch(bus, {.baud = 9600, .address = 1, .otherAddresses = {42}});
    ASSERT_TRUE(result.found);
    EXPECT_EQ(bus.asked, (std::vector<Candidate>{{9600, 42}}));
}

TEST(AddressSearch, GarbledAtTheGivenAddressTriesOtherRatesThere) {
    ScriptedBus bus;
    bus.devices = {{1, 38400}};
    const SearchResult result = RunSearch(bus, {.baud = 9600, .address = 1, .garbled = true});
    ASSERT_TRUE(result.found);
    EXPECT_EQ(bus.asked, (std::vector<Candidate>{{19200, 1}, {4800, 1}, {38400, 1}}));
}

TEST(AddressSearch, TimeBoundEndsTheSearchBeforeAProbeWouldPassIt) {
    ScriptedBus bus;
    const SearchResult result = RunSearch(bus, {.baud = 9600, .address = 1, .budgetSeconds = 5});
    EXPECT_FALSE(result.found);
    EXPECT_TRUE(result.budgetSpent);
    EXPECT_LE(bus.now, 5.0);
    EXPECT_GT(bus.now, 4.5);
    EXPECT_EQ(result.probes, static_cast<int>(bus.asked.size()));
}

TEST(AddressSearch, OutcomesThatEndOrRepeatAProbe) {
    ScriptedBus bus;
    bus.overrides = {{{9600, 3}, ProbeOutcome::kCrcError},
                     {{9600, 4}, ProbeOutcome::kException},
                     {{9600, 6}, ProbeOutcome::kLineClosed}};
    const SearchResult result = RunSearch(bus, {.baud = 9600, .address = 1});
    EXPECT_FALSE(result.found);
    EXPECT_TRUE(result.lineClosed);
    const std::vector<Candidate> expected{{9600, 2}, {9600, 3}, {9600, 3},
                                          {9600, 4}, {9600, 5}, {9600, 6}};
    EXPECT_EQ(bus.asked, expected);  // a CRC error is looked at once more
    EXPECT_EQ(result.exceptions, (std::vector<Candidate>{{9600, 4}}));
}

TEST(AddressSearch, LikelyOnlySearchAsksEachRateAtTheLikelyAddressesAndNothingElse) {
    ScriptedBus bus;
    bus.garbles = false;
    bus.devices = {{200, 9600}, {5, 2400}};
    // Nothing asked before (address 0): the given rate's address 1 comes first.
    const SearchResult result =
        RunSearch(bus, {.baud = 9600, .address = 0, .budgetSeconds = 600, .allAddresses = false});
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.baud, 2400u);
    EXPECT_EQ(result.address, 5);
    EXPECT_EQ(bus.asked.front(), (Candidate{9600, 1}));
    for (const auto& [baud, address] : bus.asked)
        EXPECT_TRUE(address <= 16 || address == 247) << address << " at " << baud;

    ScriptedBus empty;
    const SearchResult none =
        RunSearch(empty, {.baud = 9600, .address = 0, .budgetSeconds = 600, .allAddresses = false});
    EXPECT_FALSE(none.found);
    EXPECT_FALSE(none.budgetSpent);
    EXPECT_EQ(none.probes, static_cast<int>(kLikelyAddressCount * kStandardRates.size()));
}

TEST(AddressSearch, ProbeTimeoutFollowsTheReplyWireTime) {
    EXPECT_EQ(ProbeTimeoutMs(115200, 40), 40);  // the floor
    EXPECT_EQ(ProbeTimeoutMs(9600, 40), 73);    // 2 x 35 bytes x 10 bits / 9600
    EXPECT_EQ(ProbeTimeoutMs(1200, 40), 584);
    EXPECT_EQ(RateOrder(19200).front(), 19200u);
    EXPECT_EQ(RateOrder(19200).size(), kStandardRates.size());
}

}  // namespace
}  // namespace kestrane
