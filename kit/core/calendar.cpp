#include "core/calendar.h"

#include <cstdlib>
#include <optional>

#include <unicode/dtptngen.h>
#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/ucal.h>

#include "core/locale.h"

namespace quillmark {

namespace {

icu::UnicodeString unicode(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// The zone for an identifier; nullptr for one ICU does not know (it answers those with "Etc/Unknown").
std::unique_ptr<icu::TimeZone> makeZone(std::string_view id) {
    if (id.empty()) return nullptr;
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(unicode(id)));
    if (!zone) return nullptr;
    icu::UnicodeString found;
    zone->getID(found);
    if (found == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID)) return nullptr;
    return zone;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the date in the proleptic Gregorian calendar (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The pieces of a typed date, read strictly.
struct Fields {
    int year = 0, month = 0, day = 0;
    bool hasTime = false;
    int hour = 0, minute = 0, second = 0;
    double fraction = 0;                // of a second
    std::optional<int> offsetSeconds;  // east of UTC, when the text carries one
};

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ == text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[at_]; }
    bool take(char c) {
        if (peek() != c) return false;
        ++at_;
        return true;
    }
    // Exactly `count` ASCII digits.
    std::optional<int> number(size_t count) {
        if (text_.size() - at_ < count) return std::nullopt;
        int value = 0;
        for (size_t i = 0; i < count; ++i) {
            const char c = text_[at_ + i];
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        at_ += count;
        return value;
    }
    // One or more digits after a decimal point, as a fraction.
    std::optional<double> fraction() {
        double value = 0, scale = 0.1;
        size_t digits = 0;
        while (!atEnd() && peek() >= '0' && peek() <= '9') {
            if (digits < 9) value += (peek() - '0') * scale;
            scale /= 10;
            ++digits;
            ++at_;
        }
        if (digits == 0) return std::nullopt;
        return value;
    }

private:
    std::string_view text_;
    size_t at_ = 0;
};

std::optional<Fields> scan(std::string_view text) {
    Scanner s(text);
    Fields f;
    const auto year = s.number(4);
    if (!year || !s.take('-')) return std::nullopt;
    const auto month = s.number(2);
    if (!month || !s.take('-')) return std::nullopt;
    const auto day = s.number(2);
    if (!day) return std::nullopt;
    f.year = *year;
    f.month = *month;
    f.day = *day;
    if (f.year < 1 || f.month < 1 || f.month > 12 || f.day < 1 || f.day > daysInMonth(f.year, f.month))
        return std::nullopt;
    if (s.atEnd()) return f;

    if (!s.take('T') && !s.take('t') && !s.take(' ')) return std::nullopt;
    f.hasTime = true;
    const auto hour = s.number(2);
    if (!hour || !s.take(':')) return std::nullopt;
    const auto minute = s.number(2);
    if (!minute) return std::nullopt;
    f.hour = *hour;
    f.minute = *minute;
    if (s.take(':')) {
        const auto second = s.number(2);
        if (!second) return std::nullopt;
        f.second = *second;
        if (s.take('.') || s.take(',')) {
            const auto fraction = s.fraction();
            if (!fraction) return std::nullopt;
            f.fraction = *fraction;
        }
    }
    if (f.hour > 23 || f.minute > 59 || f.second > 59) return std::nullopt;

    if (s.take('Z') || s.take('z')) {
        f.offsetSeconds = 0;
    } else if (s.peek() == '+' || s.peek() == '-') {
        const int sign = s.take('-') ? -1 : (s.take('+'), 1);
        const auto hours = s.number(2);
        if (!hours) return std::nullopt;
        int minutes = 0;
        if (!s.atEnd()) {
            s.take(':');
            const auto m = s.number(2);
            if (!m) return std::nullopt;
            minutes = *m;
        }
        if (*hours > 23 || minutes > 59) return std::nullopt;
        f.offsetSeconds = sign * (*hours * 3600 + minutes * 60);
    }
    if (!s.atEnd()) return std::nullopt;
    return f;
}

// A calendar in the zone, with the wall-clock fields set; how a wall time that the zone skips or repeats
// is read is up to the caller.
icu::GregorianCalendar* newCalendar(const std::string& zone, UErrorCode& status) {
    auto tz = makeZone(zone);
    if (!tz) tz.reset(icu::TimeZone::getGMT()->clone());
    auto* calendar = new icu::GregorianCalendar(tz.release(), status);
    calendar->setLenient(true);
    return calendar;
}

Date wallTime(const std::string& zone, const Fields& f, UCalendarWallTimeOption repeated) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::GregorianCalendar> calendar(newCalendar(zone, status));
    calendar->clear();
    // A wall time that the clocks jump over is read with the offset before the jump, so it lands just
    // after the gap: a day whose midnight is skipped starts at the first instant it has.
    calendar->setSkippedWallTimeOption(UCAL_WALLTIME_LAST);
    calendar->setRepeatedWallTimeOption(repeated);
    calendar->set(f.year, f.month - 1, f.day, f.hour, f.minute, f.second);
    const UDate ms = calendar->getTime(status);
    return Date{ms / 1000.0 + f.fraction};
}

}  // namespace

namespace Calendar {

namespace {

// The text between double quotes, as the sentences name what was typed.
std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}

}  // namespace

tl::expected<std::string, Failure> timeZone(std::string_view id) {
    auto zone = makeZone(id);
    if (!zone) {
        return tl::unexpected(Failure{quoted(id) + " isn't a time zone. Use an identifier such as Europe/Berlin, "
                                                   "America/New_York or UTC."});
    }
    icu::UnicodeString found;
    zone->getID(found);
    return utf8(found);
}

tl::expected<std::string, Failure> locale(std::string_view id) {
    const std::string posix = icuLocaleID(id);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale named = icu::Locale::forLanguageTag(posix, status);
    const icu::Locale parsed = U_SUCCESS(status) && *named.getLanguage() ? named : icu::Locale(posix.c_str());
    if (!parsed.isBogus() && *parsed.getLanguage()) {
        int32_t count = 0;
        const icu::Locale* available = icu::Locale::getAvailableLocales(count);
        for (int32_t i = 0; i < count; ++i) {
            if (std::string_view(available[i].getLanguage()) == parsed.getLanguage()) return std::string(parsed.getName());
        }
    }
    return tl::unexpected(
        Failure{quoted(id) + " isn't a locale Quillmark knows. Use an identifier such as en_US, de_DE or fr_CA."});
}

std::string defaultTimeZone() {
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string_view id = tz;
        if (id.front() == ':') id.remove_prefix(1);
        if (const auto at = id.find("zoneinfo/"); at != std::string_view::npos) id.remove_prefix(at + 9);
        if (auto zone = timeZone(id)) return *zone;
    }
    std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
    if (host) {
        icu::UnicodeString id;
        host->getID(id);
        if (id != icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID)) return utf8(id);
    }
    return "UTC";
}

Date dayBound(int year, int month, int day, const std::string& zone, Bound bound) {
    Fields f;
    f.year = year;
    f.month = month;
    f.day = day;
    if (bound == Bound::start) return wallTime(zone, f, UCAL_WALLTIME_FIRST);
    // The last millisecond before the next day starts, however long this day is. The lenient calendar
    // carries day + 1 over into the next month or year.
    f.day += 1;
    const Date next = wallTime(zone, f, UCAL_WALLTIME_FIRST);
    return Date{next.seconds - 0.001};
}

tl::expected<Date, Failure> parseBound(std::string_view text, const std::string& zone, Bound bound) {
    const auto fields = scan(text);
    if (!fields) {
        return tl::unexpected(Failure{quoted(text) +
                                      " isn't a date. Write a day as YYYY-MM-DD (2024-03-31) or a date and time as "
                                      "YYYY-MM-DDTHH:MM[:SS] with an optional Z or offset (2024-03-31T18:30:00+02:00)."});
    }
    const Fields& f = *fields;
    if (!f.hasTime) return dayBound(f.year, f.month, f.day, zone, bound);
    if (f.offsetSeconds) {
        const int64_t days = daysFromCivil(f.year, f.month, f.day);
        const int64_t seconds = days * 86400 + f.hour * 3600 + f.minute * 60 + f.second - *f.offsetSeconds;
        return Date{static_cast<double>(seconds) + f.fraction};
    }
    // A wall time the clocks pass twice is read so that the range is the wider: its first occurrence
    // as a start, its second as an end.
    return wallTime(zone, f, bound == Bound::start ? UCAL_WALLTIME_FIRST : UCAL_WALLTIME_LAST);
}

}  // namespace Calendar

struct DateFormat::Impl {
    std::unique_ptr<icu::SimpleDateFormat> format;
};

DateFormat::DateFormat(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
DateFormat::~DateFormat() = default;

std::unique_ptr<DateFormat> DateFormat::make(std::string_view skeleton, const std::string& locale,
                                             const std::string& zone) {
    auto tz = makeZone(zone);
    if (!tz) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale icuLocale(locale.c_str());
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(icuLocale, status));
    if (U_FAILURE(status) || !generator) return nullptr;
    const icu::UnicodeString pattern = generator->getBestPattern(unicode(skeleton), status);
    if (U_FAILURE(status)) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->format = std::make_unique<icu::SimpleDateFormat>(pattern, icuLocale, status);
    if (U_FAILURE(status)) return nullptr;
    impl->format->adoptTimeZone(tz.release());
    return std::unique_ptr<DateFormat>(new DateFormat(std::move(impl)));
}

std::string DateFormat::text(Date date) const {
    icu::UnicodeString out;
    impl_->format->format(date.seconds * 1000.0, out);
    return utf8(out);
}

}  // namespace quillmark
