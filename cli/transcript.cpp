#include "cli/transcript.h"

#include "cli/output.h"

namespace quillmark::cli {

namespace {

// How much of a replied-to message is quoted.
constexpr size_t quoteLength = 60;

std::string when(const TranscriptStyle& style, Date date) { return style.dates ? style.dates->text(date) : ""; }

std::string sender(const Message& message, const TranscriptStyle& style) {
    if (message.isFromMe) return style.meName;
    if (message.sender) return message.sender->displayName();
    return "Unknown";
}

std::string reactor(const Reaction& reaction, const TranscriptStyle& style) {
    if (reaction.isFromMe) return style.meName;
    if (reaction.sender) return reaction.sender->displayName();
    return "Someone";
}

void writeMessage(std::ostream& out, const Message& m, const MessageThread& thread, const TranscriptStyle& style) {
    if (m.event) {
        out << '[' << when(style, m.date) << "] — " << *m.event << '\n';
        return;
    }
    out << '[' << when(style, m.date) << "] " << sender(m, style);
    if (m.isUnsent()) out << " (unsent " << when(style, *m.unsentAt) << ')';
    out << '\n';

    if (m.subject && !m.subject->empty()) out << "  Subject: " << *m.subject << '\n';
    if (m.replyToGUID) {
        const auto context = thread.replies.find(*m.replyToGUID);
        if (context != thread.replies.end())
            out << "  ↳ reply to " << context->second.sender << ": \"" << oneLine(context->second.text, quoteLength)
                << "\"\n";
        else
            out << "  ↳ reply to a message that is no longer in the history\n";
    }
    if (!m.text.empty()) out << indented(m.text, "  ") << '\n';
    if (m.isAudioMessage) out << "  (audio message)\n";
    for (const Attachment& a : m.attachments) {
        out << "  📎 " << a.name << " (" << a.kind().rawValue();
        if (a.isSticker) out << ", sticker";
        out << ", " << a.byteCount << " bytes)";
        if (!a.isAvailable) out << " — not on this computer";
        out << '\n';
    }
    if (m.effect) out << "  (sent with " << *m.effect << ")\n";
    if (m.appKind) out << "  (" << *m.appKind << ")\n";
    if (m.isEdited()) {
        out << "  (edited " << when(style, *m.editedAt) << ")\n";
        for (const EditVersion& version : m.editHistory) {
            out << "    before";
            if (version.date) out << ' ' << when(style, *version.date);
            out << ": \"" << oneLine(version.text, quoteLength) << "\"\n";
        }
    }
    if (!m.reactions.empty()) {
        out << " ";
        for (const Reaction& r : m.reactions) out << ' ' << r.emoji << ' ' << reactor(r, style);
        out << '\n';
    }
}

}  // namespace

void writeTranscript(std::ostream& out, const MessageThread& thread, const TranscriptStyle& style) {
    const Conversation& c = thread.conversation;
    const std::string title = c.title(style.textLocale);
    out << title << '\n';
    if (const std::string line = c.participantsLine(); !line.empty() && line != title) out << line << '\n';
    out << thread.messages.size() << (thread.messages.size() == 1 ? " message" : " messages");
    if (const auto first = thread.firstDate(), last = thread.lastDate(); first && last)
        out << ", " << when(style, *first) << " – " << when(style, *last);
    out << "\n\n";
    for (const Message& m : thread.messages) writeMessage(out, m, thread, style);
}

}  // namespace quillmark::cli
