#include "conversations/model_json.h"

#include <charconv>

#include "core/text.h"

namespace quillmark::ModelJSON {

namespace {

JSON optionalText(const std::optional<std::string>& text) { return text ? JSON(*text) : JSON(nullptr); }

template <typename T>
JSON array(const std::vector<T>& items) {
    JSON out = JSON::array();
    for (const T& item : items) out.push_back(toJSON(item));
    return out;
}

}  // namespace

JSON date(const std::optional<Date>& date) { return date ? JSON(date->milliseconds()) : JSON(nullptr); }

JSON toJSON(const Participant& participant) {
    JSON out = JSON::object();
    out["address"] = participant.address;
    out["name"] = optionalText(participant.name);
    return out;
}

JSON toJSON(const Attachment& attachment) {
    JSON out = JSON::object();
    out["guid"] = attachment.guid;
    out["path"] = optionalText(attachment.path);
    out["name"] = attachment.name;
    out["mimeType"] = optionalText(attachment.mimeType);
    out["uti"] = optionalText(attachment.uti);
    out["byteCount"] = attachment.byteCount;
    out["isSticker"] = attachment.isSticker;
    out["kind"] = std::string(attachment.kind().rawValue());
    out["isAvailable"] = attachment.isAvailable;
    return out;
}

JSON toJSON(const Reaction& reaction) {
    JSON out = JSON::object();
    out["kind"] = reaction.kind.rawValue();
    out["emoji"] = reaction.emoji;
    out["isFromMe"] = reaction.isFromMe;
    out["sender"] = reaction.sender ? toJSON(*reaction.sender) : JSON(nullptr);
    out["date"] = reaction.date.milliseconds();
    return out;
}

JSON toJSON(const EditVersion& version) {
    JSON out = JSON::object();
    out["text"] = version.text;
    out["date"] = date(version.date);
    return out;
}

JSON toJSON(const Message& message) {
    JSON out = JSON::object();
    out["id"] = message.id;
    out["guid"] = message.guid;
    out["rawDate"] = message.rawDate;
    out["date"] = message.date.milliseconds();
    out["dateRead"] = date(message.dateRead);
    out["dateDelivered"] = date(message.dateDelivered);
    out["isFromMe"] = message.isFromMe;
    out["sender"] = message.sender ? toJSON(*message.sender) : JSON(nullptr);
    out["service"] = message.service;
    out["subject"] = optionalText(message.subject);
    out["text"] = message.text;
    out["links"] = message.links;
    out["attachments"] = array(message.attachments);
    out["reactions"] = array(message.reactions);
    out["editedAt"] = date(message.editedAt);
    out["editHistory"] = array(message.editHistory);
    out["unsentAt"] = date(message.unsentAt);
    out["replyToGUID"] = optionalText(message.replyToGUID);
    out["effect"] = optionalText(message.effect);
    out["appKind"] = optionalText(message.appKind);
    out["event"] = optionalText(message.event);
    out["isAudioMessage"] = message.isAudioMessage;
    out["chatID"] = message.chatID;
    return out;
}

JSON toJSON(const Conversation& conversation, const std::string& locale) {
    JSON out = JSON::object();
    out["id"] = conversation.id;
    out["chatIDs"] = conversation.chatIDs;
    out["chatGUIDs"] = conversation.chatGUIDs;
    out["groupName"] = optionalText(conversation.groupName);
    out["participants"] = array(conversation.participants);
    out["isGroup"] = conversation.isGroup;
    out["messageCount"] = conversation.messageCount;
    out["firstDate"] = date(conversation.firstDate);
    out["lastDate"] = date(conversation.lastDate);
    out["lastSnippet"] = conversation.lastSnippet;
    out["services"] = conversation.services;
    out["title"] = conversation.title(locale);
    return out;
}

JSON toJSON(const DateRange& range) {
    JSON out = JSON::object();
    if (range.start) out["start"] = range.start->milliseconds();
    if (range.end) out["end"] = range.end->milliseconds();
    return out;
}

JSON toJSON(const MessageThread::ReplyContext& context) {
    JSON out = JSON::object();
    out["sender"] = context.sender;
    out["text"] = context.text;
    out["date"] = context.date.milliseconds();
    return out;
}

JSON toJSON(const MessageThread& thread, const std::string& locale) {
    JSON out = JSON::object();
    out["conversation"] = toJSON(thread.conversation, locale);
    out["range"] = toJSON(thread.range);
    out["messages"] = array(thread.messages);
    JSON replies = JSON::object();
    for (const auto& [guid, context] : thread.replies) replies[guid] = toJSON(context);
    out["replies"] = std::move(replies);
    return out;
}

std::string dump(const JSON& json) { return json.dump(-1, ' ', false, JSON::error_handler_t::replace); }

namespace {

// MessageWriter: one message as compact JSON text, written straight into a buffer. A thread of a hundred
// thousand messages would otherwise build and free a tree of some forty values per message only to
// print it. The bytes are those of dump(toJSON(message)): keys in the same order, and every string that
// needs escaping or repair (quotes, controls, invalid UTF-8) is handed to the library's own serializer.
class MessageWriter {
public:
    explicit MessageWriter(std::string& out) : out_(out) {}

