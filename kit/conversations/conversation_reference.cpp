#include "conversations/conversation_reference.h"

#include <algorithm>
#include <charconv>

namespace quillmark {

std::optional<size_t> findConversation(const std::vector<Conversation>& conversations, std::string_view reference) {
    for (size_t i = 0; i < conversations.size(); ++i)
        if (conversations[i].id == reference) return i;

    size_t position = 0;
    const auto [end, error] = std::from_chars(reference.data(), reference.data() + reference.size(), position);
    if (!reference.empty() && error == std::errc() && end == reference.data() + reference.size()) {
        if (position >= 1 && position <= conversations.size()) return position - 1;
        return std::nullopt;
    }

    for (size_t i = 0; i < conversations.size(); ++i) {
        const auto& guids = conversations[i].chatGUIDs;
        if (std::find(guids.begin(), guids.end(), reference) != guids.end()) return i;
    }
    return std::nullopt;
}

}  // namespace quillmark
