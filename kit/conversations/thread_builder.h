// ThreadBuilder: turns the message and attachment rows of the history into displayed messages.
//
// One pass over the rows decides what each message shows: its text (from the archived body when there is
// one), links, attachments in the order they stand in the text, group events as sentences, edits, unsends,
// send effects and app messages; rows with nothing to show are dropped. A second pass lays the reaction
// rows, in time order, onto the messages they point to: a person keeps one tapback per message, a later
// one replacing the earlier, while stickers accumulate.
//
//   auto messages = ThreadBuilder::build(rows, attachments,
//                                        [&](int64_t handle) { return library.participant(handle); },
//                                        [&](const auto& stored) { return database.resolve(stored); });
//   ThreadBuilder::effect("com.apple.messages.effect.CKHappyBirthdayEffect") == "Balloons"
//   ThreadBuilder::appKind("com.apple.messages.MSMessageExtensionBalloonPlugin:…:com.apple.Polls…") == "Poll"
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversations/message.h"
#include "conversations/participant.h"
#include "store/rows.h"

namespace quillmark::ThreadBuilder {

using ParticipantLookup = std::function<std::optional<Participant>(int64_t handleID)>;
using PathResolver = std::function<std::optional<std::string>(const std::optional<std::string>& stored)>;
using FileExists = std::function<bool(const std::string& path)>;

// The displayed messages of the rows, in row order. Reaction rows and rows with nothing to show give no
// message; reactions pointing at messages outside the rows are ignored. An attachment is available when
// `isInHistory` says so of its resolved path.
std::vector<Message> build(const std::vector<MessageRow>& rows,
                           const std::map<int64_t, std::vector<AttachmentRow>>& attachments,
                           const ParticipantLookup& participant, const PathResolver& resolve,
                           const FileExists& isInHistory);

// The people who left the group or were removed from it by the rows' group events, in the order they went,
// without those a later event added back. The owner leaving is not among them.
std::vector<Participant> formerMembers(const std::vector<MessageRow>& rows, const ParticipantLookup& participant);

// The name of a send effect from its stored style: the last dot-separated piece, translated when known.
std::optional<std::string> effect(const std::optional<std::string>& style);

// The name of the app behind a special message, from its balloon bundle ID; none for link previews.
std::optional<std::string> appKind(const std::optional<std::string>& bundleID);

// The text a message shows: every attachment marker (U+FFFC) removed, white space and line breaks
// trimmed at both ends.
std::string displayedText(std::string_view raw);

// The date given to messages and reactions stored without one: earlier than every real date.
inline constexpr Date distantPast = Date::distantPast;

}  // namespace quillmark::ThreadBuilder
