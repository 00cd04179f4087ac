// The search for a controller that does not answer at the rate and address
// given: the given rate over every address first, the likely addresses
// first, then the other standard rates, within a bound of total time. What a
// probe finds steers the order: garbled bytes from an address mean the
// device there runs at another rate, so that address is tried at the other
// rates at once; a valid frame from another address names that address.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace kestrane {

inline constexpr std::array<unsigned, 8> kStandardRates{1200,  2400,  4800,  9600,
                                                        19200, 38400, 57600, 115200};

enum class ProbeOutcome : uint8_t {
    kSilent,        // nothing came back
    kAnswer,        // the controller's reply
    kGarbled,       // bytes that never formed the reply
    kOtherAddress,  // a valid frame from another device
    kCrcError,      // the reply's shape with a wrong CRC
    kException,     // an exception reply: some device, not this kind of controller
    kLineClosed,    // the device went away
    kStopped,       // the caller asked to stop
};

struct Probe {
    ProbeOutcome outcome = ProbeOutcome::kSilent;
    int otherAddress = 0;  // with kOtherAddress
};

struct SearchStart {
    unsigned baud = 9600;
    int address = 1;                  // already asked before the search; 0: none was
    std::vector<int> otherAddresses;  // valid frames came from these
    bool garbled = false;             // the given address sent garbled bytes
    double budgetSeconds = 55;
    int probeFloorMs = 40;  // the least wait for a probe's reply to start
    // False: only the likely addresses (1..16, 247) at every rate, for a
    // search that must stay short; addresses that replies name are still asked.
    bool allAddresses = true;
};

struct SearchProgress {
    unsigned baud = 0;
    int address = 0;
    int probes = 0;
    double elapsedSeconds = 0;
};

struct SearchResult {
    bool found = false;
    unsigned baud = 0;
    int address = 0;
    int probes = 0;
    double seconds = 0;
    bool budgetSpent = false;  // stopped by the time bound
    bool lineClosed = false;
    bool stopped = false;                              // the caller asked to stop
    std::vector<std::pair<unsigned, int>> exceptions;  // rate and address of exception replies
};

// How many of LikelyAddressOrder() are the likely ones: 1..16 and 247.
inline constexpr size_t kLikelyAddressCount = 17;
// 1..16, 247, then 17..246: factory settings and small buses first.
std::vector<int> LikelyAddressOrder();
// `given` first, then the others by how often controllers ship with them.
std::vector<unsigned> RateOrder(unsigned given);
// How long a probe waits for its reply to start: twice the reply's wire
// time at the rate, but at least `floorMs` (host and adapter latency).
int ProbeTimeoutMs(unsigned baud, int floorMs);

class AddressSearch {
public:
    using ProbeFn = std::function<Probe(unsigned baud, int address)>;
    using ClockFn = std::function<double()>;  // seconds since the search began
    using ProgressFn = std::function<void(const SearchProgress&)>;

    explicit AddressSearch(SearchStart start);

    // `progress` may be empty.
    SearchResult Run(const ProbeFn& probe, const ClockFn& clock, const ProgressFn& progress);

private:
    using Candidate = std::pair<unsigned, int>;

    std::vector<Candidate> Plan() const;
    void Urge(const Candidate& candidate);
    void UrgeOtherRates(unsigned baud, int address);
    double ProbeSeconds(unsigned baud) const;

    SearchStart start_;
    std::vector<Candidate> urgent_;  // taken from the back
    std::set<Candidate> tried_;
    std::set<Candidate> noisy_;  // gave a CRC error once
};

}  // namespace kestrane
