// The real iOS 13 history: every conversation lists, every thread builds, and every message shows the text
// that Messages itself stored beside the archived body.
#include <filesystem>

#include <gtest/gtest.h>

#include "conversations/library.h"
#include "conversations/thread_builder.h"
#include "support/realdata.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

TEST(RealLibrary, IOS13HistoryBuildsEveryThreadWithApplesText) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    testing::TempDir dir;
    const fs::path path = dir / "sms.db";
    fs::copy_file(realdata / "databases/ios13-sms/sms.db", path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);

    auto db = MessagesDatabase::open(path.string());
    ASSERT_TRUE(db);
    auto library = Library::open(std::move(*db), nullptr);
    ASSERT_TRUE(library) << library.error().description();
    ASSERT_FALSE((*library)->conversations().empty());

    // Apple's own text for every message, straight from the rows.
    std::vector<int64_t> allChats;
    for (const auto& [id, chat] : (*library)->chatRows()) allChats.push_back(id);
    auto rows = (*library)->database().messages(allChats, std::nullopt, std::nullopt);
    ASSERT_TRUE(rows);
    std::map<std::string, std::string> stored;
    for (const auto& row : *rows) stored[row.guid] = ThreadBuilder::displayedText(row.text.value_or(""));

    size_t built = 0, compared = 0, withBody = 0;
    int64_t counted = 0;
    for (const Conversation& c : (*library)->conversations()) {
        counted += c.messageCount;
        EXPECT_FALSE(c.title("en_US").empty());
        auto thread = (*library)->thread(c, DateRange::all);
        ASSERT_TRUE(thread) << c.id << ": " << thread.error().description();
        for (const Message& m : thread->messages) {
            ++built;
            if (!stored.count(m.guid)) continue;
            ++compared;
            EXPECT_EQ(m.text, stored[m.guid]) << m.guid;
        }
    }
    for (const auto& row : *rows) withBody += row.body.has_value();
    EXPECT_EQ(counted, 105);
    EXPECT_GT(built, 90u);
    EXPECT_EQ(compared, built);
    EXPECT_EQ(withBody, 105u);  // so the texts above came out of the archives
}

}  // namespace
}  // namespace quillmark
