#include "store/messages_database.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using Kind = MessagesDatabase::Failure::Kind;

std::optional<MessagesDatabase::Failure> openFailure(const fs::path& path) {
    auto db = MessagesDatabase::open(path.string());
    if (db) return std::nullopt;
    return db.error();
}

std::unique_ptr<MessagesDatabase> openOrDie(const fs::path& path) {
    auto db = MessagesDatabase::open(path.string());
    if (!db) {
        ADD_FAILURE() << "cannot open " << path;
        return nullptr;
    }
    return std::move(*db);
}

TEST(MessagesDatabaseOpen, MissingFileInAListableFolder) {
    TempDir dir;
    EXPECT_EQ(openFailure(dir / "chat.db"), MessagesDatabase::Failure::missing());
    EXPECT_EQ(openFailure(dir / "no-such-folder" / "chat.db"), MessagesDatabase::Failure::missing());
}

TEST(MessagesDatabaseOpen, FileInAnUnlistableFolderIsNoAccess) {
    TempDir dir;
    fs::create_directories(dir / "Messages");
    testing::makeDatabase(dir / "Messages" / "chat.db", testing::fullSchema);
    fs::permissions(dir / "Messages", fs::perms::owner_all);  // nobody else may list or enter it
    auto result = testing::runUnprivileged([&] {
        auto present = openFailure(dir / "Messages" / "chat.db");
        auto absent = openFailure(dir / "Messages" / "other.db");
        auto name = [](const std::optional<MessagesDatabase::Failure>& f) {
            return !f ? std::string("opened") : f->kind == Kind::noAccess ? "noAccess" : f->kind == Kind::missing ? "missing" : "unrecognized";
        };
        return name(present) + "," + name(absent);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, "noAccess,noAccess");
}

TEST(MessagesDatabaseOpen, UnreadableFileIsNoAccess) {
    TempDir dir;
    testing::makeDatabase(dir / "chat.db", testing::fullSchema);
    fs::permissions(dir / "chat.db", fs::perms::owner_read | fs::perms::owner_write);
    auto result = testing::runUnprivileged([&] {
        auto f = openFailure(dir / "chat.db");
        return std::string(f && f->kind == Kind::noAccess ? "noAccess" : "other");
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, "noAccess");
}

TEST(MessagesDatabaseOpen, ForeignFilesAreUnrecognized) {
    TempDir dir;
    const auto text = dir.write("chat.db", "Dear diary, today I exported nothing at all. This is not a database.\n");
    auto f = openFailure(text);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, Kind::unrecognized);
    EXPECT_EQ(f->reason.rfind("can't open ", 0), 0u) << f->reason;
    EXPECT_EQ(f->description(), "The file isn't a Messages history Quillmark knows: " + f->reason);

    testing::makeDatabase(dir / "nomessage.db", "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY, guid TEXT);");
    EXPECT_EQ(openFailure(dir / "nomessage.db"), MessagesDatabase::Failure::unrecognized("no message table"));

    testing::makeDatabase(dir / "nojoin.db",
                          "CREATE TABLE message (x); CREATE TABLE chat (x); CREATE TABLE handle (x);"
                          "CREATE TABLE chat_message_join (x);");
    EXPECT_EQ(openFailure(dir / "nojoin.db"), MessagesDatabase::Failure::unrecognized("no chat_handle_join table"));
}

TEST(MessagesDatabaseOpen, PathWithSpacesHashAndQuestionMark) {
    TempDir dir;
    fs::create_directories(dir / "My #1 Mac?");
    const auto path = dir / "My #1 Mac?" / "chat db?.db";
    testing::makeDatabase(path, std::string(testing::fullSchema) +
                                    "INSERT INTO chat VALUES (1,'c1',45,0,NULL,NULL,'+1555',NULL,NULL,NULL,0,NULL,NULL,NULL);"
                                    "INSERT INTO message (guid, text, date) VALUES ('m1', 'hi', 5);"
                                    "INSERT INTO chat_message_join VALUES (1, 1, 5);");
    auto db = openOrDie(path);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->folder(), (dir / "My #1 Mac?").string());
    EXPECT_EQ(db->chats().value().size(), 1u);
}

