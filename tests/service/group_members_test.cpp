// A group's record names everyone who took part: the members now, and those who left or were removed, with
// the names the export used kept in its verification record, so that the same history verifies.
#include <memory>

#include <gtest/gtest.h>

#include "service/export_service.h"
#include "service/history.h"
#include "service/verification.h"
#include "support/history_fixture.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

using testing::HistoryFixture;

// Into the group "Trip" (Anna and Ben): Anna removes Cleo, who never wrote; Dora leaves; Eve is removed and
// added back. Cleo and Eve have cards in the address book.
const char* const events = R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (3, '+15551230003', 'iMessage'), (4, 'dora@example.com', 'iMessage'),
  (5, '+15551230005', 'iMessage');
INSERT INTO chat_handle_join VALUES (12, 5);
INSERT INTO message (ROWID, guid, text, handle_id, date, item_type, group_action_type, other_handle) VALUES
  (1, 'E-1', 'Who is coming?', 1, 700000000000000000, 0, 0, 0),
  (2, 'E-2', NULL, 1, 700000060000000000, 1, 1, 3),
  (3, 'E-3', NULL, 4, 700000120000000000, 3, 0, 0),
  (4, 'E-4', NULL, 1, 700000180000000000, 1, 1, 5),
  (5, 'E-5', NULL, 1, 700000240000000000, 1, 0, 5);
INSERT INTO chat_message_join (chat_id, message_id) VALUES (12, 1), (12, 2), (12, 3), (12, 4), (12, 5);
)sql";

const char* const addressBook = R"sql(
CREATE TABLE ZABCDRECORD (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZFIRSTNAME VARCHAR, ZLASTNAME VARCHAR);
CREATE TABLE ZABCDPHONENUMBER (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZFULLNUMBER VARCHAR, ZLABEL VARCHAR);
CREATE TABLE ZABCDEMAILADDRESS (Z_PK INTEGER PRIMARY KEY, ZOWNER INTEGER, ZADDRESS VARCHAR);
INSERT INTO ZABCDRECORD (Z_PK, ZFIRSTNAME, ZLASTNAME) VALUES (1, 'Cleo', 'Park'), (2, 'Eve', 'Stone');
INSERT INTO ZABCDPHONENUMBER (ZOWNER, ZFULLNUMBER) VALUES (1, '+1 (555) 123-0003'), (2, '+1 (555) 123-0005');
)sql";

TEST(GroupMembers, TheRecordCoverNamesWhoLeftAndTheSameHistoryVerifies) {
    HistoryFixture fixture(events);
    const auto contacts = fixture.data() / HistoryLocation::dataFolderContacts;
    std::filesystem::create_directories(contacts.parent_path());
    testing::makeDatabase(contacts, addressBook);
    auto history = History::open(HistoryLocation::find(fixture.data().string(), {}));
    ASSERT_TRUE(history) << history.error().description();

    const auto& conversations = (*history)->library().conversations();
    const auto trip = std::find_if(conversations.begin(), conversations.end(),
                                   [](const Conversation& c) { return c.groupName == "Trip"; });
    ASSERT_NE(trip, conversations.end());
    auto thread = (*history)->library().thread(*trip, {});
    ASSERT_TRUE(thread);
    ASSERT_EQ(thread->formerParticipants.size(), 2u);
    EXPECT_EQ(thread->formerParticipants[0], (Participant{"+15551230003", "Cleo Park"}));
    EXPECT_EQ(thread->formerParticipants[1], (Participant{"dora@example.com", std::nullopt}));

    ExportService::Request request;
    request.conversations = {*trip};
    request.options = ExportOptions::make(ExportLayout::record, Paper::a4, "UTC", "en_US", "", Date{1700000000});
    request.file = fixture.temp() / "trip.pdf";
    const auto exported = ExportService::run(**history, request);
    ASSERT_TRUE(exported) << exported.error().text;

    const std::string cover = testing::pdfFirstPageText(*request.file);
    EXPECT_NE(cover.find("Cleo Park \u2014 +1 (555) 123-0003 (left)"), std::string::npos) << cover;
    EXPECT_NE(cover.find("dora@example.com (left)"), std::string::npos) << cover;
    EXPECT_EQ(cover.find("Eve Stone \u2014 +1 (555) 123-0005 (left)"), std::string::npos) << cover;
    EXPECT_NE(cover.find("Eve Stone"), std::string::npos) << cover;

    // Cleo's name is printed only in an event sentence and on the cover; the record must keep it.
    const auto verified = Verification::run(**history, request.file->string());
    ASSERT_TRUE(verified);
    EXPECT_TRUE(Verifier::summary(*verified).ok) << Verifier::summary(*verified).detail;
}

}  // namespace
}  // namespace quillmark
