#include "conversations/thread_builder.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "body/attributed_body_writer.h"
#include "body/summary_info.h"
#include "core/apple_time.h"

namespace quillmark {
namespace {

const std::map<int64_t, std::vector<AttachmentRow>> noAttachments;

// Handles 1 to 3 are Anna, Ben and an unnamed number; others are unknown.
std::optional<Participant> lookup(int64_t handle) {
    switch (handle) {
        case 1: return Participant{"+15551230001", "Anna"};
        case 2: return Participant{"ben@example.com", "Ben"};
        case 3: return Participant{"+15551230003", std::nullopt};
        default: return std::nullopt;
    }
}

std::optional<std::string> resolve(const std::optional<std::string>& stored) {
    if (!stored) return std::nullopt;
    return "/data/" + *stored;
}

bool existsExceptMissing(const std::string& path) { return path.find("missing") == std::string::npos; }

std::vector<Message> build(const std::vector<MessageRow>& rows,
                           const std::map<int64_t, std::vector<AttachmentRow>>& attachments = noAttachments) {
    return ThreadBuilder::build(rows, attachments, lookup, resolve, existsExceptMissing);
}

MessageRow text(int64_t id, std::string guid, std::string body, int64_t handle = 1, int64_t date = 0) {
    MessageRow r;
    r.id = id;
    r.guid = std::move(guid);
    r.text = std::move(body);
    r.handleID = handle;
    r.date = date ? date : 700'000'000'000'000'000 + id * 1'000'000'000;
    r.service = "iMessage";
    r.chatID = 1;
    return r;
}

MessageRow reaction(int64_t id, int64_t type, std::string target, int64_t handle, bool fromMe = false,
                    std::optional<std::string> emoji = std::nullopt) {
    MessageRow r = text(id, "R" + std::to_string(id), "", handle);
    r.text.reset();
    r.associatedType = type;
    r.associatedGUID = std::move(target);
    r.associatedEmoji = std::move(emoji);
    r.isFromMe = fromMe;
    return r;
}

std::vector<std::string> reactionEmoji(const Message& m) {
    std::vector<std::string> out;
    for (const auto& r : m.reactions) out.push_back((r.isFromMe ? "me:" : r.sender ? r.sender->address + ":" : "?:") + r.emoji);
    return out;
}

TEST(ThreadBuilderReactions, TapbacksReplaceRemoveAndStickersAccumulate) {
    auto messages = build({
        text(1, "ABC", "hello"),
        reaction(2, 2001, "p:0/ABC", 2),             // Ben likes
        reaction(3, 3001, "p:0/ABC", 1),             // Anna takes back a like she never gave: nothing
        reaction(4, 2000, "p:0/ABC", 0, true),       // I love
        reaction(5, 2003, "p:0/ABC", 0, true),       // then laugh: the love goes
        reaction(6, 1000, "p:0/ABC", 0, true),       // a sticker stays alongside
        reaction(7, 2007, "bp:ABC", 0, true),        // and a second one
        reaction(8, 2006, "ABC", 1, false, "\xF0\x9F\x8E\x89"),  // Anna reacts with 🎉
        reaction(9, 2006, "p:0/ABC", 3),             // an emoji tapback without its emoji
        reaction(10, 2001, "p:0/NOPE", 1),           // target outside the rows: ignored
        reaction(11, 2001, "", 1),                   // no target: ignored
    });
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(reactionEmoji(messages[0]),
              (std::vector<std::string>{"ben@example.com:\xF0\x9F\x91\x8D", "me:\xF0\x9F\x98\x82", "me:\xF0\x9F\x8F\xB7\xEF\xB8\x8F",
                                        "me:\xF0\x9F\x8F\xB7\xEF\xB8\x8F", "+15551230001:\xF0\x9F\x8E\x89",
                                        "+15551230003:\xF0\x9F\x99\x82"}));
    EXPECT_EQ(messages[0].reactions[0].kind, ReactionKind::like);
    EXPECT_EQ(messages[0].reactions[1].kind, ReactionKind::laugh);
    EXPECT_EQ(messages[0].reactions[2].kind, ReactionKind::sticker);
    EXPECT_EQ(messages[0].reactions[0].sender->name, "Ben");

    // Ben takes his like back; my removal of an emoji tapback clears all of mine, stickers included.
    auto after = build({text(1, "ABC", "hello"), reaction(2, 2001, "p:0/ABC", 2), reaction(4, 2003, "p:0/ABC", 0, true),
                        reaction(5, 1000, "p:0/ABC", 0, true), reaction(6, 3001, "p:0/ABC", 2),
                        reaction(7, 3006, "p:0/ABC", 0, true)});
    EXPECT_TRUE(after[0].reactions.empty());
}

TEST(ThreadBuilderReactions, ReactionTypeWithoutTargetIsAnOrdinaryRow) {
    MessageRow bare = text(1, "X", "");
    bare.text.reset();
    bare.associatedType = 2000;
    EXPECT_TRUE(build({bare}).empty());
    bare.text = "Loved \u201Chi\u201D";
    auto messages = build({bare});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Loved \u201Chi\u201D");
}

TEST(ThreadBuilderText, BodyWinsOverTheTextColumnAndMarkersGo) {
    MessageRow r = text(1, "G", "stale text");
    const std::string body = "  Look \xEF\xBF\xBC here https://example.com/a \n";
    r.body = AttributedBodyWriter::archive(body, std::vector<std::string>{"att"}, {{"https://example.com/a", "https://example.com/a"}});
    auto messages = build({r});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Look  here https://example.com/a");
    EXPECT_EQ(messages[0].links, (std::vector<std::string>{"https://example.com/a"}));

    // A body that does not decode falls back to the stored text.
    r.body = std::vector<uint8_t>{0x04, 0x0b, 's', 't'};
    messages = build({r});
    EXPECT_EQ(messages[0].text, "stale text");
    EXPECT_TRUE(messages[0].links.empty());
}

TEST(ThreadBuilderText, SenderDatesAndDistantPast) {
    MessageRow mine = text(1, "A", "mine", 1);
    mine.isFromMe = true;
    MessageRow unknown = text(2, "B", "who?", 99);
    unknown.date = 0;
    unknown.dateRead = 700'000'000;
    auto messages = build({mine, unknown});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_FALSE(messages[0].sender);
    EXPECT_FALSE(messages[1].sender);
    EXPECT_EQ(messages[1].date, ThreadBuilder::distantPast);
    EXPECT_EQ(messages[1].rawDate, 0);
    EXPECT_EQ(messages[1].dateRead, AppleTime::date(700'000'000));
    EXPECT_FALSE(messages[1].dateDelivered);
}

AttachmentRow attachmentRow(int64_t message, std::string guid, std::optional<std::string> file,
                            std::optional<std::string> transferName, bool hidden = false) {
    AttachmentRow a;
    a.messageID = message;
    a.guid = std::move(guid);
    a.filename = std::move(file);
    a.transferName = std::move(transferName);
    a.mimeType = "image/jpeg";
    a.totalBytes = 1234;
    a.hidden = hidden;
    return a;
}

TEST(ThreadBuilderAttachments, OrderNamesAvailabilityAndHiding) {
    MessageRow r = text(1, "M", "");
    r.text.reset();
    // The body places B before A although A came first in the table.
    r.body = AttributedBodyWriter::archive("\xEF\xBF\xBC\xEF\xBF\xBC", std::vector<std::string>{"B", "A"});
    std::map<int64_t, std::vector<AttachmentRow>> attachments;
    attachments[1] = {attachmentRow(1, "A", "a/IMG_1.JPG", std::nullopt), attachmentRow(1, "B", "b/missing.jpg", "beach.jpg"),
                      attachmentRow(1, "H", "h.jpg", "hidden.jpg", true), attachmentRow(1, "N", std::nullopt, std::nullopt)};
    auto messages = build({r}, attachments);
    ASSERT_EQ(messages.size(), 1u);
    const auto& list = messages[0].attachments;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].guid, "B");
    EXPECT_EQ(list[0].name, "beach.jpg");
    EXPECT_FALSE(list[0].isAvailable);
    EXPECT_EQ(list[1].guid, "A");
    EXPECT_EQ(list[1].name, "IMG_1.JPG");
    EXPECT_EQ(list[1].path, "/data/a/IMG_1.JPG");
    EXPECT_TRUE(list[1].isAvailable);
    EXPECT_EQ(list[1].kind(), AttachmentKind::image);
    EXPECT_EQ(list[1].byteCount, 1234);
    EXPECT_EQ(list[2].guid, "N");  // not in the body: last
    EXPECT_EQ(list[2].name, "Attachment");
    EXPECT_FALSE(list[2].isAvailable);
    EXPECT_EQ(messages[0].text, "");
}

