#include "conversations/library.h"

#include <gtest/gtest.h>

#include "body/attributed_body_writer.h"
#include "core/apple_time.h"
#include "support/temp_dir.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

// Raw dates: day N of the history as nanoseconds.
std::string day(int n) { return std::to_string(int64_t{700'000'000'000'000'000} + int64_t{n} * 86'400'000'000'000); }

// Anna over iMessage and SMS on one number, and by e-mail; Ben in two groups with Anna; a chat whose only
// handle is gone; a photo without text as the newest message of the SMS chat.
const std::string history = std::string(testing::fullSchema) + R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551230001', 'iMessage'), (2, '+15551230001', 'SMS'),
  (3, 'Anna@Example.com', 'iMessage'), (4, 'ben@example.com', 'iMessage');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name, display_name) VALUES
  (5, 'iMessage;-;+15551230001', 45, '+15551230001', 'iMessage', NULL),
  (3, 'SMS;-;+15551230001', 45, '+15551230001', 'SMS', NULL),
  (4, 'iMessage;-;anna@example.com', 45, 'anna@example.com', 'iMessage', NULL),
  (6, 'iMessage;+;chat1', 43, 'chat1', 'iMessage', 'Climbing'),
  (7, 'iMessage;+;chat2', 43, 'chat2', 'iMessage', ''),
  (8, 'iMessage;-;ghost', 45, '', 'iMessage', NULL);
INSERT INTO chat_handle_join VALUES (5, 1), (3, 2), (4, 3), (6, 1), (6, 4), (7, 1), (7, 4), (8, 99);
)sql";

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string script = history;
        auto message = [&](int id, const std::string& guid, const char* text, int handle, int dayNumber, int chat,
                           const std::string& extra = "", const std::string& extraValues = "") {
            script += "INSERT INTO message (ROWID, guid, text, handle_id, date, service" + extra + ") VALUES (" +
                      std::to_string(id) + ", '" + guid + "', " + (text ? "'" + std::string(text) + "'" : "NULL") +
                      ", " + std::to_string(handle) + ", " + day(dayNumber) + ", 'iMessage'" + extraValues + ");";
            script += "INSERT INTO chat_message_join (chat_id, message_id) VALUES (" + std::to_string(chat) + ", " +
                      std::to_string(id) + ");";
        };
        message(1, "M1", "first over iMessage", 1, 1, 5);
        message(2, "M2", "over SMS", 2, 2, 3);
        message(3, "M3", nullptr, 2, 9, 3, ", cache_has_attachments", ", 1");
        message(4, "M4", "by mail", 3, 4, 4);
        message(5, "M5", "group one", 4, 5, 6);
        message(6, "M6", "group two", 4, 6, 7);
        message(7, "M7", "anyone?", 99, 3, 8);
        message(8, "M8", "replying to the first", 1, 7, 5, ", thread_originator_guid", ", 'M1'");
        message(9, "M9", "reply to a gone message", 1, 8, 5, ", thread_originator_guid", ", 'GONE'");
        testing::makeDatabase(dir / "chat.db", script);
    }

    std::unique_ptr<Library> open(std::shared_ptr<ContactsBook> contacts) {
        auto db = MessagesDatabase::open((dir / "chat.db").string());
        if (!db) {
            ADD_FAILURE() << "cannot open the history";
            return nullptr;
        }
        auto library = Library::open(std::move(*db), std::move(contacts));
        if (!library) {
            ADD_FAILURE() << library.error().description();
            return nullptr;
        }
        return std::move(*library);
    }

    static std::shared_ptr<ContactsBook> annaCard() {
        auto book = std::make_shared<ContactsBook>();
        book->add("Anna Berg", {"+1 (555) 123-0001"}, {"anna@example.com"});
        return book;
    }

    const Conversation* find(const Library& library, const std::string& chatGUID) {
        for (const auto& c : library.conversations())
            for (const auto& guid : c.chatGUIDs)
                if (guid == chatGUID) return &c;
        return nullptr;
    }

    testing::TempDir dir;
};

TEST_F(LibraryTest, OnePersonOverServicesAndAddressesIsOneConversation) {
    auto library = open(annaCard());
    ASSERT_TRUE(library);
    const Conversation* anna = find(*library, "SMS;-;+15551230001");
    ASSERT_TRUE(anna);
    EXPECT_EQ(anna->id, "person:card:0");
    EXPECT_EQ(anna->chatIDs, (std::vector<int64_t>{3, 4, 5}));
    EXPECT_EQ(anna->chatGUIDs, (std::vector<std::string>{"SMS;-;+15551230001", "iMessage;-;anna@example.com",
                                                         "iMessage;-;+15551230001"}));
    EXPECT_EQ(anna->services, (std::vector<std::string>{"SMS", "iMessage"}));
    ASSERT_EQ(anna->participants.size(), 1u);
    EXPECT_EQ(anna->participants[0].name, "Anna Berg");
    EXPECT_EQ(anna->messageCount, 6);
    EXPECT_FALSE(anna->isGroup);
    EXPECT_EQ(anna->lastSnippet, "Attachment");  // the newest is a photo without text
    EXPECT_EQ(anna->firstDate, AppleTime::date(std::stoll(day(1))));
    EXPECT_EQ(anna->lastDate, AppleTime::date(std::stoll(day(9))));
    EXPECT_EQ(anna->title("en_US"), "Anna Berg");

    // Without the address book the phone chats still merge (same digits) but the e-mail chat stays apart.
    auto plain = open(std::make_shared<ContactsBook>());
    ASSERT_TRUE(plain);
    const Conversation* phone = find(*plain, "SMS;-;+15551230001");
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->id, "person:15551230001");
    EXPECT_EQ(phone->chatIDs, (std::vector<int64_t>{3, 5}));
    const Conversation* mail = find(*plain, "iMessage;-;anna@example.com");
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->id, "person:anna@example.com");
    EXPECT_EQ(mail->title("en_US"), "Anna@Example.com");
}

