#include "conversations/message_thread.h"

namespace quillmark {

std::optional<Date> MessageThread::firstDate() const {
    // Messages stored without a date come first; they have no place in a span of dates.
    for (const Message& m : messages)
        if (!m.date.isDistantPast()) return m.date;
    return std::nullopt;
}

std::optional<Date> MessageThread::lastDate() const {
    if (messages.empty() || messages.back().date.isDistantPast()) return std::nullopt;
    return messages.back().date;
}

int64_t MessageThread::attachmentCount() const {
    int64_t count = 0;
    for (const auto& message : messages) count += static_cast<int64_t>(message.attachments.size());
    return count;
}

}  // namespace quillmark
