#include "export/graphics/attributed_text.h"

#include <algorithm>

#include "core/text.h"

namespace quillmark::graphics {

namespace {

// The number of bytes of the UTF-8 sequence that starts with this byte. The text is valid UTF-8 (the
// constructor and append make it so), so lead bytes tell the length.
size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

}  // namespace

AttributedText::AttributedText(std::string_view text, const TextAttributes& attributes) {
    append(text, attributes);
}

void AttributedText::append(std::string_view text, const TextAttributes& attributes) {
    std::string valid = text::validUTF8(text);
    const size_t length = text::utf16Length(valid);
    if (length == 0) return;
    text_ += valid;
    if (!runs_.empty() && runs_.back().attributes == attributes) {
        runs_.back().length += length;
    } else {
        runs_.push_back({length16_, length, attributes});
    }
    length16_ += length;
}

void AttributedText::append(const AttributedText& other) {
    if (&other == this) {
        const AttributedText copy = other;
        append(copy);
        return;
    }
    Position start;
    for (const Run& run : other.runs_) {
        const Position end = other.locate(run.location + run.length, start);
        append(std::string_view(other.text_).substr(start.byte, end.byte - start.byte), run.attributes);
        start = end;
    }
}

AttributedText::Position AttributedText::locate(size_t utf16Position, Position at) const {
    while (at.byte < text_.size() && at.unit < utf16Position) {
        const size_t n = sequenceLength(static_cast<unsigned char>(text_[at.byte]));
        const size_t units = n == 4 ? 2 : 1;
        // A position between the two halves of a surrogate pair moves to the pair's start.
        if (at.unit + units > utf16Position) break;
        at.byte += n;
        at.unit += units;
    }
    return at;
}

size_t AttributedText::byteOffset(size_t utf16Position) const {
    return locate(utf16Position).byte;
}

AttributedText AttributedText::substring(size_t from, size_t to) const {
    AttributedText result;
    to = std::min(to, length16_);
    if (from >= to) return result;
    const size_t fromByte = byteOffset(from);
    const size_t toByte = byteOffset(to);
    if (fromByte >= toByte) return result;
    Position runStart;
    for (const Run& run : runs_) {
        const Position runEnd = locate(run.location + run.length, runStart);
        const size_t start = std::max(runStart.byte, fromByte);
        const size_t end = std::min(runEnd.byte, toByte);
        if (start < end) result.append(std::string_view(text_).substr(start, end - start), run.attributes);
        if (runEnd.byte >= toByte) break;
        runStart = runEnd;
    }
    return result;
}

template <typename F>
void AttributedText::modify(size_t location, size_t length, F&& change) {
    // Run boundaries never fall inside a surrogate pair: both ends move to the start of their character.
    if (location >= length16_) return;
    const size_t start = locate(location).unit;
    const size_t end = locate(location + std::min(length, length16_ - location)).unit;
    if (start >= end) return;
    std::vector<Run> runs;
    runs.reserve(runs_.size() + 2);
    auto push = [&runs](size_t at, size_t n, const TextAttributes& attributes) {
        if (n == 0) return;
        if (!runs.empty() && runs.back().attributes == attributes) {
            runs.back().length += n;
            return;
        }
        runs.push_back({at, n, attributes});
    };
    for (const Run& run : runs_) {
        const size_t runEnd = run.location + run.length;
        const size_t a = std::clamp(start, run.location, runEnd);
        const size_t b = std::clamp(end, run.location, runEnd);
        push(run.location, a - run.location, run.attributes);
        TextAttributes changed = run.attributes;
        change(changed);
        push(a, b - a, changed);
        push(b, runEnd - b, run.attributes);
    }
    runs_ = std::move(runs);
}

void AttributedText::setColor(size_t location, size_t length, const Color& color) {
    modify(location, length, [&](TextAttributes& a) { a.color = color; });
}

void AttributedText::setUnderline(size_t location, size_t length, bool underline) {
    modify(location, length, [&](TextAttributes& a) { a.underline = underline; });
}

void AttributedText::setLink(size_t location, size_t length, const std::string& url) {
    modify(location, length, [&](TextAttributes& a) { a.link = url; });
}

void AttributedText::setParagraph(const ParagraphStyle& style) {
    modify(0, length16_, [&](TextAttributes& a) { a.paragraph = style; });
}

}  // namespace quillmark::graphics
