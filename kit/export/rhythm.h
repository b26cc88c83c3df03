// Rhythm: where a thread, read from the top, starts a month and shows a time again.
//
// Every page of messages (the book and the HTML export alike) heads each month with its name and shows the
// time above the first message of a month and above every message that follows a pause of more than an
// hour, the way the Messages app lays out a conversation.
//
//   Rhythm rhythm(dates);
//   auto step = rhythm.next(message.date);
//   if (step.month) heading(*step.month);     // "March 2024", only where the month changes
//   if (step.showsTime) timeLabel(…);
#pragma once

#include <optional>
#include <string>

#include "core/date.h"
#include "export/dates.h"

namespace quillmark {

class Rhythm {
public:
    // The longest pause, in seconds, after which no new time label is shown.
    static constexpr double pause = 3600;

    struct Step {
        std::optional<std::string> month;  // the new month's name, where one begins
        bool showsTime = false;
    };

    explicit Rhythm(const Dates& dates) : dates_(dates) {}

    // next: what stands before the message at `date`, the messages taken in thread order.
    Step next(Date date) {
        Step step;
        std::string month = dates_.month(date);
        if (month != lastMonth_) {
            step.month = month;
            lastMonth_ = std::move(month);
            previous_.reset();
        }
        step.showsTime = !previous_ || date.seconds - previous_->seconds > pause;
        previous_ = date;
        return step;
    }

private:
    const Dates& dates_;
    std::string lastMonth_;
    std::optional<Date> previous_;
};

}  // namespace quillmark
