// Canvas: the drawing surface of one PDF page, in top-left page coordinates (y grows downwards).
//
// The page layouts draw only through it; it converts to the PDF's own coordinates and is the one place
// that knows the drawing library. A canvas lives for one page.
//
//   canvas.fill({0, 0, 612, 792}, Ink::white);
//   canvas.text(paragraph, {54, 100, 300, 40});    // 2 points taller than given; links annotated
//   canvas.image(picture, {54, 160, 200, 150}, 14); // rounded corners of radius 14
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/graphics/attributed_text.h"
#include "export/graphics/picture.h"

namespace quillmark::graphics {

struct Point {
    double x = 0, y = 0;
};
struct Size {
    double width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};
struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
    double right() const { return x + width; }
    double bottom() const { return y + height; }
    Rect insetBy(double d) const { return {x + d, y + d, width - 2 * d, height - 2 * d}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Stroke {
    Color color;
    double lineWidth = 1;
    std::vector<double> dash;  // on, off, …; empty for a solid line
    double phase = 0;
};

class PageContext;  // the drawing library's page, owned by the PDF writer

class Canvas {
public:
    Canvas(PageContext& page, Size size) : page_(page), size_(size) {}

    Size size() const { return size_; }

    // Draws the text laid out in the rectangle made 2 points taller (same top); text that does not fit is
    // not drawn. Every run with a link adds a link annotation over the whole rectangle.
    void text(const AttributedText& text, const Rect& rect);
    // Fills the rectangle, with rounded corners when radius > 0.
    void fill(const Rect& rect, const Color& color, double radius = 0);
    // Strokes the outline of the (rounded) rectangle.
    void strokeRect(const Rect& rect, const Stroke& stroke, double radius = 0);
    // A straight line.
    void line(Point from, Point to, const Stroke& stroke);
    // Draws the picture scaled to fill the rectangle exactly, clipped to rounded corners when radius > 0;
    // with `crop`, scaled evenly to cover the rectangle and cut to it around its centre (a square cell of a
    // photo grid). A picture that carries JPEG bytes is embedded as those bytes.
    void image(const Picture& picture, const Rect& rect, double radius = 0, bool crop = false);

    // The URI that a link annotation carries for a link value: the value with every character that a URI
    // may not hold, and ( ) \ ', percent-encoded. Nothing when the value has no scheme, or its scheme
    // would run a script or open a local file (javascript:, vbscript:, data:, file:).
    //   linkURI("https://example.com/a b(1)") == "https://example.com/a%20b%281%29"
    static std::optional<std::string> linkURI(std::string_view url);

private:
    PageContext& page_;
    Size size_;
};

}  // namespace quillmark::graphics
