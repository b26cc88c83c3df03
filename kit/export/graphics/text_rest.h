// TextRest: a text, or what is left of it from a cut on, measured and cut again without laying that rest
// out anew. A long message is cut page after page; laying out the whole rest for every page would place
// its last lines once per page, and a message of a few megabytes would take hours.
//
//   TextRest message(text);                                 // the whole text
//   TextRest::Fit fit = message.fit(300, 100);              // the whole lines that fit in 300 × 100
//   TextRest more = message.after(fit.units, fit.byte);     // the rest from the first line that does not
//   more.height(300);                                       // as TextLayout::height(more.text(), 300)
//
// Measurements are those of the rest as a text of its own (TextLayout), with one exception: inside a
// paragraph of more than a few thousand bytes, the lines after a cut at a line's start are the lines the
// whole text had there. A rest shares the whole text and keeps the layouts it measured with; a whole text
// keeps none (the thread's recent layouts serve it). Copies are cheap. One thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "export/graphics/attributed_text.h"

namespace quillmark::graphics {

class TextFrame;

class TextRest {
public:
    // Where whole lines stop fitting: UTF-16 units from the rest's start, and the byte of the whole
    // text's string where the first line that does not fit starts (its end when everything fits).
    struct Fit {
        size_t units = 0;
        size_t byte = 0;
    };

    TextRest();
    explicit TextRest(AttributedText text);

    size_t length() const;  // UTF-16 units
    bool empty() const { return length() == 0; }
    const AttributedText& whole() const;
    size_t from() const { return from_; }          // UTF-16 position in the whole text
    size_t fromByte() const { return fromByte_; }  // byte of the whole text's string

    // The rest as a text of its own.
    AttributedText text() const;
    // TextLayout::height, TextLayout::natural and TextLayout::fitting of text().
    double height(double width) const;
    double natural() const;
    Fit fit(double width, double height) const;

    // The rest from `units` UTF-16 units further on, which is byte `byte` of the whole text's string.
    TextRest after(size_t units, size_t byte) const;
    // The first `units` UTF-16 units of the rest, ending at byte `byte` of the whole text's string, with
    // their attributes.
    AttributedText slice(size_t units, size_t byte) const;

private:
    struct Whole;
    std::shared_ptr<const TextFrame> frame(double width) const;

    std::shared_ptr<Whole> whole_;
    size_t from_ = 0, fromByte_ = 0;
    mutable std::vector<std::pair<double, std::shared_ptr<const TextFrame>>> frames_;  // by width
};

}  // namespace quillmark::graphics
