#include "export/layout/record_layout.h"

#include "core/sha256.h"

#include <gtest/gtest.h>

#include "export/layout/column_row.h"
#include "export/layout/ink.h"
#include "export/layout/text_block.h"
#include "layout_test_support.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using namespace testing;
using Lines = std::vector<std::string>;

const std::string hashA(64, 'a');

class RecordLayoutTest : public ::testing::Test {
protected:
    AttachmentMedia media;
    ExportOptions record = options(ExportLayout::record);

    Lines lines(const MessageThread& t) {
        auto fingerprint = Fingerprint::compute(t, media);
        RenderInput input{t, record, fingerprint, media};
        return describe(RecordLayout::blocks(input, 504));
    }
    // The blocks after the cover's page break.
    Lines body(const MessageThread& t) {
        Lines all = lines(t);
        auto at = std::find(all.begin(), all.end(), "pagebreak");
        return Lines(at + 1, all.end());
    }
    Lines cover(const MessageThread& t) {
        auto fingerprint = Fingerprint::compute(t, media);
        fingerprint.hex = std::string(64, '0');
        RenderInput input{t, record, fingerprint, media};
        return describe(RecordLayout::cover(input, Dates(record)));
    }
};

// Also: no appendix without attachments.
TEST_F(RecordLayoutTest, OneDayHeadingPerCalendarDayInTheExportsZone) {
    auto t = thread(oneToOne(), {message(1, 1711942200, anna, "late"),             // Sun Mar 31, 11:30 PM
                                 message(2, 1711942200 + 1200, std::nullopt, "later"),  // 11:50 PM
                                 message(3, 1711945800, anna, "after midnight")});  // Mon Apr 1, 12:30 AM
    EXPECT_EQ(body(t), (Lines{"day Sunday, March 31, 2024", "row 11:30:00 PM | Anna Berg | {text late}",
                              "row 11:50:00 PM | Cleo Park | {text later}", "day Monday, April 1, 2024",
                              "row 12:30:00 AM | Anna Berg | {text after midnight}"}));
}

// Also: a service other than iMessage stands under the time, and a message with nothing to show says so.
TEST_F(RecordLayoutTest, SubjectReplyUnsentApplicationEventServiceAndEmpty) {
    Message m = message(1, march5, anna, "Body");
    m.subject = "Plans";
    m.replyToGUID = "R";
    Message unsent = message(2, march5 + 10, std::nullopt, "");
    unsent.unsentAt = Date{march5 + 70};
    Message app = message(3, march5 + 20, anna, "");
    app.appKind = "Apple Pay";
    Message event = message(4, march5 + 30, anna, "");
    event.event = "Anna Berg left the conversation.";
    Message sms = message(5, march5 + 40, anna, "a");
    sms.service = "SMS";
    Message none = message(6, march5 + 41, anna, "b");
    none.service = "";
    Message nobody = message(7, march5 + 42, std::nullopt, "");
    nobody.isFromMe = false;
    auto t = thread(oneToOne(), {m, unsent, app, event, sms, none, nobody});
    t.replies["R"] = {"Cleo Park", "first line\n" + std::string(95, 'z'), Date{1709596800}};
    Lines b = body(t);
    EXPECT_EQ(b[1], "row 7:05:09 PM | Anna Berg | {text In reply to Cleo Park, Mar 4, 2024, 7:00:00 PM: “first line " +
                        std::string(78, 'z') + "…”} {gap 2} {text Plans} {text Body}");
    EXPECT_EQ(b[2], "row 7:05:19 PM | Cleo Park | {text Message unsent by Cleo Park at 7:06:19 PM. Messages does not "
                    "keep its text.}");
    EXPECT_EQ(b[3], "row 7:05:29 PM | Anna Berg | {text [Apple Pay]}");
    EXPECT_EQ(b[4], "row 7:05:39 PM |  | {text Anna Berg left the conversation.}");
    EXPECT_EQ(b[5], "row 7:05:49 PM\nSMS | Anna Berg | {text a}");
    EXPECT_EQ(b[6], "row 7:05:50 PM | Anna Berg | {text b}");
    EXPECT_EQ(b[7], "row 7:05:51 PM | Unknown | {text (empty)}");
}

