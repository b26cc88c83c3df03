#include "export/layout/book_layout.h"

#include <cmath>

#include "conversations/unicode_text.h"
#include "export/dates.h"
#include "export/formats.h"
#include "export/rhythm.h"
#include "export/layout/block_row.h"
#include "export/layout/book_cover.h"
#include "export/layout/bubble_block.h"
#include "export/layout/ink.h"
#include "export/layout/note_line.h"
#include "export/layout/photo_bubble.h"
#include "export/layout/picture_block.h"
#include "export/layout/record_layout.h"
#include "export/layout/snippet.h"
#include "export/layout/text_block.h"

namespace quillmark::BookLayout {
namespace {

using graphics::AttributedText;
using graphics::Color;
using graphics::Font;
using graphics::FontWeight;

// Photos take at most this fraction of the width, alone or as a grid; a grid's squares are this far apart.
constexpr double photoFraction = 0.62;
constexpr double gridSpacing = 5;

Font small() { return Font::system(8); }
Font smallSemibold() { return Font::system(8, FontWeight::semibold); }
Font smallItalic() { return small().withItalic(); }
Font bodyItalic() { return body().withItalic(); }
Font chapter() { return Font::system(22, FontWeight::semibold).withDesign(graphics::FontDesign::serif); }

// The bubble's text colour: white in the owner's blue bubbles.
Color bubbleInk(bool fromMe) { return fromMe ? Ink::white : Ink::text; }

std::string firstWord(const std::string& text) {
    auto words = unicode::split(text, " ");
    return words.empty() ? text : std::string(words.front());
}

bool isPhoto(const Attachment& a) { return a.kind() == AttachmentKind::image && a.isAvailable; }

BlockList cover(const RenderInput& input, const Dates& dates, double contentHeight) {
    const MessageThread& thread = input.thread;
    const std::string& locale = input.options.localeID;

    std::string subtitle = Formats::integer(static_cast<int64_t>(thread.messages.size()), locale) + " messages";
    const Attachment* lastPhoto = nullptr;
    int64_t photos = 0;
    for (const Message& m : thread.messages) {
        for (const Attachment& a : m.attachments) {
            if (!isPhoto(a)) continue;
            ++photos;
            lastPhoto = &a;
        }
    }
    // The options carry no choice to leave attachments out, so photos are always included.
    PictureRef photo;
    if (lastPhoto) {
        subtitle += " \u00b7 " + Formats::integer(photos, locale) + " photos";
        photo = input.printablePicture(*lastPhoto, pictureSize);
    }
    std::string detail = dates.range(thread.firstDate(), thread.lastDate());
    return {makeBlock<BookCover>(title(thread, input.options), subtitle, detail, photo, contentHeight),
            makeBlock<PageBreak>()};
}

BlockRef noteLine(std::string_view text, const Font& font, const Color& color, NoteLine::Side side, double top,
                  bool keep, bool bar, bool keepPrevious = false) {
    return makeBlock<NoteLine>(Styled::text(text, font, color), side, top, keep, bar, keepPrevious);
}

}  // namespace

Font body() { return Font::system(10.5); }

std::string title(const MessageThread& thread, const ExportOptions& options) {
    const Conversation& conversation = thread.conversation;
    if (conversation.groupName && !conversation.groupName->empty()) return *conversation.groupName;
    std::string me = unicode::trimmedBlanks(options.meName);
    if (conversation.participants.size() == 1 && !me.empty()) {
        const Participant& other = conversation.participants.front();
        std::string shortName = other.name ? firstWord(*other.name) : Participant::format(other.address);
        return shortName + " & " + firstWord(me);
    }
    return conversation.title(options.localeID);
}

BlockRef attachment(const Attachment& a, bool fromMe, const std::vector<std::string>& reactions,
                    const RenderInput& input, double width, bool captioned, PictureRef prepared) {
    Color c = bubbleInk(fromMe);
    bool pictured = a.kind() == AttachmentKind::image || a.kind() == AttachmentKind::video;
    if (a.isAvailable && pictured) {
        if (PictureRef picture = prepared ? std::move(prepared) : input.printablePicture(a, pictureSize)) {
            graphics::Size size = PictureBlock::fit(picture.get(), width * photoFraction, 300);
            std::optional<AttributedText> label;
            if (a.kind() == AttachmentKind::video) {
                std::string text = "\u25B6\uFE0E";
                if (a.path) {
                    if (auto d = input.media.duration(a)) {
                        text += ' ';
                        text += Formats::duration(*d);
                    }
                }
                label = Styled::text(text, smallSemibold(), Ink::white);
            }
            return makeBlock<PhotoBubble>(std::move(picture), size, fromMe, reactions, std::move(label), captioned);
        }
    }

    std::string line;
    switch (a.kind().value()) {
        case AttachmentKind::image: line = "\U0001F4F7 " + isolated(a.name); break;
        case AttachmentKind::video: line = "\U0001F3AC " + isolated(a.name); break;
        case AttachmentKind::audio: {
            // The microphone is text-styled by default: the selector asks for the colour emoji like the others.
            line = "\U0001F399\uFE0F " + (a.name.rfind("Audio Message", 0) == 0 ? std::string("Audio message") : isolated(a.name));
            if (a.path && a.isAvailable) {
                if (auto d = input.media.duration(a)) line += " \u00b7 " + Formats::duration(*d);
            }
            break;
        }
        case AttachmentKind::file: line = "\U0001F4CE " + isolated(a.name); break;
    }
    AttributedText text = Styled::text(line, body(), c);
    if (!a.isAvailable) {
        text.append(Styled::text("\nNot in this history", small(), fromMe ? Color{1, 1, 1, 0.8} : Ink::secondary));
    }
    return makeBlock<BubbleBlock>(std::move(text), fromMe, reactions, false, 0.7, captioned);
}

BlockList blocks(const RenderInput& input, double contentWidth, double contentHeight) {
    const MessageThread& thread = input.thread;
    Dates dates(input.options);
    BlockList out = cover(input, dates, contentHeight);

    Rhythm rhythm(dates);
    bool firstMonth = true;
    std::string lastSender;
    int calls = 0;
    for (const Message& m : thread.messages) {
        if (input.stopping(calls)) return out;
        const Rhythm::Step step = rhythm.next(m.date);
        if (step.month) {
            out.push_back(makeBlock<Gap>(firstMonth ? 0 : 26));
            out.push_back(makeBlock<TextBlock>(Styled::text(*step.month, chapter(), Ink::text), 0, true, false));
            out.push_back(makeBlock<Gap>(10));
            firstMonth = false;
        }
        if (step.showsTime) {
            AttributedText when = Styled::text(dates.dayShort(m.date), smallSemibold(), Ink::secondary);
            const std::string time = dates.shortTime(m.date);
            when.append(Styled::text(" " + time, small(), Ink::tertiary));
            out.push_back(makeBlock<NoteLine>(std::move(when), NoteLine::Side::center, 8, true, false));
            out.push_back(makeBlock<Gap>(4));
            lastSender.clear();
        }

        if (m.event) {
            out.push_back(noteLine(*m.event, smallItalic(), Ink::secondary, NoteLine::Side::center, 2, false, false));
            lastSender.clear();
            continue;
        }

        NoteLine::Side side = m.isFromMe ? NoteLine::Side::right : NoteLine::Side::left;
        std::string key = m.isFromMe ? "me" : m.sender ? m.sender->address : "";
        if (thread.conversation.isGroup && !m.isFromMe && key != lastSender) {
            std::string name = !m.sender ? "Unknown" : m.sender->name ? *m.sender->name : Participant::format(m.sender->address);
            out.push_back(noteLine(name, small(), Ink::secondary, NoteLine::Side::left, 2, true, false));
        }
        lastSender = key;

        if (m.replyToGUID) {
            auto reply = thread.replies.find(*m.replyToGUID);
            if (reply != thread.replies.end()) {
                std::string quote = isolated(reply->second.sender) + ": " + isolated(snippet(reply->second.text, 70));
                out.push_back(noteLine(quote, smallItalic(), Ink::secondary, side, 2, true, true));
            }
        }

        std::vector<std::string> reactions;
        for (const Reaction& r : m.reactions) reactions.push_back(r.emoji);

        if (m.isUnsent()) {
            out.push_back(makeBlock<BubbleBlock>(Styled::text("Unsent message", bodyItalic(), Ink::secondary),
                                                 m.isFromMe, std::vector<std::string>{}, true, 0.7));
            continue;
        }

        Color c = bubbleInk(m.isFromMe);
        if (!m.text.empty()) {
            out.push_back(makeBlock<BubbleBlock>(RecordLayout::linked(m.text, m.links, body(), c), m.isFromMe,
                                                 reactions, false, 0.7));
        }
        if (m.appKind) {
            out.push_back(makeBlock<BubbleBlock>(Styled::text(*m.appKind, bodyItalic(), c), m.isFromMe,
                                                 std::vector<std::string>{}, false, 0.7));
        }
        // A short text sent with files is their caption and stays on the page of the first one; a long
        // text is a message of its own, and carrying it over would leave most of a page empty.
        const bool captioned = !m.text.empty() && m.text.size() <= captionLength && !m.appKind;
        // Two photos or more are a grid of squares, in the place of the first; each picture is made once.
        const auto [photos, photoCount] = input.printablePhotos(m.attachments, pictureSize);
        const bool gridded = photoCount >= 2;
        const int columns = gridColumns(photoCount);
        const double gridWidth = contentWidth * photoFraction;
        const double column = std::floor((gridWidth - gridSpacing * (columns - 1)) / columns);
        BlockList cells;
        size_t gridAt = 0;
        for (size_t i = 0; i < m.attachments.size(); ++i) {
            bool carriesReactions = i == 0 && m.text.empty();
            std::vector<std::string> shown = carriesReactions ? reactions : std::vector<std::string>{};
            if (gridded && photos[i]) {
                if (cells.empty()) {
                    out.push_back(makeBlock<Gap>(2));
                    gridAt = out.size();
                }
                const graphics::Picture& p = *photos[i];
                double square = std::floor(std::min<double>(column, std::min(p.width, p.height) * PictureBlock::naturalScale));
                cells.push_back(makeBlock<PhotoBubble>(photos[i], graphics::Size{square, square}, m.isFromMe, std::move(shown),
                                                       std::nullopt, false, true));
                continue;
            }
            out.push_back(makeBlock<Gap>(2));
            out.push_back(attachment(m.attachments[i], m.isFromMe, shown, input, contentWidth, captioned && i == 0,
                                     photos[i]));
        }
        if (!cells.empty()) {
            BlockList rows = grid(cells, columns, gridSpacing, gridWidth, m.isFromMe, true, captioned && photos.front() != nullptr);
            out.insert(out.begin() + static_cast<std::ptrdiff_t>(gridAt), rows.begin(), rows.end());
        }
        std::vector<std::string> notes;
        if (m.isEdited()) notes.push_back("Edited");
        if (m.effect) notes.push_back("Sent with " + *m.effect);
        if (!notes.empty()) {
            std::string joined = notes[0];
            for (size_t i = 1; i < notes.size(); ++i) joined += " \u00b7 " + notes[i];
            // "Edited · Sent with Fireworks" belongs to the bubble above it: never alone at a page's top.
            out.push_back(noteLine(joined, small(), Ink::tertiary, side, 0, false, false, true));
        }
        out.push_back(makeBlock<Gap>(3));
    }
    return out;
}

}  // namespace quillmark::BookLayout
