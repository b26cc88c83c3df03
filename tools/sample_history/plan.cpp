#include "sample_history/plan.h"

namespace quillmark::sample {

int64_t rawTime(int year, int month, int dayOfMonth, int hours, int minutes, int seconds) {
    // Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + dayOfMonth - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = int64_t{era} * 146097 + dayOfEra - 719468;
    const int64_t unixSeconds = days * 86400 + hours * 3600 + minutes * 60 + seconds;
    return (unixSeconds - 978307200) * second;
}

std::string Person::name() const {
    std::string joined = firstName;
    if (!lastName.empty()) joined += (joined.empty() ? "" : " ") + lastName;
    return joined.empty() ? organization : joined;
}

}  // namespace quillmark::sample
