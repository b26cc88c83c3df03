#include "conversations/reaction_kind.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(ReactionKind, RawValuesSymbolsAndVerbs) {
    struct Row {
        int64_t raw;
        const char* symbol;
        const char* verb;
    };
    // The symbols are spelled out in code points so that an emoji presentation selector cannot go missing
    // unnoticed in an editor.
    const Row rows[] = {
        {0, "\u2764\uFE0F", "Loved"},      {1, "\U0001F44D", "Liked"},       {2, "\U0001F44E", "Disliked"},
        {3, "\U0001F602", "Laughed at"},   {4, "\u203C\uFE0F", "Emphasized"}, {5, "\u2753", "Questioned"},
        {6, "\U0001F642", "Reacted"},      {7, "\U0001F3F7\uFE0F", "Sticker"},
    };
    ASSERT_EQ(ReactionKind::allCases.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const ReactionKind kind = ReactionKind::allCases[i];
        EXPECT_EQ(kind.rawValue(), rows[i].raw);
        EXPECT_EQ(ReactionKind::fromRaw(rows[i].raw), kind);
        EXPECT_EQ(kind.symbol(), rows[i].symbol);
        EXPECT_EQ(kind.verb(), rows[i].verb);
    }
}

TEST(ReactionKind, RawValuesOutsideTheCasesGiveNothing) {
    for (int64_t raw : {int64_t{-1}, int64_t{8}, int64_t{2000}, int64_t{1} << 32})
        EXPECT_EQ(ReactionKind::fromRaw(raw), std::nullopt) << raw;
}

}  // namespace
}  // namespace quillmark
