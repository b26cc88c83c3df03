#include "export/graphics/text_rest.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include <pango/pango.h>

#include "export/graphics/text_frame.h"

namespace quillmark::graphics {

namespace {

// Widths that lay out alike (every unbounded one) share one key, as in the frame cache.
double widthKey(double width) {
    const bool bounded = std::isfinite(width) && width * PANGO_SCALE < INT_MAX / 4;
    return bounded ? std::max(std::round(width * PANGO_SCALE), 0.0) : -1.0;
}

size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

}  // namespace

struct TextRest::Whole {
    AttributedText text;
    std::vector<std::pair<double, std::shared_ptr<const TextFrame>>> frames;  // by width key
};

TextRest::TextRest() : whole_(std::make_shared<Whole>()) {}

TextRest::TextRest(AttributedText text) : whole_(std::make_shared<Whole>()) { whole_->text = std::move(text); }

size_t TextRest::length() const { return whole_->text.length() - std::min(from_, whole_->text.length()); }

const AttributedText& TextRest::whole() const { return whole_->text; }

std::shared_ptr<const TextFrame> TextRest::frame(double width) const {
    // A whole text keeps no layout of its own: the thread's recent frames serve it, as they serve every
    // text, and a page's worth of blocks waiting to be drawn holds no layouts.
    if (from_ == 0) return TextFrame::of(whole_->text, width);
    const double key = widthKey(width);
    for (const auto& [k, f] : frames_)
        if (k == key) return f;
    std::shared_ptr<const TextFrame> wholeFrame;
    for (const auto& [k, f] : whole_->frames)
        if (k == key) wholeFrame = f;
    if (!wholeFrame) {
        wholeFrame = TextFrame::of(whole_->text, width);
        whole_->frames.emplace_back(key, wholeFrame);
    }
    std::shared_ptr<const TextFrame> made = TextFrame::rest(wholeFrame, whole_->text, from_, fromByte_);
    frames_.emplace_back(key, made);
    return made;
}

double TextRest::height(double width) const {
    if (empty()) return 0;
    return frame(width)->height();
}

double TextRest::natural() const {
    if (empty()) return 0;
    return frame(std::numeric_limits<double>::infinity())->naturalWidth();
}

TextRest::Fit TextRest::fit(double width, double height) const {
    if (empty() || !(height > 0)) return {0, fromByte_};
    const TextFrame::Fit fit = frame(width)->fit(height);
    return {fit.units, fit.byte};
}

TextRest TextRest::after(size_t units, size_t byte) const {
    TextRest rest;
    rest.whole_ = whole_;
    rest.from_ = from_ + units;
    rest.fromByte_ = byte;
    return rest;
}

AttributedText TextRest::slice(size_t units, size_t byte) const {
    AttributedText out;
    const std::string& s = whole_->text.string();
    const size_t end = from_ + std::min(units, length());
    size_t unit = from_, at = fromByte_;
    for (const AttributedText::Run& run : whole_->text.runs()) {
        const size_t runEnd = run.location + run.length;
        if (runEnd <= unit) continue;
        if (unit >= end) break;
        // Walk to the end of this run's part, one character at a time.
        const size_t stop = std::min(runEnd, end);
        const size_t start = at;
        if (stop == end) {
            at = std::min(byte, s.size());
        } else {
            while (unit < stop && at < s.size()) {
                const size_t n = sequenceLength(static_cast<unsigned char>(s[at]));
                at += n;
                unit += n == 4 ? 2 : 1;
            }
        }
        unit = stop;
        if (at > start) out.append(std::string_view(s).substr(start, at - start), run.attributes);
    }
    return out;
}

AttributedText TextRest::text() const {
    if (from_ == 0) return whole_->text;
    return slice(length(), whole_->text.string().size());
}

}  // namespace quillmark::graphics
