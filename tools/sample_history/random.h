// Random: the generator's source of chance, the same on every platform for the same seed.
//
// The engine is std::mt19937_64, whose output the C++ standard fixes; the standard's distributions are
// not fixed and differ between libraries, so every draw goes through the few functions below.
//
//   Random random(42);
//   random.between(1, 6);        // a die roll, every face equally likely
//   random.chance(30);           // true three times in ten
//   random.uuid();               // "0F3C9A1E-6B2D-4C7A-9E11-5A0B3C8D7E2F"
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillmark::sample {

class Random {
public:
    explicit Random(uint64_t seed) : engine_(seed) {}

    uint64_t next() { return engine_(); }

    // A whole number in [low, high], each equally likely (rejection sampling: no modulo bias).
    int64_t between(int64_t low, int64_t high);

    // True `percent` times in a hundred.
    bool chance(int percent) { return between(0, 99) < percent; }

    // One element of a non-empty list.
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<size_t>(between(0, static_cast<int64_t>(items.size()) - 1))];
    }

    // An upper-case GUID in the 8-4-4-4-12 form Messages uses.
    std::string uuid();

private:
    std::mt19937_64 engine_;
};

// A GUID that depends only on the key, for rows made in bulk that must name each other without keeping
// every GUID in memory.
std::string uuidFor(uint64_t key);

// SplitMix64: a strong one-step mix of a 64-bit key.
uint64_t mix(uint64_t key);

}  // namespace quillmark::sample
