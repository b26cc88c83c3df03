#include "app/view_dates.h"

#include <cmath>

#include <unicode/datefmt.h>
#include <unicode/dtitvfmt.h>
#include <unicode/timezone.h>

#include "app/qt_text.h"
#include "core/calendar.h"
#include "core/locale.h"

namespace quillmark::app {

namespace {

QString qtText(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

}  // namespace

struct ViewDates::Impl {
    std::unique_ptr<DateFormat> time, weekday, numeric, labelDay;
    std::unique_ptr<icu::DateIntervalFormat> interval;
    QTimeZone zone;
};

ViewDates::ViewDates(std::string zone, std::string locale)
    : zone_(std::move(zone)), locale_(std::move(locale)), impl_(std::make_unique<Impl>()) {
    build();
}

void ViewDates::setZone(std::string zone) {
    zone_ = std::move(zone);
    impl_ = std::make_unique<Impl>();
    build();
}

void ViewDates::build() {
    const std::string& locale = locale_;
    impl_->time = DateFormat::make("jmm", locale, zone_);
    impl_->weekday = DateFormat::make("EEEE", locale, zone_);
    impl_->numeric = DateFormat::make("yMd", locale, zone_);
    impl_->labelDay = DateFormat::make("EEEMMMdy", locale, zone_);
    impl_->zone = qtZone(zone_);
    UErrorCode status = U_ZERO_ERROR;
    impl_->interval.reset(icu::DateIntervalFormat::createInstance("yMMMd", icu::Locale(locale.c_str()), status));
    if (U_FAILURE(status)) {
        impl_->interval.reset();
    } else {
        impl_->interval->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zone_)));
    }
}

ViewDates::~ViewDates() = default;

QString ViewDates::shortDate(Date date, Date now) const {
    if (date.isDistantPast()) return QStringLiteral("No date");
    const QDate day = qtDateTime(date, impl_->zone).date(), today = qtDateTime(now, impl_->zone).date();
    const qint64 daysBack = day.daysTo(today);
    if (daysBack == 0 && impl_->time) return qt(impl_->time->text(date));
    if (daysBack == 1) return QStringLiteral("Yesterday");
    if (daysBack > 1 && daysBack <= 6 && impl_->weekday) return qt(impl_->weekday->text(date));
    return impl_->numeric ? qt(impl_->numeric->text(date)) : QString();
}

QString ViewDates::timeLabelDay(Date date) const {
    if (date.isDistantPast()) return QStringLiteral("No date");
    return impl_->labelDay ? qt(impl_->labelDay->text(date)) : QString();
}

QString ViewDates::timeLabelTime(Date date) const {
    if (date.isDistantPast()) return {};
    return impl_->time ? qt(impl_->time->text(date)) : QString();
}

QString ViewDates::span(Date first, Date last) const {
    if (!impl_->interval) return {};
    icu::DateInterval interval(first.seconds * 1000.0, last.seconds * 1000.0);
    icu::UnicodeString out;
    icu::FieldPosition position;
    UErrorCode status = U_ZERO_ERROR;
    impl_->interval->format(&interval, out, position, status);
    return U_SUCCESS(status) ? qtText(out) : QString();
}

QString ViewDates::exactTime(Date date) {
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
        icu::DateFormat::kFull, icu::DateFormat::kMedium, icu::Locale(userLocale(LocaleCategory::time).c_str())));
    if (!format) return {};
    format->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(Calendar::defaultTimeZone())));
    icu::UnicodeString out;
    format->format(date.seconds * 1000.0, out);
    return qtText(out);
}

}  // namespace quillmark::app
