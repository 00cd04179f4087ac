// A small seeded generator (SplitMix64) whose sequence is the same on every
// platform and standard library, so a seed always replays the same day.
#pragma once

#include <cstdint>

namespace kestrane::sim {

class SimRandom {
public:
    explicit SimRandom(uint64_t seed = 1) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Uniform(double low, double high) { return low + (high - low) * Uniform(); }
    // Uniform integer in [low, high].
    int Integer(int low, int high) {
        return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
    }
    // True with probability p.
    bool Chance(double p) { return p > 0 && Uniform() < p; }

private:
    uint64_t state_;
};

}  // namespace kestrane::sim
