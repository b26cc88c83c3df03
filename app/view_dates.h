// ViewDates: how the window writes dates: the conversation list's short dates, the thread's time labels, the
// span of a thread under its title, and the exact time that "Copy Time" puts on the clipboard. Dates are shown
// in the model's time zone and the user's locale; "Copy Time" uses the computer's own zone.
//
//   ViewDates dates("America/New_York", "en_US");
//   dates.shortDate(d, now)   == "7:05 PM" | "Yesterday" | "Tuesday" | "4/5/2024"
//   dates.timeLabelDay(d)     == "Fri, Apr 5, 2024";   dates.timeLabelTime(d) == "7:05 PM"
//   dates.span(first, last)   == "Apr 5 – 7, 2024"
#pragma once

#include <memory>
#include <string>

#include <QString>

#include "core/date.h"

namespace quillmark::app {

class ViewDates {
public:
    ViewDates(std::string zone, std::string locale);
    ~ViewDates();
    ViewDates(const ViewDates&) = delete;
    ViewDates& operator=(const ViewDates&) = delete;

    const std::string& zone() const { return zone_; }
    // Writes dates in another zone from now on (the user chose one in Settings); views repaint after it.
    void setZone(std::string zone);

    // shortDate: a date of today as its time (the shortened time style); yesterday as "Yesterday"; up to six
    // days back as the weekday's name; anything else, the future included, as the numeric date.
    QString shortDate(Date date, Date now) const;

    // The two parts of a time label: the day with the abbreviated weekday and month, and the time.
    QString timeLabelDay(Date date) const;
    QString timeLabelTime(Date date) const;

    // span: the days from first to last in the medium date style, as the locale writes an interval.
    QString span(Date first, Date last) const;

    // The time of a message to the second in the full date style, in the computer's own zone and locale.
    static QString exactTime(Date date);

private:
    struct Impl;
    void build();
    std::string zone_;
    std::string locale_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillmark::app
