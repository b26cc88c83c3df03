#include "export/dates.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <unicode/datefmt.h>
#include <unicode/dtitvfmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace quillmark {

namespace {

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// The skeleton of the locale's long date style ("yMMMMd" in English), which the interval format is
// asked for, so that a span of days reads as the locale writes one long date.
icu::UnicodeString longDateSkeleton(const icu::Locale& locale) {
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateInstance(icu::DateFormat::kLong, locale));
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
    if (!simple) return "yMMMMd";
    icu::UnicodeString pattern;
    simple->toPattern(pattern);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString skeleton = icu::DateTimePatternGenerator::staticGetSkeleton(pattern, status);
    return U_SUCCESS(status) && !skeleton.isEmpty() ? skeleton : icu::UnicodeString("yMMMMd");
}

// One calendar set to the instant being written. The formats of a Dates value that share a calendar
// system share one of these, so the fields of an instant are worked out once however many formats write
// it (a message's month, day, time and full date).
struct SharedCalendar {
    std::unique_ptr<icu::Calendar> calendar;
    UDate time = std::numeric_limits<double>::quiet_NaN();

    icu::Calendar& at(Date date) {
        const UDate ms = date.seconds * 1000.0;
        if (ms != time) {
            UErrorCode status = U_ZERO_ERROR;
            calendar->setTime(ms, status);
            time = ms;
        }
        return *calendar;
    }
};

// A format made from a skeleton in the locale and zone, writing through a shared calendar rather than the
// copy of its own calendar that each plain format call would make.
// The last text is remembered, as a page asks for the same message's time more than once.
struct Format {
    std::unique_ptr<icu::SimpleDateFormat> format;
    SharedCalendar* calendar = nullptr;
    mutable UDate lastTime = std::numeric_limits<double>::quiet_NaN();
    mutable std::string lastText;

    const std::string& text(Date date) const {
        const UDate ms = date.seconds * 1000.0;
        if (ms == lastTime || !format) return lastText;
        icu::UnicodeString out;
        icu::FieldPosition position;
        format->format(calendar->at(date), out, position);
        lastText.clear();
        out.toUTF8String(lastText);
        lastTime = ms;
        return lastText;
    }
};

// The skeleton of the date part of the full format, and the time part, which is the time format's own.
constexpr const char* fullDaySkeleton = "yMMMd";

bool hasPatternSyntax(const icu::UnicodeString& literal) {
    for (int32_t i = 0; i < literal.length(); ++i) {
        const char16_t c = literal.charAt(i);
        if (c == u'\'' || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return true;
    }
    return false;
}

}  // namespace

struct Dates::Impl {
    std::string zoneID;
    std::string localeID;
    std::vector<std::unique_ptr<SharedCalendar>> calendars;
    Format time, shortTime, day, dayShort, month, full, date;
    std::unique_ptr<icu::TimeZone> zone;
    std::unique_ptr<icu::DateIntervalFormat> interval;

    // The last month written: a month heading is asked for with every message, and changes rarely.
    std::array<int32_t, 4> monthKey{};
    std::string monthText;
    bool hasMonth = false;

    // Where the locale writes the full format as its date format and its time format joined by the
    // locale's date-time glue (", " in English), the full text is made of the day's text, remembered
    // for the day, and the time format's text, so that a message costs one format instead of two.
    bool fullJoined = false;
    bool dayFirst = true;
    std::string before, between, after;
    Format fullDay;
    int32_t dayKey = 0;
    std::string dayText;
    bool hasDay = false;

    void joinFull(icu::DateTimePatternGenerator& generator, const icu::Locale& locale) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString full = generator.getBestPattern(fullSkeleton, status);
        const icu::UnicodeString day = generator.getBestPattern(fullDaySkeleton, status);
        const icu::UnicodeString clock = generator.getBestPattern(timeSkeleton, status);
        const icu::UnicodeString glue = generator.getDateTimeFormat();
        if (U_FAILURE(status) || !time.format) return;
        const int32_t timeAt = glue.indexOf(u"{0}"), dayAt = glue.indexOf(u"{1}");
        if (timeAt < 0 || dayAt < 0) return;
        const bool dayComesFirst = dayAt < timeAt;
        const int32_t firstAt = std::min(timeAt, dayAt), secondAt = std::max(timeAt, dayAt);
        const icu::UnicodeString head(glue, 0, firstAt), middle(glue, firstAt + 3, secondAt - firstAt - 3),
            tail(glue, secondAt + 3);
        if (hasPatternSyntax(head) || hasPatternSyntax(middle) || hasPatternSyntax(tail)) return;
        icu::UnicodeString joined = head;
        joined.append(dayComesFirst ? day : clock).append(middle).append(dayComesFirst ? clock : day).append(tail);
        if (joined != full) return;
        fullDay = make(&generator, locale, fullDaySkeleton);
        if (!fullDay.format) return;
        fullJoined = true;
        dayFirst = dayComesFirst;
        before = utf8(head);
        between = utf8(middle);
        after = utf8(tail);
    }

    std::string joinedFull(Date d) {
        icu::Calendar& calendar = fullDay.calendar->at(d);
        UErrorCode status = U_ZERO_ERROR;
        const int32_t key = calendar.get(UCAL_JULIAN_DAY, status);
        if (U_FAILURE(status) || !hasDay || key != dayKey) {
            dayText = fullDay.text(d);
            dayKey = key;
            hasDay = U_SUCCESS(status);
        }
        const std::string& clock = time.text(d);
        return before + (dayFirst ? dayText : clock) + between + (dayFirst ? clock : dayText) + after;
    }

    Format make(icu::DateTimePatternGenerator* generator, const icu::Locale& locale, const char* skeleton) {
        Format made;
        if (!generator) return made;
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString pattern = generator->getBestPattern(icu::UnicodeString(skeleton), status);
        if (U_FAILURE(status)) return made;
        made.format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
        if (U_FAILURE(status)) {
            made.format.reset();
            return made;
        }
        made.format->setTimeZone(*zone);
        const icu::Calendar* own = made.format->getCalendar();
        for (const auto& shared : calendars) {
            if (std::strcmp(shared->calendar->getType(), own->getType()) == 0) {
                made.calendar = shared.get();
                return made;
            }
        }
        calendars.push_back(std::make_unique<SharedCalendar>());
        calendars.back()->calendar.reset(own->clone());
        made.calendar = calendars.back().get();
        return made;
    }
};

