#include "conversations/model_json.h"

#include <sstream>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

using ModelJSON::JSON;

std::vector<std::string> keys(const JSON& object) {
    std::vector<std::string> out;
    for (const auto& item : object.items()) out.push_back(item.key());
    return out;
}

Message fullMessage() {
    Message m;
    m.id = 42;
    m.guid = "M-1";
    m.rawDate = 700000000123456789;
    m.date = Date{1678307200.1234567};
    m.isFromMe = false;
    m.sender = Participant{"+15551234567", "Anna Berg"};
    m.service = "iMessage";
    m.text = "Look";
    m.attachments = {Attachment("A-1", "/h/Library/Messages/Attachments/x/IMG.HEIC", "IMG.HEIC", std::nullopt,
                                "public.heic", 1234, false, true)};
    m.reactions = {Reaction{ReactionKind::laugh, "😂", true, std::nullopt, Date{1678307400}}};
    m.editedAt = Date{1678307500};
    m.editHistory = {EditVersion{"Lok", Date{1678307200}}, EditVersion{"Lo", std::nullopt}};
    m.replyToGUID = "M-0";
    m.chatID = 7;
    return m;
}

TEST(ModelJSON, MessageHasExactlyTheModelFieldsInOrder) {
    const JSON json = ModelJSON::toJSON(fullMessage());
    EXPECT_EQ(keys(json), (std::vector<std::string>{
                              "id", "guid", "rawDate", "date", "dateRead", "dateDelivered", "isFromMe", "sender",
                              "service", "subject", "text", "links", "attachments", "reactions", "editedAt",
                              "editHistory", "unsentAt", "replyToGUID", "effect", "appKind", "event",
                              "isAudioMessage", "chatID"}));
    EXPECT_EQ(json["rawDate"], 700000000123456789);  // 64-bit, not squeezed through a double
    EXPECT_EQ(json["date"], 1678307200123);
    EXPECT_TRUE(json["dateDelivered"].is_null());
    EXPECT_TRUE(json["subject"].is_null());
    EXPECT_EQ(json["sender"], (JSON{{"address", "+15551234567"}, {"name", "Anna Berg"}}));
    EXPECT_EQ(json["editHistory"][1], (JSON{{"text", "Lo"}, {"date", nullptr}}));

    const JSON& attachment = json["attachments"][0];
    EXPECT_EQ(keys(attachment), (std::vector<std::string>{"guid", "path", "name", "mimeType", "uti", "byteCount",
                                                          "isSticker", "kind", "isAvailable"}));
    EXPECT_EQ(attachment["kind"], "image");
    EXPECT_TRUE(attachment["mimeType"].is_null());

    const JSON& reaction = json["reactions"][0];
    EXPECT_EQ(keys(reaction), (std::vector<std::string>{"kind", "emoji", "isFromMe", "sender", "date"}));
    EXPECT_EQ(reaction["kind"], 3);
    EXPECT_TRUE(reaction["sender"].is_null());
}

// Stored text is not always valid UTF-8; a damaged body must not end the output with an exception.
TEST(ModelJSON, InvalidUTF8IsReplacedNotThrown) {
    Message m;
    m.text = "ok \xff\xfe end";
    m.guid = "\xc3";
    std::string text;
    ASSERT_NO_THROW(text = ModelJSON::dump(ModelJSON::toJSON(m)));
    EXPECT_NE(text.find("ok \xEF\xBF\xBD"), std::string::npos);
}

TEST(ModelJSON, StreamingWriteGivesTheSameBytesAsTheTree) {
    MessageThread thread;
    thread.conversation.id = "person:1";
    thread.conversation.participants = {{"+15551234567", "Anna"}};
    thread.range = DateRange{Date{100}, Date{200}};
    thread.messages = {fullMessage(), Message{}, fullMessage()};
    thread.messages[1].event = "Anna left the conversation.";
    thread.messages[1].text = "say \"hi\"\n\xff é\x7f";  // escapes, damaged UTF-8 and DEL, written by the library
    thread.messages[2].sender = Participant{"+1\\5", "Zoë"};
    thread.replies["M-0"] = {"You", "Hi \"there\"", Date{99}};
    thread.replies["\xff-bad"] = {"Someone", "Message", Date{98}};

    std::ostringstream streamed;
    ModelJSON::write(streamed, thread, "en_US");
    EXPECT_EQ(streamed.str(), ModelJSON::dump(ModelJSON::toJSON(thread, "en_US")));

    const JSON parsed = JSON::parse(streamed.str());
    EXPECT_EQ(keys(parsed), (std::vector<std::string>{"conversation", "range", "messages", "replies"}));
    EXPECT_EQ(parsed["replies"]["M-0"], (JSON{{"sender", "You"}, {"text", "Hi \"there\""}, {"date", 99000}}));
}

}  // namespace
}  // namespace quillmark
