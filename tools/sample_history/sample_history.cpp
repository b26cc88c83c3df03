#include "sample_history/sample_history.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <system_error>

#include "body/attributed_body_writer.h"
#include "body/summary_info.h"
#include "core/apple_time.h"
#include "sample_history/address_book.h"
#include "sample_history/bulk.h"
#include "sample_history/chat_database.h"
#include "sample_history/media.h"
#include "sample_history/plan.h"
#include "sample_history/random.h"
#include "sample_history/titles.h"

namespace quillmark::SampleHistory {

namespace fs = std::filesystem;
using namespace quillmark::sample;

namespace {

constexpr int64_t mostConversations = 1'000'000;
constexpr int64_t mostMessages = 100'000'000;
constexpr std::string_view attachmentMarker = "\xEF\xBF\xBC";  // U+FFFC, where an attachment stands

struct Counts {
    int64_t conversations = 0;
    int64_t messages = 0;
};

Counts countOf(const Plan& plan) {
    std::set<int> conversations;
    for (const Chat& chat : plan.chats) conversations.insert(chat.conversation);
    Counts counts{static_cast<int64_t>(conversations.size()), 0};
    for (const Draft& draft : plan.drafts)
        if (!draft.isReaction()) ++counts.messages;
    return counts;
}

const Counts& showcaseCounts() {
    static const Counts counts = [] {
        Plan plan;
        buildShowcase(plan, 1);
        return countOf(plan);
    }();
    return counts;
}

// The totals asked for, completed and checked: the bulk part to add to the showcase.
tl::expected<BulkShape, std::string> bulkShape(const Options& options) {
    const Counts& showcase = showcaseCounts();
    int64_t conversations = options.conversations.value_or(showcase.conversations);
    int64_t messages = options.messages.value_or(0);
    if (!options.messages) messages = showcase.messages + 20 * std::max<int64_t>(0, conversations - showcase.conversations);
    if (!options.conversations && options.messages)
        conversations = showcase.conversations + std::max<int64_t>(options.messages.value() > showcase.messages ? 1 : 0,
                                                                   (messages - showcase.messages) / 200);

    if (conversations < showcase.conversations)
        return tl::unexpected("a sample history has at least " + std::to_string(showcase.conversations) +
                              " conversations, those of the showcase");
    if (messages < showcase.messages)
        return tl::unexpected("a sample history has at least " + std::to_string(showcase.messages) +
                              " messages, those of the showcase");
    if (conversations > mostConversations || messages > mostMessages)
        return tl::unexpected("a sample history has at most " + std::to_string(mostConversations) + " conversations and " +
                              std::to_string(mostMessages) + " messages");
    BulkShape shape;
    shape.conversations = conversations - showcase.conversations;
    shape.messages = messages - showcase.messages;
    if (shape.conversations == 0 && shape.messages > 0)
        return tl::unexpected("more than the showcase's " + std::to_string(showcase.messages) +
                              " messages need more than its " + std::to_string(showcase.conversations) + " conversations");
    if (shape.messages < shape.conversations)
        return tl::unexpected("each conversation beyond the showcase needs a message: ask for at least " +
                              std::to_string(showcase.messages + shape.conversations) + " messages");
    shape.largest = messages / 10;
    shape.seed = options.seed;
    return shape;
}

// Messages spreads attachments over folders named by two hexadecimal digits and a number below 16.
std::string attachmentFolder(const std::string& guid) {
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : guid) hash = (hash ^ c) * 1099511628211ULL;
    char folder[8];
    std::snprintf(folder, sizeof folder, "%02x/%02u", static_cast<unsigned>(hash & 0xFF), static_cast<unsigned>((hash >> 8) % 16));
    return folder;
}

Date dateOf(int64_t raw) { return Date::fromSeconds(static_cast<double>(raw) / 1e9 + AppleTime::referenceDate); }

std::vector<const AttachmentDraft*> shownAttachments(const Draft& draft) {
    std::vector<const AttachmentDraft*> shown;
    for (const auto& a : draft.attachments)
        if (!a.hidden) shown.push_back(&a);
    return shown;
}

MessageRecord recordOf(const Draft& draft, const Plan& plan, Random& random) {
    const Chat& chat = plan.chats[static_cast<size_t>(draft.chat)];
    MessageRecord r;
    r.guid = draft.guid;

    // The body holds one marker per shown attachment, before the text, as Messages writes them.
    std::string bodyText;
    std::vector<std::string> guids;
    for (const AttachmentDraft* a : shownAttachments(draft)) {
        bodyText += attachmentMarker;
        guids.push_back(a->guid);
    }
    bodyText += draft.text;
    std::map<std::string, std::string> links;
    for (const auto& link : draft.links) links[link] = link;
    const bool hasText = draft.storage == Draft::Storage::textAndBody || draft.storage == Draft::Storage::textOnly;
    const bool hasBody = draft.storage == Draft::Storage::textAndBody || draft.storage == Draft::Storage::bodyOnly;
    if (hasText) r.text = bodyText;
    if (hasBody) r.body = AttributedBodyWriter::archive(bodyText, guids, links);

    r.handle = draft.handle;
    r.fromMe = draft.fromMe;
    r.date = draft.date;
    r.dateDelivered = draft.fromMe && chat.service == "iMessage" ? draft.date + random.between(1, 5) * second : 0;
    r.dateRead = draft.isReaction() ? 0 : draft.date + random.between(30, 7200) * second;
    r.service = chat.service;
    r.account = chat.service == "SMS" ? "P:+15550000000" : "E:me@example.com";
    r.subject = draft.subject;
    r.associatedGUID = draft.associatedGUID;
    r.associatedType = draft.associatedType;
    r.associatedEmoji = draft.associatedEmoji;
    r.itemType = draft.itemType;
    r.groupActionType = draft.groupActionType;
    r.groupTitle = draft.groupTitle;
    r.otherHandle = draft.otherHandle;
    r.balloonBundleID = draft.balloonBundleID;
    r.effectStyle = draft.effectStyle;
    r.threadOriginatorGUID = draft.threadOriginatorGUID;
    r.dateEdited = draft.dateEdited;
    r.dateRetracted = draft.dateRetracted;
    if (!draft.versions.empty() || !draft.retractedParts.empty()) {
        std::vector<EditVersion> versions;
        for (const auto& [raw, text] : draft.versions) versions.push_back({text, dateOf(raw)});
        r.summaryInfo = SummaryInfo::encode(versions, draft.retractedParts);
    }
    r.isAudio = draft.isAudio;
    r.hasAttachments = !draft.attachments.empty();
    return r;
}

// The showcase's rows in the order they are written: by time, scripted order breaking ties.
std::vector<Draft*> inTimeOrder(Plan& plan) {
    std::vector<Draft*> drafts;
    for (Draft& draft : plan.drafts) drafts.push_back(&draft);
    std::stable_sort(drafts.begin(), drafts.end(), [](const Draft* a, const Draft* b) { return a->date < b->date; });
    return drafts;
}

tl::expected<void, std::string> writeShowcase(Plan& plan, ChatDatabase& db, MediaMaker& media, const fs::path& messagesFolder,
                                              uint64_t seed, Truth& truth) {
    for (const Handle& handle : plan.handles) {
        const bool phone = handle.address.find('@') == std::string::npos;
        if (auto done = db.handle({handle.rowid, handle.address, handle.service, phone ? "us" : ""}); !done) return done;
    }
    for (const Chat& chat : plan.chats) {
        ChatRecord record{chat.rowid, chat.guid, chat.style, chat.identifier, chat.service, chat.displayName, chat.groupID,
                          chat.service == "SMS" ? "P:+15550000000" : "E:me@example.com"};
        if (auto done = db.chat(record, chat.handles); !done) return done;
    }

    Random random(seed ^ 0xDA7E5ULL);
    for (Draft* draft : inTimeOrder(plan)) {
        auto rowid = db.message(recordOf(*draft, plan, random), plan.chats[static_cast<size_t>(draft->chat)].rowid);
        if (!rowid) return tl::unexpected(rowid.error());
        draft->rowid = *rowid;
        draft->isReaction() ? ++truth.reactionCount : ++truth.messageCount;

        std::vector<size_t> order = draft->rowOrder;
        if (order.empty())
            for (size_t i = 0; i < draft->attachments.size(); ++i) order.push_back(i);
        for (size_t index : order) {
            AttachmentDraft& a = draft->attachments[index];
            const std::string relative = "Attachments/" + attachmentFolder(a.guid) + "/" + a.guid + "/" + a.transferName;
            a.storedPath = "~/Library/Messages/" + relative;
            if (a.missing) {
                // The size it had when it was sent; the file never arrived.
                a.totalBytes = 48'213;
            } else {
                auto size = media.make(a.media, messagesFolder / relative);
                if (!size) return tl::unexpected(size.error());
                a.totalBytes = *size;
            }
            AttachmentRecord record{a.guid, draft->date, a.storedPath, a.uti, a.mimeType, a.transferName,
                                    a.totalBytes, draft->fromMe, a.sticker, a.hidden};
            auto attachment = db.attachment(record, *rowid);
            if (!attachment) return tl::unexpected(attachment.error());
            a.rowid = *attachment;
            ++truth.attachmentCount;
        }
    }
    return {};
}

Truth::Message truthOf(const Draft& draft, const Plan& plan, const fs::path& messagesFolder) {
    Truth::Message m;
    m.guid = draft.guid;
    m.chatGUID = plan.chats[static_cast<size_t>(draft.chat)].guid;
    m.rawDate = draft.date;
    m.isFromMe = draft.fromMe;
    if (!draft.fromMe) m.senderAddress = plan.handle(draft.handle).address;
    m.service = plan.chats[static_cast<size_t>(draft.chat)].service;
    m.text = draft.storage == Draft::Storage::none ? "" : draft.text;
    m.subject = draft.subject;
    m.links = draft.links;
    for (const AttachmentDraft* a : shownAttachments(draft)) {
        Truth::Attachment t;
        t.guid = a->guid;
        t.name = a->transferName;
        t.kind = a->kind;
        t.mimeType = a->mimeType;
        t.uti = a->uti;
        t.path = messagesFolder / a->storedPath.substr(std::string_view("~/Library/Messages/").size());
        t.byteCount = a->totalBytes;
        t.isAvailable = !a->missing;
        t.isSticker = a->sticker;
        m.attachments.push_back(std::move(t));
    }
    m.reactions = draft.reactions;
    if (draft.dateEdited != 0) {
        m.editedRaw = draft.dateEdited;
        for (const auto& version : draft.versions)
            if (version.second != m.text) m.editHistory.push_back(version.second);
    }
    m.unsentRaw = draft.unsentAt;
    m.replyToGUID = draft.threadOriginatorGUID;
    m.event = draft.event;
    m.effect = draft.effect;
    m.appKind = draft.appKind;
    m.isAudioMessage = draft.isAudio;
    return m;
}

void addShowcaseTruth(const Plan& plan, const fs::path& messagesFolder, Truth& truth) {
    std::map<int, std::vector<size_t>> chatsOf;  // conversation -> chat indexes, in ROWID order
    for (size_t c = 0; c < plan.chats.size(); ++c) chatsOf[plan.chats[c].conversation].push_back(c);

    struct ChatStats {
        int64_t count = 0;
        int64_t lastRaw = 0;
        const Draft* listed = nullptr;  // the newest row the list may take its snippet from
    };
    std::vector<ChatStats> stats(plan.chats.size());
    for (const Draft& draft : plan.drafts) {
        if (draft.isReaction()) continue;
        ChatStats& s = stats[static_cast<size_t>(draft.chat)];
        ++s.count;
        s.lastRaw = std::max(s.lastRaw, draft.date);
        const bool later = !s.listed || draft.date > s.listed->date ||
                           (draft.date == s.listed->date && draft.rowid > s.listed->rowid);
        if (draft.itemType != 1 && later) s.listed = &draft;
    }

    for (const auto& [conversationIndex, chatIndexes] : chatsOf) {
        Truth::Conversation conversation;
        conversation.isShowcase = true;
        // The list meets a person's chats newest first.
        std::vector<size_t> byRecency = chatIndexes;
        std::stable_sort(byRecency.begin(), byRecency.end(),
                         [&](size_t a, size_t b) { return stats[a].lastRaw > stats[b].lastRaw; });
        const Chat& primary = plan.chats[byRecency.front()];
        std::set<int> seen;
        std::set<std::string> services;
        for (size_t c : byRecency) {
            const Chat& chat = plan.chats[c];
            for (int64_t h : chat.handles) {
                const Handle& handle = plan.handle(h);
                if (!seen.insert(handle.person).second) continue;
                const Person& person = plan.people[static_cast<size_t>(handle.person)];
                conversation.participants.push_back(
                    {handle.address, person.inBook ? std::optional<std::string>(person.name()) : std::nullopt});
            }
            if (!conversation.groupName && chat.displayName && !chat.displayName->empty())
                conversation.groupName = chat.displayName;
            services.insert(chat.service);
            conversation.messageCount += stats[c].count;
        }
        for (size_t c : chatIndexes) conversation.chatGUIDs.push_back(plan.chats[c].guid);
        conversation.services.assign(services.begin(), services.end());
        conversation.isGroup = primary.style == 43 || primary.handles.size() > 1;
        conversation.title = conversationTitle(conversation.groupName, conversation.participants);
        conversation.lastRaw = stats[byRecency.front()].lastRaw;
        if (const Draft* last = stats[byRecency.front()].listed) {
            conversation.snippet = last->storage == Draft::Storage::none ? "" : last->text;
            if (conversation.snippet.empty() && !last->attachments.empty()) conversation.snippet = "Attachment";
        }

        std::vector<const Draft*> shown;
        for (const Draft& draft : plan.drafts)
            if (draft.shown && plan.chats[static_cast<size_t>(draft.chat)].conversation == conversationIndex)
                shown.push_back(&draft);
        std::sort(shown.begin(), shown.end(), [](const Draft* a, const Draft* b) {
            return a->date != b->date ? a->date < b->date : a->rowid < b->rowid;
        });
        for (const Draft* draft : shown) conversation.messages.push_back(truthOf(*draft, plan, messagesFolder));
        truth.conversations.push_back(std::move(conversation));
    }
}

// Removes a file this run was making when the run fails.
class Unfinished {
public:
    explicit Unfinished(fs::path path) : path_(std::move(path)) {
        std::error_code ignored;
        fs::remove(path_, ignored);  // left by an earlier run that was stopped
    }
    ~Unfinished() {
        if (path_.empty()) return;
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    tl::expected<void, std::string> moveTo(const fs::path& destination) {
        std::error_code error;
        fs::rename(path_, destination, error);
        if (error) return tl::unexpected("cannot move " + path_.string() + " into place: " + error.message());
        path_.clear();
        return {};
    }

private:
    fs::path path_;
};

}  // namespace

int64_t showcaseConversationCount() { return showcaseCounts().conversations; }
int64_t showcaseMessageCount() { return showcaseCounts().messages; }

const Truth::Conversation* Truth::conversation(const std::string& chatGUID) const {
    for (const auto& c : conversations)
        if (std::find(c.chatGUIDs.begin(), c.chatGUIDs.end(), chatGUID) != c.chatGUIDs.end()) return &c;
    return nullptr;
}

const Truth::Message* Truth::message(const std::string& guid) const {
    for (const auto& c : conversations)
        for (const auto& m : c.messages)
            if (m.guid == guid) return &m;
    return nullptr;
}

tl::expected<Truth, std::string> write(const fs::path& folder, const Options& options) {
    auto shape = bulkShape(options);
    if (!shape) return tl::unexpected(shape.error());

    const fs::path messagesFolder = folder / "Messages";
    const fs::path bookFolder = folder / "AddressBook";
    const fs::path chatPath = messagesFolder / "chat.db";
    const fs::path bookPath = bookFolder / "AddressBook-v22.abcddb";
    std::error_code error;
    for (const fs::path& existing : {chatPath, bookPath})
        if (fs::exists(existing, error))
            return tl::unexpected(existing.string() + " already exists; a sample history is only written into a new place");
    for (const fs::path& made : {messagesFolder, bookFolder}) {
        fs::create_directories(made, error);
        if (error) return tl::unexpected("cannot make " + made.string() + ": " + error.message());
    }

    auto media = MediaMaker::create(fs::temp_directory_path(error));
    if (!media) return tl::unexpected(media.error());

    Plan plan;
    buildShowcase(plan, options.seed);

    Truth truth;
    Unfinished chatFile(messagesFolder / ".chat.db.unfinished");
    auto db = ChatDatabase::create(chatFile.path());
    if (!db) return tl::unexpected(db.error());
    if (auto done = writeShowcase(plan, **db, *media, messagesFolder, options.seed, truth); !done)
        return tl::unexpected(done.error());

    AddressBook book;
    for (const Person& person : plan.people) {
        if (!person.inBook) continue;
        AddressCard card{person.firstName, person.lastName, person.organization, {}, person.phones, person.emails, {}};
        if (person.thumbnail) {
            auto picture = media->bytes(Media::thumbnail);
            if (!picture) return tl::unexpected(picture.error());
            card.thumbnail = std::move(*picture);
        }
        book.add(std::move(card));
    }

    shape->firstHandle = static_cast<int64_t>(plan.handles.size()) + 1;
    shape->firstChat = static_cast<int64_t>(plan.chats.size()) + 1;
    if (auto done = writeBulk(*shape, **db, book, truth); !done) return tl::unexpected(done.error());
    if (auto done = (*db)->finish(); !done) return tl::unexpected(done.error());

    Unfinished bookFile(bookFolder / ".AddressBook-v22.abcddb.unfinished");
    if (auto done = book.write(bookFile.path()); !done) return tl::unexpected(done.error());
    if (auto done = bookFile.moveTo(bookPath); !done) return tl::unexpected(done.error());
    if (auto done = chatFile.moveTo(chatPath); !done) return tl::unexpected(done.error());

    addShowcaseTruth(plan, messagesFolder, truth);
    std::stable_sort(truth.conversations.begin(), truth.conversations.end(),
                     [](const Truth::Conversation& a, const Truth::Conversation& b) { return a.lastRaw > b.lastRaw; });
    return truth;
}

}  // namespace quillmark::SampleHistory
