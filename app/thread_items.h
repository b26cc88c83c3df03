// ThreadItems: a thread's messages as the rows the thread view shows: a time label before the first message
// and before every message that comes more than an hour after the one before it, group events as lines of
// their own, and messages, each knowing whether its sender's name stands above it.
//
// A sender's name is shown only in groups, for other people's messages, on the first of a run of messages
// from one sender; a time label or an event starts a new run.
//
//   auto items = ThreadItems::make(thread);
//   items[0].kind == ThreadItems::Item::Kind::time;  items[0].id == "t42"   // before message ROWID 42
#pragma once

#include <vector>

#include <QString>

#include "conversations/message_thread.h"

namespace quillmark::app::ThreadItems {

struct Item {
    enum class Kind { time, event, message };
    Kind kind = Kind::message;
    int message = 0;          // index into the thread's messages: the message, or the one the label stands before
    bool showSender = false;  // message: its sender's name stands above it
    QString id;               // time: "t" + the message's ROWID

    friend bool operator==(const Item&, const Item&) = default;
};

// The gap after which a new time label is shown, in seconds.
constexpr double labelGap = 3600;

std::vector<Item> make(const MessageThread& thread);

}  // namespace quillmark::app::ThreadItems
