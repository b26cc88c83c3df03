// Dates: the date formats of one export, in its time zone and locale.
//
// Each format is given as a skeleton (the fields wanted, in the Unicode date field letters) and ICU picks
// the pattern the locale writes those fields with, so "jmm" is "7:05 PM" in en_US and "19:05" in de_DE.
// Everything an export prints about time goes through one Dates value made from its options, never
// through the machine's zone or locale. Made once per export and used for every message; one thread at a
// time.
//
//   Dates dates(options);                                  // America/New_York, en_US
//   dates.shortTime(d)  == "7:05\u202fPM"                   // ICU puts a narrow no-break space before PM
//   dates.month(d)      == "March 2024"
//   dates.range(first, last) == "March 5\u2009\u2013\u20097, 2024"
//   dates.zone(d)       == "America/New_York (GMT\u22125)"
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/date.h"
#include "export/export_options.h"

namespace quillmark {

class Dates {
public:
    // The skeletons of the seven formats.
    static constexpr const char* timeSkeleton = "jmmss";
    static constexpr const char* shortTimeSkeleton = "jmm";
    static constexpr const char* daySkeleton = "EEEEMMMMdy";
    static constexpr const char* dayShortSkeleton = "EEEMMMd";
    static constexpr const char* monthSkeleton = "MMMMy";
    static constexpr const char* fullSkeleton = "yMMMdjmmss";
    static constexpr const char* dateSkeleton = "yMMMMd";

    // The formats in the options' locale and in its time zone, or the machine's zone when the options
    // name an unknown one.
    explicit Dates(const ExportOptions& options);
    ~Dates();
    Dates(Dates&&) noexcept;
    Dates& operator=(Dates&&) noexcept;

    // Every text of a message stored without a date (Date::distantPast) is "no date"; its month "No date".
    static constexpr const char* noDate = "no date";

    std::string time(Date date) const;       // 7:05:09 PM
    std::string shortTime(Date date) const;  // 7:05 PM
    std::string day(Date date) const;        // Tuesday, March 5, 2024
    std::string dayShort(Date date) const;   // Tue, Mar 5
    std::string month(Date date) const;      // March 2024
    std::string full(Date date) const;       // Mar 5, 2024, 7:05:09 PM
    std::string date(Date date) const;       // March 5, 2024

    // The identifier of the zone every format writes in.
    const std::string& tz() const;
    const std::string& locale() const;

    // range: the days from start to end as the locale writes a span of days in its long date style, without
    // times ("March 5 – 7, 2024", "March 5, 2024 – April 2, 2025"); empty when either is absent.
    std::string range(std::optional<Date> start, std::optional<Date> end) const;

    // zone: the zone's identifier and its offset from UTC at that instant, daylight saving included:
    // "Europe/Berlin (GMT+1)", "Asia/Kolkata (GMT+5:30)", "UTC (GMT+0)". A negative offset is written with
    // U+2212 MINUS SIGN: "America/St_Johns (GMT−3:30)".
    std::string zone(Date at) const;

    // The offset of the zone from UTC at that instant, in seconds east of UTC.
    int offsetSeconds(Date at) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillmark
