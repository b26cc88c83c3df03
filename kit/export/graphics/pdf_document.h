// PDFDocument: reading a PDF back: its document information, page count, the plain text of each page and
// a grey picture of each page.
//
//   auto pdf = PDFDocument::open("/exports/Messages with Anna.pdf");
//   if (!pdf) return notAnExport;
//   pdf->keywords();        // {"quillmark-verify:eyJ…"}
//   pdf->pageText(0);       // the text of page 1, as extracted for comparison
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "export/graphics/canvas.h"
#include "export/graphics/picture.h"

namespace quillmark::graphics {

class PDFDocument {
public:
    // Nothing when the file or bytes are not a PDF that can be opened.
    static std::optional<PDFDocument> open(const std::string& path);
    static std::optional<PDFDocument> open(std::span<const uint8_t> bytes);

    PDFDocument(PDFDocument&&) noexcept;
    PDFDocument& operator=(PDFDocument&&) noexcept;
    ~PDFDocument();

    // A document-information entry as text; nothing when absent.
    std::optional<std::string> info(const std::string& key) const;
    // The Keywords entry as a list: one text, or the pieces a program split it into.
    std::vector<std::string> keywords() const;
    int pageCount() const;
    // The plain text of a page (0-based), UTF-8; empty for a page that does not exist.
    std::string pageText(int index) const;
    // The media box of a page in points.
    std::optional<Size> pageSize(int index) const;

    // GreyPage: a page drawn in 8-bit grey, row after row, width bytes a row.
    struct GreyPage {
        int width = 0;
        int height = 0;
        std::vector<uint8_t> pixels;
    };
    // The page (0-based) drawn at `dpi` in grey on white, without smoothing; nothing when it cannot be drawn.
    std::optional<GreyPage> pageGrey(int index, double dpi) const;

private:
    struct State;
    explicit PDFDocument(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace quillmark::graphics