TEST_F(RecordLayoutTest, PhotosOfOneMessageAreAGridOfWholePicturesWithTheirCaptions) {
    TempDir dir;
    auto wide = writeJPEG(dir / "wide.jpg", 800, 400);
    auto sticker = writeJPEG(dir / "sticker.jpg", 120, 120);
    Message m = message(1, march5, anna, "");
    m.attachments = {attachment("A1", wide, 10), attachment("A2", sticker, 20), attachment("A3", dir / "gone.jpg", 30)};
    Lines b = body(thread(oneToOne(), {m}));
    // 322 points beside the time and sender: two columns of 156; the sticker keeps its natural 60 points.
    ASSERT_GE(b.size(), 2u);
    EXPECT_EQ(b[1].substr(0, b[1].find(" · wide.jpg")), "row 7:05:09 PM | Anna Berg | {gap 3} {grid2 [picture 156x78 #1");
    EXPECT_NE(b[1].find("] [picture 60x60 #2 · sticker.jpg"), std::string::npos);
    EXPECT_NE(b[1].find("]} {gap 3} {text Attachment #3, gone.jpg"), std::string::npos);
}

TEST_F(RecordLayoutTest, AttachmentNumbersRunThroughTheExportAndTheAppendix) {
    TempDir dir;
    auto photo = writeJPEG(dir / "IMG_1.jpg", 800, 600);
    auto notes = dir.write("notes.txt", "hello");
    Message first = message(1, march5, anna, "three files");
    first.attachments = {attachment("A1", photo, 1500000), attachment("A2", notes, 5),
                         attachment("A3", dir / "gone.heic", 2048)};
    Message second = message(2, march5 + 60, std::nullopt, "");
    second.attachments = {attachment("A4", notes, 5)};
    auto t = thread(oneToOne(), {first, second});
    std::string photoHash = *SHA256::ofPath(photo.string());
    std::string notesHash = *SHA256::ofPath(notes.string());
    Lines b = body(t);
    ASSERT_EQ(b.size(), 12u);
    EXPECT_EQ(b[1], "row 7:05:09 PM | Anna Berg | {text three files} {gap 3} {picture 260x195 #1 · IMG_1.jpg · 1.5 MB\n"
                    "SHA-256 " + photoHash + "} {gap 3} {text #2 · notes.txt · 5 bytes\nSHA-256 " + notesHash +
                    "} {gap 3} {text Attachment #3, gone.heic (2 KB). The file isn't in this history's Attachments "
                    "folder; it may be kept in iCloud only.}");
    EXPECT_EQ(b[2], "row 7:06:09 PM | Cleo Park | {gap 3} {text #4 · notes.txt · 5 bytes\nSHA-256 " + notesHash + "}");
    EXPECT_EQ(Lines(b.begin() + 3, b.begin() + 9),
              (Lines{"pagebreak", "text Attachments", "gap 4",
                     "text Every file in this conversation, in order, with its size and SHA-256.", "gap 10",
                     "row #1 | Mar 5, 2024, 7:05:09 PM | {text IMG_1.jpg · 1.5 MB · Anna Berg\n" + photoHash + "}"}));
    EXPECT_EQ(b[10], "row #3 | Mar 5, 2024, 7:05:09 PM | {text gone.heic · 2 KB · Anna Berg\nnot in this history}");
    EXPECT_EQ(b[11], "row #4 | Mar 5, 2024, 7:06:09 PM | {text notes.txt · 5 bytes · Cleo Park\n" + notesHash + "}");
}

TEST_F(RecordLayoutTest, NotesEditsReactionsAndReadReceipts) {
    Message m = message(1, march5, std::nullopt, "final");
    m.editedAt = Date{march5 + 120};
    m.editHistory = {{std::string(120, 'a'), Date{march5}}, {"two\nlines " + std::string(115, 'b'), std::nullopt}};
    m.effect = "Slam";
    m.reactions = {{ReactionKind::like, "👍", false, anna, Date{march5 + 60}},
                   {ReactionKind::love, "❤️", true, std::nullopt, Date{march5 + 86400}},
                   {ReactionKind::laugh, "😂", false, std::nullopt, Date{march5 + 30}}};
    m.dateRead = Date{march5 + 86400 * 2};
    Lines b = body(thread(oneToOne(), {m}));
    EXPECT_EQ(b[1], "row 7:05:09 PM | Cleo Park | {text final} {gap 2} {text Edited at 7:07:09 PM — earlier: “" +
                        std::string(120, 'a') + "” (7:05:09 PM), “two lines " + std::string(109, 'b') +
                        "…”\nSent with Slam\nReactions: 👍 Anna Berg 7:06:09 PM · ❤️ Cleo Park Mar 6, 2024, 7:05:09 PM · "
                        "😂 Unknown 7:05:39 PM\nRead Mar 7, 2024, 7:05:09 PM}");
}

