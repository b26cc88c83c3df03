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

    // The frame of the text from UTF-16 position `from` (byte `fromByte` of its string) to its end, as the
    // frame of that rest as a text of its own would be, made out of `whole` (a frame of the whole text) with
    // little new layout: the paragraphs after the one `from` falls in are the same, and that paragraph
    // is laid out again from `from`, unless it is long and `from` starts one of its lines, when its lines
    // from there are taken as they are. A long text cut page by page is so laid out about once in all.
    static std::shared_ptr<const TextFrame> rest(const std::shared_ptr<const TextFrame>& whole,
                                                 const AttributedText& text, size_t from, size_t fromByte);

    // The bottom of the last line; 0 for empty text.
    double height() const;
    // The width of the longest line.
    double naturalWidth() const;
    // The UTF-16 units of the whole lines whose bottom is within `height`: up to the start of the first
    // line that does not fit, or the whole length when all fit.
    size_t fitting(double height) const;
    // fitting, with the byte of the text's string where the first line that does not fit starts (for a
    // rest, of the whole text's string); the string's length when all fit.
    struct Fit {
        size_t units = 0;
        size_t byte = 0;
    };
    Fit fit(double height) const;
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
        size_t startByte = 0;                           // its byte in the string
    };
    struct Run {
        size_t start = 0, end = 0;  // bytes of the string; run i of the text
    };

    TextFrame();
    // Lays out bytes [start, end) of the text as one paragraph with its top at `top`, its lines' positions
    // counted from `unitBase` (the UTF-16 position of `start`); returns the paragraph's height.
    int64_t layParagraph(const AttributedText& text, const std::vector<Run>& runs, size_t start, size_t end,
                         size_t unitBase, int64_t top);
    size_t lineCount() const;
    // Line i with the positions of this frame (a rest's shared lines shifted into place).
    Line lineAt(size_t i, const TextFrame** owner) const;
    size_t lineCountWithin(double height) const;
    void drawLine(PageContext& page, const Line& line, const TextFrame& owner, double x, double y) const;

    size_t length_ = 0;  // UTF-16 units
    size_t bytes_ = 0;   // bytes of the string (for a rest, the whole text's)
    int widthUnits_ = -1;
    std::vector<Run> runs_;  // byte ranges of the text's runs
    std::vector<std::unique_ptr<Paragraph>> paragraphs_;
    std::vector<Line> lines_;
    std::vector<int> widestFrom_;  // widestFrom_[p]: the widest of paragraphs p and after
    int naturalWidth_ = 0;
    // A rest shows, after its own lines, the lines of `base_` from `baseLine_` on, moved down by
    // `baseShift_` Pango units and back by `unitShift_` UTF-16 units.
    std::shared_ptr<const TextFrame> base_;
    size_t baseLine_ = 0;
    int64_t baseShift_ = 0;
    size_t unitShift_ = 0;
};

}  // namespace quillmark::graphics
