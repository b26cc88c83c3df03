// Message: one displayed message of a thread, with everything that stands on it or around it.
//
// Messages are made from database rows by the thread builder; everything above only reads them. The
// fields keep the order in which every serialised form lists them.
//
//   if (message.isEvent()) drawEventLine(*message.event);
//   else if (message.isUnsent()) drawUnsent(message);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "conversations/attachment.h"
#include "conversations/edit_version.h"
#include "conversations/participant.h"
#include "conversations/reaction.h"
#include "core/date.h"

namespace quillmark {

struct Message {
    int64_t id = 0;                          // the message's ROWID, also its identity
    std::string guid;
    int64_t rawDate = 0;                     // the stored time stamp, unconverted
    Date date;                               // when it was sent or received
    std::optional<Date> dateRead;
    std::optional<Date> dateDelivered;
    bool isFromMe = false;
    std::optional<Participant> sender;       // absent for the user's own messages and unknown handles
    std::string service;                     // as stored, such as "iMessage" or "SMS"
    std::optional<std::string> subject;
    std::string text;                        // the displayed text, empty when there is none
    std::vector<std::string> links;          // links in the body, in order
    std::vector<Attachment> attachments;     // in the order in which they stand in the message
    std::vector<Reaction> reactions;         // the reactions currently standing
    std::optional<Date> editedAt;            // when it was last edited
    std::vector<EditVersion> editHistory;    // earlier versions, oldest first
    std::optional<Date> unsentAt;            // when it was retracted
    std::optional<std::string> replyToGUID;  // the message this one replies to
    std::optional<std::string> effect;       // name of the send effect
    std::optional<std::string> appKind;      // name of the app that produced a special message
    std::optional<std::string> event;        // for group events, the sentence describing it; no bubble
    bool isAudioMessage = false;             // a recorded audio message
    int64_t chatID = 0;                      // ROWID of its chat

    bool isUnsent() const { return unsentAt.has_value(); }
    bool isEdited() const { return editedAt.has_value(); }
    bool isEvent() const { return event.has_value(); }

    friend bool operator==(const Message&, const Message&) = default;
};

}  // namespace quillmark
