#include "conversations/reaction_kind.h"

namespace quillmark {

std::optional<ReactionKind> ReactionKind::fromRaw(int64_t raw) {
    if (raw < love || raw > sticker) return std::nullopt;
    return ReactionKind(static_cast<Value>(raw));
}

std::string_view ReactionKind::symbol() const {
    switch (value_) {
        case love:
            return "\u2764\uFE0F";
        case like:
            return "\U0001F44D";
        case dislike:
            return "\U0001F44E";
        case laugh:
            return "\U0001F602";
        case emphasize:
            return "\u203C\uFE0F";
        case question:
            return "\u2753";
        case emoji:
            return "\U0001F642";
        case sticker:
            return "\U0001F3F7\uFE0F";
    }
    return "";
}

std::string_view ReactionKind::verb() const {
    switch (value_) {
        case love:
            return "Loved";
        case like:
            return "Liked";
        case dislike:
            return "Disliked";
        case laugh:
            return "Laughed at";
        case emphasize:
            return "Emphasized";
        case question:
            return "Questioned";
        case emoji:
            return "Reacted";
        case sticker:
            return "Sticker";
    }
    return "";
}

}  // namespace quillmark