TEST(ThreadBuilderEdits, HistoryWithoutTheCurrentTextAndUnsends) {
    const auto t = [](int64_t s) { return AppleTime::date(s); };
    const auto summary = [](std::vector<EditVersion> versions, std::vector<int64_t> retracted) {
        return SummaryInfo::encode(versions, retracted);
    };
    MessageRow edited = text(1, "E", "third");
    edited.dateEdited = 700'000'100;
    edited.summaryInfo = summary({{"first", t(700'000'010)}, {"second", t(700'000'020)}, {"third", t(700'000'030)}}, {});
    MessageRow unsentEdited = text(2, "U", "");
    unsentEdited.text.reset();
    unsentEdited.dateEdited = 700'000'200;
    unsentEdited.summaryInfo = summary({}, {0});
    MessageRow unsentPlain = text(3, "V", "");
    unsentPlain.text.reset();
    unsentPlain.summaryInfo = summary({}, {0});
    MessageRow retracted = text(4, "W", "");
    retracted.text.reset();
    retracted.dateRetracted = 700'000'300;
    MessageRow partlyUnsent = text(5, "P", "kept");  // a part went, the text stayed: not unsent
    partlyUnsent.summaryInfo = summary({}, {1});

    auto messages = build({edited, unsentEdited, unsentPlain, retracted, partlyUnsent});
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0].editedAt, t(700'000'100));
    ASSERT_EQ(messages[0].editHistory.size(), 2u);
    EXPECT_EQ(messages[0].editHistory[0], (EditVersion{"first", t(700'000'010)}));
    EXPECT_EQ(messages[0].editHistory[1].text, "second");
    EXPECT_EQ(messages[1].unsentAt, t(700'000'200));
    EXPECT_EQ(messages[2].unsentAt, messages[2].date);
    EXPECT_EQ(messages[3].unsentAt, t(700'000'300));
    EXPECT_FALSE(messages[4].isUnsent());
}

