// PDFRenderer: one message thread as a complete PDF in memory, in the book or the record layout.
//
// It computes the fingerprint, has the layout make its blocks, paginates them, draws every page with its
// furniture (the record layout's running header and footer with the fingerprint and "Page 3 of 41", the
// book layout's page numbers), writes the document information and embeds the verification record in the
// Keywords. It holds no state between calls; several renders may run at once if they share only the
// AttachmentMedia.
//
//   auto out = PDFRenderer::render(thread, options, AttachmentMedia::shared(),
//                                  [](double done) { /* 0.1, 0.5, …, 1.0 */ });
//   if (!out) show(out.error().description());
//   out->pages; out->fingerprint; out->record.encoded();
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <tl/expected.hpp>

#include "conversations/message_thread.h"
#include "core/failure.h"
#include "export/attachment_media.h"
#include "export/export_options.h"
#include "export/graphics/canvas.h"
#include "export/graphics/pdf_writer.h"
#include "export/pdf/verification_record.h"

namespace quillmark::PDFRenderer {

// Why no PDF came out: the PDF library failed, or the caller's progress asked to stop.
struct Failure {
    enum class Kind { failed, cancelled };
    Kind kind = Kind::failed;
    std::string sentence;
    const std::string& description() const { return sentence; }
};

struct Output {
    std::vector<uint8_t> data;  // the PDF
    int pages = 0;
    std::string fingerprint;    // 64 lowercase hex digits
    VerificationRecord record;  // as embedded in the Keywords
};

// A fraction from 0 to 1 and the pages laid out so far, reported on the caller's thread: 0.1 after the
// fingerprint, 0.5 after the layout, then after every eighth page drawn, then 1.0. Returning false stops the
// render soon after (the layout looks every few hundred messages): it then fails as cancelled.
using Progress = std::function<bool(double fraction, int pages)>;

// render: the PDF of the thread, or the failure of the PDF library to make it. Pictures are prepared on
// `pictureThreads` threads before the layout runs.
[[nodiscard]] tl::expected<Output, Failure> render(const MessageThread& thread, const ExportOptions& options,
                                                   AttachmentMedia& media, const Progress& progress = {},
                                                   int pictureThreads = 2);

// content: the rectangle inside which the layout's blocks are placed: 54 points at the sides, 43.2 at the
// top (plus 28 for the record layout's running header), 69.2 at the bottom for the footer.
//   content(record, a4) == {54, 71.2, 487.28, 701.49}
graphics::Rect content(ExportLayout layout, Paper paper);

// decorate: the furniture of page `page` (from 1) of `of`: for the record layout a running header from
// page 2 on and a footer on every page; for the book layout the page number from page 2 on.
void decorate(graphics::Canvas& canvas, int page, int of, ExportLayout layout, const std::string& title,
              const std::string& range, const std::string& fingerprint, const graphics::Rect& content);

// names: the display name of every named participant, message sender and reaction sender, by address;
// a later name for the same address replaces an earlier one.
std::map<std::string, std::string> names(const MessageThread& thread);

// documentTitle: "Messages with " + the conversation's title for the record layout; the title alone for
// the book layout.
std::string documentTitle(const MessageThread& thread, const ExportOptions& options);

// documentInfo: Title, Author (the owner's name as set, or "Quillmark" when empty), Creator ("Quillmark "
// + version), Subject ("Messages, " + dates + " · SHA-256 " + fingerprint) and Keywords (the record).
graphics::DocumentInfo documentInfo(const MessageThread& thread, const ExportOptions& options,
                                    const std::string& fingerprint, const VerificationRecord& record);

}  // namespace quillmark::PDFRenderer
