// The showcase: a dozen conversations over eighteen months, scripted so that every kind of thing a
// Messages history holds appears at least once, with filler chatter between the scripted messages.
//
// Every scripted message states what the thread must show for it (event sentences, effect and app
// names, reactions as they stand at the end); that is the oracle the tests hold the reader to, so it is
// written out by hand rather than worked out by rules.
#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "sample_history/phrases.h"
#include "sample_history/plan.h"
#include "sample_history/random.h"

namespace quillmark::sample {

namespace {

using Reaction = SampleHistory::Truth::Reaction;

constexpr int64_t me = 0;  // the sender "handle" of the user's own messages

int64_t at(int year, int month, int dayOfMonth, int hours, int minutes) {
    return rawTime(year, month, dayOfMonth, hours, minutes);
}

// Tapback types as stored: adding one is 2000 + kind, removing it 3000 + kind; 1000 places a sticker.
enum Tapback : int64_t { love = 0, like, dislike, laugh, emphasize, question, emoji, sticker };
constexpr int64_t add(Tapback kind) { return 2000 + kind; }
constexpr int64_t removal(Tapback kind) { return 3000 + kind; }
constexpr int64_t stickerPlaced = 1000;

// How a reaction row names its target: most as part 0 ("p:0/GUID"), a reaction to a link balloon as
// "bp:GUID", some old rows by the bare GUID.
enum class TargetForm { part, balloon, bare };

class Script {
public:
    Script(Plan& plan, Random& random) : plan_(plan), random_(random) {}

    int person(Person person) {
        plan_.people.push_back(std::move(person));
        return static_cast<int>(plan_.people.size()) - 1;
    }

    int64_t handle(std::string address, std::string service, int person) {
        const auto rowid = static_cast<int64_t>(plan_.handles.size()) + 1;
        plan_.handles.push_back({rowid, std::move(address), std::move(service), person});
        return rowid;
    }

    int oneToOne(int64_t handleRowid, int conversation) {
        const Handle& h = plan_.handle(handleRowid);
        Chat chat;
        chat.guid = h.service + ";-;" + h.address;
        chat.identifier = h.address;
        chat.service = h.service;
        chat.style = 45;
        chat.handles = {handleRowid};
        chat.conversation = conversation;
        return addChat(std::move(chat));
    }

    int group(std::vector<int64_t> members, std::optional<std::string> name, int conversation) {
        Chat chat;
        chat.identifier = "chat" + std::to_string(100000000000000000LL + random_.between(0, 899999999999999999LL));
        chat.guid = "iMessage;+;" + chat.identifier;
        chat.service = "iMessage";
        chat.style = 43;
        chat.displayName = std::move(name);
        std::sort(members.begin(), members.end());
        chat.handles = std::move(members);
        chat.conversation = conversation;
        return addChat(std::move(chat));
    }

    Draft& say(int chat, int64_t date, int64_t from, std::string text) {
        Draft& draft = plan_.drafts.emplace_back();
        draft.guid = random_.uuid();
        draft.chat = chat;
        draft.date = date;
        draft.handle = from;
        draft.fromMe = from == me;
        draft.text = std::move(text);
        return draft;
    }

    // A tapback row on `target`. What it leaves standing is stated separately with `stands`.
    Draft& react(int64_t date, int64_t from, const Draft& target, int64_t type,
                 std::optional<std::string> emojiText = std::nullopt, TargetForm form = TargetForm::part) {
        Draft& row = say(target.chat, date, from, reactionText(type, target.text, emojiText));
        row.storage = Draft::Storage::textAndBody;
        switch (form) {
            case TargetForm::part:
                row.associatedGUID = "p:0/" + target.guid;
                break;
            case TargetForm::balloon:
                row.associatedGUID = "bp:" + target.guid;
                break;
            case TargetForm::bare:
                row.associatedGUID = target.guid;
                break;
        }
        row.associatedType = type;
        row.associatedEmoji = std::move(emojiText);
        row.shown = false;
        return row;
    }

    // What a reaction by `from` that stands at the end looks like.
    Reaction stands(Tapback kind, int64_t from, std::optional<std::string> emojiText = std::nullopt) const {
        return Reaction{static_cast<int>(kind), from == me, from == me ? "" : plan_.handle(from).address,
                        std::move(emojiText)};
    }

    AttachmentDraft file(Media media, std::string name, std::string mimeType, std::string uti, std::string kind) {
        AttachmentDraft a;
        a.guid = "at_0_" + random_.uuid();
        a.transferName = std::move(name);
        a.mimeType = std::move(mimeType);
        a.uti = std::move(uti);
        a.kind = std::move(kind);
        a.media = media;
        return a;
    }

