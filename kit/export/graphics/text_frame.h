// TextFrame: attributed text laid out at one width with Pango, private to the graphics folder.
//
// Measuring (TextLayout) and drawing (Canvas) both go through a TextFrame, built by the same code with
// the same fonts and settings, so a height measured is exactly the height drawn.
//
// The text is cut into paragraphs at line breaks; each paragraph is one Pango layout with its own
// alignment and line spacing (Pango keeps one of each per layout). Lines are stacked from the top: within a
// paragraph they are separated by its line spacing, and between paragraphs by the upper paragraph's line
// spacing plus its spacing after. Nothing is added below the last line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/graphics/attributed_text.h"

typedef struct _PangoLayout PangoLayout;
typedef struct _PangoLayoutLine PangoLayoutLine;

namespace quillmark::graphics {

class PageContext;

class TextFrame {
public:
    // The frame of the text at the width, shared with earlier requests on this thread for the same text
    // and width. Laying out costs about a millisecond for a long message (most of it shaping), and the
    // page layouts ask for the same paragraph several times: its natural width, its height while
    // paginating, its height again and its drawing on the page.
    static std::shared_ptr<const TextFrame> of(const AttributedText& text, double width);

    // Lays the text out at `width` points; a width that is not finite and positive-or-zero means
    // unbounded (no wrapping).
    TextFrame(const AttributedText& text, double width);
    ~TextFrame();
    TextFrame(const TextFrame&) = delete;
    TextFrame& operator=(const TextFrame&) = delete;

    // The bottom of the last line; 0 for empty text.
    double height() const;
    // The width of the longest line.
    double naturalWidth() const;
    // The UTF-16 units of the whole lines whose bottom is within `height`: up to the start of the first
    // line that does not fit, or the whole length when all fit.
    size_t fitting(double height) const;
    // Draws the lines that fit entirely within `height`, the frame's top-left corner at (x, y).
    void draw(PageContext& page, double x, double y, double height) const;

private:
    struct Paragraph;
    struct Line {
        PangoLayoutLine* line = nullptr;
        size_t paragraph = 0;
        // Pango units from the frame's top-left corner; 64 bits, as a long text of many paragraphs can
        // be taller than an int of Pango units holds.
        int64_t top = 0, bottom = 0, baseline = 0;
        int x = 0;
        size_t startUnit = 0;                           // UTF-16 position of the line's first character
    };

    size_t lineCountWithin(double height) const;
    void drawLine(PageContext& page, const Line& line, double x, double y) const;

    size_t length_ = 0;  // UTF-16 units
    std::vector<std::unique_ptr<Paragraph>> paragraphs_;
    std::vector<Line> lines_;
    int naturalWidth_ = 0;
};

}  // namespace quillmark::graphics
