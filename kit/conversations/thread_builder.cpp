#include "conversations/thread_builder.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "body/attributed_body.h"
#include "body/summary_info.h"
#include "core/apple_time.h"
#include "core/text.h"

namespace quillmark::ThreadBuilder {

namespace {

Date dateOrDistantPast(int64_t raw) { return AppleTime::date(raw).value_or(distantPast); }

bool isReactionType(int64_t type) {
    return type == 1000 || (type >= 2000 && type <= 2007) || (type >= 3000 && type <= 3007);
}

// How an event names a person: their name, else their formatted address.
std::optional<std::string> shownName(const std::optional<Participant>& p) {
    if (!p) return std::nullopt;
    if (p->name && !p->name->empty()) return *p->name;
    return Participant::format(p->address);
}

std::optional<std::string> eventSentence(const MessageRow& row, const std::optional<Participant>& sender,
                                         const ParticipantLookup& participant) {
    if (row.itemType < 1 || row.itemType > 3) return std::nullopt;
    const std::string actor = row.isFromMe ? "You" : shownName(sender).value_or("Someone");
    switch (row.itemType) {
        case 1: {
            const std::string target = shownName(participant(row.otherHandle)).value_or("someone");
            if (row.groupActionType == 1) return actor + " removed " + target + " from the conversation.";
            return actor + " added " + target + " to the conversation.";
        }
        case 2:
            if (row.groupTitle && !row.groupTitle->empty())
                return actor + " named the conversation \u201C" + *row.groupTitle + "\u201D.";
            return actor + " removed the name from the conversation.";
        default:
            if (row.groupActionType == 1) return actor + " changed the group photo.";
            if (row.groupActionType == 2) return actor + " removed the group photo.";
            return actor + " left the conversation.";
    }
}

std::vector<Attachment> buildAttachments(const MessageRow& row,
                                         const std::map<int64_t, std::vector<AttachmentRow>>& attachments,
                                         const std::optional<AttributedBody>& body, const PathResolver& resolve,
                                         const FileExists& fileExists) {
    std::vector<Attachment> result;
    const auto found = attachments.find(row.id);
    if (found == attachments.end()) return result;

    std::vector<const AttachmentRow*> shown;
    for (const AttachmentRow& a : found->second)
        if (!a.hidden) shown.push_back(&a);

    // The body knows where each attachment stands in the text; the table's order is only the order of arrival.
    if (body) {
        const std::vector<std::string> order = body->attachmentGUIDs();
        if (!order.empty()) {
            auto position = [&](const AttachmentRow* a) {
                const auto it = std::find(order.begin(), order.end(), a->guid);
                return static_cast<size_t>(it - order.begin());  // order.size() when absent: last
            };
            std::stable_sort(shown.begin(), shown.end(),
                             [&](const AttachmentRow* a, const AttachmentRow* b) { return position(a) < position(b); });
        }
    }

    result.reserve(shown.size());
    for (const AttachmentRow* a : shown) {
        std::optional<std::string> path = resolve(a->filename);
        std::string name;
        if (a->transferName)
            name = *a->transferName;
        else if (path)
            name = std::filesystem::path(*path).filename().string();
        else
            name = "Attachment";
        const bool available = path && fileExists(*path);
        result.emplace_back(a->guid, std::move(path), std::move(name), a->mimeType, a->uti, a->totalBytes, a->isSticker,
                            available);
    }
    return result;
}

// Builds the message of one non-reaction row into `m` (a new message); false when the row has nothing to
// show. The message is made where it is kept: a hundred thousand of them are not moved around.
bool buildMessage(const MessageRow& row, const std::map<int64_t, std::vector<AttachmentRow>>& attachments,
                  const ParticipantLookup& participant, const PathResolver& resolve, const FileExists& fileExists,
                  Message& m) {
    std::optional<AttributedBody> body;
    if (row.body) body = AttributedBody::decode(*row.body);

    m.id = row.id;
    m.guid = row.guid;
    m.rawDate = row.date;
    m.date = dateOrDistantPast(row.date);
    m.dateRead = AppleTime::date(row.dateRead);
    m.dateDelivered = AppleTime::date(row.dateDelivered);
    m.isFromMe = row.isFromMe;
    m.service = row.service;
    m.isAudioMessage = row.isAudio;
    m.chatID = row.chatID;

    m.text = displayedText(body ? std::string_view(body->text) : std::string_view(row.text ? *row.text : std::string()));
    if (body)
        for (const auto& run : body->runs)
            if (run.link) m.links.push_back(*run.link);
    if (!row.isFromMe) m.sender = participant(row.handleID);
    if (row.subject && !row.subject->empty()) m.subject = row.subject;
    m.attachments = buildAttachments(row, attachments, body, resolve, fileExists);

    m.event = eventSentence(row, m.sender, participant);
    if (row.itemType > 3 && m.text.empty() && m.attachments.empty()) return false;

    std::optional<SummaryInfo> summary;
    if (row.summaryInfo && (row.dateEdited != 0 || row.dateRetracted == 0)) summary = SummaryInfo::decode(*row.summaryInfo);
    if (row.dateEdited != 0) {
        m.editedAt = AppleTime::date(row.dateEdited);
        if (summary)
            for (const EditVersion& v : summary->versions)
                if (v.text != m.text) m.editHistory.push_back(v);
    }
    if (row.dateRetracted != 0) {
        m.unsentAt = AppleTime::date(row.dateRetracted);
    } else if (summary && !summary->retractedParts.empty() && m.text.empty() && m.attachments.empty()) {
        m.unsentAt = m.editedAt ? *m.editedAt : m.date;
    }

    m.effect = effect(row.effectStyle);
    m.appKind = appKind(row.balloonBundleID);
    if (row.threadOriginatorGUID && !row.threadOriginatorGUID->empty()) m.replyToGUID = row.threadOriginatorGUID;

    return m.event || !m.text.empty() || !m.attachments.empty() || m.unsentAt || m.appKind || m.subject;
}

// The GUID a reaction row points at: stored as "p:<part>/<guid>", "bp:<guid>" or the bare GUID.
std::string_view reactionTarget(std::string_view associated) {
    if (const size_t slash = associated.rfind('/'); slash != std::string_view::npos) return associated.substr(slash + 1);
    if (associated.rfind("bp:", 0) == 0) return associated.substr(3);
    return associated;
}

bool sameReactor(const Reaction& r, bool isFromMe, const std::optional<Participant>& sender) {
    if (r.isFromMe != isFromMe) return false;
    if (!r.sender || !sender) return !r.sender && !sender;
    return r.sender->address == sender->address;
}

void applyReaction(const MessageRow& row, std::vector<Message>& messages,
                   const std::unordered_map<std::string_view, size_t>& byGUID, const ParticipantLookup& participant) {
    if (!row.associatedGUID || row.associatedGUID->empty()) return;
    const auto target = byGUID.find(reactionTarget(*row.associatedGUID));
    if (target == byGUID.end()) return;
    std::vector<Reaction>& reactions = messages[target->second].reactions;

    const int64_t type = row.associatedType;
    const bool removing = type >= 3000;
    const ReactionKind kind = type == 1000 ? ReactionKind::sticker : *ReactionKind::fromRaw(type % 1000);
    const std::optional<Participant> sender = row.isFromMe ? std::nullopt : participant(row.handleID);

    if (removing) {
        // Taking back an emoji tapback clears everything that person left on the message.
        const bool all = kind == ReactionKind::emoji;
        std::erase_if(reactions, [&](const Reaction& r) {
            return sameReactor(r, row.isFromMe, sender) && (all || r.kind == kind);
        });
        return;
    }
    if (kind != ReactionKind::sticker) {
        std::erase_if(reactions, [&](const Reaction& r) {
            return r.kind != ReactionKind::sticker && sameReactor(r, row.isFromMe, sender);
        });
    }
    Reaction reaction;
    reaction.kind = kind;
    reaction.emoji = kind == ReactionKind::emoji && row.associatedEmoji && !row.associatedEmoji->empty()
                         ? *row.associatedEmoji
                         : std::string(kind.symbol());
    reaction.isFromMe = row.isFromMe;
    reaction.sender = sender;
    reaction.date = dateOrDistantPast(row.date);
    reactions.push_back(std::move(reaction));
}

}  // namespace

std::string displayedText(std::string_view raw) {
    constexpr std::string_view objectReplacement = "\xEF\xBF\xBC";  // U+FFFC, where an attachment stands
    std::string out;
    out.reserve(raw.size());
    size_t start = 0;
    for (size_t found; (found = raw.find(objectReplacement, start)) != std::string_view::npos;
         start = found + objectReplacement.size())
        out.append(raw.substr(start, found - start));
    out.append(raw.substr(start));
    return text::trimmed(out);
}

namespace {

// The answers of the callbacks for a set of rows, asked once each on the calling thread, so that the
// messages can be made on several threads that only read them.
class Answers {
public:
    Answers(const std::vector<const MessageRow*>& rows, const std::map<int64_t, std::vector<AttachmentRow>>& attachments,
            const ParticipantLookup& participant, const PathResolver& resolve, const FileExists& fileExists) {
        auto person = [&](int64_t handleID) {
            if (!people_.count(handleID)) people_.emplace(handleID, participant(handleID));
        };
        for (const MessageRow* row : rows) {
            if (!row->isFromMe) person(row->handleID);
            if (row->itemType == 1) person(row->otherHandle);
            const auto found = attachments.find(row->id);
            if (found == attachments.end()) continue;
            for (const AttachmentRow& a : found->second) {
                if (a.hidden || paths_.count(a.filename)) continue;
                std::optional<std::string> path = resolve(a.filename);
                if (path && !exists_.count(*path)) exists_.emplace(*path, fileExists(*path));
                paths_.emplace(a.filename, std::move(path));
            }
        }
        participant_ = [this](int64_t handleID) { return people_.at(handleID); };
        resolve_ = [this](const std::optional<std::string>& stored) { return paths_.at(stored); };
        fileExists_ = [this](const std::string& path) { return exists_.at(path); };
    }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    const ParticipantLookup& participant() const { return participant_; }
    const PathResolver& resolve() const { return resolve_; }
    const FileExists& fileExists() const { return fileExists_; }

private:
    std::unordered_map<int64_t, std::optional<Participant>> people_;
    std::unordered_map<std::optional<std::string>, std::optional<std::string>> paths_;
    std::unordered_map<std::string, bool> exists_;
    ParticipantLookup participant_;
    PathResolver resolve_;
    FileExists fileExists_;
};

// Threads of at least this many messages are made on two threads.
constexpr size_t parallelRows = 2000;

}  // namespace

std::vector<Message> build(const std::vector<MessageRow>& rows,
                           const std::map<int64_t, std::vector<AttachmentRow>>& attachments,
                           const ParticipantLookup& participant, const PathResolver& resolve,
                           const FileExists& fileExists) {
    std::vector<const MessageRow*> messageRows, reactionRows;
    messageRows.reserve(rows.size());
    for (const MessageRow& row : rows)
        (row.associatedGUID && isReactionType(row.associatedType) ? reactionRows : messageRows).push_back(&row);

    // Each message is made in its place; the rows with nothing to show leave gaps that are closed after.
    std::vector<Message> messages(messageRows.size());
    std::vector<char> shown(messageRows.size(), 0);
    auto make = [&](size_t from, size_t to, const ParticipantLookup& who, const PathResolver& where,
                    const FileExists& exists) {
        for (size_t i = from; i < to; ++i)
            shown[i] = buildMessage(*messageRows[i], attachments, who, where, exists, messages[i]) ? 1 : 0;
    };
    if (messageRows.size() < parallelRows) {
        make(0, messageRows.size(), participant, resolve, fileExists);
    } else {
        // Decoding the bodies is most of the work; the second half is made on another thread.
        const Answers answers(messageRows, attachments, participant, resolve, fileExists);
        const size_t half = messageRows.size() / 2;
        std::thread helper;
        try {
            helper = std::thread(
                [&] { make(half, messageRows.size(), answers.participant(), answers.resolve(), answers.fileExists()); });
        } catch (const std::system_error&) {
        }
        make(0, helper.joinable() ? half : messageRows.size(), answers.participant(), answers.resolve(),
             answers.fileExists());
        if (helper.joinable()) helper.join();
    }
    size_t kept = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (!shown[i]) continue;
        if (kept != i) messages[kept] = std::move(messages[i]);
        ++kept;
    }
    messages.resize(kept);

