#include "core/apple_time.h"

#include <cmath>
#include <limits>

namespace quillmark::AppleTime {

std::optional<Date> date(int64_t raw) {
    if (raw == 0) return std::nullopt;
    // |raw| without overflowing on INT64_MIN.
    const bool nanoseconds = raw > 100'000'000'000 || raw < -100'000'000'000;
    if (nanoseconds) {
        // Split into whole seconds and the rest so that large values keep their nanoseconds.
        const int64_t whole = raw / 1'000'000'000;
        const int64_t rest = raw % 1'000'000'000;
        return Date{referenceDate + static_cast<double>(whole) + static_cast<double>(rest) / 1e9};
    }
    return Date{referenceDate + static_cast<double>(raw)};
}

int64_t raw(Date date) {
    const double ns = std::round((date.seconds - referenceDate) * 1e9);
    if (!(ns < 9.2e18)) return std::numeric_limits<int64_t>::max();
    if (!(ns > -9.2e18)) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(ns);
}

}  // namespace quillmark::AppleTime
