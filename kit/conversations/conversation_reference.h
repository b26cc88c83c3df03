// findConversation: the conversation a person names on a command line or in a script.
//
// A conversation can be named three ways, tried in this order: by its id exactly as the model carries
// it ("person:15551234567", "group:iMessage;+;chat123"), by its 1-based position in the list, or by the
// GUID of one of its chats ("iMessage;-;+15551234567"). Ids always hold a colon, so a plain number is
// never mistaken for one.
//
//   findConversation(library.conversations(), "1")                          -> 0 (the newest)
//   findConversation(library.conversations(), "iMessage;-;+15551234567")     -> that person's position
//   findConversation(library.conversations(), "0")                           -> std::nullopt
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "conversations/conversation.h"

namespace quillmark {

// The position in `conversations` of the one named by `reference`; nothing when none is.
std::optional<size_t> findConversation(const std::vector<Conversation>& conversations, std::string_view reference);

}  // namespace quillmark
