#include "sample_history/bulk.h"

#include <algorithm>
#include <map>
#include <optional>

#include "body/attributed_body_writer.h"
#include "sample_history/phrases.h"
#include "sample_history/plan.h"
#include "sample_history/random.h"
#include "sample_history/titles.h"

namespace quillmark::sample {

namespace {

using Participant = SampleHistory::Truth::Participant;

struct BulkChat {
    int64_t rowid = 0;
    std::string guid;
    std::string service;
    bool isGroup = false;
    std::optional<std::string> groupName;
    std::vector<int64_t> handles;  // ascending
    std::vector<Participant> members;  // in handle order
    Language language = Language::english;
    int64_t lastDate = 0;
    uint64_t lastMessage = 0;
};

// One row to write: a message, or a tapback on an earlier message of the same chat.
struct Event {
    int64_t date = 0;
    uint64_t sequence = 0;  // messages 0 … M-1, then reactions
    uint64_t target = 0;    // for a reaction: the message it is on
    uint32_t chat = 0;
    bool isReaction = false;
};

const std::vector<std::string>& groupNames() {
    static const std::vector<std::string> names = {"Book club 📚", "Climbing crew 🧗", "Family 👨‍👩‍👧", "Football Sundays ⚽️",
                                                   "Flat 3B",       "Project Atlas",   "Choir 🎶",     "Wedding planning 💍",
                                                   "Ski trip ⛷️",   "Neighbours"};
    return names;
}

// What a message's number decides about it, the same every time it is asked.
struct Traits {
    bool fromMe;
    size_t member;
    size_t phrase;
    int storage;  // 0 text and body, 1 body only, 2 text only
    int64_t readDelay;
    int64_t deliverDelay;
    int tapback;
};

Traits traitsOf(uint64_t salt, uint64_t sequence) {
    const uint64_t h = mix(salt + sequence);
    const uint64_t percent = (h >> 40) % 100;
    return Traits{(h & 0xFF) < 115,
                  static_cast<size_t>((h >> 8) & 0xFFF),
                  static_cast<size_t>((h >> 20) & 0xFFFFF),
                  percent < 45 ? 0 : percent < 90 ? 1 : 2,
                  static_cast<int64_t>((h >> 48) % 3600 + 30) * second,
                  static_cast<int64_t>((h >> 56) % 5 + 1) * second,
                  static_cast<int>((h >> 12) % 6)};
}

}  // namespace

std::vector<int64_t> shareMessages(const BulkShape& shape) {
    const int64_t n = shape.conversations;
    if (n <= 0) return {};
    std::vector<int64_t> counts(static_cast<size_t>(n), 1);
    if (n == 1) {
        counts[0] = shape.messages;
        return counts;
    }
    counts[0] = std::clamp<int64_t>(shape.largest, 1, shape.messages - (n - 1));
    const int64_t rest = shape.messages - counts[0] - (n - 1);
    if (rest <= 0) return counts;

    // Harmonic weights: a few busy chats and a long tail of quiet ones, as in a real history.
    std::vector<int64_t> weights(static_cast<size_t>(n), 0);
    int64_t total = 0;
    for (int64_t i = 1; i < n; ++i) total += weights[static_cast<size_t>(i)] = 1'000'000 / (i + 9);
    int64_t shared = 0;
    for (int64_t i = 1; i < n; ++i) {
        // At most 10^8 messages times weights below 10^6: the product fits.
        const int64_t extra = rest * weights[static_cast<size_t>(i)] / total;
        counts[static_cast<size_t>(i)] += extra;
        shared += extra;
    }
    for (int64_t i = 1; shared < rest; i = i % (n - 1) + 1, ++shared) counts[static_cast<size_t>(i)] += 1;
    return counts;
}

tl::expected<void, std::string> writeBulk(const BulkShape& shape, ChatDatabase& db, AddressBook& book,
                                          SampleHistory::Truth& truth) {
    if (shape.conversations <= 0) return {};
    Random random(shape.seed ^ 0xB17C0DE5ULL);
    const std::vector<int64_t> counts = shareMessages(shape);

    // People and chats. Every chat is one conversation; group members are people of earlier chats.
    std::vector<BulkChat> chats;
    chats.reserve(counts.size());
    std::vector<size_t> joinable;  // chats with one person over iMessage
    int64_t nextHandle = shape.firstHandle;
    for (int64_t i = 0; i < shape.conversations; ++i) {
        BulkChat chat;
        chat.rowid = shape.firstChat + i;
        chat.language = random.pick(allLanguages());
        ChatRecord record;
        record.rowid = chat.rowid;
        record.groupID = uuidFor(shape.seed * 7919 + static_cast<uint64_t>(i));

        if (i > 0 && joinable.size() >= 8 && random.chance(7)) {
            const int64_t size = random.between(3, 6);
            std::vector<size_t> picked;
            while (static_cast<int64_t>(picked.size()) < size) {
                const size_t candidate = random.pick(joinable);
                if (std::find(picked.begin(), picked.end(), candidate) == picked.end()) picked.push_back(candidate);
            }
            std::sort(picked.begin(), picked.end());  // earlier chats have lower handle ROWIDs
            for (size_t other : picked) {
                chat.handles.push_back(chats[other].handles.front());
                chat.members.push_back(chats[other].members.front());
            }
            chat.isGroup = true;
            chat.service = "iMessage";
            if (random.chance(50)) chat.groupName = random.pick(groupNames());
            record.identifier = "chat" + std::to_string(random.between(100000000000000000LL, 999999999999999999LL));
            chat.guid = "iMessage;+;" + record.identifier;
            record.style = 43;
        } else {
            const bool sms = random.chance(10);
            const bool email = !sms && random.chance(20);
            const std::string digits = std::to_string(2000000 + i);
            const std::string address = email ? "friend" + std::to_string(i) + "@example.net" : "+1555" + digits;
            chat.service = sms ? "SMS" : "iMessage";
            std::optional<std::string> name;
            if (random.chance(70)) {
                AddressCard card;
                card.firstName = random.pick(firstNames());
                card.lastName = random.pick(lastNames());
                if (email)
                    card.emails = {address};
                else
                    card.phones = {"+1 (555) " + digits.substr(0, 3) + "-" + digits.substr(3)};
                name = card.firstName + " " + card.lastName;
                book.add(std::move(card));
            }
            const int64_t handle = nextHandle++;
            if (auto done = db.handle({handle, address, chat.service}); !done) return done;
            chat.handles = {handle};
            chat.members = {{address, name}};
            chat.guid = chat.service + ";-;" + address;
            record.identifier = address;
            record.style = 45;
            if (!sms) joinable.push_back(chats.size());
        }
        record.guid = chat.guid;
        record.service = chat.service;
        record.displayName = chat.groupName;
        record.account = chat.service == "SMS" ? "P:+15550000000" : "E:me@example.com";
        if (auto done = db.chat(record, chat.handles); !done) return done;
        chats.push_back(std::move(chat));
    }

    // Every message gets a time in the eighteen months; about one in twenty-five gets a tapback within
    // hours. All rows are then written in time order.
    std::vector<Event> events;
    events.reserve(static_cast<size_t>(shape.messages + shape.messages / 20 + 16));
    uint64_t sequence = 0;
    for (size_t c = 0; c < chats.size(); ++c) {
        for (int64_t k = 0; k < counts[c]; ++k, ++sequence) {
            const int64_t date = random.between(historyStart, historyEnd);
            events.push_back({date, sequence, 0, static_cast<uint32_t>(c), false});
            if (date > chats[c].lastDate) {
                chats[c].lastDate = date;
                chats[c].lastMessage = sequence;
            }
        }
    }
    const size_t messageEvents = events.size();
    for (size_t e = 0; e < messageEvents; ++e) {
        if (!random.chance(4)) continue;
        const Event& target = events[e];
        events.push_back({target.date + random.between(20 * second, 6 * hour), sequence++, target.sequence, target.chat, true});
    }
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.date != b.date ? a.date < b.date : a.sequence < b.sequence;
    });

    const uint64_t salt = mix(shape.seed) ^ 0x5A17ULL;
    // The archived body of each distinct text, made once.
    std::map<std::string, std::vector<uint8_t>> bodies;
    auto bodyOf = [&](const std::string& text) -> const std::vector<uint8_t>& {
        auto found = bodies.find(text);
        if (found != bodies.end()) return found->second;
        return bodies.emplace(text, AttributedBodyWriter::archive(text)).first->second;
    };
    auto textOf = [&](const BulkChat& chat, uint64_t message) -> const std::string& {
        const auto& pool = phrases(chat.language);
        return pool[traitsOf(salt, message).phrase % pool.size()];
    };
    static const char* const verbs[] = {"Loved", "Liked", "Disliked", "Laughed at", "Emphasized", "Questioned"};

    MessageRecord record;
    for (const Event& event : events) {
        const BulkChat& chat = chats[event.chat];
        const Traits traits = traitsOf(salt, event.sequence);
        const Traits targetTraits = traitsOf(salt, event.target);
        // A tapback comes from the other side of the message it is on.
        const bool fromMe = event.isReaction ? !targetTraits.fromMe : traits.fromMe;
        record.guid = uuidFor(salt + event.sequence);
        record.handle = fromMe ? 0 : chat.handles[traits.member % chat.handles.size()];
        record.fromMe = fromMe;
        record.date = event.date;
        record.dateDelivered = fromMe && chat.service == "iMessage" ? event.date + traits.deliverDelay : 0;
        record.dateRead = event.date + traits.readDelay;
        record.service = chat.service;
        record.account = chat.service == "SMS" ? "P:+15550000000" : "E:me@example.com";
        if (event.isReaction) {
            const std::string text = std::string(verbs[traits.tapback]) + " “" + textOf(chat, event.target) + "”";
            record.text = text;
            record.body = bodyOf(text);
            record.associatedGUID = "p:0/" + uuidFor(salt + event.target);
            record.associatedType = 2000 + traits.tapback;
            ++truth.reactionCount;
        } else {
            // Assigned in place, so that the record's buffers are reused from row to row.
            const std::string& text = textOf(chat, event.sequence);
            if (traits.storage == 1)
                record.text.reset();
            else
                record.text = text;
            if (traits.storage == 2)
                record.body.reset();
            else
                record.body = bodyOf(text);
            record.associatedGUID.reset();
            record.associatedType = 0;
            ++truth.messageCount;
        }
        auto written = db.message(record, chat.rowid);
        if (!written) return tl::unexpected(written.error());
    }

    for (const BulkChat& chat : chats) {
        SampleHistory::Truth::Conversation conversation;
        conversation.chatGUIDs = {chat.guid};
        conversation.groupName = chat.groupName;
        conversation.isGroup = chat.isGroup;
        conversation.participants = chat.members;
        conversation.title = conversationTitle(chat.groupName, chat.members);
        conversation.services = {chat.service};
        conversation.messageCount = counts[static_cast<size_t>(chat.rowid - shape.firstChat)];
        conversation.lastRaw = chat.lastDate;
        conversation.snippet = textOf(chat, chat.lastMessage);
        truth.conversations.push_back(std::move(conversation));
    }
    return {};
}

}  // namespace quillmark::sample
