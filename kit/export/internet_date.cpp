#include "export/internet_date.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <unicode/timezone.h>
#include <unicode/ucal.h>

namespace quillmark {

namespace {

// The civil date of a day count since 1970-01-01 in the proleptic Gregorian calendar (Howard Hinnant's
// algorithm), for any day a 64-bit count of seconds can name.
void civilFromDays(int64_t z, int64_t& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2);
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

struct InternetDateFormat::Impl {
    std::unique_ptr<icu::TimeZone> zone;
};

InternetDateFormat::InternetDateFormat(const std::string& zoneID) : impl_(std::make_unique<Impl>()) {
    impl_->zone.reset(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneID)));
    icu::UnicodeString id;
    if (!impl_->zone || impl_->zone->getID(id) == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID))
        impl_->zone.reset(icu::TimeZone::getGMT()->clone());
}

InternetDateFormat::~InternetDateFormat() = default;

int InternetDateFormat::offsetSeconds(Date date) const {
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0, dst = 0;
    impl_->zone->getOffset(date.seconds * 1000.0, false, raw, dst, status);
    return U_SUCCESS(status) ? (raw + dst) / 1000 : 0;
}

void InternetDateFormat::append(std::string& out, Date date) const {
    const int offset = offsetSeconds(date) / 60 * 60;
    const double local = std::floor(date.seconds) + offset;
    const auto seconds = static_cast<int64_t>(local);
    const int64_t days = floorDiv(seconds, 86400);
    const auto secondOfDay = static_cast<int>(seconds - days * 86400);
    int64_t year = 0;
    int month = 0, day = 0;
    civilFromDays(days, year, month, day);

    // Written digit by digit: this runs for every date cell of an export.
    char buffer[32];
    char* p = buffer;
    auto two = [&p](int value) {
        *p++ = static_cast<char>('0' + value / 10);
        *p++ = static_cast<char>('0' + value % 10);
    };
    if (year >= 0 && year <= 9999) {
        two(static_cast<int>(year / 100));
        two(static_cast<int>(year % 100));
    } else {
        p += std::snprintf(p, 16, "%lld", static_cast<long long>(year));
    }
    *p++ = '-';
    two(month);
    *p++ = '-';
    two(day);
    *p++ = 'T';
    two(secondOfDay / 3600);
    *p++ = ':';
    two(secondOfDay / 60 % 60);
    *p++ = ':';
    two(secondOfDay % 60);
    if (offset == 0) {
        *p++ = 'Z';
    } else {
        const int minutes = std::abs(offset) / 60;
        *p++ = offset < 0 ? '-' : '+';
        two(minutes / 60 % 100);
        *p++ = ':';
        two(minutes % 60);
    }
    out.append(buffer, static_cast<size_t>(p - buffer));
}

std::string InternetDateFormat::text(Date date) const {
    std::string out;
    append(out, date);
    return out;
}

}  // namespace quillmark
