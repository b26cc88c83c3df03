#include "app/thread_items.h"

#include <optional>
#include <string>

namespace quillmark::app::ThreadItems {

std::vector<Item> make(const MessageThread& thread) {
    std::vector<Item> items;
    items.reserve(thread.messages.size() + thread.messages.size() / 8 + 1);
    std::optional<Date> previousDate;
    std::string previousSender;
    const bool group = thread.conversation.isGroup;
    for (size_t i = 0; i < thread.messages.size(); ++i) {
        const Message& message = thread.messages[i];
        const int index = int(i);
        if (!previousDate || message.date.seconds - previousDate->seconds > labelGap) {
            items.push_back(Item{Item::Kind::time, index, false, QStringLiteral("t%1").arg(message.id)});
            previousSender.clear();
        }
        previousDate = message.date;
        if (message.isEvent()) {
            items.push_back(Item{Item::Kind::event, index, false, {}});
            previousSender.clear();
            continue;
        }
        std::string sender = message.isFromMe ? std::string("me") : message.sender ? message.sender->address : std::string();
        const bool showSender = group && !message.isFromMe && sender != previousSender;
        items.push_back(Item{Item::Kind::message, index, showSender, {}});
        previousSender = std::move(sender);
    }
    return items;
}

}  // namespace quillmark::app::ThreadItems
