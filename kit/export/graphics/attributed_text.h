// AttributedText: text with runs of attributes (font, colour, paragraph style, underline, link), the unit
// in which the page layouts build their paragraphs.
//
// The text is UTF-8; positions and lengths are counted in UTF-16 code units, the unit of the layout rules
// (cutting a paragraph at a page end, marking a link's range). Runs cover the text without gaps.
//
//   AttributedText t("Look at this", {.font = Font::system(10.5), .color = Ink::text});
//   t.setLink(8, 4, "https://example.com");        // units [8, 12) carry the link (colour unchanged)
//   t.setColor(8, 4, Ink::blue);
//   t.append("\nNot in this history", smallGray);
//   auto [head, tail] = std::pair{t.substring(0, 5), t.substring(5, t.length())};
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::graphics {

// An sRGB colour with components from 0 to 1.
struct Color {
    double red = 0, green = 0, blue = 0, alpha = 1;
    static constexpr Color rgb255(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }
    friend bool operator==(const Color&, const Color&) = default;
};

enum class FontWeight { regular, medium, semibold, bold };

// The faces standing in for the platform's system fonts: the interface sans-serif, its serif design, the
// fixed-pitch face, and the sans-serif with tabular (fixed-width) digits.
enum class FontDesign { sans, serif, monospaced, monospacedDigits };

struct Font {
    double size = 10;
    FontWeight weight = FontWeight::regular;
    FontDesign design = FontDesign::sans;
    bool italic = false;

    static Font system(double size, FontWeight weight = FontWeight::regular) { return {size, weight, FontDesign::sans, false}; }
    Font withItalic() const { Font f = *this; f.italic = true; return f; }
    Font withDesign(FontDesign d) const { Font f = *this; f.design = d; return f; }
    friend bool operator==(const Font&, const Font&) = default;
};

enum class Alignment { left, center, right };

// A paragraph style: alignment, extra space between lines, space after the paragraph; lines always break
// at word boundaries.
struct ParagraphStyle {
    Alignment alignment = Alignment::left;
    double lineSpacing = 0;
    double after = 0;
    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

struct TextAttributes {
    Font font;
    Color color;
    ParagraphStyle paragraph;
    bool underline = false;
    std::optional<std::string> link;  // a URL; the page gets a link annotation over the text's rectangle
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

class AttributedText {
public:
    struct Run {
        size_t location = 0;  // UTF-16 units
        size_t length = 0;
        TextAttributes attributes;
        friend bool operator==(const Run&, const Run&) = default;
    };

    AttributedText() = default;
    // Invalid UTF-8 in the text becomes U+FFFD, so that byte and UTF-16 positions always agree.
    AttributedText(std::string_view text, const TextAttributes& attributes);

    // Appends text with its own attributes; adjacent runs with equal attributes merge into one.
    void append(std::string_view text, const TextAttributes& attributes);
    void append(const AttributedText& other);

    const std::string& string() const { return text_; }
    const std::vector<Run>& runs() const { return runs_; }
    size_t length() const { return length16_; }  // UTF-16 units
    bool empty() const { return length16_ == 0; }

    // The units [from, to) with their attributes; positions inside a surrogate pair move to its start.
    AttributedText substring(size_t from, size_t to) const;

    // Changes the attributes over units [location, location + length).
    void setColor(size_t location, size_t length, const Color& color);
    void setUnderline(size_t location, size_t length, bool underline);
    void setLink(size_t location, size_t length, const std::string& url);
    void setParagraph(const ParagraphStyle& style);  // over the whole text

    // The byte offset in string() of a UTF-16 position (clamped to the end).
    size_t byteOffset(size_t utf16Position) const;

    friend bool operator==(const AttributedText&, const AttributedText&) = default;

private:
    // A UTF-16 position moved to the start of its character, with its byte offset; the walk starts at
    // `from`, a position before it.
    struct Position {
        size_t byte = 0;
        size_t unit = 0;
    };
    Position locate(size_t utf16Position, Position from) const;
    Position locate(size_t utf16Position) const { return locate(utf16Position, Position()); }

    template <typename F>
    void modify(size_t location, size_t length, F&& change);

    std::string text_;
    std::vector<Run> runs_;
    size_t length16_ = 0;
};

}  // namespace quillmark::graphics
