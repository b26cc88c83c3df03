#include "cli/safe_output.h"

#include <cstdio>

#include "core/text.h"

namespace quillmark::cli {

namespace {

// The length of the UTF-8 sequence a lead byte starts; 1 for a byte that cannot start one.
size_t sequenceLength(unsigned char lead) {
    if (lead < 0xC2) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 1;
}

char32_t decode(std::string_view utf8) {
    const auto* b = reinterpret_cast<const unsigned char*>(utf8.data());
    switch (utf8.size()) {
        case 1: return b[0];
        case 2: return char32_t(b[0] & 0x1F) << 6 | (b[1] & 0x3F);
        case 3: return char32_t(b[0] & 0x0F) << 12 | char32_t(b[1] & 0x3F) << 6 | (b[2] & 0x3F);
        default: return char32_t(b[0] & 0x07) << 18 | char32_t(b[1] & 0x3F) << 12 | char32_t(b[2] & 0x3F) << 6 | (b[3] & 0x3F);
    }
}

void appendEscaped(std::string& out, char32_t c, SafeOutput::Mode mode) {
    char escape[16];
    if (mode == SafeOutput::Mode::terminal && c == 0x1B) {
        out += "\\e";
        return;
    }
    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
    out += escape;
}

// Whether a byte passes as it is: printable ASCII, and the white space each mode keeps (JSON output holds
// no raw controls but the line feeds between values).
bool passes(unsigned char b) { return (b >= 0x20 && b < 0x7F) || b == '\n' || b == '\t'; }

// Filters the valid UTF-8 text. Runs of plain ASCII, nearly all of any output, are copied whole.
void filter(std::string& out, std::string_view text, SafeOutput::Mode mode) {
    size_t i = 0;
    while (i < text.size()) {
        size_t run = i;
        while (run < text.size() && passes(static_cast<unsigned char>(text[run]))) ++run;
        out.append(text.substr(i, run - i));
        if (run == text.size()) return;
        i = run;
        const size_t length = std::min(sequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
        const char32_t c = decode(text.substr(i, length));
        const bool escaped = mode == SafeOutput::Mode::terminal ? text::isControl(c) : (c >= 0x7F && text::isControl(c));
        if (escaped)
            appendEscaped(out, c, mode);
        else
            out.append(text.substr(i, length));
        i += length;
    }
}

}  // namespace

SafeOutput::SafeOutput(std::ostream& stream, Mode mode) : stream_(stream), target_(stream.rdbuf()), mode_(mode) {
    stream_.rdbuf(this);
}

SafeOutput::~SafeOutput() {
    drain(true);
    stream_.rdbuf(target_);
}

std::string SafeOutput::filtered(std::string_view text, Mode mode) {
    std::string out;
    filter(out, text::validUTF8(text), mode);
    return out;
}

SafeOutput::int_type SafeOutput::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= 1 << 16) drain(false);
    return c;
}

std::streamsize SafeOutput::xsputn(const char* s, std::streamsize n) {
    pending_.append(s, static_cast<size_t>(n));
    if (pending_.size() >= 1 << 16) drain(false);
    return n;
}

int SafeOutput::sync() {
    drain(false);
    return target_->pubsync();
}

void SafeOutput::drain(bool final) {
    // A character cut between two pieces waits for the rest of its bytes.
    size_t complete = pending_.size();
    if (!final) {
        for (size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const auto b = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if ((b & 0xC0) == 0x80) continue;
            if (sequenceLength(b) > back) complete = pending_.size() - back;
            break;
        }
    }
    const std::string valid = text::validUTF8(std::string_view(pending_).substr(0, complete));
    std::string out;
    out.reserve(valid.size());
    filter(out, valid, mode_);
    target_->sputn(out.data(), static_cast<std::streamsize>(out.size()));
    pending_.erase(0, complete);
}

}  // namespace quillmark::cli