TEST_F(RecordLayoutTest, ReadReceiptsOnlyWhenLaterAndOnlyForTheOwnersMessages) {
    Message same = message(1, march5, std::nullopt, "a");
    same.dateRead = Date{march5};
    Message later = message(2, march5 + 1, std::nullopt, "b");
    later.dateRead = Date{march5 + 61};
    Message theirs = message(3, march5 + 2, anna, "c");
    theirs.dateRead = Date{march5 + 100};
    Lines b = body(thread(oneToOne(), {same, later, theirs}));
    EXPECT_EQ(b[1], "row 7:05:09 PM | Cleo Park | {text a}");
    EXPECT_EQ(b[2], "row 7:05:10 PM | Cleo Park | {text b} {gap 2} {text Read 7:06:10 PM}");
    EXPECT_EQ(b[3], "row 7:05:11 PM | Anna Berg | {text c}");
}

TEST_F(RecordLayoutTest, CoverOfAGroup) {
    Message m = message(1, march5, anna, "a");
    m.attachments = {attachment("A1", "/nonexistent/x.jpg")};
    Message n = message(2, march5 + 86400, ben, "b");
    n.service = "SMS";
    auto t = thread(group({anna, Participant{"+4915112345678", std::nullopt}}, "Trip"), {m, n});
    t.conversation.services = {"SMS", "iMessage"};
    Lines c = cover(t);
    ASSERT_EQ(c.size(), 13u);
    EXPECT_EQ(c[0], "text Messages with Trip");
    EXPECT_EQ(c[2], "text March 5 – 6, 2024");
    EXPECT_EQ(c[4], "panel | Participants: Anna Berg — +1 (555) 123-4567\n+4915112345678\nCleo Park — the owner of this history"
                    " | Conversation name: Trip | First message: Mar 5, 2024, 7:05:09 PM | Last message: Mar 6, 2024, "
                    "7:05:09 PM | Contents: 2 messages, 1 attachment | Services: SMS, iMessage | Times shown in: "
                    "America/New_York (GMT−5) | Exported: Apr 2, 2024, 11:00:00 AM with Quillmark 1.2, from a "
                    "Messages history, opened read-only | Integrity: SQLite's check of the history found no "
                    "damage.");
    EXPECT_EQ(c[6], "text Fingerprint");
    EXPECT_EQ(c[8], "panel | SHA-256: 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000");
    EXPECT_EQ(c[10].substr(0, 39), "text This number is calculated from eve");
    EXPECT_EQ(c[12], "text Each attachment's own SHA-256 is printed next to it and listed at the end. Times are to the "
                     "second, as Messages records them.");
}

TEST_F(RecordLayoutTest, CoverOfAnEmptyThreadAndSingularCounts) {
    auto empty = cover(thread(oneToOne(), {}));
    EXPECT_EQ(empty[0], "text Messages with Anna Berg");
    EXPECT_EQ(empty[2], "text ");
    // No first and last message; the zone at the export time (daylight saving on April 2).
    EXPECT_EQ(empty[4], "panel | Participants: Anna Berg — +1 (555) 123-4567\nCleo Park — the owner of this history | "
                        "Contents: 0 messages | Services: iMessage | Times shown in: America/New_York (GMT−4) | "
                        "Exported: Apr 2, 2024, 11:00:00 AM with Quillmark 1.2, from a Messages history, opened "
                        "read-only | Integrity: SQLite's check of the history found no damage.");
    Message m = message(1, march5, anna, "a");
    m.attachments = {attachment("A1", "/nonexistent/x.jpg")};
    EXPECT_NE(cover(thread(oneToOne(), {m}))[4].find("Contents: 1 message, 1 attachment |"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