    void message(const Message& m) {
        out_ += '{';
        field("id", m.id);
        field("guid", m.guid);
        field("rawDate", m.rawDate);
        field("date", m.date);
        field("dateRead", m.dateRead);
        field("dateDelivered", m.dateDelivered);
        field("isFromMe", m.isFromMe);
        field("sender", m.sender);
        field("service", m.service);
        field("subject", m.subject);
        field("text", m.text);
        field("links", m.links);
        field("attachments", m.attachments);
        field("reactions", m.reactions);
        field("editedAt", m.editedAt);
        field("editHistory", m.editHistory);
        field("unsentAt", m.unsentAt);
        field("replyToGUID", m.replyToGUID);
        field("effect", m.effect);
        field("appKind", m.appKind);
        field("event", m.event);
        field("isAudioMessage", m.isAudioMessage);
        field("chatID", m.chatID);
        close('}');
    }

private:
    // Every value is followed by a comma; a closing bracket takes the place of the last one.
    template <typename T>
    void field(const char* name, const T& v) {
        out_ += '"';
        out_ += name;
        out_ += "\":";
        value(v);
    }
    void close(char bracket) {
        if (out_.back() == ',') out_.pop_back();
        out_ += bracket;
        out_ += ',';
    }

    void value(int64_t number) {
        char digits[24];
        out_.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
        out_ += ',';
    }
    void value(bool flag) { out_ += flag ? "true," : "false,"; }
    void value(Date date) { value(date.milliseconds()); }
    void value(const std::string& text) {
        if (!isPlain(text)) {
            out_ += dump(JSON(text));
            out_ += ',';
            return;
        }
        out_ += '"';
        out_ += text;
        out_ += "\",";
    }
    template <typename T>
    void value(const std::optional<T>& optional) {
        if (optional)
            value(*optional);
        else
            out_ += "null,";
    }
    template <typename T>
    void value(const std::vector<T>& items) {
        out_ += '[';
        for (const T& item : items) value(item);
        close(']');
    }
    void value(const Participant& p) {
        out_ += '{';
        field("address", p.address);
        field("name", p.name);
        close('}');
    }
    void value(const Attachment& a) {
        out_ += '{';
        field("guid", a.guid);
        field("path", a.path);
        field("name", a.name);
        field("mimeType", a.mimeType);
        field("uti", a.uti);
        field("byteCount", a.byteCount);
        field("isSticker", a.isSticker);
        field("kind", std::string(a.kind().rawValue()));
        field("isAvailable", a.isAvailable);
        close('}');
    }
    void value(const Reaction& r) {
        out_ += '{';
        field("kind", int64_t{r.kind.rawValue()});
        field("emoji", r.emoji);
        field("isFromMe", r.isFromMe);
        field("sender", r.sender);
        field("date", r.date);
        close('}');
    }
    void value(const EditVersion& v) {
        out_ += '{';
        field("text", v.text);
        field("date", v.date);
        close('}');
    }

    // Text that JSON carries as it is: valid UTF-8 without quotes, backslashes or control characters.
    static bool isPlain(std::string_view s) {
        bool ascii = true;
        for (unsigned char c : s) {
            if (c < 0x20 || c == '"' || c == '\\') return false;
            if (c >= 0x80) ascii = false;
        }
        return ascii || text::isValidUTF8(s);
    }

    std::string& out_;
};

}  // namespace

void write(std::ostream& out, const MessageThread& thread, const std::string& locale) {
    out << R"({"conversation":)" << dump(toJSON(thread.conversation, locale)) << R"(,"range":)"
        << dump(toJSON(thread.range)) << R"(,"messages":[)";
    std::string buffer;
    MessageWriter writer(buffer);
    bool first = true;
    for (const Message& message : thread.messages) {
        buffer.clear();
        if (!first) buffer += ',';
        first = false;
        writer.message(message);
        buffer.pop_back();  // the comma after the message
        out << buffer;
    }
    out << R"(],"replies":{)";
    first = true;
    for (const auto& [guid, context] : thread.replies) {
        if (!first) out << ',';
        first = false;
        out << dump(JSON(guid)) << ':' << dump(toJSON(context));
    }
    out << "}}";
}

}  // namespace quillmark::ModelJSON
