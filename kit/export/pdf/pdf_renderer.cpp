#include "export/pdf/pdf_renderer.h"

#include "export/dates.h"
#include "export/fingerprint.h"
#include "export/formats.h"
#include "export/layout/book_layout.h"
#include "export/layout/ink.h"
#include "export/layout/paginator.h"
#include "export/layout/printable_pictures.h"
#include "export/layout/record_layout.h"
#include "export/layout/render_input.h"
#include "export/layout/snippet.h"
#include "export/graphics/text_layout.h"

#include <algorithm>
#include <cmath>

namespace quillmark::PDFRenderer {
namespace {

using graphics::Alignment;
using graphics::AttributedText;
using graphics::Font;
using graphics::FontDesign;
using graphics::FontWeight;
using graphics::Rect;

// Room above the content for the record layout's running header.
constexpr double headerRoom = 28;
constexpr double sideMargin = 54;
constexpr double topMargin = 43.2;
constexpr double footerRoom = 26;

graphics::ParagraphStyle aligned(Alignment alignment) { return Styled::paragraph(alignment, 1.5, 0); }

std::string dateRange(const MessageThread& thread, const Dates& dates) {
    std::optional<Date> first;
    if (!thread.messages.empty()) first = thread.messages.front().date;
    return dates.range(first, thread.lastDate());
}

// The pictures the layout will ask for, so they can be made on several threads before it runs.
std::vector<PrintablePictures::Request> pictureRequests(const MessageThread& thread, ExportLayout layout) {
    std::vector<PrintablePictures::Request> requests;
    if (layout == ExportLayout::book) {
        const Attachment* lastPhoto = nullptr;
        for (const Message& m : thread.messages) {
            for (const Attachment& a : m.attachments) {
                if (a.kind() == AttachmentKind::image && a.isAvailable) lastPhoto = &a;
                bool pictured = a.kind() == AttachmentKind::image || a.kind() == AttachmentKind::video;
                if (pictured && a.isAvailable && !m.event && !m.isUnsent()) {
                    requests.push_back({&a, BookLayout::pictureSize});
                }
            }
        }
        if (lastPhoto) requests.push_back({lastPhoto, BookLayout::pictureSize});
        return requests;
    }
    for (const Message& m : thread.messages) {
        if (m.event) continue;
        for (const Attachment& a : m.attachments) {
            if (a.isAvailable && a.kind() != AttachmentKind::audio) requests.push_back({&a, 1100});
        }
    }
    return requests;
}

void decorateRecord(graphics::Canvas& canvas, int page, int of, const std::string& title, const std::string& range,
                    const std::string& fingerprint, const Rect& content) {
    const double x = content.x, width = content.width, height = canvas.size().height;
    if (page >= 2) {
        // As tall as its one line is with the fonts that draw it: an Arabic or Devanagari title falls back to
        // a font with a taller line than 12 points, and a rectangle of 12 points held no line of it at all.
        AttributedText head = Styled::text(title, Font::system(8, FontWeight::medium), Ink::secondary,
                                           aligned(Alignment::left));
        const double headHeight = std::max(12.0, std::ceil(graphics::TextLayout::height(head, 1e6)));
        canvas.text(head, {x, 41.2, 0.6 * width, headHeight});
        canvas.text(Styled::text(range, Font::system(7.5), Ink::tertiary, aligned(Alignment::right)),
                    {x + 0.4 * width, 41.2, 0.6 * width, 12});
        canvas.line({x, 56.2}, {x + width, 56.2}, {Ink::rule, 0.5, {}, 0});
    }
    const double footerTop = height - 55.2;
    canvas.line({x, height - 61.2}, {x + width, height - 61.2}, {Ink::faint, 0.5, {}, 0});
    AttributedText left = Styled::text("Quillmark \u00b7 SHA-256 ", Font::system(7.5), Ink::tertiary,
                                       aligned(Alignment::left));
    left.append(Styled::text(Formats::grouped(fingerprint.substr(0, 16), 4),
                             Font::system(7).withDesign(FontDesign::monospaced), Ink::secondary,
                             aligned(Alignment::left)));
    canvas.text(left, {x, footerTop, 0.7 * width, 12});
    canvas.text(Styled::text("Page " + std::to_string(page) + " of " + std::to_string(of),
                             Font::system(7.5, FontWeight::medium).withDesign(FontDesign::monospacedDigits),
                             Ink::secondary, aligned(Alignment::right)),
                {x + 0.5 * width, footerTop, 0.5 * width, 12});
}

void decorateBook(graphics::Canvas& canvas, int page, const Rect& content) {
    if (page < 2) return;
    canvas.text(Styled::text(std::to_string(page), Font::system(9).withDesign(FontDesign::serif), Ink::tertiary,
                             aligned(Alignment::center)),
                {content.x, canvas.size().height - 55.2, content.width, 12});
}

}  // namespace

Rect content(ExportLayout layout, Paper paper) {
    Paper::Size size = paper.size();
    double extra = layout == ExportLayout::record ? headerRoom : 0;
    return {sideMargin, topMargin + extra, size.width - 2 * sideMargin,
            size.height - 2 * topMargin - extra - footerRoom};
}

void decorate(graphics::Canvas& canvas, int page, int of, ExportLayout layout, const std::string& title,
              const std::string& range, const std::string& fingerprint, const Rect& content) {
    if (layout == ExportLayout::record) {
        decorateRecord(canvas, page, of, title, range, fingerprint, content);
    } else {
        decorateBook(canvas, page, content);
    }
}

std::map<std::string, std::string> names(const MessageThread& thread) {
    std::map<std::string, std::string> out;
    auto note = [&](const std::optional<Participant>& p) {
        if (p && p->name) out[p->address] = *p->name;
    };
    for (const Participant& p : thread.conversation.participants) note(p);
    for (const Participant& p : thread.formerParticipants) note(p);
    for (const Message& m : thread.messages) {
        note(m.sender);
        for (const Reaction& r : m.reactions) note(r.sender);
    }
    return out;
}

std::string documentTitle(const MessageThread& thread, const ExportOptions& options) {
    std::string title = thread.conversation.title(options.localeID);
    return options.layout == ExportLayout::record ? "Messages with " + title : title;
}

graphics::DocumentInfo documentInfo(const MessageThread& thread, const ExportOptions& options,
                                    const std::string& fingerprint, const VerificationRecord& record) {
    graphics::DocumentInfo info;
    info.title = documentTitle(thread, options);
    info.author = options.meName.empty() ? "Quillmark" : options.meName;
    info.creator = "Quillmark " + options.appVersion;
    info.subject = "Messages, " + dateRange(thread, Dates(options)) + " \u00b7 SHA-256 " + fingerprint;
    info.keywords = record.encoded();
    info.creationDate = options.exportedAt;
    return info;
}

tl::expected<Output, Failure> render(const MessageThread& thread, const ExportOptions& options, AttachmentMedia& media,
                                     const Progress& progress, int pictureThreads) {
    bool stopped = false;
    auto report = [&](double fraction, int pages) {
        if (progress && !stopped && !progress(fraction, pages)) stopped = true;
        return !stopped;
    };
    const Failure cancelled{Failure::Kind::cancelled, "The export was cancelled."};
    Fingerprint::Result fingerprint = Fingerprint::compute(thread, media);
    if (!report(0.1, 0)) return tl::unexpected(cancelled);

    Paper::Size size = options.paper.size();
    Rect area = content(options.layout, options.paper);

    std::vector<Paginator::Page> pages;
    {
        PrintablePictures pictures;
        pictures.prepare(pictureRequests(thread, options.layout), media, RenderInput::pictureQuality,
                         pictureThreads);
        if (!report(0.2, 0)) return tl::unexpected(cancelled);
        const std::function<bool()> keepGoing = [&] { return report(0.2, 0); };
        RenderInput input{thread, options, fingerprint, media, &pictures, &keepGoing};
        BlockList blocks = options.layout == ExportLayout::record
                               ? RecordLayout::blocks(input, area.width)
                               : BookLayout::blocks(input, area.width, area.height);
        if (stopped) return tl::unexpected(cancelled);
        pages = Paginator{{size.width, size.height}, area}.paginate(blocks);
        if (!report(0.5, static_cast<int>(pages.size()))) return tl::unexpected(cancelled);
    }
    // From here on the pages alone hold the blocks (and their pictures), so a drawn page can let them go.
    const int count = static_cast<int>(pages.size());

    VerificationRecord record;
    record.version = 1;
    record.chats = thread.conversation.chatGUIDs;
    record.start = thread.range.start;
    record.end = thread.range.end;
    record.options = options;
    record.names = names(thread);
    record.fingerprint = fingerprint.hex;
    record.messages = static_cast<int64_t>(thread.messages.size());
    record.pages = count;
    record.origin = thread.origin;

    // The running head isolates the conversation's title, so that a right-to-left title keeps "Messages
    // with" before it.
    std::string title = options.layout == ExportLayout::record
                            ? "Messages with " + isolated(thread.conversation.title(options.localeID))
                            : documentTitle(thread, options);
    std::string range = dateRange(thread, Dates(options));
    graphics::PDFWriter writer(documentInfo(thread, options, fingerprint.hex, record), {size.width, size.height});
    const Failure unwritable{Failure::Kind::failed,
                             "The PDF library could not make the document (out of memory, or a font or picture it "
                             "could not draw)."};
    if (!writer.isValid()) return tl::unexpected(unwritable);

    for (int i = 0; i < count; ++i) {
        writer.page([&](graphics::Canvas& canvas) {
            canvas.fill({0, 0, size.width, size.height}, Ink::white, 0);
            for (const Paginator::Placed& placed : pages[static_cast<size_t>(i)]) {
                placed.block->draw(canvas, {area.x, placed.y}, area.width);
            }
            decorate(canvas, i + 1, count, options.layout, title, range, fingerprint.hex, area);
        });
        pages[static_cast<size_t>(i)] = {};
        if (i % 8 == 0 && !report(0.5 + (i + 1) / 2.0 / count, count)) return tl::unexpected(cancelled);
    }
    std::vector<uint8_t> data = writer.finish();
    if (data.empty()) return tl::unexpected(unwritable);
    report(1.0, count);
    return Output{std::move(data), count, fingerprint.hex, std::move(record)};
}

}  // namespace quillmark::PDFRenderer