    // Keys view the GUIDs inside `messages`, which no longer grows.
    std::unordered_map<std::string_view, size_t> byGUID;
    byGUID.reserve(messages.size());
    for (size_t i = 0; i < messages.size(); ++i) byGUID[messages[i].guid] = i;
    for (const MessageRow* row : reactionRows) applyReaction(*row, messages, byGUID, participant);
    return messages;
}

std::optional<std::string> effect(const std::optional<std::string>& style) {
    if (!style || style->empty()) return std::nullopt;
    std::string_view piece = *style;
    // The last non-empty piece between dots.
    std::string_view rest = piece;
    while (!rest.empty() && rest.back() == '.') rest.remove_suffix(1);
    if (!rest.empty()) {
        const size_t dot = rest.rfind('.');
        piece = dot == std::string_view::npos ? rest : rest.substr(dot + 1);
    }
    static const std::map<std::string_view, std::string_view> names = {
        {"impact", "Slam"},
        {"loud", "Loud"},
        {"gentle", "Gentle"},
        {"invisibleink", "Invisible Ink"},
        {"CKConfettiEffect", "Confetti"},
        {"CKEchoEffect", "Echo"},
        {"CKFireworksEffect", "Fireworks"},
        {"CKHappyBirthdayEffect", "Balloons"},
        {"CKHeartEffect", "Love"},
        {"CKLasersEffect", "Lasers"},
        {"CKShootingStarEffect", "Shooting Star"},
        {"CKSparklesEffect", "Celebration"},
        {"CKSpotlightEffect", "Spotlight"},
    };
    const auto it = names.find(piece);
    return std::string(it == names.end() ? piece : it->second);
}

std::optional<std::string> appKind(const std::optional<std::string>& bundleID) {
    if (!bundleID || bundleID->empty()) return std::nullopt;
    const std::string& id = *bundleID;
    auto has = [&](const char* s) { return id.find(s) != std::string::npos; };
    if (has("URLBalloonProvider")) return std::nullopt;
    if (has("Handwriting")) return "Handwritten message";
    if (has("DigitalTouch")) return "Digital Touch";
    if (has("PeerPayment") || has("PassbookUIService")) return "Apple Cash";
    if (has("findmy") || has("FindMy")) return "Find My";
    if (has("gamepigeon") || has("GamePigeon")) return "Game";
    if (has("Polls") || has("poll")) return "Poll";
    return "iMessage app";
}

std::vector<Participant> formerMembers(const std::vector<MessageRow>& rows, const ParticipantLookup& participant) {
    // Rows come in date order; the last event about a person decides whether they are gone.
    std::vector<int64_t> went;  // by when each went last
    std::map<int64_t, bool> gone;
    auto note = [&](int64_t handleID, bool goes) {
        if (handleID == 0) return;
        gone[handleID] = goes;
        if (!goes) return;
        went.erase(std::remove(went.begin(), went.end(), handleID), went.end());
        went.push_back(handleID);
    };
    for (const MessageRow& row : rows) {
        if (row.itemType == 1) note(row.otherHandle, row.groupActionType == 1);
        if (row.itemType == 3 && row.groupActionType == 0 && !row.isFromMe) note(row.handleID, true);
    }
    std::vector<Participant> former;
    for (int64_t handleID : went)
        if (gone.at(handleID))
            if (auto p = participant(handleID)) former.push_back(std::move(*p));
    return former;
}

}  // namespace quillmark::ThreadBuilder
