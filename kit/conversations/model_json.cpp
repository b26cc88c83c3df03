#include "conversations/model_json.h"

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

void write(std::ostream& out, const MessageThread& thread, const std::string& locale) {
    out << R"({"conversation":)" << dump(toJSON(thread.conversation, locale)) << R"(,"range":)"
        << dump(toJSON(thread.range)) << R"(,"messages":[)";
    bool first = true;
    for (const Message& message : thread.messages) {
        if (!first) out << ',';
        first = false;
        out << dump(toJSON(message));
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
