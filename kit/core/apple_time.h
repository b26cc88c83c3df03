// AppleTime: the time stamps of the Messages history.
//
// Messages counts time from 2001-01-01 00:00:00 UTC. Newer histories store nanoseconds, older ones
// seconds; the two are told apart by magnitude. 0 means "no date".
//
//   AppleTime::date(0)                      == std::nullopt
//   AppleTime::date(700000000)              -> 2023-03-08T20:26:40Z (seconds)
//   AppleTime::date(700000000000000000)     -> the same instant (nanoseconds)
//   AppleTime::raw(date)                    -> always nanoseconds
#pragma once

#include <cstdint>
#include <optional>

#include "core/date.h"

namespace quillmark::AppleTime {

// Seconds between 1970-01-01 and 2001-01-01, both UTC.
inline constexpr double referenceDate = 978307200.0;

// The raw value read as nanoseconds when its magnitude exceeds 100,000,000,000, else as seconds.
std::optional<Date> date(int64_t raw);

// Nanoseconds since the reference date, rounded to the nearest integer.
int64_t raw(Date date);

}  // namespace quillmark::AppleTime
