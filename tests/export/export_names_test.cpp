#include "export/export_names.h"

#include <gtest/gtest.h>

#include "core/atomic_file.h"
#include "export_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::utc;

MessageThread withTitle(std::string title, std::vector<Message> messages = {}) {
    MessageThread thread;
    thread.conversation.groupName = std::move(title);
    thread.messages = std::move(messages);
    return thread;
}

TEST(ExportNames, SafeNameReplacesWhatFileSystemsRefuse) {
    EXPECT_EQ(ExportNames::safeName("a/b: c"), "a-b- c");
    EXPECT_EQ(ExportNames::safeName("/:\\?%*|\"<>"), "----------");
    EXPECT_EQ(ExportNames::safeName("  Trip \u00e0 Paris \u2708\ufe0f\n"), "Trip \u00e0 Paris \u2708\ufe0f");
    EXPECT_EQ(ExportNames::safeName(std::string("a\0b", 3)), "a-b");
    EXPECT_EQ(ExportNames::safeName(".."), "..");  // harmless: it always follows "Messages with "
}

TEST(ExportNames, SuggestedNameCarriesTheDaysInTheExportZone) {
    const Message first = testing::message(1, utc(2024, 1, 5, 23, 30), "a");  // already the 6th in Berlin
    const Message last = testing::message(2, utc(2024, 3, 31, 12), "b");
    const MessageThread thread = withTitle("Family: \"Trip\"", {first, last});
    EXPECT_EQ(ExportNames::suggestedName(thread, ExportFormat::csv, "Europe/Berlin", "en_US"),
              "Messages with Family- -Trip- (2024-01-06 to 2024-03-31).csv");
    EXPECT_EQ(ExportNames::suggestedName(thread, ExportFormat::html, "America/New_York", "en_US"),
              "Messages with Family- -Trip- (2024-01-05 to 2024-03-31)");
    EXPECT_EQ(ExportNames::suggestedName(withTitle("Anna"), ExportFormat::pdf, "UTC", "en_US"), "Messages with Anna.pdf");
}

TEST(ExportNames, FreeNameCountsFromTwo) {
    testing::TempDir dir;
    EXPECT_EQ(ExportNames::freeName(dir.path(), "Messages with A", ".csv"), "Messages with A.csv");
    dir.write("Messages with A.csv", "");
    EXPECT_EQ(ExportNames::freeName(dir.path(), "Messages with A", ".csv"), "Messages with A 2.csv");
    dir.write("Messages with A 2.csv", "");
    fs::create_symlink(dir / "nowhere", dir / "Messages with A 3.csv");
    EXPECT_EQ(ExportNames::freeName(dir.path(), "Messages with A", ".csv"), "Messages with A 4.csv");
    fs::create_directory(dir / "Messages with A");
    EXPECT_EQ(ExportNames::freeName(dir.path(), "Messages with A", ""), "Messages with A 2");
}

TEST(AtomicFolder, ReplacesAFolderWholeOrLeavesItAlone) {
    testing::TempDir dir;
    const fs::path target = dir / "export";
    auto fillWith = [](std::string content) {
        return [content](const fs::path& temporary) -> tl::expected<void, std::string> {
            return AtomicFile::write(temporary / "index.html", content);
        };
    };
    ASSERT_TRUE(AtomicFile::replaceFolder(target, fillWith("one")));
    dir.write("export/stale.txt", "from before");
    ASSERT_TRUE(AtomicFile::replaceFolder(target, fillWith("two")));
    EXPECT_EQ(testing::readFile(target / "index.html"), "two");
    EXPECT_FALSE(fs::exists(target / "stale.txt"));  // replaced whole, not merged

    const auto failed = AtomicFile::replaceFolder(target, [](const fs::path& temporary) -> tl::expected<void, std::string> {
        (void)AtomicFile::write(temporary / "index.html", "half");
        return tl::unexpected(std::string("the export failed"));
    });
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), "the export failed");
    EXPECT_EQ(testing::readFile(target / "index.html"), "two");

    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) entries += entry.path().filename() == "export" ? 1 : 100;
    EXPECT_EQ(entries, 1u);  // no temporary or old folder left beside it

    dir.write("file", "x");
    EXPECT_FALSE(AtomicFile::replaceFolder(dir / "file", fillWith("three")));
    EXPECT_EQ(testing::readFile(dir / "file"), "x");
}

}  // namespace
}  // namespace quillmark
