#include "export/layout/record_layout.h"

#include <algorithm>
#include <cmath>

#include "core/text.h"
#include "export/formats.h"
#include "export/layout/block_row.h"
#include "export/layout/column_row.h"
#include "export/layout/day_heading.h"
#include "export/layout/ink.h"
#include "export/layout/panel_block.h"
#include "export/layout/picture_block.h"
#include "export/layout/snippet.h"
#include "export/layout/text_block.h"

namespace quillmark::RecordLayout {
namespace {

using graphics::Alignment;
using graphics::AttributedText;
using graphics::Color;
using graphics::Font;
using graphics::FontDesign;
using graphics::FontWeight;

// The pictures of the record are at most this many pixels on their longer side.
constexpr int pictureSize = 1100;

Font body() { return Font::system(9.5); }
Font small() { return Font::system(8); }
Font smallItalic() { return small().withItalic(); }
Font bodyItalic() { return body().withItalic(); }
Font monospaced(double size, FontWeight weight = FontWeight::regular) {
    return Font::system(size, weight).withDesign(FontDesign::monospaced);
}
Font monospacedDigits(double size, FontWeight weight = FontWeight::regular) {
    return Font::system(size, weight).withDesign(FontDesign::monospacedDigits);
}

// The columns of a photo grid are this far apart.
constexpr double gridSpacing = 10;

// Notes and captions set their lines closer than the body text.
graphics::ParagraphStyle tight() { return Styled::paragraph(Alignment::left, 1.0, 0); }

BlockRef textBlock(AttributedText text) { return makeBlock<TextBlock>(std::move(text)); }
BlockRef textBlock(std::string_view text, const Font& font, const Color& color) {
    return textBlock(Styled::text(text, font, color));
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    return out;
}

std::string counted(int64_t count, std::string_view noun, const std::string& locale) {
    return Formats::integer(count, locale) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// The time of a date on the message's own day, else the full date and time.
std::string timeOrFull(Date date, Date messageDate, const Dates& dates) {
    return sameDay(date, messageDate, dates) ? dates.time(date) : dates.full(date);
}

PanelBlock::Row coverRow(std::string_view label, std::string_view value) {
    return {Styled::text(label, Font::system(9, FontWeight::medium), Ink::secondary),
            Styled::text(value, Font::system(9.5), Ink::text)};
}

std::string notesOf(const Message& m, const RenderInput& input, const Dates& dates) {
    std::vector<std::string> notes;
    if (m.editedAt) {
        std::string note = "Edited at " + dates.time(*m.editedAt);
        if (!m.editHistory.empty()) {
            std::vector<std::string> versions;
            for (const EditVersion& v : m.editHistory) {
                std::string version = "\u201c" + isolated(snippet(v.text, 120)) + "\u201d";
                if (v.date) version += " (" + isolated(dates.time(*v.date)) + ")";
                versions.push_back(std::move(version));
            }
            note += " \u2014 earlier: " + join(versions, ", ");
        }
        notes.push_back(std::move(note));
    }
    if (m.effect) notes.push_back("Sent with " + *m.effect);
    if (!m.reactions.empty()) {
        std::vector<std::string> reactions;
        for (const Reaction& r : m.reactions) {
            reactions.push_back(isolated(r.emoji) + " " + isolated(whoName(r.isFromMe, r.sender, input.options)) +
                                " " + isolated(timeOrFull(r.date, m.date, dates)));
        }
        notes.push_back("Reactions: " + join(reactions, " \u00b7 "));
    }
    if (m.isFromMe && m.dateRead && *m.dateRead > m.date) {
        notes.push_back("Read " + timeOrFull(*m.dateRead, m.date, dates));
    }
    return join(notes, "\n");
}

AttributedText timeCell(const Message& m, const Dates& dates) {
    AttributedText cell = Styled::text(dates.time(m.date), monospacedDigits(8.5), Ink::secondary);
    if (!m.service.empty() && m.service != "iMessage") {
        cell.append(Styled::text("\n" + m.service, Font::system(7, FontWeight::medium), Ink::tertiary));
    }
    return cell;
}

// A row cut at a page's end repeats its time and sender on the next page with this after the sender, so
// that a picture or text at the top of a page is never without them.
AttributedText continuedLabel() { return Styled::text(" (continued)", Font::system(9), Ink::secondary); }

BlockRef messageRow(const Message& m, int& number, const RenderInput& input, const Dates& dates,
                    double contentWidth) {
    const MessageThread& thread = input.thread;
    AttributedText time = timeCell(m, dates);
    std::string sender = whoName(m.isFromMe, m.sender, input.options);

    if (m.event) {
        // An event shows no attachments, but any it has keep their numbers, so the rows and the appendix
        // number every file alike.
        number += static_cast<int>(m.attachments.size());
        BlockList parts{textBlock(*m.event, Font::system(9).withItalic(), Ink::secondary)};
        return makeBlock<ColumnRow>(std::vector<ColumnRow::Column>{{time, timeColumn}, {AttributedText(), senderColumn}},
                                    std::move(parts), gutter, rowBottom, false, continuedLabel());
    }

    BlockList parts;
    if (m.replyToGUID) {
        auto reply = thread.replies.find(*m.replyToGUID);
        if (reply != thread.replies.end()) {
            std::string line = "In reply to " + isolated(reply->second.sender) + ", " +
                               isolated(dates.full(reply->second.date)) + ": \u201c" +
                               isolated(snippet(reply->second.text, 90)) + "\u201d";
            parts.push_back(makeBlock<TextBlock>(Styled::text(line, smallItalic(), Ink::secondary), 0, true));
            parts.push_back(makeBlock<Gap>(2));
        }
    }
    if (m.subject) parts.push_back(textBlock(*m.subject, Font::system(9.5, FontWeight::semibold), Ink::text));
    if (m.isUnsent()) {
        std::string line = "Message unsent by " + sender + " at " + dates.time(*m.unsentAt) +
                           ". Messages does not keep its text.";
        parts.push_back(textBlock(line, bodyItalic(), Ink::secondary));
    } else if (!m.text.empty()) {
        // A short text sent with files is their caption: it is not left at a page's foot without them.
        bool caption = !m.attachments.empty() && !m.appKind && m.text.size() <= captionLength;
        parts.push_back(makeBlock<TextBlock>(linked(m.text, m.links, body(), Ink::text), 0, caption));
    }
    if (m.appKind) parts.push_back(textBlock("[" + *m.appKind + "]", bodyItalic(), Ink::secondary));
    // Two photos or more are a grid of whole pictures with their captions, in the place of the first; each
    // picture is made once.
    const auto [photos, photoCount] = input.printablePhotos(m.attachments, pictureSize);
    const bool gridded = photoCount >= 2;
    const int columns = gridColumns(photoCount);
    const double rightWidth = contentWidth - leftColumns;
    const double column = std::floor((rightWidth - gridSpacing * (columns - 1)) / columns);
    BlockList cells;
    size_t gridAt = 0;
    for (size_t i = 0; i < m.attachments.size(); ++i) {
        ++number;
        if (gridded && photos[i]) {
            if (cells.empty()) {
                parts.push_back(makeBlock<Gap>(3));
                gridAt = parts.size();
            }
            cells.push_back(attachment(m.attachments[i], number, input, column, photos[i]));
            continue;
        }
        parts.push_back(makeBlock<Gap>(3));
        parts.push_back(attachment(m.attachments[i], number, input, rightWidth, photos[i]));
    }
    if (!cells.empty()) {
        BlockList rows = grid(cells, columns, gridSpacing, rightWidth, false, false, false);
        parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(gridAt), rows.begin(), rows.end());
    }
    std::string notes = notesOf(m, input, dates);
    if (!notes.empty()) {
        parts.push_back(makeBlock<Gap>(2));
        // Edits, effects and reactions are about what is above them: never alone at a page's top.
        parts.push_back(makeBlock<TextBlock>(Styled::text(notes, small(), Ink::secondary, tight()), 0, false, false, true));
    }
    if (parts.empty()) parts.push_back(textBlock("(empty)", bodyItalic(), Ink::tertiary));

    // Isolated, so that " (continued)" after a right-to-left name stays after it.
    AttributedText name = Styled::text(isolated(sender), Font::system(9, FontWeight::semibold), Ink::text);
    return makeBlock<ColumnRow>(std::vector<ColumnRow::Column>{{std::move(time), timeColumn}, {std::move(name), senderColumn}},
                                std::move(parts), gutter, rowBottom, false, continuedLabel());
}

}  // namespace

bool sameDay(Date a, Date b, const Dates& dates) { return dates.date(a) == dates.date(b); }

std::string whoName(bool isFromMe, const std::optional<Participant>& sender, const ExportOptions& options) {
    if (isFromMe) return options.me();
    if (!sender) return "Unknown";
    if (sender->name) return *sender->name;
    return Participant::format(sender->address);
}

AttributedText linked(const std::string& text, const std::vector<std::string>& links, const Font& font,
                      const Color& color) {
    AttributedText out = Styled::text(text, font, color);
    Color linkColor = color == Ink::white ? Ink::white : Ink::blue;
    for (const std::string& link : links) {
        if (link.empty()) continue;
        size_t at = text.find(link);
        if (at == std::string::npos) continue;
        size_t location = quillmark::text::utf16Length(std::string_view(text).substr(0, at));
        size_t length = quillmark::text::utf16Length(link);
        out.setLink(location, length, link);
        out.setColor(location, length, linkColor);
        out.setUnderline(location, length, true);
    }
    return out;
}

BlockRef attachment(const Attachment& a, int number, const RenderInput& input, double width, PictureRef prepared) {
    const std::string& locale = input.options.localeID;
    auto hashEntry = input.fingerprint.attachmentHashes.find(a.guid);
    std::string hash = hashEntry == input.fingerprint.attachmentHashes.end() ? "" : hashEntry->second;
    std::string size = Formats::bytes(a.byteCount, locale);

    if (!a.isAvailable) {
        std::string line = "Attachment #";
        line += std::to_string(number) + ", " + a.name + " (" + size +
                "). The file isn't in this history's Attachments folder; it may be kept in iCloud only.";
        return textBlock(line, smallItalic(), Ink::secondary);
    }

    std::string line = "#";
    line += std::to_string(number) + " \u00b7 " + isolated(a.name) + " \u00b7 " + size;
    bool timed = a.kind() == AttachmentKind::video || a.kind() == AttachmentKind::audio;
    if (a.path && timed) {
        if (auto d = input.media.duration(a)) {
            std::string kind = a.kind() == AttachmentKind::video               ? "video"
                               : a.name.rfind("Audio Message", 0) == 0 ? "audio message"
                                                                       : "audio";
            line += " \u00b7 " + kind + " " + Formats::duration(*d);
        }
    }
    AttributedText caption = Styled::text(line, small(), Ink::secondary, tight());
    if (!hash.empty()) caption.append(Styled::text("\nSHA-256 " + hash, monospaced(6.5), Ink::tertiary, tight()));

    if (PictureRef picture = prepared ? std::move(prepared) : input.printablePicture(a, pictureSize)) {
        graphics::Size frame = PictureBlock::fit(picture.get(), std::min(width, 260.0), 230);
        return makeBlock<PictureBlock>(std::move(picture), frame, std::move(caption), 4, false, std::nullopt);
    }
    return textBlock(std::move(caption));
}

BlockList cover(const RenderInput& input, const Dates& dates) {
    const MessageThread& thread = input.thread;
    const Conversation& conversation = thread.conversation;
    const ExportOptions& options = input.options;
    const std::string& locale = options.localeID;
    std::optional<Date> first = thread.firstDate();
    std::optional<Date> last = thread.lastDate();

    BlockList out;
    out.push_back(textBlock("Messages with " + conversation.title(locale), Font::system(22, FontWeight::bold), Ink::text));
    out.push_back(makeBlock<Gap>(4));
    out.push_back(textBlock(dates.range(first, last), Font::system(12), Ink::secondary));
    out.push_back(makeBlock<Gap>(22));

    std::vector<std::string> people;
    auto person = [](const Participant& p) {
        return p.name ? isolated(*p.name) + " \u2014 " + isolated(Participant::format(p.address))
                      : Participant::format(p.address);
    };
    for (const Participant& p : conversation.participants) people.push_back(person(p));
    for (const Participant& p : thread.formerParticipants) people.push_back(person(p) + " (left)");
    people.push_back(options.me() + " \u2014 the owner of this history");

    std::vector<PanelBlock::Row> rows;
    rows.push_back(coverRow("Participants", join(people, "\n")));
    if (conversation.groupName && !conversation.groupName->empty()) {
        rows.push_back(coverRow("Conversation name", *conversation.groupName));
    }
    if (first && last) {
        rows.push_back(coverRow("First message", dates.full(*first)));
        rows.push_back(coverRow("Last message", dates.full(*last)));
    }
    std::string contents = counted(static_cast<int64_t>(thread.messages.size()), "message", locale);
    if (int64_t attachments = thread.attachmentCount(); attachments > 0) {
        contents += ", " + counted(attachments, "attachment", locale);
    }
    rows.push_back(coverRow("Contents", contents));
    rows.push_back(coverRow("Services", conversation.services.empty() ? "iMessage" : join(conversation.services, ", ")));
    rows.push_back(coverRow("Times shown in", dates.zone(last.value_or(options.exportedAt))));
    std::string exported = dates.full(options.exportedAt) + " with Quillmark " + options.appVersion;
    if (thread.origin) {
        exported += ", from an iPhone backup of " + thread.origin->device;
        if (thread.origin->backupDate) exported += " made on " + dates.full(*thread.origin->backupDate);
        exported += ", opened read-only";
    } else {
        exported += ", from a Messages history, opened read-only";
    }
    rows.push_back(coverRow("Exported", exported));
    // Exports are made only from a history that passed SQLite's check (ExportService).
    rows.push_back(coverRow("Integrity", "SQLite's check of the history found no damage."));
    out.push_back(makeBlock<PanelBlock>(std::move(rows), 118, 14));
    out.push_back(makeBlock<Gap>(18));

    out.push_back(textBlock("Fingerprint", Font::system(11, FontWeight::semibold), Ink::text));
    out.push_back(makeBlock<Gap>(6));
    PanelBlock::Row fingerprint = coverRow("SHA-256", "");
    fingerprint.value = Styled::text(Formats::grouped(input.fingerprint.hex, 4), monospaced(10.5, FontWeight::medium),
                                     Ink::text);
    out.push_back(makeBlock<PanelBlock>(std::vector<PanelBlock::Row>{std::move(fingerprint)}, 118, 14));
    out.push_back(makeBlock<Gap>(8));

    out.push_back(textBlock(
        "This number is calculated from every message in this document: its time, sender, service and text, its "
        "edits, reactions, and the exact contents of every attachment file. Changing any of them gives a "
        "completely different number. Its first 16 digits are printed at the bottom of every page.\n\n"
        "To check this document, open Quillmark on a computer with the same Messages history, choose Verify an "
        "Export\u2026, and select this PDF (or run quillmark-cli verify with this file). Quillmark compares every "
        "page with the messages and says whether anything differs.",
        Font::system(8.5), Ink::secondary));
    out.push_back(makeBlock<Gap>(14));
    out.push_back(textBlock(
        "Each attachment's own SHA-256 is printed next to it and listed at the end. Times are to the second, as "
        "Messages records them.",
        Font::system(8.5), Ink::secondary));
    return out;
}

BlockList appendix(const RenderInput& input, const Dates& dates) {
    const std::string& locale = input.options.localeID;
    BlockList out{makeBlock<PageBreak>(), textBlock("Attachments", Font::system(16, FontWeight::bold), Ink::text),
                  makeBlock<Gap>(4),
                  textBlock("Every file in this conversation, in order, with its size and SHA-256.", Font::system(9),
                            Ink::secondary),
                  makeBlock<Gap>(10)};
    int number = 0;
    for (const Message& m : input.thread.messages) {
        for (const Attachment& a : m.attachments) {
            ++number;
            auto hashEntry = input.fingerprint.attachmentHashes.find(a.guid);
            std::string hash = hashEntry == input.fingerprint.attachmentHashes.end() ? "" : hashEntry->second;
            AttributedText entry = Styled::text(isolated(a.name) + " \u00b7 " + Formats::bytes(a.byteCount, locale) +
                                                    " \u00b7 " + isolated(whoName(m.isFromMe, m.sender, input.options)),
                                                Font::system(8.5), Ink::text, tight());
            std::string hashLine = "\n";
            hashLine += hash.empty() ? std::string_view("not in this history") : std::string_view(hash);
            entry.append(Styled::text(hashLine, monospaced(7), hash.empty() ? Ink::red : Ink::secondary, tight()));
            std::string numbered = "#";
            numbered += std::to_string(number);
            std::vector<ColumnRow::Column> left{
                {Styled::text(numbered, monospacedDigits(8.5, FontWeight::semibold), Ink::text), 24},
                {Styled::text(dates.full(m.date), monospacedDigits(8.5), Ink::secondary), 128}};
            out.push_back(makeBlock<ColumnRow>(std::move(left), BlockList{textBlock(std::move(entry))}, 10, 9, true));
        }
    }
    return out;
}

BlockList blocks(const RenderInput& input, double contentWidth) {
    Dates dates(input.options);
    BlockList out = cover(input, dates);
    out.push_back(makeBlock<PageBreak>());

    std::string lastDay;
    int number = 0;
    int calls = 0;
    for (const Message& m : input.thread.messages) {
        if (input.stopping(calls)) return out;
        std::string day = dates.day(m.date);
        if (day != lastDay) {
            out.push_back(makeBlock<DayHeading>(Styled::text(day, Font::system(10, FontWeight::semibold), Ink::text)));
            lastDay = day;
        }
        out.push_back(messageRow(m, number, input, dates, contentWidth));
    }
    if (input.thread.attachmentCount() > 0) {
        BlockList more = appendix(input, dates);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}

}  // namespace quillmark::RecordLayout
