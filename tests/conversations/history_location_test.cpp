#include "conversations/history_location.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "conversations/conversation_reference.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

// Points HOME at a temporary folder for one test, so the user's own history and address book are known.
class HistoryLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* home = std::getenv("HOME");
        savedHome_ = home ? std::optional<std::string>(home) : std::nullopt;
        setenv("HOME", (temp_ / "home").c_str(), 1);
        temp_.write("home/Library/Application Support/AddressBook/AddressBook-v22.abcddb", "");
    }
    void TearDown() override {
        if (savedHome_)
            setenv("HOME", savedHome_->c_str(), 1);
        else
            unsetenv("HOME");
    }

    fs::path userBook() const { return temp_ / "home/Library/Application Support/AddressBook/AddressBook-v22.abcddb"; }

    testing::TempDir temp_;
    std::optional<std::string> savedHome_;
};

TEST_F(HistoryLocationTest, DefaultsToTheUsersHistoryAndAddressBook) {
    const auto where = HistoryLocation::find(std::nullopt, {});
    EXPECT_EQ(where.messagesPath, (temp_ / "home/Library/Messages/chat.db").string());
    EXPECT_EQ(where.contactsPaths, std::vector<fs::path>{userBook()});
    EXPECT_FALSE(where.dataFolder);
}

TEST_F(HistoryLocationTest, NamedFileOrMessagesFolder) {
    const fs::path file = temp_.write("copy/sms.db", "");
    EXPECT_EQ(HistoryLocation::find(file.string(), {}).messagesPath, file.string());
    EXPECT_EQ(HistoryLocation::find((temp_ / "copy").string(), {}).messagesPath, file.string());

    const fs::path chat = temp_.write("Messages/chat.db", "");
    const auto where = HistoryLocation::find((temp_ / "Messages").string(), {});
    EXPECT_EQ(where.messagesPath, chat.string());
    EXPECT_FALSE(where.dataFolder);
    EXPECT_EQ(where.contactsPaths, std::vector<fs::path>{userBook()});

    // A file that is not there is still the place to report as missing.
    EXPECT_EQ(HistoryLocation::find((temp_ / "nothing.db").string(), {}).messagesPath, (temp_ / "nothing.db").string());
}

TEST_F(HistoryLocationTest, DataFolderBringsItsOwnAddressBook) {
    temp_.write("data/Messages/chat.db", "");
    const fs::path book = temp_.write("data/AddressBook/AddressBook-v22.abcddb", "");
    const auto where = HistoryLocation::find((temp_ / "data").string(), {});
    EXPECT_EQ(where.messagesPath, (temp_ / "data/Messages/chat.db").string());
    EXPECT_EQ(where.dataFolder, temp_ / "data");
    EXPECT_EQ(where.contactsPaths, std::vector<fs::path>{book});

    // Named address books win over the data folder's.
    const auto named = HistoryLocation::find((temp_ / "data").string(), {"/a.abcddb", "/b.abcddb"});
    EXPECT_EQ(named.contactsPaths, (std::vector<fs::path>{"/a.abcddb", "/b.abcddb"}));

    // A data folder without an address book falls back to the user's.
    temp_.write("bare/Messages/chat.db", "");
    EXPECT_EQ(HistoryLocation::find((temp_ / "bare").string(), {}).contactsPaths, std::vector<fs::path>{userBook()});
}

TEST(ConversationReference, ByIdPositionOrChatGUID) {
    std::vector<Conversation> list(3);
    list[0].id = "person:1";
    list[0].chatGUIDs = {"iMessage;-;+1", "SMS;-;+1"};
    list[1].id = "group:iMessage;+;chat9";
    list[1].chatGUIDs = {"iMessage;+;chat9"};
    list[2].id = "chat:2";
    list[2].chatGUIDs = {"SMS;-;2"};

    EXPECT_EQ(findConversation(list, "person:1"), 0u);
    EXPECT_EQ(findConversation(list, "group:iMessage;+;chat9"), 1u);
    EXPECT_EQ(findConversation(list, "1"), 0u);
    EXPECT_EQ(findConversation(list, "3"), 2u);
    EXPECT_EQ(findConversation(list, "SMS;-;+1"), 0u);
    EXPECT_EQ(findConversation(list, "iMessage;+;chat9"), 1u);
    for (const char* none : {"0", "4", "-1", "+1", "", "person:2", "1 ", "01x"})
        EXPECT_EQ(findConversation(list, none), std::nullopt) << none;
}

}  // namespace
}  // namespace quillmark
