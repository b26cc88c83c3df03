#include "export/dates.h"

#include <cstdio>
#include <cstdlib>

#include <unicode/datefmt.h>
#include <unicode/dtitvfmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include "core/calendar.h"

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

}  // namespace

struct Dates::Impl {
    std::string zoneID;
    std::string localeID;
    std::unique_ptr<DateFormat> time, shortTime, day, dayShort, month, full, date;
    std::unique_ptr<icu::TimeZone> zone;
    std::unique_ptr<icu::DateIntervalFormat> interval;

    static std::string text(const std::unique_ptr<DateFormat>& format, Date d) {
        return format ? format->text(d) : std::string();
    }
};

Dates::Dates(const ExportOptions& options) : impl_(std::make_unique<Impl>()) {
    Impl& i = *impl_;
    i.zoneID = options.timeZone();
    i.localeID = options.localeID;
    i.time = DateFormat::make(timeSkeleton, i.localeID, i.zoneID);
    i.shortTime = DateFormat::make(shortTimeSkeleton, i.localeID, i.zoneID);
    i.day = DateFormat::make(daySkeleton, i.localeID, i.zoneID);
    i.dayShort = DateFormat::make(dayShortSkeleton, i.localeID, i.zoneID);
    i.month = DateFormat::make(monthSkeleton, i.localeID, i.zoneID);
    i.full = DateFormat::make(fullSkeleton, i.localeID, i.zoneID);
    i.date = DateFormat::make(dateSkeleton, i.localeID, i.zoneID);

    i.zone.reset(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(i.zoneID)));
    const icu::Locale locale(i.localeID.c_str());
    UErrorCode status = U_ZERO_ERROR;
    i.interval.reset(icu::DateIntervalFormat::createInstance(longDateSkeleton(locale), locale, status));
    if (U_FAILURE(status)) i.interval.reset();
    if (i.interval) i.interval->setTimeZone(*i.zone);
}

Dates::~Dates() = default;
Dates::Dates(Dates&&) noexcept = default;
Dates& Dates::operator=(Dates&&) noexcept = default;

std::string Dates::time(Date d) const { return Impl::text(impl_->time, d); }
std::string Dates::shortTime(Date d) const { return Impl::text(impl_->shortTime, d); }
std::string Dates::day(Date d) const { return Impl::text(impl_->day, d); }
std::string Dates::dayShort(Date d) const { return Impl::text(impl_->dayShort, d); }
std::string Dates::month(Date d) const { return Impl::text(impl_->month, d); }
std::string Dates::full(Date d) const { return Impl::text(impl_->full, d); }
std::string Dates::date(Date d) const { return Impl::text(impl_->date, d); }

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
