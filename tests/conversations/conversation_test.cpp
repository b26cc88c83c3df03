#include "conversations/conversation.h"

#include <gtest/gtest.h>

#include "conversations/date_range.h"

namespace quillmark {
namespace {

Conversation with(std::vector<Participant> participants, std::optional<std::string> groupName = std::nullopt) {
    Conversation c;
    c.participants = std::move(participants);
    c.groupName = std::move(groupName);
    return c;
}

const Participant anna{"+15551230001", "Anna Berg"};
const Participant ben{"ben@example.com", "Ben  Ode"};
const Participant cleo{"+15551230003", "Cleo"};
const Participant dora{"+15551230004", "Dora"};
const Participant eve{"+15551230005", "Eve"};
const Participant unnamed{"+15551230009", std::nullopt};

TEST(ConversationTitle, GroupNameElseNamesAsALocaleListElseTheOthersCounted) {
    struct Case {
        Conversation conversation;
        const char* locale;
        const char* title;
    };
    const Case cases[] = {
        {with({anna, ben}, "Book club"), "en_US", "Book club"},
        {with({anna, ben}, ""), "en_US", "Anna and Ben"},
        {with({}), "en_US", "Unknown"},
        {with({anna}), "en_US", "Anna Berg"},
        {with({unnamed}), "en_US", "+1 (555) 123-0009"},
        {with({anna, ben, cleo}), "en_US", "Anna, Ben, and Cleo"},
        {with({anna, ben, cleo}), "en_GB", "Anna, Ben and Cleo"},
        {with({anna, ben, cleo}), "de_DE", "Anna, Ben und Cleo"},
        {with({anna, unnamed}), "en_US", "Anna and +1 (555) 123-0009"},
        // A name that is present but empty is used as it is.
        {with({anna, Participant{"x@example.com", ""}}), "en_US", "Anna and "},
        // Switching locales between calls must not reuse the previous locale's words.
        {with({anna, ben}), "fr_FR", "Anna et Ben"},
        {with({anna, ben}), "en_US", "Anna and Ben"},
        {with({anna, ben, cleo, dora}), "en_US", "Anna, Ben and 2 others"},
        {with({anna, ben, cleo, dora, eve}), "de_DE", "Anna, Ben and 3 others"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.conversation.title(c.locale), c.title) << c.locale << " " << c.title;
}

TEST(ConversationParticipantsLine, NamesWithFormattedAddresses) {
    EXPECT_EQ(with({anna, unnamed, ben}).participantsLine(),
              "Anna Berg (+1 (555) 123-0001); +1 (555) 123-0009; Ben  Ode (ben@example.com)");
    EXPECT_EQ(with({}).participantsLine(), "");
}

TEST(DateRange, BoundsAreInclusiveAndOptional) {
    const Date t = Date::fromSeconds(1'700'000'000.5);
    const Date before = Date::fromSeconds(t.seconds - 0.001);
    const Date after = Date::fromSeconds(t.seconds + 0.001);

    EXPECT_TRUE(DateRange::all.isAll());
    for (Date d : {before, t, after, Date::fromSeconds(-1e12), Date::fromSeconds(1e12)})
        EXPECT_TRUE(DateRange::all.contains(d));

    const DateRange instant{t, t};
    EXPECT_FALSE(instant.isAll());
    EXPECT_TRUE(instant.contains(t));
    EXPECT_FALSE(instant.contains(before));
    EXPECT_FALSE(instant.contains(after));

    EXPECT_TRUE((DateRange{t, std::nullopt}).contains(after));
    EXPECT_FALSE((DateRange{t, std::nullopt}).contains(before));
    EXPECT_TRUE((DateRange{std::nullopt, t}).contains(before));
    EXPECT_FALSE((DateRange{std::nullopt, t}).contains(after));
}

}  // namespace
}  // namespace quillmark
