// PDFWriter: writes a PDF document into memory, page by page.
//
//   PDFWriter writer({.title = "Messages with Anna", .author = "Ben", .creator = "Quillmark 1.0",
//                     .subject = "…", .keywords = record.encoded(), .creationDate = exportedAt},
//                    {612, 792});
//   writer.page([&](Canvas& canvas) { canvas.fill({0, 0, 612, 792}, Ink::white); });
//   std::vector<uint8_t> pdf = std::move(writer).finish();
//
// The creation date is fixed by the caller (the export time), so the same export gives the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/date.h"
#include "export/graphics/canvas.h"

namespace quillmark::graphics {

struct DocumentInfo {
    std::string title;
    std::string author;
    std::string creator;
    std::string subject;
    std::string keywords;
    Date creationDate;
};

class PDFWriter {
public:
    PDFWriter(const DocumentInfo& info, Size pageSize);
    ~PDFWriter();
    PDFWriter(const PDFWriter&) = delete;
    PDFWriter& operator=(const PDFWriter&) = delete;

    // False when the document could not be created; then pages draw nothing and finish gives no bytes.
    bool isValid() const;

    // Adds one page and lets the function draw it.
    void page(const std::function<void(Canvas&)>& draw);

    // Ends the document and returns its bytes (empty when the document could not be made).
    std::vector<uint8_t> finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quillmark::graphics
