// The rows the Messages database hands out: plain records, one field per selected column. A column the
// history's schema lacks is selected as NULL and reads as the field's empty value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmark {

struct HandleRow {
    int64_t id = 0;       // handle.ROWID
    std::string address;  // handle.id: a phone number or an e-mail address
    std::string service;  // handle.service

    friend bool operator==(const HandleRow&, const HandleRow&) = default;
};

struct ChatRow {
    int64_t id = 0;  // chat.ROWID
    std::string guid;
    std::string identifier;  // chat.chat_identifier
    std::optional<std::string> displayName;
    std::optional<std::string> groupID;
    int64_t style = 0;
    std::string service;            // chat.service_name
    std::vector<int64_t> handleIDs;  // ascending
    int64_t messageCount = 0;        // reactions not counted
    int64_t firstRaw = 0;
    int64_t lastRaw = 0;
    std::optional<int64_t> lastMessageID;

    // Style 43 is a group; so is any chat with more than one other member.
    bool isGroup() const { return style == 43 || handleIDs.size() > 1; }

    friend bool operator==(const ChatRow&, const ChatRow&) = default;
};

struct MessageRow {
    int64_t id = 0;
    std::string guid;
    std::optional<std::string> text;
    std::optional<std::vector<uint8_t>> body;  // the archived attributed string
    int64_t handleID = 0;
    bool isFromMe = false;
    int64_t date = 0;
    int64_t dateRead = 0;
    int64_t dateDelivered = 0;
    std::string service;
    std::optional<std::string> subject;
    std::optional<std::string> associatedGUID;
    int64_t associatedType = 0;
    std::optional<std::string> associatedEmoji;
    int64_t itemType = 0;
    int64_t groupActionType = 0;
    std::optional<std::string> groupTitle;
    int64_t otherHandle = 0;
    std::optional<std::string> balloonBundleID;
    std::optional<std::string> effectStyle;
    std::optional<std::string> threadOriginatorGUID;
    int64_t dateEdited = 0;
    int64_t dateRetracted = 0;
    std::optional<std::vector<uint8_t>> summaryInfo;
    bool isAudio = false;
    int64_t chatID = 0;

    friend bool operator==(const MessageRow&, const MessageRow&) = default;
};

struct AttachmentRow {
    int64_t messageID = 0;
    std::string guid;
    std::optional<std::string> filename;  // often "~/Library/Messages/Attachments/…"
    std::optional<std::string> mimeType;
    std::optional<std::string> uti;
    std::optional<std::string> transferName;  // the file name as sent
    int64_t totalBytes = 0;
    bool isSticker = false;
    bool hidden = false;

    friend bool operator==(const AttachmentRow&, const AttachmentRow&) = default;
};

// The latest message of a chat, for the conversation list's snippet.
struct LastMessage {
    std::optional<std::string> text;
    std::optional<std::vector<uint8_t>> body;
    bool hasAttachments = false;
    bool fromMe = false;

    friend bool operator==(const LastMessage&, const LastMessage&) = default;
};

}  // namespace quillmark
