#include "sample_history/random.h"

#include <cstdio>

namespace quillmark::sample {

namespace {

std::string formatUUID(uint64_t high, uint64_t low) {
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
                  static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

}  // namespace

int64_t Random::between(int64_t low, int64_t high) {
    if (high <= low) return low;
    const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low) + 1;
    if (span == 0) return static_cast<int64_t>(next());  // the whole 64-bit range
    // 2^64 mod span values at the bottom would make the low results likelier; they are drawn again.
    const uint64_t threshold = (0 - span) % span;
    for (;;) {
        const uint64_t r = next();
        if (r >= threshold) return static_cast<int64_t>(static_cast<uint64_t>(low) + r % span);
    }
}

std::string Random::uuid() {
    const uint64_t high = next();
    const uint64_t low = next();
    return formatUUID(high, low);
}

uint64_t mix(uint64_t key) {
    uint64_t z = key + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::string uuidFor(uint64_t key) { return formatUUID(mix(key), mix(key ^ 0xA5A5A5A5A5A5A5A5ULL)); }

}  // namespace quillmark::sample