    // Fills the chat with `count` everyday messages between the dates `from` and `to`, each in the
    // language of a voice picked at random, about one in eight with a tapback from someone else.
    void chatter(int chat, int count, int64_t from, int64_t to, const std::vector<std::pair<int64_t, Language>>& voices,
                 int textOnlyPercent = 15) {
        for (int i = 0; i < count; ++i) {
            const auto& [sender, language] = voices[static_cast<size_t>(random_.between(0, static_cast<int64_t>(voices.size()) - 1))];
            const int64_t date = random_.between(from, to);
            Draft& message = say(chat, date, sender, random_.pick(phrases(language)));
            const int64_t storage = random_.between(0, 99);
            message.storage = storage < textOnlyPercent ? Draft::Storage::textOnly
                              : storage < 55           ? Draft::Storage::textAndBody
                                                       : Draft::Storage::bodyOnly;
            if (!random_.chance(12)) continue;
            // Someone else in the chat answers with one tapback.
            std::vector<int64_t> others;
            for (const auto& voice : voices)
                if (voice.first != sender && std::find(others.begin(), others.end(), voice.first) == others.end())
                    others.push_back(voice.first);
            if (others.empty()) continue;
            const int64_t reactor = random_.pick(others);
            const auto kind = static_cast<Tapback>(random_.between(love, question));
            react(date + random_.between(20 * second, 3 * hour), reactor, message, add(kind));
            message.reactions.push_back(stands(kind, reactor));
        }
    }

private:
    int addChat(Chat chat) {
        chat.rowid = static_cast<int64_t>(plan_.chats.size()) + 1;
        chat.groupID = random_.uuid();
        plan_.chats.push_back(std::move(chat));
        return static_cast<int>(plan_.chats.size()) - 1;
    }

    // The text Messages gives a tapback row, such as: Loved “See you at 7”.
    static std::string reactionText(int64_t type, const std::string& targetText, const std::optional<std::string>& emojiText) {
        static const std::array<const char*, 8> added = {"Loved", "Liked", "Disliked", "Laughed at",
                                                         "Emphasized", "Questioned", "Reacted", "Sent a sticker on"};
        static const std::array<const char*, 8> removed = {"Removed a heart from", "Removed a like from",
                                                           "Removed a dislike from", "Removed a laugh from",
                                                           "Removed an exclamation from", "Removed a question mark from",
                                                           "Removed a reaction from", "Removed a sticker from"};
        const std::string quoted = "“" + (targetText.empty() ? std::string("an attachment") : targetText) + "”";
        if (type == stickerPlaced) return "Reacted with a sticker to " + quoted + "\uFFFC";
        const bool isRemoval = type >= 3000;
        const auto kind = static_cast<size_t>(type % 1000);
        if (kind == emoji && !isRemoval) return std::string("Reacted ") + emojiText.value_or("") + " to " + quoted;
        return std::string(isRemoval ? removed[kind] : added[kind]) + " " + quoted;
    }

