#include "export/csv/csv_exporter.h"

#include <gtest/gtest.h>

#include "export_fixtures.h"
#include "support/temp_dir.h"
#include "support/test_data.h"

namespace quillmark {
namespace {

using testing::message;
using testing::options;
using testing::utc;

const Participant anna{"+15551234567", "Anna Berg"};
const Participant ben{"ben@example.com", "Ben"};
const Participant unnamed{"+4915112345678", std::nullopt};

MessageThread group() {
    MessageThread thread;
    thread.conversation.isGroup = true;
    thread.conversation.participants = {anna, ben, unnamed};
    return thread;
}

TEST(CSVExporter, EmptyThreadIsTheMarkAndTheHeader) {
    const std::string rows = testing::testData("export/csv/small_group_thread.csv");
    const std::string markAndHeader = rows.substr(0, rows.find("\r\n") + 2);
    AttachmentMedia media;
    EXPECT_EQ(CSVExporter::exportThread(group(), options(), media).bytes, markAndHeader);
}

TEST(CSVExporter, EveryColumnOfASmallThreadByteForByte) {
    testing::TempDir dir;
    MessageThread thread = group();

    Message hello = message(1, utc(2024, 1, 15, 17), "Hello, \"all\"");
    hello.attachments = {testing::attachment("a1", std::nullopt, "photo.jpg", "image/jpeg", 2048),
                         testing::attachment("a2", dir.write("notes.txt", "abc").string(), "notes.txt", "text/plain", 3)};
    hello.reactions = {Reaction{ReactionKind::like, "\U0001F44D", false, anna, Date{utc(2024, 1, 15, 18)}},
                       Reaction{ReactionKind::love, "\u2764\uFE0F", true, std::nullopt, Date{utc(2024, 1, 15, 18)}},
                       Reaction{ReactionKind::emoji, "\U0001F642", false, std::nullopt, Date{utc(2024, 1, 15, 18)}}};

    // Summer time in New York: the offset follows the date.
    Message reply = message(2, utc(2024, 7, 4, 16, 30, 5.7), "line1\nline2", anna);
    reply.editedAt = Date{utc(2024, 7, 4, 16, 31)};
    reply.editHistory = {{"first", std::nullopt}, {"second", std::nullopt}};
    reply.replyToGUID = "G1";
    reply.effect = "Confetti";
    thread.replies["G1"] = {"Sam", "Hello, \"all\"", hello.date};

    Message event = message(3, utc(2024, 7, 4, 17), "", ben);
    event.event = "Ben named the conversation \u201cTrip\u201d";

    Message poll = message(4, utc(2024, 7, 4, 18), "");
    poll.isFromMe = false;  // from a handle the history does not know
    poll.service = "SMS";
    poll.appKind = "Poll";
    poll.unsentAt = Date{utc(2024, 7, 5)};

    Message vote = message(5, utc(2024, 7, 4, 18, 0, 1), "Vote");
    vote.appKind = "Poll";
    vote.replyToGUID = "not-found";

    thread.messages = {hello, reply, event, poll, vote};
    AttachmentMedia media;
    const std::string csv = CSVExporter::exportThread(thread, options("America/New_York", "en_US", "Sam"), media).bytes;
    // The byte-order mark, the header and one row a message, with CRLF line ends.
    EXPECT_EQ(csv, testing::testData("export/csv/small_group_thread.csv"));
}

TEST(CSVExporter, ZeroOffsetIsZAndAnUnknownZoneIsTheMachines) {
    MessageThread thread = group();
    thread.messages = {message(1, utc(2024, 3, 5, 19, 7, 9), "x")};
    AttachmentMedia media;
    const std::string inUTC = CSVExporter::exportThread(thread, options("UTC"), media).bytes;
    EXPECT_NE(inUTC.find("\r\n2024-03-05T19:07:09Z,UTC,"), std::string::npos) << inUTC;
    // London is at offset zero in winter but is still named as itself.
    const std::string inLondon = CSVExporter::exportThread(thread, options("Europe/London"), media).bytes;
    EXPECT_NE(inLondon.find("\r\n2024-03-05T19:07:09Z,Europe/London,"), std::string::npos);
    EXPECT_NE(CSVExporter::exportThread(thread, options("Asia/Kathmandu"), media).bytes.find("2024-03-06T00:52:09+05:45"),
              std::string::npos);

    const testing::ScopedEnv tz("TZ", "Asia/Tokyo");
    const std::string unknown = CSVExporter::exportThread(thread, options("Atlantis/Capital"), media).bytes;
    EXPECT_NE(unknown.find("\r\n2024-03-06T04:07:09+09:00,Asia/Tokyo,"), std::string::npos) << unknown;

    // Before 1970 too, fractions are cut to the second, not rounded.
    thread.messages[0].date = Date{-0.5};
    EXPECT_NE(CSVExporter::exportThread(thread, options("UTC"), media).bytes.find("\r\n1969-12-31T23:59:59Z,"),
              std::string::npos);
}

}  // namespace
}  // namespace quillmark
