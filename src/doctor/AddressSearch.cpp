#include "doctor/AddressSearch.h"

#include <algorithm>
#include <chrono>

#include "bus/BusTiming.h"

namespace kestrane {

namespace {

constexpr int kMaxAddress = 247;
constexpr size_t kProbeRequestBytes = 8;
constexpr size_t kProbeReplyBytes = 35;  // 15 registers
// Rates as often as controllers ship with them, after the one given.
constexpr std::array<unsigned, 8> kRateLikelihood{9600,   19200, 4800, 38400,
                                                  115200, 57600, 2400, 1200};

double Milliseconds(BusDuration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

std::vector<int> LikelyAddressOrder() {
    std::vector<int> order;
    for (int a = 1; a <= 16; ++a)
        order.push_back(a);
    order.push_back(kMaxAddress);
    for (int a = 17; a < kMaxAddress; ++a)
        order.push_back(a);
    return order;
}

std::vector<unsigned> RateOrder(unsigned given) {
    std::vector<unsigned> order{given};
    for (const unsigned rate : kRateLikelihood)
        if (rate != given) order.push_back(rate);
    return order;
}

int ProbeTimeoutMs(unsigned baud, int floorMs) {
    const double reply = Milliseconds(WireTime(baud, kProbeReplyBytes));
    return std::max(floorMs, static_cast<int>(2 * reply + 0.999));
}

AddressSearch::AddressSearch(SearchStart start) : start_(std::move(start)) {
    if (start_.address > 0) tried_.insert({start_.baud, start_.address});
    if (start_.garbled) UrgeOtherRates(start_.baud, start_.address);
    for (auto it = start_.otherAddresses.rbegin(); it != start_.otherAddresses.rend(); ++it)
        Urge({start_.baud, *it});
}

double AddressSearch::ProbeSeconds(unsigned baud) const {
    const double ms = Milliseconds(InterFrameGap(baud)) +
                      Milliseconds(WireTime(baud, kProbeRequestBytes)) +
                      ProbeTimeoutMs(baud, start_.probeFloorMs);
    return ms / 1000.0;
}

void AddressSearch::Urge(const Candidate& candidate) {
    if (candidate.second < 1 || candidate.second > kMaxAddress) return;
    if (!tried_.contains(candidate)) urgent_.push_back(candidate);
}

void AddressSearch::UrgeOtherRates(unsigned baud, int address) {
    const std::vector<unsigned> rates = RateOrder(baud);
    // The back is taken first: push the least likely first.
    for (auto it = rates.rbegin(); it != rates.rend(); ++it)
        if (*it != baud) Urge({*it, address});
}

std::vector<AddressSearch::Candidate> AddressSearch::Plan() const {
    const std::vector<int> addresses = LikelyAddressOrder();
    const std::vector<unsigned> rates = RateOrder(start_.baud);
    const size_t givenRateCount = start_.allAddresses ? addresses.size() : kLikelyAddressCount;
    std::vector<Candidate> plan;
    for (size_t i = 0; i < givenRateCount; ++i)
        plan.push_back({start_.baud, addresses[i]});
    for (size_t r = 1; r < rates.size(); ++r)
        for (size_t i = 0; i < kLikelyAddressCount; ++i)
            plan.push_back({rates[r], addresses[i]});
    if (!start_.allAddresses) return plan;
    for (size_t r = 1; r < rates.size(); ++r)
        for (size_t i = kLikelyAddressCount; i < addresses.size(); ++i)
            plan.push_back({rates[r], addresses[i]});
    return plan;
}

SearchResult AddressSearch::Run(const ProbeFn& probe, const ClockFn& clock,
                                const ProgressFn& progress) {
    SearchResult result;
    const std::vector<Candidate> plan = Plan();
    size_t next = 0;
    for (;;) {
        Candidate candidate;
        if (!urgent_.empty()) {
            candidate = urgent_.back();
            urgent_.pop_back();
        } else {
            while (next < plan.size() && tried_.contains(plan[next]))
                ++next;
            if (next == plan.size()) break;
            candidate = plan[next++];
        }
        if (tried_.contains(candidate)) continue;
        const auto [baud, address] = candidate;
        if (clock() + ProbeSeconds(baud) > start_.budgetSeconds) {
            result.budgetSpent = true;
            break;
        }
        tried_.insert(candidate);
        ++result.probes;
        if (progress) progress({baud, address, result.probes, clock()});
        const Probe found = probe(baud, address);
        switch (found.outcome) {
            case ProbeOutcome::kAnswer:
                result.found = true;
                result.baud = baud;
                result.address = address;
                result.seconds = clock();
                return result;
            case ProbeOutcome::kGarbled:
                UrgeOtherRates(baud, address);
                break;
            case ProbeOutcome::kOtherAddress:
                Urge({baud, found.otherAddress});
                break;
            case ProbeOutcome::kException:
                result.exceptions.push_back(candidate);
                break;
            case ProbeOutcome::kLineClosed:
            case ProbeOutcome::kStopped:
                result.lineClosed = found.outcome == ProbeOutcome::kLineClosed;
                result.stopped = found.outcome == ProbeOutcome::kStopped;
                result.seconds = clock();
                return result;
            case ProbeOutcome::kCrcError:
                // Something of the right shape: worth a second look once.
                if (noisy_.insert(candidate).second) {
                    tried_.erase(candidate);
                    Urge(candidate);
                }
                break;
            case ProbeOutcome::kSilent:
                break;
        }
    }
    result.seconds = clock();
    return result;
}

}  // namespace kestrane
