#include "conversations/conversation.h"

#include <gtest/gtest.h>

#include "conversations/date_range.h"
#include "conversations/message_thread.h"

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

TEST(ConversationTitle, GroupNameWinsUnlessEmpty) {
    EXPECT_EQ(with({anna, ben}, "Book club").title("en_US"), "Book club");
    EXPECT_EQ(with({anna, ben}, "").title("en_US"), "Anna and Ben");
}

TEST(ConversationTitle, NoOrOneParticipant) {
    EXPECT_EQ(with({}).title("en_US"), "Unknown");
    EXPECT_EQ(with({anna}).title("en_US"), "Anna Berg");
    EXPECT_EQ(with({unnamed}).title("en_US"), "+1 (555) 123-0009");
}

TEST(ConversationTitle, TwoOrThreeShortNamesAsALocaleList) {
    EXPECT_EQ(with({anna, ben}).title("en_US"), "Anna and Ben");
    EXPECT_EQ(with({anna, ben, cleo}).title("en_US"), "Anna, Ben, and Cleo");
    EXPECT_EQ(with({anna, ben, cleo}).title("en_GB"), "Anna, Ben and Cleo");
    EXPECT_EQ(with({anna, ben, cleo}).title("de_DE"), "Anna, Ben und Cleo");
    EXPECT_EQ(with({anna, unnamed}).title("en_US"), "Anna and +1 (555) 123-0009");
    // A name that is present but empty is used as it is.
    EXPECT_EQ(with({anna, Participant{"x@example.com", ""}}).title("en_US"), "Anna and ");
    // Switching locales between calls must not reuse the previous locale's words.
    EXPECT_EQ(with({anna, ben}).title("fr_FR"), "Anna et Ben");
    EXPECT_EQ(with({anna, ben}).title("en_US"), "Anna and Ben");
}

TEST(ConversationTitle, FourOrMoreCountTheOthers) {
    EXPECT_EQ(with({anna, ben, cleo, dora}).title("en_US"), "Anna, Ben and 2 others");
    EXPECT_EQ(with({anna, ben, cleo, dora, eve}).title("de_DE"), "Anna, Ben and 3 others");
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

Message message(double seconds, size_t attachments) {
    Message m;
    m.date = Date::fromSeconds(seconds);
    m.attachments.resize(attachments);
    return m;
}

TEST(MessageThread, DatesAndAttachmentCountFollowTheMessages) {
    MessageThread thread;
    EXPECT_EQ(thread.firstDate(), std::nullopt);
    EXPECT_EQ(thread.lastDate(), std::nullopt);
    EXPECT_EQ(thread.attachmentCount(), 0);

    // Database order, not date order, decides which message is first.
    thread.messages = {message(200, 2), message(100, 0), message(300, 3)};
    EXPECT_EQ(thread.firstDate(), Date::fromSeconds(200));
    EXPECT_EQ(thread.lastDate(), Date::fromSeconds(300));
    EXPECT_EQ(thread.attachmentCount(), 5);
}

TEST(Message, ComputedFlagsFollowTheirDates) {
    Message m;
    EXPECT_FALSE(m.isUnsent() || m.isEdited() || m.isEvent());
    m.unsentAt = Date::fromSeconds(1);
    m.editedAt = Date::fromSeconds(2);
    m.event = "";  // an event sentence may be empty and still marks an event
    EXPECT_TRUE(m.isUnsent() && m.isEdited() && m.isEvent());
}

}  // namespace
}  // namespace quillmark