TEST_F(LibraryTest, GroupsStayApartAndTheListIsNewestFirst) {
    auto library = open(annaCard());
    ASSERT_TRUE(library);
    std::vector<std::string> ids;
    for (const auto& c : library->conversations()) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"person:card:0", "group:iMessage;+;chat2", "group:iMessage;+;chat1",
                                             "chat:"}));
    const Conversation* one = find(*library, "iMessage;+;chat1");
    ASSERT_TRUE(one);
    EXPECT_TRUE(one->isGroup);
    EXPECT_EQ(one->groupName, "Climbing");
    EXPECT_EQ(one->participants.size(), 2u);
    const Conversation* two = find(*library, "iMessage;+;chat2");
    ASSERT_TRUE(two);
    EXPECT_FALSE(two->groupName);
    EXPECT_EQ(two->title("en_US"), "Anna and ben@example.com");
    EXPECT_EQ(two->lastSnippet, "group two");

    const Conversation* ghost = find(*library, "iMessage;-;ghost");
    ASSERT_TRUE(ghost);
    EXPECT_TRUE(ghost->participants.empty());
    EXPECT_EQ(ghost->title("en_US"), "Unknown");

    EXPECT_FALSE(library->conversation({"no-such-chat"}));
    EXPECT_EQ(library->conversation({"nope", "iMessage;+;chat1"})->id, "group:iMessage;+;chat1");
}

TEST_F(LibraryTest, ThreadInRangeWithReplyContextFromOutside) {
    auto library = open(annaCard());
    ASSERT_TRUE(library);
    const Conversation anna = *find(*library, "SMS;-;+15551230001");
    // Days 5 to 8: only the two replies lie inside.
    const DateRange range{AppleTime::date(std::stoll(day(5))), AppleTime::date(std::stoll(day(8)))};
    auto thread = library->thread(anna, range);
    ASSERT_TRUE(thread) << thread.error().description();
    ASSERT_EQ(thread->messages.size(), 2u);
    EXPECT_EQ(thread->messages[0].guid, "M8");
    EXPECT_EQ(thread->messages[0].sender->name, "Anna Berg");
    EXPECT_EQ(thread->range, range);
    ASSERT_EQ(thread->replies.size(), 1u);  // the message GONE does not exist
    const auto& context = thread->replies.at("M1");
    EXPECT_EQ(context.sender, "Anna Berg");
    EXPECT_EQ(context.text, "first over iMessage");
    EXPECT_EQ(context.date, *AppleTime::date(std::stoll(day(1))));

    auto all = library->thread(anna, DateRange::all);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->messages.size(), 5u);
    EXPECT_EQ(all->messages[2].text, "by mail");
}

TEST_F(LibraryTest, NameMapReplacesTheAddressBook) {
    auto library = open(annaCard());
    ASSERT_TRUE(library);
    const Conversation group = *find(*library, "iMessage;+;chat1");
    auto thread = library->thread(group, DateRange::all, Library::NameMap{{"ben@example.com", "Benjamin"}});
    ASSERT_TRUE(thread);
    ASSERT_EQ(thread->conversation.participants.size(), 2u);
    EXPECT_FALSE(thread->conversation.participants[0].name);  // Anna is not in the map
    EXPECT_EQ(thread->conversation.participants[1].name, "Benjamin");
    EXPECT_EQ(thread->messages[0].sender->name, "Benjamin");
    EXPECT_EQ(library->participant(1, Library::NameMap{})->name, std::nullopt);
    EXPECT_EQ(library->participant(1)->name, "Anna Berg");
    EXPECT_FALSE(library->participant(12345));
}

TEST_F(LibraryTest, SnippetComesFromTheArchivedBody) {
    {
        // The newest message of the groups' first chat keeps its text only in its body.
        auto db = SQLiteDatabase::openCreating((dir / "chat.db").string());
        ASSERT_TRUE(db);
        auto st = (*db)->prepare("UPDATE message SET text = NULL, attributedBody = ? WHERE ROWID = 5");
        ASSERT_TRUE(st);
        const auto body = AttributedBodyWriter::archive("  see \xEF\xBF\xBC this \n", std::vector<std::string>{"x"});
        ASSERT_TRUE((*st)->run({Bytes{body}}));
    }
    auto library = open(annaCard());
    ASSERT_TRUE(library);
    EXPECT_EQ(find(*library, "iMessage;+;chat1")->lastSnippet, "see  this");
}

}  // namespace
}  // namespace quillmark
