// SampleHistory: writes a realistic synthetic Messages history (a data folder) and says what is in it.
//
// The folder gets the layout of a Mac's Library: `Messages/chat.db`, the attachment files under
// `Messages/Attachments/xx/yy/<guid>/<name>` (stored in the database as "~/Library/Messages/Attachments/…",
// which the reader resolves into the data folder), and `AddressBook/AddressBook-v22.abcddb`. The same seed
// gives the same history, byte for byte in the databases.
//
// By default it writes the showcase: a dozen conversations and a few hundred messages over eighteen
// months that exercise everything the reader and the conversation builder understand (services merged
// into one person, groups and their events, many scripts, links, replies, every tapback and its removal,
// stickers, edits, unsends, effects, app messages, audio messages and attachments of every kind, one of
// them missing). Asking for more conversations and messages adds plain chats around the showcase for
// benchmarks: one conversation then holds a tenth of all messages.
//
//   SampleHistory::Options options;                       // the showcase
//   auto truth = SampleHistory::write("/tmp/history", options);
//   if (!truth) std::cerr << truth.error();              // "…/Messages/chat.db already exists"
//   truth->conversations.front().title;                   // the newest conversation, as the list shows it
//
// The `Truth` is what the generator meant: it lets tests compare what the reader, the library and the
// thread builder make of the history with what was written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <tl/expected.hpp>

namespace quillmark::SampleHistory {

struct Options {
    uint64_t seed = 1;
    // Totals including the showcase; both absent means the showcase alone. Conversations are counted as
    // the conversation list counts them, messages as it counts them (reactions not counted; they are
    // added on top in a realistic share). With only `conversations`, each added one gets 20 messages;
    // with only `messages`, one conversation is added for every 200 added messages.
    std::optional<int64_t> conversations;
    std::optional<int64_t> messages;
};

struct Truth {
    struct Attachment {
        std::string guid;
        std::string name;        // the name as sent (the transfer name)
        std::string kind;        // "image", "video", "audio" or "file"
        std::string mimeType;
        std::string uti;
        std::filesystem::path path;  // where the reader finds the file (inside the data folder)
        int64_t byteCount = 0;       // as stored; the file's size when it exists
        bool isAvailable = false;    // false for the one whose file was never written
        bool isSticker = false;
    };

    struct Reaction {
        int kind = 0;               // 0 love … 5 question, 6 emoji, 7 sticker
        bool isFromMe = false;
        std::string senderAddress;  // empty when from the user
        std::optional<std::string> emoji;  // the emoji of an emoji tapback that named one
    };

    // One message as the thread shows it.
    struct Message {
        std::string guid;
        std::string chatGUID;
        int64_t rawDate = 0;        // nanoseconds since 2001-01-01 UTC, as stored
        bool isFromMe = false;
        std::string senderAddress;  // the handle address; empty when from the user
        std::string service;
        std::string text;           // the text shown, without attachment markers, trimmed
        std::optional<std::string> subject;
        std::vector<std::string> links;
        std::vector<Attachment> attachments;  // in the order they stand in the message; hidden ones left out
        std::vector<Reaction> reactions;      // as they stand at the end, in the order they were made
        std::optional<int64_t> editedRaw;
        std::vector<std::string> editHistory;  // earlier texts, oldest first
        std::optional<int64_t> unsentRaw;
        std::optional<std::string> replyToGUID;
        std::optional<std::string> event;   // the sentence of a group event
        std::optional<std::string> effect;  // "Confetti", "Slam", …
        std::optional<std::string> appKind; // "Poll", "Find My", …
        bool isAudioMessage = false;
    };

    struct Participant {
        std::string address;
        std::optional<std::string> name;  // from the address book
    };

    struct Conversation {
        std::vector<std::string> chatGUIDs;  // in chat ROWID order
        std::string title;                   // as the list shows it in English (United States)
        std::optional<std::string> groupName;
        bool isGroup = false;
        std::vector<Participant> participants;  // in the order the list gives them
        std::vector<std::string> services;      // distinct, ascending
        int64_t messageCount = 0;               // rows the list counts: everything but reactions
        int64_t lastRaw = 0;                    // the newest of those rows
        std::string snippet;                    // the list's one-line preview
        bool isShowcase = false;
        std::vector<Message> messages;          // every shown message, in thread order; showcase only
    };

    std::vector<Conversation> conversations;  // newest first, as the list orders them
    int64_t messageCount = 0;   // every row but reactions
    int64_t reactionCount = 0;  // reaction rows, removals included
    int64_t attachmentCount = 0;

    // The conversation holding the chat with that GUID; nullptr when there is none.
    const Conversation* conversation(const std::string& chatGUID) const;
    // The showcase message with that GUID; nullptr when there is none.
    const Message* message(const std::string& guid) const;
};

// write: writes the history into `folder` (created when missing) and returns what it holds. Fails with a
// sentence when the folder already holds a history (nothing is overwritten), when a count is below the
// showcase's or cannot be shared out, when a media tool (ffmpeg, heif-enc) is missing, or when writing
// fails; nothing half-written is left behind as chat.db.
[[nodiscard]] tl::expected<Truth, std::string> write(const std::filesystem::path& folder, const Options& options);

// The smallest totals a history can have: the showcase's own.
int64_t showcaseConversationCount();
int64_t showcaseMessageCount();

}  // namespace quillmark::SampleHistory
