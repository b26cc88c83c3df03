// Plan: the showcase history before it is written: people, handles, chats and message drafts, each
// draft with what the thread should show for it. Internal to the sample generator.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sample_history/media.h"
#include "sample_history/sample_history.h"

namespace quillmark::sample {

inline constexpr int64_t second = 1'000'000'000;  // raw times count nanoseconds
inline constexpr int64_t minute = 60 * second;
inline constexpr int64_t hour = 60 * minute;
inline constexpr int64_t day = 24 * hour;

// The raw time (nanoseconds since 2001-01-01 UTC) of a UTC calendar time.
int64_t rawTime(int year, int month, int dayOfMonth, int hours = 12, int minutes = 0, int seconds = 0);

// The span the sample's messages fall in: eighteen months.
inline const int64_t historyStart = rawTime(2024, 1, 5, 8, 0);
inline const int64_t historyEnd = rawTime(2025, 6, 28, 22, 0);

// A person of the address book (or, with `inBook` false, someone who is not in it).
struct Person {
    std::string firstName;
    std::string lastName;
    std::string organization;
    std::vector<std::string> phones;  // as the card stores them, formatted by hand
    std::vector<std::string> emails;
    bool inBook = true;
    bool thumbnail = false;

    // The name the address book gives: first and last name, else the organization.
    std::string name() const;
};

struct Handle {
    int64_t rowid = 0;
    std::string address;
    std::string service;
    int person = -1;  // index into Plan::people
};

struct Chat {
    int64_t rowid = 0;
    std::string guid;
    std::string identifier;
    std::string service;
    int64_t style = 45;  // 45 one-to-one, 43 group
    std::optional<std::string> displayName;
    std::string groupID;
    std::vector<int64_t> handles;  // members now, ascending ROWIDs
    int conversation = 0;          // chats of one person share a conversation
};

struct AttachmentDraft {
    std::string guid;
    std::string transferName;
    std::string mimeType;
    std::string uti;
    std::string kind;  // what the thread shows it as
    Media media = Media::none;
    bool missing = false;  // the row is written, the file is not
    bool hidden = false;
    bool sticker = false;
    int64_t rowid = 0;        // set when written
    int64_t totalBytes = 0;   // set when the file is made
    std::string storedPath;   // "~/Library/Messages/Attachments/…"
};

// One message row to be written, with what the thread should make of it.
struct Draft {
    enum class Storage { textAndBody, bodyOnly, textOnly, none };

    std::string guid;
    int chat = 0;          // index into Plan::chats
    int64_t date = 0;      // raw nanoseconds
    int64_t handle = 0;    // sender's handle ROWID; 0 for the user's own
    bool fromMe = false;
    std::string text;      // without attachment markers
    Storage storage = Storage::textAndBody;
    std::vector<std::string> links;  // URLs that stand in the text, in order
    std::vector<AttachmentDraft> attachments;  // in the order they stand in the body
    std::vector<size_t> rowOrder;              // the order their rows are written, as indexes into attachments
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
    std::vector<std::pair<int64_t, std::string>> versions;  // edit history, oldest first, the last current
    std::vector<int64_t> retractedParts;
    int64_t dateRetracted = 0;
    bool isAudio = false;
    int64_t rowid = 0;  // set when written

    // What the thread shows.
    bool shown = true;
    std::optional<std::string> event;
    std::optional<std::string> effect;
    std::optional<std::string> appKind;
    std::optional<int64_t> unsentAt;
    std::vector<SampleHistory::Truth::Reaction> reactions;  // as they stand at the end

    bool isReaction() const { return associatedGUID.has_value() && associatedType >= 1000 && associatedType < 4000; }
};

struct Plan {
    std::vector<Person> people;
    std::vector<Handle> handles;
    std::vector<Chat> chats;
    std::deque<Draft> drafts;  // a deque: references to drafts stay valid while more are added

    const Handle& handle(int64_t rowid) const { return handles.at(static_cast<size_t>(rowid - 1)); }
};

// The showcase, written into `plan`. Its shape and size do not depend on the seed; its filler does.
void buildShowcase(Plan& plan, uint64_t seed);

}  // namespace quillmark::sample
