#include "core/calendar.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

using Calendar::Bound;

// Seconds since 1970 of a UTC time, for expectations written as calendar times.
double utc(int y, int m, int d, int hh = 0, int mm = 0, double ss = 0) {
    // Days from civil (proleptic Gregorian).
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double days = era * 146097.0 + doe - 719468;
    return days * 86400 + hh * 3600 + mm * 60 + ss;
}

// The end of a day is the instant before the next one starts, however long the day is; a day whose
// midnight is skipped starts at its first instant.
TEST(DayBound, ClockChanges) {
    // Berlin springs forward on 2024-03-31 (23 hours); Santiago skipped 2022-09-11 00:00 to 01:00.
    EXPECT_EQ(Calendar::dayBound(2024, 3, 31, "Europe/Berlin", Bound::start).seconds, utc(2024, 3, 30, 23));
    EXPECT_DOUBLE_EQ(Calendar::dayBound(2024, 3, 31, "Europe/Berlin", Bound::end).seconds, utc(2024, 3, 31, 21, 59, 59.999));
    EXPECT_EQ(Calendar::dayBound(2022, 9, 11, "America/Santiago", Bound::start).seconds, utc(2022, 9, 11, 4));
    EXPECT_DOUBLE_EQ(Calendar::dayBound(2023, 12, 31, "UTC", Bound::end).seconds, utc(2023, 12, 31, 23, 59, 59.999));
}

TEST(ParseBound, DaysAndDateTimes) {
    struct Case {
        const char* text;
        const char* zone;
        Bound bound;
        double expected;
    };
    const Case cases[] = {
        {"2024-01-15", "Asia/Tokyo", Bound::start, utc(2024, 1, 14, 15)},
        {"2024-01-15", "Asia/Tokyo", Bound::end, utc(2024, 1, 15, 14, 59, 59.999)},
        {"2024-01-05T10:00:00Z", "Asia/Tokyo", Bound::start, utc(2024, 1, 5, 10)},
        {"2024-01-05T10:00:00+02:00", "UTC", Bound::start, utc(2024, 1, 5, 8)},
        {"2024-01-05T10:00:00-0530", "UTC", Bound::start, utc(2024, 1, 5, 15, 30)},
        {"2024-01-05T10:00+02", "UTC", Bound::start, utc(2024, 1, 5, 8)},
        {"2024-01-05 10:00:00.250Z", "UTC", Bound::start, utc(2024, 1, 5, 10, 0, 0.25)},
        // Without an offset the wall-clock time is read in the zone, with the offset of that day.
        {"2024-07-01T12:00:00", "Europe/Berlin", Bound::start, utc(2024, 7, 1, 10)},
    };
    for (const Case& c : cases) {
        const auto parsed = Calendar::parseBound(c.text, c.zone, c.bound);
        ASSERT_TRUE(parsed) << c.text << ": " << parsed.error();
        EXPECT_NEAR(parsed->seconds, c.expected, 1e-6) << c.text;
    }
}

TEST(ParseBound, RejectsWhatIsNotADate) {
    for (const char* text : {"", "yesterday", "2024-1-5", "2024-13-01", "2023-02-29", "2024-04-31", "2024-01-05T",
                             "2024-01-05T25:00", "2024-01-05T10:60", "2024-01-05T10:00:00+2", "2024-01-05T10:00:00.Z",
                             "2024-01-05T10:00:00Zjunk", "20240105", "2024-01-05x"}) {
        const auto parsed = Calendar::parseBound(text, "UTC", Bound::start);
        ASSERT_FALSE(parsed) << text;
        EXPECT_NE(parsed.error().description().find("isn't a date"), std::string::npos);
        EXPECT_NE(parsed.error().description().find(text), std::string::npos);
    }
    EXPECT_TRUE(Calendar::parseBound("2024-02-29", "UTC", Bound::start));
}

TEST(TimeZoneID, ValidatesAndCanonicalises) {
    EXPECT_EQ(Calendar::timeZone("Europe/Berlin").value(), "Europe/Berlin");
    EXPECT_EQ(Calendar::timeZone("GMT+2").value(), "GMT+02:00");
    for (const char* bad : {"", "Mars/Olympus", "Europe/Berlinn", "not a zone"}) {
        const auto zone = Calendar::timeZone(bad);
        ASSERT_FALSE(zone) << bad;
        EXPECT_NE(zone.error().description().find("isn't a time zone"), std::string::npos);
    }
}

}  // namespace
}  // namespace quillmark
