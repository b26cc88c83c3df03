// Model JSON: the conversation model as JSON, for tools and machine-readable outputs.
//
// Every object carries the model's own field names, in the model's order, and nothing else; dates are
// integer milliseconds since 1970 (`Date::milliseconds()`), absent values are null, attachment kinds are
// their text ("image"), reaction kinds their integer raw value. A date range leaves out an open bound.
// A conversation carries its computed "title" after its fields.
//
//   ModelJSON::toJSON(Participant{"+15551234567", std::nullopt})
//       -> {"address":"+15551234567","name":null}
//   ModelJSON::toJSON(DateRange{Date{1.5}, std::nullopt})   -> {"start":1500}
//   ModelJSON::dump(json)    -> compact text; invalid UTF-8 in stored strings becomes U+FFFD, never a throw
//
// A large thread is better written with `write`, which streams one message at a time and holds only one
// message's JSON in memory, yet gives exactly the bytes of `dump(toJSON(thread, locale))`.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "conversations/attachment.h"
#include "conversations/conversation.h"
#include "conversations/date_range.h"
#include "conversations/edit_version.h"
#include "conversations/message.h"
#include "conversations/message_thread.h"
#include "conversations/participant.h"
#include "conversations/reaction.h"
#include "core/date.h"

namespace quillmark::ModelJSON {

// Objects keep their keys in the order they were written: the model's field order.
using JSON = nlohmann::ordered_json;

// A date as milliseconds since 1970, or null.
JSON date(const std::optional<Date>& date);

JSON toJSON(const Participant& participant);
JSON toJSON(const Attachment& attachment);
JSON toJSON(const Reaction& reaction);
JSON toJSON(const EditVersion& version);
JSON toJSON(const Message& message);
// `locale` (an ICU locale id) is the one the title is written in.
JSON toJSON(const Conversation& conversation, const std::string& locale);
JSON toJSON(const DateRange& range);
JSON toJSON(const MessageThread::ReplyContext& context);
JSON toJSON(const MessageThread& thread, const std::string& locale);

// Compact text of a value; invalid UTF-8 is replaced by U+FFFD.
std::string dump(const JSON& json);

// write: the thread as `dump(toJSON(thread, locale))` would give it, message by message.
void write(std::ostream& out, const MessageThread& thread, const std::string& locale);

}  // namespace quillmark::ModelJSON
