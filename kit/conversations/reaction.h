// Reaction: one tapback standing on a message: its kind, the character shown, who made it and when.
//
//   Reaction r{ReactionKind::like, "👍", false, Participant{"+15551234567", "Anna"}, date};
#pragma once

#include <optional>
#include <string>

#include "conversations/participant.h"
#include "conversations/reaction_kind.h"
#include "core/date.h"

namespace quillmark {

struct Reaction {
    ReactionKind kind;
    std::string emoji;                  // the kind's symbol, or for emoji reactions the emoji sent
    bool isFromMe = false;              // the user of this computer reacted
    std::optional<Participant> sender;  // absent for the user and for unknown handles
    Date date;

    friend bool operator==(const Reaction&, const Reaction&) = default;
};

}  // namespace quillmark
