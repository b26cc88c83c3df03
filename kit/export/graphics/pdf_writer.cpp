#include "export/graphics/pdf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <new>

#include <cairo-pdf.h>
#include <cairo.h>

#include "core/text.h"
#include "export/graphics/page_context.h"

namespace quillmark::graphics {

namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    try {
        auto* bytes = static_cast<std::vector<uint8_t>*>(closure);
        bytes->insert(bytes->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_WRITE_ERROR;
    }
}

// The date as ISO 8601 in UTC ("2024-03-01T12:30:00Z"), the form Cairo turns into a PDF date; empty when
// it is out of the calendar's range.
std::string isoDate(Date date) {
    if (!std::isfinite(date.seconds) || std::fabs(date.seconds) > 253402300799.0) return {};
    const auto seconds = static_cast<time_t>(std::floor(date.seconds));
    std::tm utc{};
    if (!gmtime_r(&seconds, &utc) || utc.tm_year + 1900 < 1) return {};
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

}  // namespace

struct PDFWriter::State {
    std::vector<uint8_t> bytes;
    cairo_surface_t* surface = nullptr;
    cairo_t* cairo = nullptr;
    EmojiPictures emoji;
    Size pageSize;
    bool finished = false;

    ~State() {
        if (cairo) cairo_destroy(cairo);
        if (surface) cairo_surface_destroy(surface);
    }
    bool usable() const {
        return !finished && cairo && cairo_status(cairo) == CAIRO_STATUS_SUCCESS &&
               cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    }
};

PDFWriter::PDFWriter(const DocumentInfo& info, Size pageSize) : state_(std::make_unique<State>()) {
    const bool sized = std::isfinite(pageSize.width) && std::isfinite(pageSize.height) && pageSize.width >= 1 &&
                       pageSize.height >= 1 && pageSize.width <= 14400 && pageSize.height <= 14400;
    if (!sized) return;
    state_->pageSize = pageSize;
    state_->surface = cairo_pdf_surface_create_for_stream(appendBytes, &state_->bytes, pageSize.width, pageSize.height);
    if (cairo_surface_status(state_->surface) != CAIRO_STATUS_SUCCESS) return;

    auto set = [&](cairo_pdf_metadata_t key, const std::string& value) {
        // Cairo reads the value as a C string; a NUL would cut it short.
        std::string clean = text::validUTF8(value);
        clean.erase(std::remove(clean.begin(), clean.end(), '\0'), clean.end());
        cairo_pdf_surface_set_metadata(state_->surface, key, clean.c_str());
    };
    set(CAIRO_PDF_METADATA_TITLE, info.title);
    set(CAIRO_PDF_METADATA_AUTHOR, info.author);
    set(CAIRO_PDF_METADATA_CREATOR, info.creator);
    set(CAIRO_PDF_METADATA_SUBJECT, info.subject);
    set(CAIRO_PDF_METADATA_KEYWORDS, info.keywords);
    // Without a date Cairo writes the current time, and the same export would differ byte for byte.
    const std::string date = isoDate(info.creationDate);
    const std::string fixed = date.empty() ? "1970-01-01T00:00:00Z" : date;
    cairo_pdf_surface_set_metadata(state_->surface, CAIRO_PDF_METADATA_CREATE_DATE, fixed.c_str());
    cairo_pdf_surface_set_metadata(state_->surface, CAIRO_PDF_METADATA_MOD_DATE, fixed.c_str());

    state_->cairo = cairo_create(state_->surface);
}

PDFWriter::~PDFWriter() = default;

bool PDFWriter::isValid() const {
    return state_->usable();
}

void PDFWriter::page(const std::function<void(Canvas&)>& draw) {
    if (!state_->usable()) return;
    cairo_t* cr = state_->cairo;
    cairo_pdf_surface_set_size(state_->surface, state_->pageSize.width, state_->pageSize.height);
    cairo_save(cr);
    // Cairo drops everything recorded so far on a page when an opaque paint without a clip covers it (a
    // white page background is one), the opening of the structure tag included, and then fails the whole
    // document for the unmatched closing tag. A clip to the page keeps it from taking that shortcut.
    cairo_rectangle(cr, 0, 0, state_->pageSize.width, state_->pageSize.height);
    cairo_clip(cr);
    // Link annotations need a structure element to belong to: without one around the page's content
    // Cairo writes a structure tree that PDF checkers report as damaged.
    cairo_tag_begin(cr, "Document", "");
    struct EndPage {
        cairo_t* cr;
        ~EndPage() {
            cairo_tag_end(cr, "Document");
            cairo_restore(cr);
            cairo_show_page(cr);
        }
    } endPage{cr};
    PageContext context(cr, state_->emoji);
    Canvas canvas(context, state_->pageSize);
    if (draw) draw(canvas);
}

std::vector<uint8_t> PDFWriter::finish() {
    if (state_->finished || !state_->surface) return {};
    const bool drawn = state_->usable();
    state_->finished = true;
    if (state_->cairo) {
        cairo_destroy(state_->cairo);
        state_->cairo = nullptr;
    }
    cairo_surface_finish(state_->surface);
    const bool written = cairo_surface_status(state_->surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(state_->surface);
    state_->surface = nullptr;
    if (!drawn || !written) return {};
    return std::move(state_->bytes);
}

}  // namespace quillmark::graphics
