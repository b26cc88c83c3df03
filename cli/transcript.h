// Transcript: a thread as text for a terminal: a heading, then each message with its time and sender,
// its text, and what stands on it (reply, attachments, reactions, edits, unsending, effect), and group
// events as lines of their own.
//
//   [Mar 31, 2024, 6:30 PM] Anna Berg
//     See you at the station
//     ↳ reply to Me: "When do you arrive?"
//     📎 IMG_0042.HEIC (image, 1,204,332 bytes)
//     ❤️ Me
#pragma once

#include <ostream>
#include <string>

#include "conversations/message_thread.h"
#include "core/calendar.h"

namespace quillmark::cli {

struct TranscriptStyle {
    const DateFormat* dates = nullptr;  // how times are written
    std::string meName = "You";         // the user's own messages and reactions
    std::string textLocale = "en_US";   // for the conversation's title
};

void writeTranscript(std::ostream& out, const MessageThread& thread, const TranscriptStyle& style);

}  // namespace quillmark::cli