Dates::Dates(const ExportOptions& options) : impl_(std::make_unique<Impl>()) {
    Impl& i = *impl_;
    i.zoneID = options.timeZone();
    i.localeID = options.localeID;
    i.zone.reset(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(i.zoneID)));
    const icu::Locale locale(i.localeID.c_str());

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) generator.reset();
    i.time = i.make(generator.get(), locale, timeSkeleton);
    i.shortTime = i.make(generator.get(), locale, shortTimeSkeleton);
    i.day = i.make(generator.get(), locale, daySkeleton);
    i.dayShort = i.make(generator.get(), locale, dayShortSkeleton);
    i.month = i.make(generator.get(), locale, monthSkeleton);
    i.full = i.make(generator.get(), locale, fullSkeleton);
    i.date = i.make(generator.get(), locale, dateSkeleton);
    if (generator) i.joinFull(*generator, locale);

    status = U_ZERO_ERROR;
    i.interval.reset(icu::DateIntervalFormat::createInstance(longDateSkeleton(locale), locale, status));
    if (U_FAILURE(status)) i.interval.reset();
    if (i.interval) i.interval->setTimeZone(*i.zone);
}

Dates::~Dates() = default;
Dates::Dates(Dates&&) noexcept = default;
Dates& Dates::operator=(Dates&&) noexcept = default;

std::string Dates::time(Date d) const { return d.isDistantPast() ? noDate : impl_->time.text(d); }
std::string Dates::shortTime(Date d) const { return d.isDistantPast() ? noDate : impl_->shortTime.text(d); }
std::string Dates::day(Date d) const { return d.isDistantPast() ? noDate : impl_->day.text(d); }
std::string Dates::dayShort(Date d) const { return d.isDistantPast() ? noDate : impl_->dayShort.text(d); }
std::string Dates::date(Date d) const { return d.isDistantPast() ? noDate : impl_->date.text(d); }
std::string Dates::full(Date d) const {
    if (d.isDistantPast()) return noDate;
    return impl_->fullJoined ? impl_->joinedFull(d) : impl_->full.text(d);
}

std::string Dates::month(Date d) const {
    if (d.isDistantPast()) return "No date";
    Impl& i = *impl_;
    if (!i.month.format) return {};
    icu::Calendar& calendar = i.month.calendar->at(d);
    UErrorCode status = U_ZERO_ERROR;
    const std::array<int32_t, 4> key = {calendar.get(UCAL_ERA, status), calendar.get(UCAL_YEAR, status),
                                        calendar.get(UCAL_MONTH, status), calendar.get(UCAL_IS_LEAP_MONTH, status)};
    if (U_SUCCESS(status) && i.hasMonth && key == i.monthKey) return i.monthText;
    i.monthText = i.month.text(d);
    i.monthKey = key;
    i.hasMonth = U_SUCCESS(status);
    return i.monthText;
}

const std::string& Dates::tz() const { return impl_->zoneID; }
const std::string& Dates::locale() const { return impl_->localeID; }

std::string Dates::range(std::optional<Date> start, std::optional<Date> end) const {
    if (!start || !end || !impl_->interval) return {};
    UErrorCode status = U_ZERO_ERROR;
    const icu::DateInterval interval(start->seconds * 1000.0, end->seconds * 1000.0);
    icu::UnicodeString out;
    icu::FieldPosition position;
    impl_->interval->format(&interval, out, position, status);
    return U_SUCCESS(status) ? utf8(out) : std::string();
}

int Dates::offsetSeconds(Date at) const {
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0, dst = 0;
    impl_->zone->getOffset(at.seconds * 1000.0, false, raw, dst, status);
    if (U_FAILURE(status)) return 0;
    return (raw + dst) / 1000;
}

std::string Dates::zone(Date at) const {
    const int minutes = offsetSeconds(at) / 60;
    const int magnitude = std::abs(minutes);
    std::string out = impl_->zoneID + " (GMT" + (minutes < 0 ? "\u2212" : "+") + std::to_string(magnitude / 60);
    if (magnitude % 60 != 0) {
        char rest[8];
        std::snprintf(rest, sizeof rest, ":%02d", magnitude % 60);
        out += rest;
    }
    return out + ")";
}

}  // namespace quillmark