TEST(ThreadBuilderDropping, EmptyRowsGoUnlessSomethingShows) {
    MessageRow empty = text(1, "E", "   \n");
    EXPECT_TRUE(build({empty}).empty());
    MessageRow poll = empty;
    poll.balloonBundleID = "com.apple.messages.MSMessageExtensionBalloonPlugin:0000:com.apple.messages.Polls";
    MessageRow subject = text(2, "S", "");
    subject.subject = "Re: dinner";
    MessageRow emptySubject = text(3, "T", "");
    emptySubject.subject = "";
    MessageRow other = text(4, "O", "");
    other.itemType = 6;
    other.balloonBundleID = "com.apple.messages.MSMessageExtensionBalloonPlugin:x:y";
    auto messages = build({poll, subject, emptySubject, other});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].appKind, "Poll");
    EXPECT_EQ(messages[1].subject, "Re: dinner");
}

TEST(ThreadBuilderEvents, GroupEventSentences) {
    auto event = [](int64_t itemType, int64_t action, int64_t handle, bool fromMe, int64_t other,
                    std::optional<std::string> title = std::nullopt) {
        MessageRow r = text(1, "E", "");
        r.text.reset();
        r.itemType = itemType;
        r.groupActionType = action;
        r.handleID = handle;
        r.isFromMe = fromMe;
        r.otherHandle = other;
        r.groupTitle = std::move(title);
        auto messages = build({r});
        return messages.empty() ? std::string("<dropped>") : messages[0].event.value_or("<none>");
    };
    EXPECT_EQ(event(1, 0, 1, false, 42), "Anna added someone to the conversation.");
    EXPECT_EQ(event(1, 1, 0, true, 2), "You removed Ben from the conversation.");
    EXPECT_EQ(event(1, 0, 3, false, 3), "+1 (555) 123-0003 added +1 (555) 123-0003 to the conversation.");
    EXPECT_EQ(event(2, 0, 2, false, 0, "Trip \xF0\x9F\x8F\x94"), "Ben named the conversation \u201CTrip \xF0\x9F\x8F\x94\u201D.");
    EXPECT_EQ(event(2, 0, 77, false, 0, ""), "Someone removed the name from the conversation.");
    EXPECT_EQ(event(3, 1, 1, false, 0), "Anna changed the group photo.");
    EXPECT_EQ(event(3, 2, 1, false, 0), "Anna removed the group photo.");
    EXPECT_EQ(event(3, 0, 0, true, 0), "You left the conversation.");
    EXPECT_EQ(event(5, 0, 1, false, 0), "<dropped>");
}

