#include "export/verify/page_checks.h"

#include <cmath>
#include <string_view>

namespace quillmark::PageChecks {

namespace {

size_t count(std::string_view text, std::string_view word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + word.size())) ++n;
    return n;
}

bool isBlank(uint8_t c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0; }

}  // namespace

bool addedAfterMade(std::span<const uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    constexpr std::string_view end = "%%EOF";
    const size_t last = text.rfind(end);
    if (last == std::string_view::npos) return true;
    for (size_t i = last + end.size(); i < text.size(); ++i) {
        if (!isBlank(bytes[i])) return true;
    }
    // A linearized file announces itself in its first object and carries two sections, each with its end
    // marker; every other file written whole has one. An update adds one more.
    const bool linearized = text.substr(0, 1024).find("/Linearized") != std::string_view::npos;
    return count(text, end) > (linearized ? 2u : 1u);
}

bool looksDifferent(const graphics::PDFDocument::GreyPage& a, const graphics::PDFDocument::GreyPage& b) {
    if (a.width != b.width || a.height != b.height) return true;
    if (a.pixels.size() != static_cast<size_t>(a.width) * static_cast<size_t>(a.height) ||
        b.pixels.size() != a.pixels.size()) {
        return true;
    }
    for (int top = 0; top < a.height; top += blockSize) {
        for (int left = 0; left < a.width; left += blockSize) {
            long sum = 0;
            int n = 0;
            for (int y = top; y < std::min(top + blockSize, a.height); ++y) {
                const size_t row = static_cast<size_t>(y) * static_cast<size_t>(a.width);
                for (int x = left; x < std::min(left + blockSize, a.width); ++x) {
                    sum += static_cast<long>(a.pixels[row + static_cast<size_t>(x)]) -
                           static_cast<long>(b.pixels[row + static_cast<size_t>(x)]);
                    ++n;
                }
            }
            if (n > 0 && std::abs(static_cast<double>(sum) / n) > greyTolerance) return true;
        }
    }
    return false;
}

std::optional<std::string> differingField(const VerificationRecord& file, const VerificationRecord& made) {
    if (file.version != made.version) return "version";
    if (file.chats != made.chats) return "chats";
    if (file.start != made.start) return "start";
    if (file.end != made.end) return "end";
    if (file.options != made.options) return "options";
    if (file.names != made.names) return "names";
    if (file.fingerprint != made.fingerprint) return "fingerprint";
    if (file.messages != made.messages) return "messages";
    if (file.pages != made.pages) return "pages";
    if (file.origin != made.origin) return "origin";
    return std::nullopt;
}

}  // namespace quillmark::PageChecks
