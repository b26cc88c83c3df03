// InternetDateFormat: instants written as ISO 8601 internet date-times in one time zone, to the second.
//
// The wall-clock time in the zone, then its offset from UTC with a colon, or "Z" when the offset is zero.
// Fractions of a second are dropped (the time is truncated, as a clock shows it), and an offset that is not
// a whole number of minutes (old local mean times) is written to the minute.
//
//   InternetDateFormat format("America/New_York");
//   format.text(Date{1709665629.9}) == "2024-03-05T14:07:09-05:00"
//   InternetDateFormat("UTC").text(Date{0}) == "1970-01-01T00:00:00Z"
#pragma once

#include <memory>
#include <string>

#include "core/date.h"

namespace quillmark {

class InternetDateFormat {
public:
    // `zone` is a time-zone identifier; one that names no zone is read as UTC.
    explicit InternetDateFormat(const std::string& zone);
    ~InternetDateFormat();
    InternetDateFormat(const InternetDateFormat&) = delete;
    InternetDateFormat& operator=(const InternetDateFormat&) = delete;

    std::string text(Date date) const;
    void append(std::string& out, Date date) const;

    // The zone's offset from UTC at that instant, in seconds east of UTC.
    int offsetSeconds(Date date) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillmark
