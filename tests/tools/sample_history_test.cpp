// The sample history against the engine: what make-sample-history says it wrote is what the reader, the
// library and the thread builder find in it. One showcase is written for the whole suite.
#include "sample_history/sample_history.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "conversations/library.h"
#include "core/apple_time.h"
#include "store/messages_database.h"
#include "store/sqlite_database.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using Truth = SampleHistory::Truth;

struct Written {
    TempDir dir;
    Truth truth;
};

// The showcase, written once for all tests that only read it.
const Written& showcase() {
    static const std::unique_ptr<Written> written = [] {
        auto w = std::make_unique<Written>();
        auto truth = SampleHistory::write(w->dir.path(), {});
        if (!truth) {
            ADD_FAILURE() << truth.error();
            return w;
        }
        w->truth = std::move(*truth);
        return w;
    }();
    return *written;
}

fs::path chatDB(const fs::path& folder) { return folder / "Messages" / "chat.db"; }
fs::path bookDB(const fs::path& folder) { return folder / "AddressBook" / "AddressBook-v22.abcddb"; }

std::unique_ptr<Library> openLibrary(const fs::path& folder) {
    auto db = MessagesDatabase::open(chatDB(folder).string());
    if (!db) return nullptr;
    auto contacts = std::make_shared<ContactsBook>();
    contacts->load({bookDB(folder)});
    auto library = Library::open(std::move(*db), contacts);
    return library ? std::move(*library) : nullptr;
}

int64_t scalar(const fs::path& path, const std::string& sql) {
    auto db = SQLiteDatabase::openReadOnly(path.string());
    auto value = db ? (*db)->scalarInt(sql) : tl::unexpected(db.error());
    return value ? *value : -1;
}

std::map<std::string, std::string> filesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = testing::readFile(entry.path());
    return files;
}

std::optional<Date> dateOf(int64_t raw) { return AppleTime::date(raw); }

SampleHistory::Options options(uint64_t seed, std::optional<int64_t> conversations = std::nullopt,
                               std::optional<int64_t> messages = std::nullopt) {
    SampleHistory::Options o;
    o.seed = seed;
    o.conversations = conversations;
    o.messages = messages;
    return o;
}

// --- What the reader and the library make of the showcase.

TEST(SampleHistoryShowcase, WritesNothingButTheHistory) {
    const Written& w = showcase();
    // Nothing but the history: no journal, no unfinished file, no scratch media.
    std::set<std::string> top, messages;
    for (const auto& entry : fs::directory_iterator(w.dir.path())) top.insert(entry.path().filename().string());
    for (const auto& entry : fs::directory_iterator(w.dir / "Messages")) messages.insert(entry.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"AddressBook", "Messages"}));
    EXPECT_EQ(messages, (std::set<std::string>{"Attachments", "chat.db"}));
    EXPECT_EQ(static_cast<int64_t>(w.truth.conversations.size()), SampleHistory::showcaseConversationCount());
    EXPECT_EQ(w.truth.messageCount, SampleHistory::showcaseMessageCount());
}

TEST(SampleHistoryShowcase, TheConversationListIsTheTruths) {
    const Written& w = showcase();
    auto library = openLibrary(w.dir.path());
    ASSERT_TRUE(library);
    const auto& listed = library->conversations();
    ASSERT_EQ(listed.size(), w.truth.conversations.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        const Conversation& c = listed[i];
        const Truth::Conversation& t = w.truth.conversations[i];
        SCOPED_TRACE(t.title);
        EXPECT_EQ(c.chatGUIDs, t.chatGUIDs);
        EXPECT_EQ(c.title("en_US"), t.title);
        EXPECT_EQ(c.groupName, t.groupName);
        EXPECT_EQ(c.isGroup, t.isGroup);
        EXPECT_EQ(c.messageCount, t.messageCount);
        EXPECT_EQ(c.services, t.services);
        EXPECT_EQ(c.lastSnippet, t.snippet);
        EXPECT_EQ(c.lastDate, dateOf(t.lastRaw));
        ASSERT_EQ(c.participants.size(), t.participants.size());
        for (size_t p = 0; p < t.participants.size(); ++p) {
            EXPECT_EQ(c.participants[p].address, t.participants[p].address);
            EXPECT_EQ(c.participants[p].name, t.participants[p].name);
        }
    }
}

// The names the book gives are held to the truth through the conversation list, one address a person;
// here, a second address of a person and a card's photo.
TEST(SampleHistoryShowcase, TheAddressBookLoadsWithAPhoto) {
    ContactsBook book;
    EXPECT_EQ(book.load({bookDB(showcase().dir.path())}), 1);
    EXPECT_EQ(book.name("ben.okafor@example.com"), "Ben Okafor");  // stored with capitals
    const auto anna = book.card("+15551230001");
    ASSERT_TRUE(anna && anna->thumbnail);
    ASSERT_GE(anna->thumbnail->size(), 3u);
    EXPECT_EQ((std::vector<uint8_t>(anna->thumbnail->begin(), anna->thumbnail->begin() + 3)),
              (std::vector<uint8_t>{0xFF, 0xD8, 0xFF}));  // a JPEG once the store's header byte is gone
}

void expectSameMessage(const Message& m, const Truth::Message& t) {
    SCOPED_TRACE(t.guid + " “" + t.text + "”");
    EXPECT_EQ(m.guid, t.guid);
    EXPECT_EQ(m.rawDate, t.rawDate);
    EXPECT_EQ(m.isFromMe, t.isFromMe);
    EXPECT_EQ(m.sender ? m.sender->address : "", t.senderAddress);
    EXPECT_EQ(m.service, t.service);
    EXPECT_EQ(m.text, t.text);
    EXPECT_EQ(m.subject, t.subject);
    EXPECT_EQ(m.links, t.links);
    ASSERT_EQ(m.attachments.size(), t.attachments.size());
    for (size_t i = 0; i < t.attachments.size(); ++i) {
        const Attachment& a = m.attachments[i];
        const Truth::Attachment& e = t.attachments[i];
        EXPECT_EQ(a.guid, e.guid);
        EXPECT_EQ(a.name, e.name);
        EXPECT_EQ(a.kind().rawValue(), e.kind);
        EXPECT_EQ(a.isAvailable, e.isAvailable);
        EXPECT_EQ(a.isSticker, e.isSticker);
        EXPECT_EQ(a.byteCount, e.byteCount);
        ASSERT_TRUE(a.path);
        EXPECT_EQ(fs::path(*a.path).lexically_normal(), e.path.lexically_normal());
    }
    ASSERT_EQ(m.reactions.size(), t.reactions.size());
    for (size_t i = 0; i < t.reactions.size(); ++i) {
        const Reaction& r = m.reactions[i];
        const Truth::Reaction& e = t.reactions[i];
        EXPECT_EQ(r.kind.rawValue(), e.kind);
        EXPECT_EQ(r.isFromMe, e.isFromMe);
        EXPECT_EQ(r.sender ? r.sender->address : "", e.senderAddress);
        if (e.emoji) {
            EXPECT_EQ(r.emoji, *e.emoji);
        }
    }
    EXPECT_EQ(m.editedAt, t.editedRaw ? dateOf(*t.editedRaw) : std::nullopt);
    std::vector<std::string> history;
    for (const auto& version : m.editHistory) history.push_back(version.text);
    EXPECT_EQ(history, t.editHistory);
    EXPECT_EQ(m.unsentAt, t.unsentRaw ? dateOf(*t.unsentRaw) : std::nullopt);
    EXPECT_EQ(m.replyToGUID, t.replyToGUID);
    EXPECT_EQ(m.event, t.event);
    EXPECT_EQ(m.effect, t.effect);
    EXPECT_EQ(m.appKind, t.appKind);
    EXPECT_EQ(m.isAudioMessage, t.isAudioMessage);
}

TEST(SampleHistoryShowcase, EveryThreadShowsWhatWasWritten) {
    const Written& w = showcase();
    auto library = openLibrary(w.dir.path());
    ASSERT_TRUE(library);
    for (const Truth::Conversation& t : w.truth.conversations) {
        auto conversation = library->conversation(t.chatGUIDs);
        ASSERT_TRUE(conversation) << t.title;
        auto thread = library->thread(*conversation, DateRange::all);
        ASSERT_TRUE(thread) << t.title;
        ASSERT_EQ(thread->messages.size(), t.messages.size()) << t.title;
        for (size_t i = 0; i < t.messages.size(); ++i) expectSameMessage(thread->messages[i], t.messages[i]);
    }
}

TEST(SampleHistoryShowcase, AReplyOutsideTheRangeStillHasItsContext) {
    const Written& w = showcase();
    auto library = openLibrary(w.dir.path());
    ASSERT_TRUE(library);
    const Truth::Conversation* anna = w.truth.conversation("iMessage;-;+15551230001");
    ASSERT_TRUE(anna);
    const auto reply = std::find_if(anna->messages.begin(), anna->messages.end(), [](const Truth::Message& m) {
        return m.text == "We're finally going back there tomorrow!";
    });
    ASSERT_NE(reply, anna->messages.end());
    ASSERT_TRUE(reply->replyToGUID);
    const Truth::Message* original = w.truth.message(*reply->replyToGUID);
    ASSERT_TRUE(original);
    EXPECT_LT(dateOf(original->rawDate)->seconds, dateOf(reply->rawDate)->seconds - 365 * 86400.0);

    // Only the last month: the replied-to message is outside it, its context is not.
    const DateRange lastMonth{Date{dateOf(anna->lastRaw)->seconds - 30 * 86400.0}, std::nullopt};
    auto thread = library->thread(*library->conversation(anna->chatGUIDs), lastMonth);
    ASSERT_TRUE(thread);
    EXPECT_TRUE(std::none_of(thread->messages.begin(), thread->messages.end(),
                             [&](const Message& m) { return m.guid == original->guid; }));
    ASSERT_TRUE(thread->replies.contains(original->guid));
    EXPECT_EQ(thread->replies.at(original->guid).text, original->text);
    EXPECT_EQ(thread->replies.at(original->guid).sender, "You");
}

// --- What the showcase is made to contain: each line guards a case the later tests rely on.

TEST(SampleHistoryShowcase, HoldsEveryKindOfRow) {
    const fs::path db = chatDB(showcase().dir.path());
    const auto count = [&](const std::string& where) { return scalar(db, "SELECT count(*) FROM message WHERE " + where); };
    for (int type : {1000, 2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007, 3000, 3001, 3002, 3003, 3004, 3005, 3006, 3007})
        EXPECT_GT(count("associated_message_type = " + std::to_string(type)), 0) << type;
    EXPECT_GT(count("associated_message_guid LIKE 'p:0/%'"), 0);
    EXPECT_GT(count("associated_message_guid LIKE 'bp:%'"), 0);
    EXPECT_GT(count("associated_message_type = 2006 AND associated_message_emoji IS NOT NULL"), 0);
    EXPECT_GT(count("associated_message_type = 2006 AND associated_message_emoji IS NULL"), 0);
    EXPECT_GT(count("text IS NULL AND attributedBody IS NOT NULL AND item_type = 0"), 0);
    EXPECT_GT(count("text IS NOT NULL AND attributedBody IS NOT NULL"), 0);
    EXPECT_GT(count("text IS NOT NULL AND attributedBody IS NULL"), 0);
    for (int item : {1, 2, 3}) EXPECT_GT(count("item_type = " + std::to_string(item)), 0) << item;
    EXPECT_GT(count("item_type = 1 AND group_action_type = 1"), 0);
    EXPECT_GT(count("item_type = 3 AND group_action_type = 2"), 0);
    EXPECT_GT(count("date_retracted != 0"), 0);
    EXPECT_GT(count("date_retracted = 0 AND message_summary_info IS NOT NULL AND text IS NULL AND attributedBody IS NULL"), 0);
    EXPECT_GT(count("date_edited != 0 AND message_summary_info IS NOT NULL"), 0);
    EXPECT_GT(count("is_audio_message = 1"), 0);
    EXPECT_GT(count("thread_originator_guid IS NOT NULL"), 0);
    EXPECT_GT(count("subject IS NOT NULL"), 0);
    EXPECT_EQ(scalar(db, "SELECT count(*) FROM attachment WHERE hide_attachment = 1"), 1);
    EXPECT_GT(scalar(db, "SELECT count(*) FROM attachment WHERE is_sticker = 1"), 0);

    std::set<std::string> effects, apps, kinds;
    for (const auto& c : showcase().truth.conversations)
        for (const auto& m : c.messages) {
            if (m.effect) effects.insert(*m.effect);
            if (m.appKind) apps.insert(*m.appKind);
            for (const auto& a : m.attachments) kinds.insert(a.kind);
        }
    EXPECT_EQ(effects.size(), 13u);  // every effect Messages names
    EXPECT_EQ(apps, (std::set<std::string>{"Apple Cash", "Digital Touch", "Find My", "Game", "Handwritten message",
                                           "Poll", "iMessage app"}));
    EXPECT_EQ(kinds, (std::set<std::string>{"audio", "file", "image", "video"}));
}

TEST(SampleHistoryShowcase, BodyOrderOfAttachmentsDiffersFromTheirRowOrder) {
    const Written& w = showcase();
    const Truth::Message* three = nullptr;
    for (const auto& c : w.truth.conversations)
        for (const auto& m : c.messages)
            if (m.attachments.size() == 3) three = &m;
    ASSERT_TRUE(three);
    std::vector<std::string> shown, rowOrder;
    for (const auto& a : three->attachments) shown.push_back(a.name);
    EXPECT_EQ(shown, (std::vector<std::string>{"IMG_4111.JPG", "IMG_4112.JPG", "IMG_4110.JPG"}));
    EXPECT_LT(scalar(chatDB(w.dir.path()), "SELECT ROWID FROM attachment WHERE transfer_name = 'IMG_4110.JPG'"),
              scalar(chatDB(w.dir.path()), "SELECT ROWID FROM attachment WHERE transfer_name = 'IMG_4111.JPG'"));
}

// --- Writing.

TEST(SampleHistoryWrite, TheSameSeedWritesTheSameHistoryAndAnotherSeedAnother) {
    TempDir first, second, third;
    ASSERT_TRUE(SampleHistory::write(first.path(), options(7)));
    ASSERT_TRUE(SampleHistory::write(second.path(), options(7)));
    ASSERT_TRUE(SampleHistory::write(third.path(), options(8)));
    // Byte for byte: both databases, the address book and every attachment.
    EXPECT_EQ(filesBelow(first.path()), filesBelow(second.path()));
    EXPECT_NE(testing::readFile(chatDB(first.path())), testing::readFile(chatDB(third.path())));
}

TEST(SampleHistoryWrite, NeverWritesOverAnExistingHistory) {
    TempDir dir;
    const fs::path existing = dir.write("Messages/chat.db", "someone's history");
    auto truth = SampleHistory::write(dir.path(), {});
    ASSERT_FALSE(truth);
    EXPECT_NE(truth.error().find("already exists"), std::string::npos) << truth.error();
    EXPECT_EQ(testing::readFile(existing), "someone's history");
    EXPECT_FALSE(fs::exists(bookDB(dir.path())));
}

TEST(SampleHistoryWrite, RefusesCountsItCannotMeet) {
    TempDir dir;
    const int64_t conversations = SampleHistory::showcaseConversationCount();
    const int64_t messages = SampleHistory::showcaseMessageCount();
    for (const SampleHistory::Options& refused : {
             options(1, conversations - 1),
             options(1, std::nullopt, messages - 1),
             options(1, conversations, messages + 10),       // more messages, no conversation to hold them
             options(1, conversations + 10, messages + 9),  // ten more conversations, nine more messages
         }) {
        auto truth = SampleHistory::write(dir.path(), refused);
        ASSERT_FALSE(truth);
        EXPECT_FALSE(truth.error().empty());
        EXPECT_FALSE(fs::exists(chatDB(dir.path())));
    }
}

TEST(SampleHistoryWrite, AddsBulkChatsUpToTheTotalsWithTheirMessagesAndTapbacks) {
    TempDir dir;
    const int64_t conversations = SampleHistory::showcaseConversationCount() + 40;
    const int64_t messages = 6000;
    auto truth = SampleHistory::write(dir.path(), options(3, conversations, messages));
    ASSERT_TRUE(truth) << truth.error();
    EXPECT_EQ(truth->messageCount, messages);

    auto library = openLibrary(dir.path());
    ASSERT_TRUE(library);
    const auto& listed = library->conversations();
    ASSERT_EQ(static_cast<int64_t>(listed.size()), conversations);
    int64_t total = 0, largest = 0, shownReactions = 0;
    size_t showcaseChats = 0;
    for (const auto& c : listed) {
        total += c.messageCount;
        largest = std::max(largest, c.messageCount);
        const Truth::Conversation* t = truth->conversation(c.chatGUIDs.front());
        ASSERT_TRUE(t);
        EXPECT_EQ(c.messageCount, t->messageCount);
        EXPECT_EQ(c.title("en_US"), t->title);
        EXPECT_EQ(c.lastSnippet, t->snippet);
        if (t->isShowcase) {
            showcaseChats += t->chatGUIDs.size();
            continue;
        }
        auto thread = library->thread(c, DateRange::all);
        ASSERT_TRUE(thread);
        EXPECT_EQ(static_cast<int64_t>(thread->messages.size()), t->messageCount) << t->title;
        for (const Message& m : thread->messages) shownReactions += static_cast<int64_t>(m.reactions.size());
    }
    EXPECT_EQ(total, messages);
    EXPECT_EQ(largest, messages / 10);
    // Every bulk tapback (one per message at most) must find its message; one that names a wrong GUID
    // would be lost without a word.
    const int64_t bulkTapbacks = scalar(chatDB(dir.path()),
                                        "SELECT count(*) FROM message m JOIN chat_message_join j ON j.message_id = m.ROWID "
                                        "WHERE m.associated_message_type >= 2000 AND j.chat_id > " +
                                            std::to_string(showcaseChats));
    EXPECT_GT(bulkTapbacks, 100);
    EXPECT_EQ(shownReactions, bulkTapbacks);
}

TEST(SampleHistoryWrite, AMissingMediaToolIsNamedAndNoHistoryIsLeft) {
    TempDir dir;
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir.path() / "no-tools-here").c_str(), 1);
    auto truth = SampleHistory::write(dir.path(), {});
    setenv("PATH", path.c_str(), 1);
    ASSERT_FALSE(truth);
    EXPECT_NE(truth.error().find("ffmpeg"), std::string::npos) << truth.error();
    EXPECT_FALSE(fs::exists(chatDB(dir.path())));
    EXPECT_FALSE(fs::exists(bookDB(dir.path())));
}

}  // namespace
}  // namespace quillmark