// A history with every optional column: three chats, a group, reactions and attachments.
class FullHistory : public ::testing::Test {
protected:
    void SetUp() override {
        testing::makeDatabase(dir / "chat.db", std::string(testing::fullSchema) + R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, '+15551234567', 'iMessage'), (2, 'ann@example.com', 'iMessage'),
  (3, '+15559876543', 'SMS');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name, display_name, group_id) VALUES
  (1, 'iMessage;-;+15551234567', 45, '+15551234567', 'iMessage', NULL, NULL),
  (2, 'iMessage;+;chat42', 43, 'chat42', 'iMessage', 'Climbing', 'G-1'),
  (3, 'SMS;-;+15559876543', 45, '+15559876543', 'SMS', '', NULL),
  (4, 'iMessage;-;empty', 45, 'empty', 'iMessage', NULL, NULL);
INSERT INTO chat_handle_join VALUES (2, 2), (2, 1), (1, 1), (3, 3);
INSERT INTO message (ROWID, guid, text, handle_id, date, is_from_me, service, associated_message_type,
  associated_message_guid, item_type, cache_has_attachments) VALUES
  (1, 'A', 'hello', 1, 100, 0, 'iMessage', 0, NULL, 0, 0),
  (2, 'B', 'photo', 0, 200, 1, 'iMessage', 0, NULL, 0, 1),
  (3, 'C', NULL, 1, 300, 0, 'iMessage', 2000, 'p:0/B', 0, 0),
  (4, 'D', 'group hi', 2, 150, 0, 'iMessage', 0, NULL, 0, 0),
  (5, 'E', NULL, 2, 400, 0, 'iMessage', 0, NULL, 1, 0),
  (6, 'F', 'sms', 3, 50, 0, 'SMS', NULL, NULL, 0, 0),
  (7, 'G', NULL, 3, 60, 0, 'SMS', 3001, 'p:0/F', 0, 0),
  (8, 'H', 'in two chats', 1, 250, 0, 'iMessage', 0, NULL, 0, 0),
  (9, 'I', NULL, 1, 500, 0, 'iMessage', 2001, 'p:0/B', 0, 0);
INSERT INTO chat_message_join (chat_id, message_id) VALUES (1,1), (1,2), (1,3), (2,4), (2,5), (3,6), (3,7),
  (1,8), (2,8), (4,9);
INSERT INTO attachment (ROWID, guid, filename, mime_type, uti, transfer_name, total_bytes, is_sticker) VALUES
  (1, 'att-1', '~/Library/Messages/Attachments/ab/01/IMG_1.HEIC', 'image/heic', 'public.heic', 'IMG_1.HEIC', 1000, 0),
  (2, 'att-2', '/var/tmp/x.pdf', 'application/pdf', 'com.adobe.pdf', 'x.pdf', 20, 0);
INSERT INTO message_attachment_join VALUES (2, 2), (2, 1), (8, 2);
)sql");
        db = openOrDie(dir / "chat.db");
        ASSERT_TRUE(db);
    }
    TempDir dir;
    std::unique_ptr<MessagesDatabase> db;
};

