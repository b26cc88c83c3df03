#include "core/apple_time.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(AppleTime, ZeroMeansNoDate) { EXPECT_FALSE(AppleTime::date(0).has_value()); }

TEST(AppleTime, MagnitudeTellsSecondsFromNanoseconds) {
    // 100,000,000,000 is still seconds (about 3170 years); one more is nanoseconds (100 s).
    EXPECT_DOUBLE_EQ(AppleTime::date(100'000'000'000)->seconds, AppleTime::referenceDate + 100'000'000'000.0);
    EXPECT_DOUBLE_EQ(AppleTime::date(100'000'000'001)->seconds, AppleTime::referenceDate + 100.000000001);
    EXPECT_DOUBLE_EQ(AppleTime::date(-100'000'000'001)->seconds, AppleTime::referenceDate - 100.000000001);
    EXPECT_DOUBLE_EQ(AppleTime::date(700'000'000)->seconds, AppleTime::date(700'000'000'000'000'000)->seconds);
    EXPECT_DOUBLE_EQ(AppleTime::date(-31'536'000)->seconds, AppleTime::referenceDate - 31'536'000.0);
}

TEST(AppleTime, RawIsNanosecondsAndRoundTrips) {
    const Date d{AppleTime::referenceDate + 700'000'000.25};
    EXPECT_EQ(AppleTime::raw(d), 700'000'000'250'000'000);
    EXPECT_EQ(AppleTime::raw(Date{AppleTime::referenceDate}), 0);
    EXPECT_DOUBLE_EQ(AppleTime::date(AppleTime::raw(d))->seconds, d.seconds);
}

TEST(AppleTime, ExtremeRawValuesDoNotOverflow) {
    EXPECT_TRUE(AppleTime::date(INT64_MIN).has_value());
    EXPECT_TRUE(AppleTime::date(INT64_MAX).has_value());
    EXPECT_EQ(AppleTime::raw(Date{1e300}), INT64_MAX);
}

}  // namespace
}  // namespace quillmark
