// ReactionKind: the kinds of tapback a message can carry, with the raw value the history stores for each.
//
// A small class around an enumeration so that each kind carries its symbol and verb:
//   ReactionKind::fromRaw(3) == ReactionKind::laugh
//   ReactionKind(ReactionKind::laugh).verb() == "Laughed at"
//   ReactionKind::fromRaw(8) == std::nullopt
//   switch (kind.value()) { case ReactionKind::love: ... }
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillmark {

class ReactionKind {
public:
    // The raw values are stored and serialised; they never change.
    enum Value : int32_t { love = 0, like = 1, dislike = 2, laugh = 3, emphasize = 4, question = 5, emoji = 6, sticker = 7 };

    // Every kind, in raw-value order.
    static constexpr std::array<Value, 8> allCases = {love, like, dislike, laugh, emphasize, question, emoji, sticker};

    constexpr ReactionKind() = default;
    constexpr ReactionKind(Value value) : value_(value) {}  // implicit, so cases read as values

    // The kind with that raw value; absent outside 0 to 7.
    static std::optional<ReactionKind> fromRaw(int64_t raw);

    constexpr Value value() const { return value_; }
    constexpr int32_t rawValue() const { return value_; }

    // The character shown for the kind, such as "👍" for like (emoji presentation where it has one).
    std::string_view symbol() const;
    // The past-tense verb of the sentence describing it, such as "Liked" ("Liked “Hello”").
    std::string_view verb() const;

    friend constexpr bool operator==(ReactionKind, ReactionKind) = default;

private:
    Value value_ = love;
};

}  // namespace quillmark
