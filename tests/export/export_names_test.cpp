#include "export/export_names.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillmark
