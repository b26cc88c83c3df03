// A damaged history is never exported as if it were whole, and damaged bodies never become the text.
#include "service/export_service.h"

#include <gtest/gtest.h>

#include "body/attributed_body.h"
#include "body/attributed_body_writer.h"
#include "core/text.h"
#include "service/verification.h"
#include "support/history_fixture.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::HistoryFixture;

// 600 messages on 1 KiB pages, so that each table spans many leaf pages.
class DamagedHistory : public ::testing::Test {
protected:
    HistoryFixture fixture{HistoryFixture::manyMessages(), true, 1024};
};

TEST_F(DamagedHistory, DamageSQLiteReadsPastFailsExportAndVerifyButNotListing) {
    ASSERT_TRUE(fixture.copyLeafPage("chat_message_join", 2, 1));
    auto history = fixture.open();
    ASSERT_FALSE(history->library().conversations().empty());  // listing does not wait for the check

    ExportService::Request request;
    request.conversations = history->library().conversations();
    request.format = ExportFormat::csv;
    request.options = ExportOptions::make(ExportLayout::record, Paper::a4, "UTC", "en_US", "", Date{1700000000});
    request.folder = fixture.temp() / "out";
    const auto exported = ExportService::run(*history, request);
    ASSERT_FALSE(exported);
    EXPECT_EQ(exported.error().kind, ExportService::Failure::Kind::damaged);
    EXPECT_EQ(exported.error().text.rfind("The history is damaged: SQLite's integrity check found \u201c", 0), 0u)
        << exported.error().text;
    EXPECT_NE(exported.error().text.find("\u201d. Quillmark exports only from an undamaged history; copy it again "
                                         "from where it came from."),
              std::string::npos);
    EXPECT_TRUE(fs::is_empty(fixture.temp() / "out"));

    const auto verified = Verification::run(*history, (fixture.temp() / "none.pdf").string());
    ASSERT_FALSE(verified);
    EXPECT_EQ(verified.error().description(), exported.error().text);
}

TEST_F(DamagedHistory, AnErrorWhileSteppingFailsTheLoadInsteadOfShorteningIt) {
    ASSERT_TRUE(fixture.scribbleOverLeaf("message", 3));
    // The conversation list reads every message, so opening meets the damage first.
    auto history = History::open(HistoryLocation::find(fixture.data().string(), {}));
    ASSERT_FALSE(history) << (*history)->library().conversations().size() << " conversations from a damaged table";
    EXPECT_EQ(history.error().kind, History::Failure::Kind::failed);
    EXPECT_EQ(history.error().description(), "SQL step: database disk image is malformed");
}

TEST(DamagedBody, AnObjectThatIsNoStringNeverBecomesTheText) {
    std::vector<uint8_t> body = AttributedBodyWriter::archive("archived text");
    const std::string damaged = "NSStriXg";
    std::string bytes(body.begin(), body.end());
    for (size_t at; (at = bytes.find("NSString")) != std::string::npos;) bytes.replace(at, damaged.size(), damaged);
    EXPECT_FALSE(AttributedBody::decode(std::vector<uint8_t>(bytes.begin(), bytes.end())));

    HistoryFixture fixture(
        "INSERT INTO message (ROWID, guid, text, attributedBody, handle_id, date, service) VALUES (1, 'M-1', "
        "'the stored text', X'" + text::lowercaseHex(bytes) + "', 1, 700000000000000000, 'iMessage');\n"
        "INSERT INTO chat_message_join (chat_id, message_id) VALUES (10, 1);");
    auto history = fixture.open();
    auto thread = history->library().thread(history->library().conversations().front(), {});
    ASSERT_TRUE(thread);
    ASSERT_EQ(thread->messages.size(), 1u);
    EXPECT_EQ(thread->messages.front().text, "the stored text");
}

}  // namespace
}  // namespace quillmark