TEST(ThreadBuilderExtras, EffectsAppsAndReplies) {
    using ThreadBuilder::appKind;
    using ThreadBuilder::effect;
    EXPECT_EQ(effect("com.apple.MobileSMS.expressivesend.impact"), "Slam");
    EXPECT_EQ(effect("com.example.Glow"), "Glow");
    EXPECT_EQ(effect("CKEchoEffect"), "Echo");
    EXPECT_EQ(effect("trailing.dots.."), "dots");
    EXPECT_FALSE(effect(""));
    EXPECT_FALSE(effect(std::nullopt));

    EXPECT_FALSE(appKind("com.apple.messages.URLBalloonProvider"));
    EXPECT_EQ(appKind("com.apple.Handwriting.HandwritingProvider"), "Handwritten message");
    EXPECT_EQ(appKind("com.apple.DigitalTouchBalloonProvider"), "Digital Touch");
    EXPECT_EQ(appKind("x:com.apple.PassbookUIService.PeerPaymentMessagesExtension"), "Apple Cash");
    EXPECT_EQ(appKind("x:com.apple.findmy.FindMyMessagesApp"), "Find My");
    EXPECT_EQ(appKind("x:com.gamerdelights.gamepigeon.ext"), "Game");
    EXPECT_EQ(appKind("x:com.example.poll"), "Poll");
    EXPECT_EQ(appKind("x:com.example.Stickers"), "iMessage app");
    EXPECT_FALSE(appKind(std::nullopt));

    MessageRow reply = text(1, "R", "me too");
    reply.threadOriginatorGUID = "ORIG";
    reply.effectStyle = "com.apple.messages.effect.CKConfettiEffect";
    MessageRow notReply = text(2, "N", "hi");
    notReply.threadOriginatorGUID = "";
    auto messages = build({reply, notReply});
    EXPECT_EQ(messages[0].replyToGUID, "ORIG");
    EXPECT_EQ(messages[0].effect, "Confetti");
    EXPECT_FALSE(messages[1].replyToGUID);
}


TEST(ThreadBuilderLargeThreads, MadeOnTwoThreadsAsOnOne) {
    // Long threads are built in two halves at once; each half on its own is short enough for one thread.
    std::vector<MessageRow> rows;
    std::map<int64_t, std::vector<AttachmentRow>> attachments;
    for (int64_t id = 1; id <= 3000; ++id) {
        MessageRow row = text(id, "M" + std::to_string(id), id % 7 ? "message " + std::to_string(id) : "", id % 5);
        row.isFromMe = id % 3 == 0;
        if (id % 11 == 0) {
            row.itemType = 1;
            row.otherHandle = 2;
        }
        if (id % 7 == 0) attachments[id] = {attachmentRow(id, "A" + std::to_string(id), id % 2 ? "x.jpg" : "missing.jpg", std::nullopt)};
        rows.push_back(std::move(row));
    }
    rows.push_back(reaction(3001, 2001, "p:0/M2999", 1));
    const auto all = build(rows, attachments);
    const std::vector<MessageRow> first(rows.begin(), rows.begin() + 1500), second(rows.begin() + 1500, rows.end());
    auto expected = build(first, attachments);
    for (Message& m : build(second, attachments)) expected.push_back(std::move(m));
    ASSERT_EQ(all.size(), expected.size());
    EXPECT_TRUE(all == expected);
    const auto liked = std::find_if(all.begin(), all.end(), [](const Message& m) { return m.guid == "M2999"; });
    ASSERT_NE(liked, all.end());
    EXPECT_EQ(reactionEmoji(*liked), std::vector<std::string>{"+15551230001:\xF0\x9F\x91\x8D"});
}

}  // namespace
}  // namespace quillmark
