#include "service/history_location.h"

#include <cstdlib>

#include <gtest/gtest.h>

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

TEST_F(HistoryLocationTest, FileFolderOrDataFolder) {
    const auto user = HistoryLocation::find(std::nullopt, {});
    EXPECT_EQ(user.messagesPath, (temp_ / "home/Library/Messages/chat.db").string());
    EXPECT_EQ(user.contactsPaths, std::vector<fs::path>{userBook()});

    const fs::path sms = temp_.write("copy/sms.db", "");
    EXPECT_EQ(HistoryLocation::find(sms.string(), {}).messagesPath, sms.string());
    EXPECT_EQ(HistoryLocation::find((temp_ / "copy").string(), {}).messagesPath, sms.string());
    EXPECT_FALSE(HistoryLocation::find((temp_ / "copy").string(), {}).dataFolder);

    // A data folder brings its own address book; named ones win; without one the user's is read.
    temp_.write("data/Messages/chat.db", "");
    const fs::path book = temp_.write("data/AddressBook/AddressBook-v22.abcddb", "");
    const auto data = HistoryLocation::find((temp_ / "data").string(), {});
    EXPECT_EQ(data.messagesPath, (temp_ / "data/Messages/chat.db").string());
    EXPECT_EQ(data.dataFolder, temp_ / "data");
    EXPECT_EQ(data.contactsPaths, std::vector<fs::path>{book});
    EXPECT_EQ(HistoryLocation::find((temp_ / "data").string(), {"/a", "/b"}).contactsPaths,
              (std::vector<fs::path>{"/a", "/b"}));
    temp_.write("bare/Messages/chat.db", "");
    EXPECT_EQ(HistoryLocation::find((temp_ / "bare").string(), {}).contactsPaths, std::vector<fs::path>{userBook()});
}

}  // namespace
}  // namespace quillmark
