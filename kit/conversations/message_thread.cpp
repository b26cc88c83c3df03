#include "conversations/message_thread.h"

namespace quillmark {

std::optional<Date> MessageThread::firstDate() const {
    if (messages.empty()) return std::nullopt;
    return messages.front().date;
}

std::optional<Date> MessageThread::lastDate() const {
    if (messages.empty()) return std::nullopt;
    return messages.back().date;
}

int64_t MessageThread::attachmentCount() const {
    int64_t count = 0;
    for (const auto& message : messages) count += static_cast<int64_t>(message.attachments.size());
    return count;
}

}  // namespace quillmark
