#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "core/calendar.h"
#include "export/dates.h"
#include "export/formats.h"
#include "export_fixtures.h"

namespace quillmark {
namespace {

using testing::options;
using testing::utc;

// ICU 72 puts U+202F NARROW NO-BREAK SPACE before AM/PM and U+2009 THIN SPACE around the dash of a range.
const Date tuesday{utc(2024, 3, 5, 19, 7, 9.9)};  // 14:07:09 in New York, 20:07:09 in Berlin

TEST(Dates, EachTemplateInTheExportsZoneAndLocale) {
    const Dates us(options("America/New_York", "en_US"));
    EXPECT_EQ(us.time(tuesday), "2:07:09\u202fPM");  // seconds are cut, not rounded
    EXPECT_EQ(us.shortTime(tuesday), "2:07\u202fPM");
    EXPECT_EQ(us.day(tuesday), "Tuesday, March 5, 2024");
    EXPECT_EQ(us.dayShort(tuesday), "Tue, Mar 5");
    EXPECT_EQ(us.month(tuesday), "March 2024");
    EXPECT_EQ(us.full(tuesday), "Mar 5, 2024, 2:07:09\u202fPM");
    EXPECT_EQ(us.date(tuesday), "March 5, 2024");

    const Dates de(options("Europe/Berlin", "de_DE"));
    EXPECT_EQ(de.day(tuesday), "Dienstag, 5. M\u00e4rz 2024");

    // The day is the zone's day: 23:30 in New York on New Year's Eve is already January in UTC.
    const Date lateEvening{utc(2025, 1, 1, 4, 30)};
    EXPECT_EQ(us.month(lateEvening), "December 2024");
    EXPECT_EQ(Dates(options("UTC", "en_US")).month(lateEvening), "January 2025");

    // The formats share one calendar and the month is remembered: asking in turns must not mix instants.
    EXPECT_EQ(us.time(lateEvening), "11:30:00\u202fPM");
    EXPECT_EQ(us.month(tuesday), "March 2024");
    EXPECT_EQ(us.full(lateEvening), "Dec 31, 2024, 11:30:00\u202fPM");
    EXPECT_EQ(us.month(lateEvening), "December 2024");
    EXPECT_EQ(us.time(tuesday), "2:07:09\u202fPM");
}

// Dates writes its formats in faster ways than a plain format of the skeleton (a shared calendar, a
// remembered month, the full format joined from day and time); in every locale the text must be the same.
TEST(Dates, EveryLocaleWritesWhatAPlainFormatOfTheSkeletonWrites) {
    for (const char* locale : {"en_US", "en_GB", "de_DE", "fr_FR", "ja_JP", "zh_TW", "ar_EG", "hi_IN", "th_TH",
                               "fa_IR", "ko_KR", "ru_RU", "he_IL", "es_ES"}) {
        const Dates dates(options("Asia/Tehran", locale));
        const auto full = DateFormat::make(Dates::fullSkeleton, locale, "Asia/Tehran");
        const auto month = DateFormat::make(Dates::monthSkeleton, locale, "Asia/Tehran");
        ASSERT_TRUE(full && month) << locale;
        for (const double at : {tuesday.seconds, utc(2024, 3, 20, 20, 31), utc(2024, 3, 21, 0, 5), utc(1999, 12, 31, 23)}) {
            EXPECT_EQ(dates.full(Date{at}), full->text(Date{at})) << locale;
            EXPECT_EQ(dates.month(Date{at}), month->text(Date{at})) << locale;
        }
    }
}

TEST(Dates, RangeIsALongDateIntervalWithoutTimes) {
    const Dates us(options("America/New_York", "en_US"));
    const Date twoDaysLater{tuesday.seconds + 2 * 86400};
    EXPECT_EQ(us.range(tuesday, twoDaysLater), "March 5\u2009\u2013\u20097, 2024");
    EXPECT_EQ(us.range(tuesday, tuesday), "March 5, 2024");
    EXPECT_EQ(us.range(tuesday, Date{utc(2025, 4, 9, 15)}), "March 5, 2024\u2009\u2013\u2009April 9, 2025");
    EXPECT_EQ(us.range(std::nullopt, tuesday), "");
    EXPECT_EQ(us.range(tuesday, std::nullopt), "");

    // The ends are days in the export's zone: in Tokyo the same two instants fall on the 6th and the 8th.
    EXPECT_EQ(Dates(options("Asia/Tokyo", "en_US")).range(tuesday, twoDaysLater), "March 6\u2009\u2013\u20098, 2024");
    EXPECT_EQ(Dates(options("Europe/Berlin", "de_DE")).range(tuesday, twoDaysLater), "5.\u20137. M\u00e4rz 2024");
}

TEST(Dates, ZoneNamesTheOffsetAtThatInstant) {
    const Date winter{utc(2024, 1, 15, 12)}, summer{utc(2024, 7, 15, 12)};
    auto zone = [](const char* id, Date at) { return Dates(options(id)).zone(at); };
    EXPECT_EQ(zone("Europe/Berlin", winter), "Europe/Berlin (GMT+1)");
    EXPECT_EQ(zone("Europe/Berlin", summer), "Europe/Berlin (GMT+2)");
    EXPECT_EQ(zone("America/New_York", winter), "America/New_York (GMT\u22125)");  // U+2212, not a hyphen
    EXPECT_EQ(zone("America/St_Johns", winter), "America/St_Johns (GMT\u22123:30)");
    EXPECT_EQ(zone("America/St_Johns", summer), "America/St_Johns (GMT\u22122:30)");
    EXPECT_EQ(zone("Asia/Kathmandu", winter), "Asia/Kathmandu (GMT+5:45)");
    EXPECT_EQ(zone("UTC", winter), "UTC (GMT+0)");
}

TEST(Formats, BytesInTheFileBrowsersDecimalStyle) {
    const std::pair<int64_t, const char*> english[] = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {999, "999 bytes"},
        {1500, "2 KB"},  // halves go to the even digit
        {2500, "2 KB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"},  // never "1,000 KB"
        {1'500'000, "1.5 MB"},
        {1'234'567'890, "1.23 GB"},
        {999'995'000'000, "1 TB"},
        {std::numeric_limits<int64_t>::max(), "9,223.37 PB"},
    };
    for (const auto& [count, text] : english) EXPECT_EQ(Formats::bytes(count, "en_US"), text) << count;

    EXPECT_EQ(Formats::bytes(1'500'000, "de_DE"), "1,5 MB");
    EXPECT_EQ(Formats::bytes(1'500'000, "fr_FR"), "1,5\u202fMo");
    EXPECT_EQ(Formats::integer(1'234'567, "de_DE"), "1.234.567");
}

TEST(Formats, GroupedInsertsASpaceBetweenGroups) {
    EXPECT_EQ(Formats::grouped("abcdef", 2), "ab cd ef");  // no space before or after
    EXPECT_EQ(Formats::grouped("", 4), "");
    EXPECT_EQ(Formats::grouped("\u00e4\u00f6\u00fc\u00df", 2), "\u00e4\u00f6 \u00fc\u00df");  // characters, not bytes
    EXPECT_EQ(Formats::grouped("abc", 0), "abc");
}

TEST(Formats, DurationRoundsToTheSecondFirst) {
    const std::pair<double, const char*> cases[] = {
        {0.5, "0:01"}, {59.4, "0:59"}, {187, "3:07"}, {3599.5, "1:00:00"}, {7384, "2:03:04"},
        {std::nan(""), "0:00"}, {-5, "0:00"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(Formats::duration(seconds), text) << seconds;
}

}  // namespace
}  // namespace quillmark
