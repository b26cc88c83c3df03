// ChatDatabase: writes a `chat.db` shaped like the one Messages keeps on a current Mac: the tables and
// columns the reader uses, a realistic handful of the others, and the usual indexes.
//
//   auto db = ChatDatabase::create(path);
//   db->handle({1, "+15551230001", "iMessage"});
//   db->message(record, chatRowid);                       // returns the new ROWID
//   db->finish();                                          // commits, builds the indexes, closes
//
// Everything is written in one transaction through prepared statements, with the journal off while the
// file is new: a run that fails leaves a file the caller throws away.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <tl/expected.hpp>

#include "sample_history/sql_writer.h"

namespace quillmark::sample {

struct HandleRecord {
    int64_t rowid = 0;
    std::string address;
    std::string service;
    std::string country = "us";
};

struct ChatRecord {
    int64_t rowid = 0;
    std::string guid;
    int64_t style = 45;
    std::string identifier;
    std::string service;
    std::optional<std::string> displayName;
    std::string groupID;
    std::string account;  // the user's own address on that service
};

struct MessageRecord {
    std::string guid;
    std::optional<std::string> text;
    std::optional<std::vector<uint8_t>> body;
    int64_t handle = 0;
    bool fromMe = false;
    int64_t date = 0;
    int64_t dateRead = 0;
    int64_t dateDelivered = 0;
    std::string service;
    std::string account;
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
    bool hasAttachments = false;
};

struct AttachmentRecord {
    std::string guid;
    int64_t createdDate = 0;
    std::optional<std::string> filename;
    std::string uti;
    std::string mimeType;
    std::string transferName;
    int64_t totalBytes = 0;
    bool isOutgoing = false;
    bool isSticker = false;
    bool hidden = false;
};

class ChatDatabase {
public:
    [[nodiscard]] static tl::expected<std::unique_ptr<ChatDatabase>, std::string> create(const std::filesystem::path& path);

    [[nodiscard]] tl::expected<void, std::string> handle(const HandleRecord& record);
    [[nodiscard]] tl::expected<void, std::string> chat(const ChatRecord& record, const std::vector<int64_t>& handles);
    // Writes the message and joins it to its chat; returns its ROWID.
    [[nodiscard]] tl::expected<int64_t, std::string> message(const MessageRecord& record, int64_t chat);
    // Writes the attachment and joins it to its message; returns its ROWID.
    [[nodiscard]] tl::expected<int64_t, std::string> attachment(const AttachmentRecord& record, int64_t message);
    // Commits, builds the indexes and closes the file.
    [[nodiscard]] tl::expected<void, std::string> finish();

private:
    ChatDatabase() = default;
    std::unique_ptr<SqlWriter> db_;
    std::unique_ptr<SqlStatement> handle_, chat_, chatHandle_, message_, chatMessage_, attachment_,
        messageAttachment_;
    int64_t nextMessage_ = 1;
    int64_t nextAttachment_ = 1;
};

}  // namespace quillmark::sample