    Plan& plan_;
    Random& random_;
};

Draft& effect(Draft& draft, std::string style, std::string shown) {
    draft.effectStyle = std::move(style);
    draft.effect = std::move(shown);
    return draft;
}

Draft& app(Draft& draft, std::string bundle, std::optional<std::string> shown) {
    draft.balloonBundleID = std::move(bundle);
    draft.appKind = std::move(shown);
    return draft;
}

Draft& event(Draft& draft, int64_t itemType, int64_t action, std::string sentence) {
    draft.itemType = itemType;
    draft.groupActionType = action;
    draft.event = std::move(sentence);
    draft.storage = Draft::Storage::none;
    return draft;
}

Person card(std::string first, std::string last, std::vector<std::string> phones,
            std::vector<std::string> emails = {}, bool thumbnail = false) {
    Person person;
    person.firstName = std::move(first);
    person.lastName = std::move(last);
    person.phones = std::move(phones);
    person.emails = std::move(emails);
    person.thumbnail = thumbnail;
    return person;
}

std::string effectID(const char* name) { return std::string("com.apple.messages.effect.") + name; }
std::string bubbleEffect(const char* name) { return std::string("com.apple.MobileSMS.expressivesend.") + name; }
std::string extension(const char* team, const char* bundle) {
    return std::string("com.apple.messages.MSMessageExtensionBalloonPlugin:") + team + ":" + bundle;
}

// Everyone in the showcase: the handles they write from and the chats they write in.
struct Cast {
    int64_t annaI, annaS, benP, benE, chloeE, dmitryP, eleniP, fatimaP, noaP, wangP, priyaP, strangerI, strangerS, dentalS;
    int annaChat, annaSMS, benPhone, benMail, lisbon, friends, chloeChat, dmitryChat, eleniChat, fatimaChat, noaChat, wangChat, priyaChat, strangerChat, dentalChat;
};

// The people of the address book, their handles and their chats.
Cast makeCast(Script& s) {
    Cast c;

    // People. Phone numbers are stored as a person types them; the card's e-mail of Ben has capitals.
    const int anna = s.person(card("Anna", "Berg", {"+1 (555) 123-0001"}, {}, true));
    const int ben = s.person(card("Ben", "Okafor", {"+44 7700 900123"}, {"Ben.Okafor@Example.com"}));
    const int chloe = s.person(card("Chloé", "Dubois", {}, {"chloe.dubois@example.fr"}));
    const int dmitry = s.person(card("Дмитрий", "Иванов", {"+7 916 123-45-67"}));
    const int eleni = s.person(card("Ελένη", "Παπαδοπούλου", {"+30 691 234 5678"}));
    const int fatima = s.person(card("فاطمة", "الزهراء", {"+971 50 123 4567"}));
    const int noa = s.person(card("נועה", "לוי", {"+972-52-123-4567"}));
    const int wang = s.person(card("王芳", "", {"+86 138 1234 5678"}));
    // Stored in the national form: only the last nine digits tie it to the handle.
    const int priya = s.person(card("प्रिया", "शर्मा", {"098765 01234"}));
    Person riverside;
    riverside.organization = "Riverside Dental";
    riverside.phones = {"(555) 123-0099"};
    const int dental = s.person(riverside);
    Person unknown;
    unknown.inBook = false;
    const int stranger = s.person(unknown);
    // A card without any phone or e-mail: the book passes over it.
    s.person(card("Rose", "Berg", {}));

    c.annaI = s.handle("+15551230001", "iMessage", anna);
    c.annaS = s.handle("+15551230001", "SMS", anna);
    c.benP = s.handle("+447700900123", "iMessage", ben);
    c.benE = s.handle("ben.okafor@example.com", "iMessage", ben);
    c.chloeE = s.handle("chloe.dubois@example.fr", "iMessage", chloe);
    c.dmitryP = s.handle("+79161234567", "iMessage", dmitry);
    c.eleniP = s.handle("+306912345678", "iMessage", eleni);
    c.fatimaP = s.handle("+971501234567", "iMessage", fatima);
    c.noaP = s.handle("+972521234567", "iMessage", noa);
    c.wangP = s.handle("+8613812345678", "iMessage", wang);
    c.priyaP = s.handle("+919876501234", "iMessage", priya);
    c.strangerI = s.handle("+15559876543", "iMessage", stranger);
    c.strangerS = s.handle("+15559876543", "SMS", stranger);
    c.dentalS = s.handle("+15551230099", "SMS", dental);

    // Chats; the second number is the conversation the list makes of them.
    c.annaChat = s.oneToOne(c.annaI, 0);
    c.annaSMS = s.oneToOne(c.annaS, 0);
    c.benPhone = s.oneToOne(c.benP, 1);
    c.benMail = s.oneToOne(c.benE, 1);
    // The stranger left the trip group, so he is no longer among its members.
    c.lisbon = s.group({c.annaI, c.benP, c.chloeE}, std::string("Trip to Lisbon 🇵🇹"), 2);
    c.friends = s.group({c.dmitryP, c.eleniP, c.wangP}, std::nullopt, 3);
    c.chloeChat = s.oneToOne(c.chloeE, 4);
    c.dmitryChat = s.oneToOne(c.dmitryP, 5);
    c.eleniChat = s.oneToOne(c.eleniP, 6);
    c.fatimaChat = s.oneToOne(c.fatimaP, 7);
    c.noaChat = s.oneToOne(c.noaP, 8);
    c.wangChat = s.oneToOne(c.wangP, 9);
    c.priyaChat = s.oneToOne(c.priyaP, 10);
    c.strangerChat = s.oneToOne(c.strangerS, 11);
    c.dentalChat = s.oneToOne(c.dentalS, 12);
    return c;
}

// Anna, over iMessage: text forms, links, every attachment kind, edits, unsends and effects. Returns the
// message a reply sixteen months on points to.
Draft& annaOverIMessage(Script& s, const Cast& c) {
    using Storage = Draft::Storage;

    Draft& newYear = s.say(c.annaChat, at(2024, 1, 5, 9, 12), c.annaI, "Happy new year! 🎆 Still on for planning the Lisbon trip?");
    s.say(c.annaChat, at(2024, 1, 5, 9, 20), me, "Yes!! Let's plan it properly this time 😄").storage = Storage::bodyOnly;
    s.react(at(2024, 1, 5, 9, 21), me, newYear, add(love), std::nullopt, TargetForm::bare);
    newYear.reactions = {s.stands(love, me)};

    Draft& fado = s.say(c.annaChat, at(2024, 2, 14, 19, 30), me, "Remember the fado place we found last time? We have to go back.");
    Draft& guide = s.say(c.annaChat, at(2024, 2, 14, 19, 41), c.annaI, "Have you seen this? https://www.example.com/lisbon/fado-guide");
    guide.links = {"https://www.example.com/lisbon/fado-guide"};
    guide.storage = Storage::bodyOnly;
    s.react(at(2024, 2, 14, 19, 45), me, guide, add(like), std::nullopt, TargetForm::balloon);
    guide.reactions = {s.stands(like, me)};
    Draft& textOnly = s.say(c.annaChat, at(2024, 2, 15, 8, 2), c.annaI, "Morning! Texting from the old phone, it has no fancy text");
    textOnly.storage = Storage::textOnly;

    Draft& standaloneSticker = s.say(c.annaChat, at(2024, 3, 2, 11, 0), c.annaI, "");
    {
        AttachmentDraft a = s.file(Media::sticker, "sticker.png", "image/png", "public.png", "image");
        a.sticker = true;
        standaloneSticker.attachments = {a};
        standaloneSticker.storage = Storage::bodyOnly;
    }

    Draft& sunset = s.say(c.annaChat, at(2024, 4, 20, 18, 5), c.annaI, "Sunset from the ferry 🌅");
    sunset.attachments = {s.file(Media::photoRotated, "IMG_4021.JPG", "image/jpeg", "public.jpeg", "image")};
    sunset.storage = Storage::bodyOnly;
    Draft& logo = s.say(c.annaChat, at(2024, 4, 20, 18, 7), me, "New logo for the trip page, with a transparent background");
    logo.attachments = {s.file(Media::pngAlpha, "logo-draft.png", "image/png", "public.png", "image")};
    Draft& livePhoto = s.say(c.annaChat, at(2024, 5, 11, 16, 30), c.annaI, "");
    {
        // A Live Photo: the picture shows, its movie travels along hidden.
        AttachmentDraft movie = s.file(Media::videoMOV, "IMG_4102.MOV", "video/quicktime", "com.apple.quicktime-movie", "video");
        movie.hidden = true;
        livePhoto.attachments = {s.file(Media::heic, "IMG_4102.HEIC", "image/heic", "public.heic", "image"), movie};
        livePhoto.storage = Storage::bodyOnly;
    }
    Draft& three = s.say(c.annaChat, at(2024, 5, 11, 16, 42), me, "Three from the weekend");
    {
        // Written in the order A, B, C; the message shows them B, C, A.
        AttachmentDraft photoA = s.file(Media::photoA, "IMG_4110.JPG", "image/jpeg", "public.jpeg", "image");
        AttachmentDraft photoB = s.file(Media::photoB, "IMG_4111.JPG", "image/jpeg", "public.jpeg", "image");
        AttachmentDraft photoC = s.file(Media::photoC, "IMG_4112.JPG", "image/jpeg", "public.jpeg", "image");
        three.attachments = {photoB, photoC, photoA};
        three.rowOrder = {2, 0, 1};
    }
    Draft& teaser = s.say(c.annaChat, at(2024, 6, 1, 21, 14), c.annaI, "Made a teaser 🎬");
    teaser.attachments = {s.file(Media::videoMP4, "trip-teaser.mp4", "video/mp4", "public.mpeg-4", "video")};
    Draft& lost = s.say(c.annaChat, at(2024, 6, 2, 10, 3), me, "This one never finished downloading");
    {
        AttachmentDraft a = s.file(Media::photoA, "IMG_4200.JPG", "image/jpeg", "public.jpeg", "image");
        a.missing = true;
        lost.attachments = {a};
    }

    Draft& voiceAnna = s.say(c.annaChat, at(2024, 6, 15, 8, 45), c.annaI, "");
    voiceAnna.attachments = {s.file(Media::audioCAF, "Audio Message.caf", "audio/x-caf", "com.apple.coreaudio-format", "audio")};
    voiceAnna.isAudio = true;
    voiceAnna.storage = Storage::bodyOnly;
    Draft& voiceMe = s.say(c.annaChat, at(2024, 6, 15, 8, 52), me, "");
    voiceMe.attachments = {s.file(Media::audioM4A, "Audio Message.m4a", "audio/x-m4a", "com.apple.m4a-audio", "audio")};
    voiceMe.isAudio = true;
    voiceMe.storage = Storage::bodyOnly;
    Draft& song = s.say(c.annaChat, at(2024, 7, 3, 23, 10), c.annaI, "The song from the bar 🎶");
    song.attachments = {s.file(Media::audioMP3, "fado-sample.mp3", "audio/mpeg", "public.mp3", "audio")};
    Draft& doorbell = s.say(c.annaChat, at(2024, 7, 4, 9, 0), me, "Our new doorbell. Ridiculous.");
    doorbell.attachments = {s.file(Media::audioWAV, "doorbell.wav", "audio/vnd.wave", "com.microsoft.waveform-audio", "audio")};

    Draft& subject = s.say(c.annaChat, at(2024, 7, 20, 13, 0), c.annaI, "Found three options, sending the links tonight");
    subject.subject = "Lisbon flat";
    // A row of a kind the thread has nothing to show for (a kept audio message): counted, never shown.
    Draft& kept = s.say(c.annaChat, at(2024, 7, 21, 9, 30), c.annaI, "");
    kept.itemType = 5;
    kept.storage = Storage::none;
    kept.shown = false;

    Draft& itinerary = s.say(c.annaChat, at(2024, 8, 10, 20, 0), me, "Itinerary, first draft");
    itinerary.attachments = {s.file(Media::pdf, "Lisbon itinerary.pdf", "application/pdf", "com.adobe.pdf", "file")};
    Draft& tickets = s.say(c.annaChat, at(2024, 8, 10, 20, 2), me, "");
    tickets.attachments = {s.file(Media::zip, "tickets.zip", "application/zip", "public.zip-archive", "file")};
    tickets.storage = Storage::bodyOnly;
    Draft& packing = s.say(c.annaChat, at(2024, 8, 11, 7, 55), c.annaI, "Packing list, add what I forgot");
    packing.attachments = {s.file(Media::text, "packing-list.txt", "text/plain", "public.plain-text", "file")};

    // Edited twice; the history keeps the two earlier texts.
    Draft& edited = s.say(c.annaChat, at(2024, 9, 3, 10, 0), me, "Let's meet at 7 at the Time Out Market");
    edited.versions = {{at(2024, 9, 3, 10, 0), "Lets meet at 6"},
                       {at(2024, 9, 3, 10, 2), "Let's meet at 6 at the market"},
                       {at(2024, 9, 3, 10, 5), "Let's meet at 7 at the Time Out Market"}};
    edited.dateEdited = at(2024, 9, 3, 10, 5);
    // Unsent: with the retraction date; edited then unsent without one; unsent without either.
    Draft& unsent = s.say(c.annaChat, at(2024, 9, 20, 22, 40), me, "");
    unsent.retractedParts = {0};
    unsent.dateRetracted = at(2024, 9, 20, 22, 41);
    unsent.unsentAt = unsent.dateRetracted;
    unsent.storage = Storage::none;
    Draft& editedThenUnsent = s.say(c.annaChat, at(2024, 9, 21, 7, 15), c.annaI, "");
    editedThenUnsent.versions = {{at(2024, 9, 21, 7, 15), "Wrong chat, sorry!"}};
    editedThenUnsent.retractedParts = {0};
    editedThenUnsent.dateEdited = at(2024, 9, 21, 7, 16);
    editedThenUnsent.unsentAt = editedThenUnsent.dateEdited;
    editedThenUnsent.storage = Storage::none;
    Draft& quietlyUnsent = s.say(c.annaChat, at(2024, 9, 22, 18, 0), me, "");
    quietlyUnsent.retractedParts = {0};
    quietlyUnsent.unsentAt = quietlyUnsent.date;
    quietlyUnsent.storage = Storage::none;
    // Two parts, the first unsent: the rest still stands, so the message is not unsent.
    Draft& partlyUnsent = s.say(c.annaChat, at(2024, 9, 22, 18, 5), me, "The second part stays");
    partlyUnsent.retractedParts = {0};
    partlyUnsent.storage = Storage::bodyOnly;

    effect(s.say(c.annaChat, at(2024, 10, 1, 0, 1), me, "Happy birthday Anna!!! 🎂🎈"), effectID("CKHappyBirthdayEffect"), "Balloons");
    effect(s.say(c.annaChat, at(2024, 10, 1, 0, 3), c.annaI, "THANK YOU"), bubbleEffect("impact"), "Slam");
    effect(s.say(c.annaChat, at(2024, 10, 2, 12, 0), me, "Guess what… we got the flat in Alfama 🤫"), bubbleEffect("invisibleink"), "Invisible Ink");
    effect(s.say(c.annaChat, at(2024, 12, 31, 23, 59), c.annaI, "Happy New Year!! 🎆"), effectID("CKFireworksEffect"), "Fireworks");
    effect(s.say(c.annaChat, at(2025, 1, 15, 17, 20), me, "Booked!!"), effectID("CKConfettiEffect"), "Confetti");
    app(s.say(c.annaChat, at(2025, 1, 16, 9, 0), me, "$25.00"), extension("0000000000", "com.apple.PassbookUIService.PeerPaymentMessagesExtension"), "Apple Cash").storage = Storage::bodyOnly;
    return fado;
}

// Anna's tapbacks: every kind, replacement, stickers beside tapbacks, and every removal.
void annaTapbacks(Script& s, const Cast& c) {
    Draft& dinner = s.say(c.annaChat, at(2024, 11, 2, 18, 0), me, "Dinner at ours on Saturday?");
    s.react(at(2024, 11, 2, 18, 5), c.annaI, dinner, add(love));
    dinner.reactions = {s.stands(love, c.annaI)};

    Draft& school = s.say(c.annaChat, at(2024, 11, 3, 10, 0), me, "I found the old photos from school");
    s.react(at(2024, 11, 3, 10, 2), c.annaI, school, add(like));
    s.react(at(2024, 11, 3, 10, 3), c.annaI, school, removal(like));

    Draft& boat = s.say(c.annaChat, at(2024, 11, 4, 8, 30), c.annaI, "I might be late, the boat is stuck");
    s.react(at(2024, 11, 4, 8, 31), me, boat, add(dislike));
    s.react(at(2024, 11, 4, 8, 32), me, boat, add(laugh));  // replaces the dislike
    boat.reactions = {s.stands(laugh, me)};
    Draft& classic = s.say(c.annaChat, at(2024, 11, 4, 8, 33), me, "Haha classic ferry");
    classic.threadOriginatorGUID = boat.guid;

    Draft& inviteBen = s.say(c.annaChat, at(2024, 11, 5, 19, 0), c.annaI, "We should invite Ben too");
    s.react(at(2024, 11, 5, 19, 1), me, inviteBen, add(emphasize));
    s.react(at(2024, 11, 5, 19, 2), c.annaI, inviteBen, add(question));
    inviteBen.reactions = {s.stands(emphasize, me), s.stands(question, c.annaI)};

    Draft& pastries = s.say(c.annaChat, at(2024, 11, 6, 16, 0), me, "Pastéis de nata or bolas de Berlim?");
    s.react(at(2024, 11, 6, 16, 1), c.annaI, pastries, add(emoji), "🧑‍🍳");
    s.react(at(2024, 11, 6, 16, 2), me, pastries, add(emoji));  // an emoji tapback that names no emoji
    pastries.reactions = {s.stands(emoji, c.annaI, "🧑‍🍳"), s.stands(emoji, me)};

    Draft& cat = s.say(c.annaChat, at(2024, 11, 7, 12, 0), c.annaI, "Look at this cat 🐈");
    {
        Draft& placed = s.react(at(2024, 11, 7, 12, 1), me, cat, stickerPlaced);
        AttachmentDraft a = s.file(Media::sticker, "sticker.png", "image/png", "public.png", "image");
        a.sticker = true;
        placed.attachments = {a};
    }
    s.react(at(2024, 11, 7, 12, 2), me, cat, add(love));
    s.react(at(2024, 11, 7, 12, 3), me, cat, add(sticker));  // stickers stay beside the one tapback
    cat.reactions = {s.stands(sticker, me), s.stands(love, me), s.stands(sticker, me)};

    Draft& ferry = s.say(c.annaChat, at(2024, 11, 8, 9, 0), me, "Ferry times changed again");
    s.react(at(2024, 11, 8, 9, 1), me, ferry, add(love));
    {
        Draft& placed = s.react(at(2024, 11, 8, 9, 2), c.annaI, ferry, stickerPlaced);
        AttachmentDraft a = s.file(Media::sticker, "sticker.png", "image/png", "public.png", "image");
        a.sticker = true;
        placed.attachments = {a};
    }
    s.react(at(2024, 11, 8, 9, 3), c.annaI, ferry, add(emoji), "👍🏽");
    s.react(at(2024, 11, 8, 9, 4), c.annaI, ferry, removal(emoji), "👍🏽");  // takes all of Anna's, sticker too
    ferry.reactions = {s.stands(love, me)};

    // Each removal kind undoes its own tapback; a removal by someone else changes nothing.
    const std::array<std::pair<Tapback, const char*>, 6> undone = {{{love, "Lol"},
                                                                     {dislike, "Monday again"},
                                                                     {laugh, "I fell asleep on the tram"},
                                                                     {emphasize, "Passport expires in May!"},
                                                                     {question, "Is Ben vegetarian?"},
                                                                     {sticker, "New profile picture"}}};
    int minuteOfDay = 0;
    for (const auto& [kind, text] : undone) {
        Draft& target = s.say(c.annaChat, at(2024, 11, 12, 20, minuteOfDay), me, text);
        s.react(at(2024, 11, 12, 20, minuteOfDay + 1), c.annaI, target, add(kind));
        s.react(at(2024, 11, 12, 20, minuteOfDay + 2), c.annaI, target, removal(kind));
        minuteOfDay += 5;
    }
    Draft& notMine = s.say(c.annaChat, at(2024, 11, 13, 9, 0), c.annaI, "Coffee before work?");
    s.react(at(2024, 11, 13, 9, 1), c.annaI, notMine, add(like));
    s.react(at(2024, 11, 13, 9, 2), me, notMine, removal(like));
    notMine.reactions = {s.stands(like, c.annaI)};
}

// Anna going back, and the everyday chatter around it all.
void annaGoesBack(Script& s, const Cast& c, const Draft& fado) {
    // A reply, sixteen months on, to a message far outside any recent range.
    Draft& goingBack = s.say(c.annaChat, at(2025, 6, 12, 20, 15), c.annaI, "We're finally going back there tomorrow!");
    goingBack.threadOriginatorGUID = fado.guid;
    s.say(c.annaChat, at(2025, 6, 27, 21, 30), c.annaI, "Landed safe, see you at the flat 🛬");

    s.chatter(c.annaChat, 60, historyStart, at(2025, 6, 26, 0, 0), {{me, Language::english}, {c.annaI, Language::english}});
}

// Anna over SMS: the same person, the same number, another service.
void annaOverSMS(Script& s, const Cast& c) {
    using Storage = Draft::Storage;

    s.say(c.annaSMS, at(2024, 2, 20, 7, 40), c.annaS, "No data here, texting instead").storage = Storage::textOnly;
    s.say(c.annaSMS, at(2024, 2, 20, 7, 42), me, "Got it, see you at the gate").storage = Storage::textOnly;
    s.chatter(c.annaSMS, 12, at(2024, 2, 1, 0, 0), at(2024, 11, 30, 0, 0), {{me, Language::english}, {c.annaS, Language::english}}, 60);
}

// Ben, by phone and by e-mail (one card): links and app messages.
void benByPhoneAndMail(Script& s, const Cast& c) {
    using Storage = Draft::Storage;

    Draft& two = s.say(c.benPhone, at(2024, 3, 10, 12, 0), c.benP,
                       "Tickets: https://tickets.example.org/lisbon and the hotel https://hotel.example.net/booking/123");
    two.links = {"https://tickets.example.org/lisbon", "https://hotel.example.net/booking/123"};
    Draft& preview = s.say(c.benPhone, at(2024, 3, 10, 12, 5), me, "https://maps.example.com/place?id=42&lang=en");
    preview.links = {"https://maps.example.com/place?id=42&lang=en"};
    app(preview, "com.apple.messages.URLBalloonProvider", std::nullopt);
    app(s.say(c.benPhone, at(2024, 4, 2, 18, 30), c.benP, ""), extension("0000000000", "com.apple.findmy.FindMyMessagesApp"), "Find My").storage = Storage::none;
    app(s.say(c.benPhone, at(2024, 4, 3, 21, 0), me, ""), extension("EWFNLB79LQ", "com.gamerdelights.gamepigeon.ext.MessagesExtension"), "Game").storage = Storage::none;
    app(s.say(c.benPhone, at(2024, 4, 4, 9, 0), c.benP, ""), "com.apple.Handwriting.HandwritingProvider", "Handwritten message").storage = Storage::none;
    app(s.say(c.benPhone, at(2024, 4, 5, 9, 0), me, ""), "com.apple.DigitalTouchBalloonProvider", "Digital Touch").storage = Storage::none;
    app(s.say(c.benPhone, at(2024, 4, 6, 9, 0), c.benP, ""), extension("QPH6YT9N7Z", "com.example.Sketchbook.MessagesExtension"), "iMessage app").storage = Storage::none;
    Draft& skate = s.say(c.benPhone, at(2024, 5, 20, 17, 45), c.benP, "First try on the new board");
    skate.attachments = {s.file(Media::videoMOV, "IMG_5001.MOV", "video/quicktime", "com.apple.quicktime-movie", "video")};
    effect(s.say(c.benPhone, at(2024, 6, 1, 9, 0), me, "Ok ok you win"), bubbleEffect("loud"), "Loud");
    s.say(c.benPhone, at(2025, 6, 20, 18, 0), c.benP, "See you all in Lisbon 🇵🇹🇬🇧");
    s.chatter(c.benPhone, 22, at(2024, 3, 1, 0, 0), at(2025, 6, 19, 0, 0), {{me, Language::english}, {c.benP, Language::english}});
    s.say(c.benMail, at(2024, 1, 10, 11, 0), c.benE, "Writing from my laptop, the phone is being repaired");
    s.chatter(c.benMail, 10, at(2024, 1, 10, 12, 0), at(2025, 2, 1, 0, 0), {{me, Language::english}, {c.benE, Language::english}});
}

// The trip group: events, mentions, a poll, reactions from several people, replies.
void tripGroup(Script& s, const Cast& c) {
    using Storage = Draft::Storage;

    event(s.say(c.lisbon, at(2024, 9, 1, 10, 0), me, ""), 2, 0, "You named the conversation “Lisbon 2025”.").groupTitle = "Lisbon 2025";
    event(s.say(c.lisbon, at(2024, 9, 1, 10, 1), me, ""), 1, 0, "You added Chloé Dubois to the conversation.").otherHandle = c.chloeE;
    event(s.say(c.lisbon, at(2024, 9, 1, 10, 3), c.annaI, ""), 1, 0, "Anna Berg added +1 (555) 987-6543 to the conversation.").otherHandle = c.strangerI;
    s.say(c.lisbon, at(2024, 9, 1, 10, 5), c.strangerI, "Hi all, Sam here (Anna's colleague) 👋🏿");
    event(s.say(c.lisbon, at(2024, 9, 2, 8, 0), c.benP, ""), 3, 1, "Ben Okafor changed the group photo.");
    event(s.say(c.lisbon, at(2024, 9, 10, 9, 0), c.chloeE, ""), 2, 0, "Chloé Dubois removed the name from the conversation.");
    event(s.say(c.lisbon, at(2024, 9, 10, 9, 5), c.annaI, ""), 2, 0, "Anna Berg named the conversation “Trip to Lisbon 🇵🇹”.").groupTitle = "Trip to Lisbon 🇵🇹";
    s.say(c.lisbon, at(2024, 10, 5, 17, 0), c.strangerI, "Can't make it after all, have fun!");
    event(s.say(c.lisbon, at(2024, 10, 5, 17, 1), c.strangerI, ""), 3, 0, "+1 (555) 987-6543 left the conversation.");
    event(s.say(c.lisbon, at(2024, 10, 6, 12, 0), me, ""), 3, 2, "You removed the group photo.");
    // Other handle 999 is in no row of the handle table.
    event(s.say(c.lisbon, at(2025, 2, 1, 12, 0), c.annaI, ""), 1, 0, "Anna Berg added someone to the conversation.").otherHandle = 999;
    event(s.say(c.lisbon, at(2025, 2, 1, 12, 2), c.annaI, ""), 1, 1, "Anna Berg removed someone from the conversation.").otherHandle = 999;

    Draft& flights = s.say(c.lisbon, at(2024, 10, 20, 19, 0), me, "Flights booked for June 12–15 ✈️");
    s.react(at(2024, 10, 20, 19, 1), c.annaI, flights, add(love));
    s.react(at(2024, 10, 20, 19, 2), c.benP, flights, add(love));
    s.react(at(2024, 10, 20, 19, 3), c.chloeE, flights, add(laugh));
    s.react(at(2024, 10, 20, 19, 4), c.chloeE, flights, add(emoji), "🇵🇹");  // replaces Chloé's laugh
    flights.reactions = {s.stands(love, c.annaI), s.stands(love, c.benP), s.stands(emoji, c.chloeE, "🇵🇹")};
    Draft& parfait = s.say(c.lisbon, at(2024, 10, 20, 19, 10), c.chloeE, "Parfait ! J'arrive le 12 au soir 🥐");
    parfait.threadOriginatorGUID = flights.guid;
    s.say(c.lisbon, at(2024, 10, 21, 9, 0), me, "@Anna can you book the table for Friday?");
    s.say(c.lisbon, at(2024, 10, 21, 9, 3), c.annaI, "On it! @Chloé do you eat fish?");
    app(s.say(c.lisbon, at(2024, 11, 15, 20, 0), c.benP, ""), extension("0000000000", "com.apple.messages.Polls"), "Poll").storage = Storage::none;
    effect(s.say(c.lisbon, at(2025, 3, 1, 10, 0), c.annaI, "We're going to Lisbon!!!"), effectID("CKLasersEffect"), "Lasers");
    s.say(c.lisbon, at(2025, 3, 1, 10, 5), c.benP, "👨‍👩‍👧‍👦 family dinner the night after? 🏳️‍🌈 parade is that weekend too");
    s.say(c.lisbon, at(2025, 3, 1, 10, 7), c.chloeE, "👋🏽 Oui ! 1️⃣2️⃣3️⃣ 🏴󠁧󠁢󠁳󠁣󠁴󠁿 ❤️‍🔥");
    s.say(c.lisbon, at(2025, 6, 25, 22, 0), c.benP, "Bags packed 🧳");
    s.chatter(c.lisbon, 45, at(2024, 10, 7, 0, 0), at(2025, 6, 24, 0, 0),
              {{me, Language::english}, {c.annaI, Language::english}, {c.benP, Language::english}, {c.chloeE, Language::french}});
}

// The group without a name: its title is made of its members' names.
void unnamedGroup(Script& s, const Cast& c) {
    event(s.say(c.friends, at(2024, 5, 1, 9, 0), c.dmitryP, ""), 1, 0, "Дмитрий Иванов added 王芳 to the conversation.").otherHandle = c.wangP;
    effect(s.say(c.friends, at(2024, 5, 1, 9, 5), c.wangP, "大家好！🎉"), effectID("CKSparklesEffect"), "Celebration");
    s.chatter(c.friends, 25, at(2024, 5, 2, 0, 0), at(2025, 4, 30, 0, 0),
              {{me, Language::english}, {c.dmitryP, Language::russian}, {c.eleniP, Language::greek}, {c.wangP, Language::chinese}});
}

// One person each, in their own script.
void onePersonEach(Script& s, const Cast& c) {
    s.say(c.chloeChat, at(2024, 6, 10, 9, 0), c.chloeE, "Déjà vu… la façade naïve, Noël à Zürich ! Schöne Grüße aus München. Zażółć gęślą jaźń.");
    s.say(c.chloeChat, at(2024, 6, 10, 9, 5), me, "¿Qué tal? Tiếng Việt có dấu, Þetta reddast, Görüşürüz 😊");
    Draft& expo = s.say(c.chloeChat, at(2024, 6, 11, 14, 0), c.chloeE, "L'expo : https://www.example.fr/expo-monet?lang=fr 🎨");
    expo.links = {"https://www.example.fr/expo-monet?lang=fr"};
    effect(s.say(c.chloeChat, at(2024, 6, 11, 14, 2), me, "J'adore !"), effectID("CKEchoEffect"), "Echo");
    s.chatter(c.chloeChat, 18, at(2024, 4, 1, 0, 0), at(2025, 5, 30, 0, 0), {{me, Language::english}, {c.chloeE, Language::french}});

    s.say(c.dmitryChat, at(2024, 8, 1, 19, 0), c.dmitryP, "Привет! Встретимся завтра в 19:00 у метро «Охотный ряд».");
    effect(s.say(c.dmitryChat, at(2024, 8, 2, 0, 0), c.dmitryP, "С днём рождения! 🎂🥳"), effectID("CKSpotlightEffect"), "Spotlight");
    s.chatter(c.dmitryChat, 14, at(2024, 2, 1, 0, 0), at(2025, 3, 1, 0, 0), {{me, Language::english}, {c.dmitryP, Language::russian}});

    effect(s.say(c.eleniChat, at(2024, 12, 24, 20, 0), c.eleniP, "Καλά Χριστούγεννα! 🎄❤️"), effectID("CKHeartEffect"), "Love");
    s.chatter(c.eleniChat, 12, at(2024, 3, 1, 0, 0), at(2025, 2, 1, 0, 0), {{me, Language::english}, {c.eleniP, Language::greek}});

    s.say(c.fatimaChat, at(2024, 4, 9, 20, 0), c.fatimaP, "عيد مبارك! 🌙 I'll send the PDF غداً إن شاء الله");
    effect(s.say(c.fatimaChat, at(2024, 4, 9, 20, 3), me, "عيد مبارك 🌙✨"), effectID("CKShootingStarEffect"), "Shooting Star");
    s.chatter(c.fatimaChat, 12, at(2024, 2, 1, 0, 0), at(2025, 5, 1, 0, 0), {{me, Language::english}, {c.fatimaP, Language::arabic}});

    s.say(c.noaChat, at(2024, 9, 15, 18, 0), c.noaP, "שנה טובה! 🍎🍯 נתראה ב-Tel Aviv");
    s.chatter(c.noaChat, 12, at(2024, 1, 20, 0, 0), at(2025, 4, 1, 0, 0), {{me, Language::english}, {c.noaP, Language::hebrew}});

    effect(s.say(c.wangChat, at(2025, 1, 29, 8, 0), c.wangP, "新年快乐！🧧 東京で会いましょう。안녕하세요!"), bubbleEffect("gentle"), "Gentle");
    s.chatter(c.wangChat, 14, at(2024, 1, 15, 0, 0), at(2025, 5, 1, 0, 0),
              {{me, Language::english}, {c.wangP, Language::chinese}, {c.wangP, Language::japanese}});

    s.say(c.priyaChat, at(2024, 11, 1, 19, 0), c.priyaP, "दिवाली की शुभकामनाएँ 🪔✨ Happy Diwali!");
    s.chatter(c.priyaChat, 12, at(2024, 2, 15, 0, 0), at(2025, 3, 15, 0, 0), {{me, Language::english}, {c.priyaP, Language::hindi}});
}

// Someone the address book does not know, and an organisation's reminders, both by SMS.
void strangerAndDentist(Script& s, const Cast& c) {
    using Storage = Draft::Storage;

    s.say(c.strangerChat, at(2024, 8, 20, 10, 0), c.strangerS, "Hi, this is Sam from the office, is this still Anna's old number?").storage = Storage::textOnly;
    s.say(c.strangerChat, at(2024, 8, 20, 10, 4), me, "No, sorry, wrong number!").storage = Storage::textOnly;
    s.chatter(c.strangerChat, 4, at(2024, 8, 21, 0, 0), at(2024, 12, 1, 0, 0), {{me, Language::english}, {c.strangerS, Language::english}}, 100);
    s.say(c.dentalChat, at(2024, 5, 10, 9, 0), c.dentalS,
          "Riverside Dental: reminder of your appointment on Tue 14 May at 09:30. Reply C to confirm.").storage = Storage::textOnly;
    s.say(c.dentalChat, at(2024, 5, 10, 9, 30), me, "C").storage = Storage::textOnly;
    s.chatter(c.dentalChat, 4, at(2024, 5, 11, 0, 0), at(2025, 1, 1, 0, 0), {{me, Language::english}, {c.dentalS, Language::english}}, 100);
}

}  // namespace

void buildShowcase(Plan& plan, uint64_t seed) {
    Random random(seed);
    Script s(plan, random);
    const Cast cast = makeCast(s);
    const Draft& fado = annaOverIMessage(s, cast);
    annaTapbacks(s, cast);
    annaGoesBack(s, cast, fado);
    annaOverSMS(s, cast);
    benByPhoneAndMail(s, cast);
    tripGroup(s, cast);
    unnamedGroup(s, cast);
    onePersonEach(s, cast);
    strangerAndDentist(s, cast);
}

}  // namespace quillmark::sample
