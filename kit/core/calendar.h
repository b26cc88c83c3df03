// Calendar: days, time zones and date texts, for everything that reads or writes a date as people do.
//
// Dates inside the engine are instants (`Date`); people speak of days and wall-clock times in a time zone.
// This header turns one into the other: the first and last instant of a day in a zone, a day or a
// date-time typed by a person, and an instant written with a locale's pattern for a skeleton.
//
//   auto zone = Calendar::timeZone("Europe/Berlin");                 // or an error sentence
//   auto from = Calendar::parseBound("2024-03-31", *zone, Calendar::Bound::start);
//   // from->seconds == 1711839600   (2024-03-31T00:00:00+01:00)
//   auto to = Calendar::parseBound("2024-03-31", *zone, Calendar::Bound::end);
//   // to == the instant before 2024-04-01T00:00:00+02:00, 23 hours later (the clocks went forward)
//
//   auto format = DateFormat::make("yMMMdjmm", "en_US", "America/New_York");
//   format->text(Date{0}) == "Dec 31, 1969, 7:00\u202fPM"
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

#include "core/failure.h"

#include "core/date.h"

namespace quillmark {

namespace Calendar {

// A sentence naming the text that is not a zone, locale or date, and what to write instead.
using Failure = SentenceFailure;


// timeZone: the canonical form of a time-zone identifier ("Europe/Berlin", "UTC", "GMT+02:00"), or a
// sentence saying the identifier is not one.
[[nodiscard]] tl::expected<std::string, Failure> timeZone(std::string_view id);

// defaultTimeZone: the machine's zone: the TZ variable when it names a zone (a leading ":" is allowed),
// else the zone the system is set to; "UTC" when neither can be told.
std::string defaultTimeZone();

// locale: the ICU id of a locale a person named ("de_DE", "de-DE", "fr_CA.UTF-8"), or a sentence
// saying ICU has no data for its language.
[[nodiscard]] tl::expected<std::string, Failure> locale(std::string_view id);

// Which end of a day a typed date stands for.
enum class Bound { start, end };

// dayBound: the first instant of the day in the zone (midnight, or the first instant after a skipped
// midnight), or the last millisecond before the next day begins. A day is not always 24 hours long: a
// day on which the clocks change has 23 or 25, and its end follows the change.
// `zone` must be a valid identifier (see `timeZone`); month and day must form a real date.
Date dayBound(int year, int month, int day, const std::string& zone, Bound bound);

// parseBound: a date typed by a person, as a day "YYYY-MM-DD" (its start or end in the zone, see
// dayBound) or an ISO 8601 date-time "YYYY-MM-DDTHH:MM[:SS[.fff]]" with "Z" or an offset ("+02:00",
// "+0200", "+02"), which is that instant, or without one, which is that wall-clock time in the zone.
// A space may stand for the "T". Anything else, or a date that does not exist (2023-02-29), gives a
// sentence naming the text.
//   parseBound("2024-01-05T10:00:00Z", "Asia/Tokyo", Bound::start)->seconds == 1704448800
[[nodiscard]] tl::expected<Date, Failure> parseBound(std::string_view text, const std::string& zone, Bound bound);

}  // namespace Calendar

// DateFormat: writes instants in one locale and time zone, with the locale's own pattern for a skeleton
// (the fields wanted, in ICU's skeleton letters: "yMMMdjmm" is year, abbreviated month, day, hour in the
// locale's clock and minutes). Made once and used for many dates.
class DateFormat {
public:
    // make: nothing when ICU cannot make a formatter for these (an invalid zone or skeleton).
    static std::unique_ptr<DateFormat> make(std::string_view skeleton, const std::string& locale,
                                            const std::string& zone);
    ~DateFormat();
    DateFormat(const DateFormat&) = delete;
    DateFormat& operator=(const DateFormat&) = delete;

    std::string text(Date date) const;

private:
    struct Impl;
    explicit DateFormat(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillmark
