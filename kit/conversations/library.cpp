#include "conversations/library.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "body/attributed_body.h"
#include "conversations/thread_builder.h"
#include "core/apple_time.h"
#include "core/text.h"

namespace quillmark {

namespace {

bool isGroupChat(const ChatRow& chat) { return chat.style == 43 || chat.handleIDs.size() >= 2; }

// The snippet of a chat's latest message, as the conversation list shows it.
std::string snippet(const LastMessage& last) {
    std::string text;
    std::optional<AttributedBody> body;
    if (last.body) body = AttributedBody::decode(*last.body);
    if (body)
        text = body->plainText();
    else
        text = last.text.value_or("");
    text = ThreadBuilder::displayedText(text);
    if (text.empty() && last.hasAttachments) return "Attachment";
    return text;
}

}  // namespace

Library::Result<std::unique_ptr<Library>> Library::open(std::unique_ptr<MessagesDatabase> database,
                                                        std::shared_ptr<const ContactsBook> contacts) {
    auto files = HistoryFiles::inFolder(database->folder());
    return open(std::move(database), std::move(contacts), std::move(files));
}

Library::Result<std::unique_ptr<Library>> Library::open(std::unique_ptr<MessagesDatabase> database,
                                                        std::shared_ptr<const ContactsBook> contacts,
                                                        std::shared_ptr<const HistoryFiles> files) {
    if (!contacts) contacts = std::make_shared<ContactsBook>();
    std::unique_ptr<Library> library(new Library(std::move(database), std::move(contacts), std::move(files)));
    if (auto loaded = library->reload(); !loaded) return tl::unexpected(loaded.error());
    return library;
}

std::string Library::personKey(const std::string& address) const {
    if (const auto card = contacts_->card(address)) return "card:" + std::to_string(card->id);
    if (address.find('@') != std::string::npos) return text::asciiLower(address);
    std::string digits = ContactsBook::digits(address);
    return digits.empty() ? address : digits;
}

Library::Result<void> Library::reload() {
    auto handles = database_->handles();
    if (!handles) return tl::unexpected(handles.error());
    handles_ = std::move(*handles);
    // The chats and the last message of each come from one read of the message table.
    auto list = database_->chatList();
    if (!list) return tl::unexpected(list.error());
    const std::vector<ChatRow>* chats = &list->chats;
    chatRows_.clear();
    for (const ChatRow& chat : *chats) chatRows_[chat.id] = chat;

    // Group the chats, in the order in which each key first occurs (newest chat first).
    std::vector<std::string> keys;
    std::unordered_map<std::string, std::vector<const ChatRow*>> groups;
    for (const ChatRow& chat : *chats) {
        std::string key;
        if (isGroupChat(chat)) {
            key = "group:" + chat.guid;
        } else {
            for (int64_t handleID : chat.handleIDs) {
                const auto handle = handles_.find(handleID);
                if (handle == handles_.end()) continue;
                key = "person:" + personKey(handle->second.address);
                break;
            }
            if (key.empty()) key = "chat:" + chat.identifier;
        }
        auto [it, inserted] = groups.try_emplace(key);
        if (inserted) keys.push_back(key);
        it->second.push_back(&chat);
    }

    std::vector<Conversation> conversations;
    conversations.reserve(keys.size());
    for (const std::string& key : keys) conversations.push_back(makeConversation(key, groups[key], list->last));
    std::stable_sort(conversations.begin(), conversations.end(), [](const Conversation& a, const Conversation& b) {
        if (!a.lastDate || !b.lastDate) return a.lastDate.has_value() && !b.lastDate.has_value();
        return *a.lastDate > *b.lastDate;
    });
    conversations_ = std::move(conversations);
    return {};
}

Conversation Library::makeConversation(const std::string& key, const std::vector<const ChatRow*>& rows,
                                       const std::map<int64_t, LastMessage>& last) const {
    const ChatRow* primary = rows.front();
    for (const ChatRow* row : rows)
        if (row->lastRaw > primary->lastRaw) primary = row;

    Conversation c;
    c.id = key;

    std::unordered_set<std::string> seen;
    for (const ChatRow* row : rows) {
        for (int64_t handleID : row->handleIDs) {
            const auto handle = handles_.find(handleID);
            if (handle == handles_.end()) continue;
            const std::string& address = handle->second.address;
            if (!seen.insert(personKey(address)).second) continue;
            c.participants.push_back(Participant{address, contacts_->name(address)});
        }
    }
    if (c.participants.empty() && !primary->identifier.empty())
        c.participants.push_back(Participant{primary->identifier, contacts_->name(primary->identifier)});

    if (const auto summary = last.find(primary->id); summary != last.end()) c.lastSnippet = snippet(summary->second);

    std::optional<int64_t> firstRaw;
    for (const ChatRow* row : rows)
        if (row->firstRaw != 0 && (!firstRaw || row->firstRaw < *firstRaw)) firstRaw = row->firstRaw;
    if (firstRaw) c.firstDate = AppleTime::date(*firstRaw);
    c.lastDate = AppleTime::date(primary->lastRaw);

    std::vector<const ChatRow*> byID = rows;
    std::sort(byID.begin(), byID.end(), [](const ChatRow* a, const ChatRow* b) { return a->id < b->id; });
    for (const ChatRow* row : byID) {
        c.chatIDs.push_back(row->id);
        c.chatGUIDs.push_back(row->guid);
    }

    for (const ChatRow* row : rows) {
        if (row->displayName && !row->displayName->empty()) {
            c.groupName = row->displayName;
            break;
        }
    }
    c.isGroup = isGroupChat(*primary);
    std::set<std::string> services;
    for (const ChatRow* row : rows) {
        c.messageCount += row->messageCount;
        if (!row->service.empty()) services.insert(row->service);
    }
    c.services.assign(services.begin(), services.end());
    return c;
}

std::optional<Conversation> Library::conversation(const std::vector<std::string>& chatGUIDs) const {
    for (const Conversation& c : conversations_)
        for (const std::string& guid : chatGUIDs)
            if (std::find(c.chatGUIDs.begin(), c.chatGUIDs.end(), guid) != c.chatGUIDs.end()) return c;
    return std::nullopt;
}

std::optional<Participant> Library::participant(int64_t handleID) const { return participant(handleID, std::nullopt); }

std::optional<Participant> Library::participant(int64_t handleID, const std::optional<NameMap>& names) const {
    const auto handle = handles_.find(handleID);
    if (handle == handles_.end()) return std::nullopt;
    const std::string& address = handle->second.address;
    if (names) {
        const auto name = names->find(address);
        return Participant{address, name == names->end() ? std::nullopt : std::optional<std::string>(name->second)};
    }
    return Participant{address, contacts_->name(address)};
}

void Library::attachFiles(std::vector<Message>& messages) const {
    for (Message& m : messages)
        for (Attachment& a : m.attachments) a.files = files_;
}

Library::Result<MessageThread> Library::thread(const Conversation& conversation, const DateRange& range,
                                               const std::optional<NameMap>& names) {
    MessageThread thread;
    thread.conversation = conversation;
    thread.range = range;
    thread.origin = origin_;
    if (names) {
        for (Participant& p : thread.conversation.participants) {
            const auto name = names->find(p.address);
            p.name = name == names->end() ? std::nullopt : std::optional<std::string>(name->second);
        }
    }

    std::optional<int64_t> startRaw, endRaw;
    if (range.start) startRaw = AppleTime::raw(*range.start);
    if (range.end) endRaw = AppleTime::raw(*range.end);
    auto rows = database_->messages(conversation.chatIDs, startRaw, endRaw);
    if (!rows) return tl::unexpected(rows.error());
    auto attachments = database_->attachments(conversation.chatIDs, startRaw, endRaw);
    if (!attachments) return tl::unexpected(attachments.error());

    // A thread asks about the same few handles again and again; look each up once.
    std::unordered_map<int64_t, std::optional<Participant>> cache;
    const ThreadBuilder::ParticipantLookup lookup = [&](int64_t handleID) {
        auto [it, inserted] = cache.try_emplace(handleID);
        if (inserted) it->second = participant(handleID, names);
        return it->second;
    };
    const ThreadBuilder::PathResolver resolve = [&](const std::optional<std::string>& stored) {
        return database_->resolve(stored);
    };
    const ThreadBuilder::FileExists isInHistory = [&](const std::string& path) { return files_->contains(path); };
    thread.messages = ThreadBuilder::build(*rows, *attachments, lookup, resolve, isInHistory);
    attachFiles(thread.messages);
    std::set<std::string> present;
    for (const Participant& p : thread.conversation.participants) present.insert(personKey(p.address));
    for (Participant& p : ThreadBuilder::formerMembers(*rows, lookup))
        if (present.insert(personKey(p.address)).second) thread.formerParticipants.push_back(std::move(p));
    rows->clear();
    rows->shrink_to_fit();

    std::unordered_map<std::string, const Message*> index;
    index.reserve(thread.messages.size());
    for (const Message& m : thread.messages) index[m.guid] = &m;

    std::set<std::string> missing;
    for (const Message& m : thread.messages)
        if (m.replyToGUID && !index.count(*m.replyToGUID)) missing.insert(*m.replyToGUID);
    std::vector<Message> outside;
    if (!missing.empty()) {
        auto fetched = database_->messages(std::vector<std::string>(missing.begin(), missing.end()));
        if (!fetched) return tl::unexpected(fetched.error());
        outside = ThreadBuilder::build(*fetched, {}, lookup, resolve, isInHistory);
        for (const Message& m : outside) index[m.guid] = &m;
    }

    for (const Message& m : thread.messages) {
        if (!m.replyToGUID) continue;
        const auto found = index.find(*m.replyToGUID);
        if (found == index.end()) continue;
        const Message& original = *found->second;
        MessageThread::ReplyContext context;
        if (original.isFromMe)
            context.sender = "You";
        else if (original.sender)
            context.sender = original.sender->name ? *original.sender->name : Participant::format(original.sender->address);
        else
            context.sender = "Someone";
        context.text = !original.text.empty() ? original.text : !original.attachments.empty() ? "Attachment" : "Message";
        context.date = original.date;
        thread.replies[*m.replyToGUID] = std::move(context);
    }
    return thread;
}

}  // namespace quillmark