TEST_F(FullHistory, ChatsNewestFirstWithoutReactionOnlyChats) {
    auto chats = db->chats().value();
    ASSERT_EQ(chats.size(), 3u);  // chat 4 holds only a reaction
    EXPECT_EQ(chats[0].id, 2);
    EXPECT_EQ(chats[0].messageCount, 3);  // D, the membership change E, and H
    EXPECT_EQ(chats[0].firstRaw, 150);
    EXPECT_EQ(chats[0].lastRaw, 400);
    EXPECT_EQ(chats[0].handleIDs, (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(chats[0].displayName, "Climbing");
    EXPECT_EQ(chats[0].groupID, "G-1");
    EXPECT_TRUE(chats[0].isGroup());
    EXPECT_EQ(chats[1].id, 1);
    EXPECT_EQ(chats[1].messageCount, 3);  // A, B, H; the reaction C is not counted
    EXPECT_FALSE(chats[1].isGroup());
    EXPECT_EQ(chats[2].id, 3);
    EXPECT_EQ(chats[2].messageCount, 1);  // a NULL type counts, 3001 does not
    EXPECT_EQ(chats[2].displayName, "");
    EXPECT_FALSE(chats[2].lastMessageID.has_value());
}

TEST_F(FullHistory, LastMessageSkipsReactionsAndMembershipChanges) {
    auto last = db->last({1, 2, 3, 4, 99}).value();
    EXPECT_EQ(last.size(), 3u);
    EXPECT_EQ(last[1].text, "in two chats");
    EXPECT_EQ(last[2].text, "in two chats");  // E is a membership change
    EXPECT_EQ(last[3].text, "sms");
    EXPECT_FALSE(last.count(4));
    EXPECT_TRUE(db->last({}).value().empty());
}

TEST_F(FullHistory, MessagesOfChatsInclusiveRangeAndOnce) {
    auto all = db->messages({1, 2}, std::nullopt, std::nullopt).value();
    std::vector<std::string> guids;
    for (const auto& m : all) guids.push_back(m.guid);
    EXPECT_EQ(guids, (std::vector<std::string>{"A", "D", "B", "H", "C", "E"}));
    EXPECT_EQ(all[3].chatID, 1);  // H, with the chat of its first row

    auto bounded = db->messages({1}, int64_t{200}, int64_t{300}).value();
    ASSERT_EQ(bounded.size(), 3u);
    EXPECT_EQ(bounded.front().guid, "B");
    EXPECT_EQ(bounded.back().guid, "C");
    EXPECT_EQ(bounded.back().associatedType, 2000);
    EXPECT_EQ(bounded.back().associatedGUID, "p:0/B");
    EXPECT_TRUE(db->messages(std::vector<int64_t>{}, std::nullopt, std::nullopt).value().empty());
}

TEST_F(FullHistory, AttachmentsByMessageInAttachmentOrder) {
    auto attachments = db->attachments({1}, std::nullopt, std::nullopt).value();
    ASSERT_EQ(attachments.size(), 2u);
    const auto& list = attachments.at(2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].guid, "att-1");
    EXPECT_EQ(list[0].mimeType, "image/heic");
    EXPECT_EQ(list[0].totalBytes, 1000);
    EXPECT_EQ(list[1].guid, "att-2");
    // Message H sits in two chats: its attachment would come twice without the pair check.
    auto both = db->attachments({1, 2}, std::nullopt, std::nullopt).value();
    ASSERT_EQ(both.at(8).size(), 1u);
    EXPECT_EQ(both.at(8)[0].guid, "att-2");
    EXPECT_TRUE(db->attachments({2}, int64_t{401}, std::nullopt).value().empty());
    EXPECT_EQ(db->resolve(list[0].filename), (dir / "Attachments/ab/01/IMG_1.HEIC").string());
    EXPECT_EQ(db->resolve(list[1].filename), "/var/tmp/x.pdf");
}

TEST(MessagesDatabaseResolve, StoredPaths) {
    TempDir dir;
    testing::makeDatabase(dir / "chat.db", testing::bareSchema);
    auto db = openOrDie(dir / "chat.db");
    ASSERT_TRUE(db);
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/";
    EXPECT_FALSE(db->resolve(std::nullopt));
    EXPECT_FALSE(db->resolve(std::string()));
    EXPECT_EQ(db->resolve(std::string("~/Library/Messages/Attachments/a.jpg")), (dir / "Attachments/a.jpg").string());
    EXPECT_EQ(db->resolve(std::string("~/Downloads/b.jpg")), home + "/Downloads/b.jpg");
    EXPECT_EQ(db->resolve(std::string("/abs/c.jpg")), "/abs/c.jpg");

    // A history named by a relative path still resolves its attachments to where they are.
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path().parent_path());
    auto relative = openOrDie(dir.path().filename() / "chat.db");
    std::filesystem::current_path(before);
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->resolve(std::string("~/Library/Messages/Attachments/a.jpg")), (dir / "Attachments/a.jpg").string());
}

}  // namespace
}  // namespace quillmark
