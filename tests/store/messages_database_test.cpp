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

// The rows themselves are held to plain queries in query_equivalence_test.cpp; those never ask for no chats.
TEST(MessagesDatabaseRows, EmptyListsAskForNothing) {
    TempDir dir;
    testing::makeDatabase(dir / "chat.db", testing::fullSchema);
    auto db = openOrDie(dir / "chat.db");
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->last({}).value().empty());
    EXPECT_TRUE(db->messages(std::vector<int64_t>{}, std::nullopt, std::nullopt).value().empty());
    EXPECT_TRUE(db->messages(std::vector<std::string>{}).value().empty());
    EXPECT_TRUE(db->attachments({}, std::nullopt, std::nullopt).value().empty());
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
