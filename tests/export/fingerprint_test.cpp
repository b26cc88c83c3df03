#include "export/fingerprint.h"

#include <gtest/gtest.h>

#include "core/sha256.h"
#include "export_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using testing::message;

const Participant anna{"+15551234567", "Anna"};

MessageThread threadOf(std::vector<Message> messages, std::vector<std::string> chats = {"iMessage;-;+15551234567"}) {
    MessageThread thread;
    thread.conversation.chatGUIDs = std::move(chats);
    thread.messages = std::move(messages);
    return thread;
}

// The canonical line of one message, without its line feed.
std::string line(const Message& m, AttachmentMedia& media) {
    const std::string text = Fingerprint::canonicalText(threadOf({m}, {}), media);
    const std::string header = "quillmark-fingerprint v1\nchats \n";
    return text.substr(header.size(), text.size() - header.size() - 1);
}

std::string line(const Message& m) {
    AttachmentMedia media;
    return line(m, media);
}

TEST(Fingerprint, TheWorkedExampleHashesExactlyItsThreeLines) {
    Message m = message(1, 1712345678.123, "Look", anna);
    m.guid = "G1";
    m.reactions.push_back(Reaction{ReactionKind::like, "\U0001F44D", true, std::nullopt, Date{1712345680}});
    m.attachments.push_back(testing::attachment("att-1", "/nonexistent/photo.jpg", "photo.jpg", "image/jpeg", 2048));
    const MessageThread thread = threadOf({m});

    AttachmentMedia media;
    EXPECT_EQ(Fingerprint::canonicalText(thread, media),
              "quillmark-fingerprint v1\n"
              "chats iMessage;-;+15551234567\n"
              R"({"a":[{"b":2048,"h":"","n":"photo.jpg"}],"d":1712345678123,"f":0,"g":"G1","h":"+15551234567",)"
              "\"r\":[[\"\U0001F44D\",\"me\",1712345680000]],\"s\":\"iMessage\",\"t\":\"Look\"}\n");

    // Computed outside the project from the same three lines:
    //   printf 'quillmark-fingerprint v1\nchats iMessage;-;+15551234567\n{"a":[{"b":2048,"h":"","n":"photo.jpg"}],
    //   "d":1712345678123,"f":0,"g":"G1","h":"+15551234567","r":[["\xf0\x9f\x91\x8d","me",1712345680000]],
    //   "s":"iMessage","t":"Look"}\n' | sha256sum          (the printf format on one line)
    const auto result = Fingerprint::compute(thread, media);
    EXPECT_EQ(result.hex, "e68edab68e88e0e2eb233c1af265aabb7bcbf94c9d92802437a9a1d09640dd5e");
    ASSERT_EQ(result.attachmentHashes.size(), 1u);
    EXPECT_EQ(result.attachmentHashes.at("att-1"), "");

    // The chats are listed sorted; without any the line ends after "chats ".
    EXPECT_EQ(Fingerprint::canonicalText(threadOf({}, {"b", "a", "SMS;-;+1"}), media),
              "quillmark-fingerprint v1\nchats SMS;-;+1,a,b\n");
    EXPECT_EQ(Fingerprint::canonicalText(threadOf({}, {}), media), "quillmark-fingerprint v1\nchats \n");
}

TEST(Fingerprint, MembersAreSortedAndPresentOnlyWhenTheirFieldIs) {
    // The owner's plain message has exactly five members.
    Message plain = message(7, 1.0625, "hi");  // 1062.5 ms rounds up
    plain.service = "SMS";
    EXPECT_EQ(line(plain), R"({"d":1063,"f":1,"g":"G7","s":"SMS","t":"hi"})");

    Message full = message(8, 10, "now", anna);
    full.subject = "Re";
    full.editedAt = Date{11};
    full.editHistory = {{"first", Date{9}}, {"second", std::nullopt}};
    full.unsentAt = Date{12};
    full.replyToGUID = "G7";
    full.event = "Anna left";
    full.reactions.push_back(Reaction{ReactionKind::emoji, "\U0001F642", false, Participant{"ben@x.org", "Ben"}, Date{13}});
    full.reactions.push_back(Reaction{ReactionKind::love, "\u2764\uFE0F", false, std::nullopt, Date{14}});
    // None of these enter the fingerprint.
    full.dateRead = Date{20};
    full.links = {"https://example.com"};
    full.effect = "Confetti";
    full.appKind = "Poll";
    full.isAudioMessage = true;
    full.chatID = 99;
    full.rawDate = 12345;
    EXPECT_EQ(line(full), R"({"d":10000,"e":11000,"eh":["first","second"],"f":0,"g":"G8","h":"+15551234567",)"
                          R"("j":"Re","r":[["🙂","ben@x.org",13000],["❤️","",14000]],"rt":"G7","s":"iMessage",)"
                          R"("t":"now","u":12000,"v":"Anna left"})");

    Message editedWithoutHistory = plain;
    editedWithoutHistory.editedAt = Date{2};
    EXPECT_EQ(line(editedWithoutHistory), R"({"d":1063,"e":2000,"eh":[],"f":1,"g":"G7","s":"SMS","t":"hi"})");
    Message historyWithoutEdit = plain;
    historyWithoutEdit.editHistory = {{"old", Date{1}}};
    EXPECT_EQ(line(historyWithoutEdit), line(plain));
}

TEST(Fingerprint, TextIsEscapedOnlyAsJSONRequires) {
    auto text = [](std::string t) {
        const std::string l = line(message(1, 0, std::move(t)));
        const std::string before = R"("t":)";
        return l.substr(l.find(before) + before.size(), l.size() - l.find(before) - before.size() - 1);
    };
    EXPECT_EQ(text("a/b"), R"("a/b")");
    EXPECT_EQ(text("line\nbreak"), R"("line\nbreak")");  // the message stays on one line
    EXPECT_EQ(text("\"q\" \\"), R"("\"q\" \\")");
    EXPECT_EQ(text("\b\f\r\t"), R"("\b\f\r\t")");
    EXPECT_EQ(text(std::string("\x00\x01\x1f\x7f", 4)), "\"\\u0000\\u0001\\u001f\x7f\"");
    EXPECT_EQ(text("Gr\u00fc\u00dfe \U0001F600 \u202e"), "\"Gr\u00fc\u00dfe \U0001F600 \u202e\"");
    // Damaged UTF-8 is mended, one U+FFFD for each ill-formed piece.
    EXPECT_EQ(text("a\xff" "b\xe2\x82" "c"), "\"a\uFFFDb\uFFFDc\"");
    EXPECT_EQ(text("\xed\xa0\x80"), "\"\uFFFD\uFFFD\uFFFD\"");  // an encoded surrogate
}

TEST(Fingerprint, AttachmentsHashTheirFilesBytes) {
    testing::TempDir dir;
    const auto file = dir.write("a.bin", "abc");
    Message m = message(1, 0, "", anna);
    m.attachments.push_back(testing::attachment("g1", file.string(), "a.bin", std::nullopt, 3));
    m.attachments.push_back(testing::attachment("g2", (dir / "missing.bin").string(), "missing.bin", std::nullopt, 9));
    Attachment notHere = testing::attachment("g3", file.string(), "b.bin", std::nullopt, 3);
    notHere.isAvailable = false;  // a file at the path does not count when the history says it is not here
    m.attachments.push_back(notHere);
    m.attachments.push_back(testing::attachment("g4", std::nullopt, "c.bin", std::nullopt, 1));

    AttachmentMedia media;
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_EQ(line(m, media), R"({"a":[{"b":3,"h":")" + abc + R"(","n":"a.bin"},{"b":9,"h":"","n":"missing.bin"},)"
                              R"({"b":3,"h":"","n":"b.bin"},{"b":1,"h":"","n":"c.bin"}],"d":0,"f":0,"g":"G1",)"
                              R"("h":"+15551234567","s":"iMessage","t":""})");
    const auto result = Fingerprint::compute(threadOf({m}), media);
    EXPECT_EQ(result.attachmentHashes.at("g1"), abc);
    EXPECT_EQ(result.attachmentHashes.at("g2"), "");
    EXPECT_EQ(result.attachmentHashes.at("g3"), "");
    EXPECT_EQ(result.attachmentHashes.at("g4"), "");

    // A changed file changes the fingerprint.
    dir.write("a.bin", "abcd");
    EXPECT_NE(Fingerprint::compute(threadOf({m}), media).hex, result.hex);

    // A later attachment with the same GUID wins.
    Message later = message(2, 1, "");
    later.attachments.push_back(testing::attachment("g1", std::nullopt, "x", std::nullopt));
    EXPECT_EQ(Fingerprint::compute(threadOf({m, later}), media).attachmentHashes.at("g1"), "");
}

// The hash is fed in pieces; a long thread must hash exactly the text it would print.
TEST(Fingerprint, StreamedDigestEqualsTheDigestOfTheWholeText) {
    std::vector<Message> messages;
    for (int i = 0; i < 3000; ++i) messages.push_back(message(i, 1e9 + i, std::string(i % 97, 'x') + "\u00e9", anna));
    const MessageThread thread = threadOf(std::move(messages));
    AttachmentMedia media;
    const std::string text = Fingerprint::canonicalText(thread, media);
    ASSERT_GT(text.size(), 3u * 64 * 1024);
    EXPECT_EQ(Fingerprint::compute(thread, media).hex, SHA256::of(text));
}

}  // namespace
}  // namespace quillmark
