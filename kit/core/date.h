// Date: an absolute point in time as seconds since 1970-01-01T00:00:00Z.
//
// The whole engine speaks of time through this one small value type. Fractions of a second are kept
// (Messages stores nanoseconds), and milliseconds since 1970 are what machine-readable outputs carry.
//
//   Date d = Date::fromMilliseconds(1700000000123);
//   d.seconds == 1700000000.123
#pragma once

#include <compare>
#include <cstdint>

namespace quillmark {

struct Date {
    double seconds = 0;  // since 1970-01-01T00:00:00Z

    static constexpr Date fromSeconds(double s) { return Date{s}; }
    static Date fromMilliseconds(int64_t ms) { return Date{static_cast<double>(ms) / 1000.0}; }

    // Milliseconds since 1970, rounded to the nearest millisecond (ties away from zero).
    int64_t milliseconds() const;

    // The date of messages and reactions stored without one: 0001-01-01T00:00:00Z, earlier than every real
    // date, so that they keep their place at the start. Exports show "no date" for it.
    static const Date distantPast;
    bool isDistantPast() const { return seconds <= -62135769600.0; }

    friend auto operator<=>(const Date&, const Date&) = default;
};

inline constexpr Date Date::distantPast{-62135769600.0};

}  // namespace quillmark
