// MessageThread: the messages of one conversation within a date range, with what their replies point to.
//
//   MessageThread thread = ...;                  // from the library
//   thread.firstDate()        -> date of the first message, absent when there are none
//   thread.replies.at(guid)   -> sender, text and date of a replied-to message that could be found
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "conversations/conversation.h"
#include "conversations/date_range.h"
#include "conversations/message.h"
#include "core/date.h"

namespace quillmark {

// HistoryOrigin: where a history that is not a Messages folder came from: an iPhone backup, named by the
// device it was made of and when. Exports print it, and their verification record keeps it, so that the
// same messages read from another copy still verify.
struct HistoryOrigin {
    std::string device;             // "Anna's iPhone"
    std::optional<Date> backupDate;  // when the backup was made

    friend bool operator==(const HistoryOrigin&, const HistoryOrigin&) = default;
};

struct MessageThread {
    // ReplyContext: the message a reply points to, as the reply shows it.
    struct ReplyContext {
        std::string sender;  // the name shown for its author
        std::string text;    // its text, or a fallback word
        Date date;

        friend bool operator==(const ReplyContext&, const ReplyContext&) = default;
    };

    Conversation conversation;  // with the participant names used for this thread
    DateRange range;            // the window the messages were taken from
    std::vector<Message> messages;  // in database order: by raw date, then ROWID
    std::map<std::string, ReplyContext> replies;  // by replied-to GUID, for each one found
    std::optional<HistoryOrigin> origin;           // none for a Messages folder
    // Who left the group or was removed from it by the group events of these messages, and is not among
    // the conversation's participants now.
    std::vector<Participant> formerParticipants;

    std::optional<Date> firstDate() const;
    std::optional<Date> lastDate() const;
    // The number of attachments of all messages together.
    int64_t attachmentCount() const;

    friend bool operator==(const MessageThread&, const MessageThread&) = default;
};

}  // namespace quillmark
