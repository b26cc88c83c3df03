#include "export/graphics/pdf_document.h"

#include <algorithm>
#include <climits>
#include <mutex>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include "core/text.h"

namespace quillmark::graphics {

namespace {

// Poppler reports damage in the files it reads on standard error; the engine prints nothing.
void silencePoppler() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

std::string utf8(const poppler::ustring& s) {
    const poppler::byte_array bytes = s.to_utf8();
    return text::validUTF8(std::string_view(bytes.data(), bytes.size()));
}

std::string decodeEntities(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const size_t end = s.find(';', i);
        if (end == std::string_view::npos || end - i > 10) {
            out += s[i];
            continue;
        }
        const std::string_view entity = s.substr(i + 1, end - i - 1);
        if (entity == "amp") out += '&';
        else if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            const std::string digits(entity.substr(hex ? 2 : 1));
            char* stop = nullptr;
            const unsigned long code = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
            if (digits.empty() || *stop || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                out += s.substr(i, end - i + 1);
                i = end;
                continue;
            }
            std::u16string unit;
            if (code > 0xFFFF) {
                unit += char16_t(0xD800 + ((code - 0x10000) >> 10));
                unit += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                unit += char16_t(code);
            }
            out += text::toUTF8(unit);
        } else {
            out += s.substr(i, end - i + 1);
        }
        i = end;
    }
    return out;
}

// The texts of the elements with this name in the XML (element content, entities decoded).
std::vector<std::string> elementTexts(std::string_view xml, std::string_view name) {
    std::vector<std::string> texts;
    std::string open = "<", close = "</";
    open += name;
    close += name;
    close += '>';
    size_t at = 0;
    while ((at = xml.find(open, at)) != std::string_view::npos) {
        const size_t tagEnd = xml.find('>', at);
        if (tagEnd == std::string_view::npos) break;
        const char next = xml[at + open.size()];
        if (next != '>' && next != ' ' && next != '\t' && next != '\n' && next != '\r' && next != '/') {
            at = tagEnd;
            continue;
        }
        if (xml[tagEnd - 1] == '/') {
            at = tagEnd;
            continue;
        }
        const size_t end = xml.find(close, tagEnd);
        if (end == std::string_view::npos) break;
        texts.push_back(decodeEntities(xml.substr(tagEnd + 1, end - tagEnd - 1)));
        at = end + close.size();
    }
    return texts;
}

// Keywords from the document's XMP metadata: the pdf:Keywords text, else the items of dc:subject. A
// program that re-saves a PDF may keep its keywords only there, or split them into such items.
std::vector<std::string> xmpKeywords(const std::string& xmp) {
    for (const std::string& keywords : elementTexts(xmp, "pdf:Keywords")) {
        if (!keywords.empty()) return {keywords};
    }
    const std::vector<std::string> subjects = elementTexts(xmp, "dc:subject");
    if (subjects.empty()) return {};
    std::vector<std::string> items;
    for (const std::string& item : elementTexts(subjects.front(), "rdf:li")) items.push_back(item);
    return items;
}

}  // namespace

struct PDFDocument::State {
    std::vector<char> bytes;  // Poppler reads from them for as long as the document lives
    std::unique_ptr<poppler::document> document;
};

PDFDocument::PDFDocument(std::unique_ptr<State> state) : state_(std::move(state)) {}
PDFDocument::PDFDocument(PDFDocument&&) noexcept = default;
PDFDocument& PDFDocument::operator=(PDFDocument&&) noexcept = default;
PDFDocument::~PDFDocument() = default;

std::optional<PDFDocument> PDFDocument::open(const std::string& path) {
    silencePoppler();
    try {
        auto state = std::make_unique<State>();
        state->document.reset(poppler::document::load_from_file(path));
        if (!state->document || state->document->is_locked()) return std::nullopt;
        return PDFDocument(std::move(state));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<PDFDocument> PDFDocument::open(std::span<const uint8_t> bytes) {
    silencePoppler();
    if (bytes.empty() || bytes.size() > size_t(INT_MAX)) return std::nullopt;
    try {
        auto state = std::make_unique<State>();
        state->bytes.assign(bytes.begin(), bytes.end());
        state->document.reset(
            poppler::document::load_from_raw_data(state->bytes.data(), static_cast<int>(state->bytes.size())));
        if (!state->document || state->document->is_locked()) return std::nullopt;
        return PDFDocument(std::move(state));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> PDFDocument::info(const std::string& key) const {
    try {
        const std::vector<std::string> keys = state_->document->info_keys();
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) return std::nullopt;
        return utf8(state_->document->info_key(key));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::vector<std::string> PDFDocument::keywords() const {
    if (std::optional<std::string> keywords = info("Keywords"); keywords && !keywords->empty()) return {*keywords};
    try {
        return xmpKeywords(utf8(state_->document->metadata()));
    } catch (const std::exception&) {
        return {};
    }
}

int PDFDocument::pageCount() const {
    return state_->document->pages();
}

std::string PDFDocument::pageText(int index) const {
    if (index < 0 || index >= pageCount()) return {};
    try {
        std::unique_ptr<poppler::page> page(state_->document->create_page(index));
        if (!page) return {};
        // Reading order, as the words stand on the page: the same drawing always gives the same text.
        return utf8(page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout));
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<Size> PDFDocument::pageSize(int index) const {
    if (index < 0 || index >= pageCount()) return std::nullopt;
    try {
        std::unique_ptr<poppler::page> page(state_->document->create_page(index));
        if (!page) return std::nullopt;
        const poppler::rectf box = page->page_rect(poppler::media_box);
        return Size{box.width(), box.height()};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<PDFDocument::GreyPage> PDFDocument::pageGrey(int index, double dpi) const {
    if (index < 0 || index >= pageCount() || !poppler::page_renderer::can_render()) return std::nullopt;
    try {
        std::unique_ptr<poppler::page> page(state_->document->create_page(index));
        if (!page) return std::nullopt;
        poppler::page_renderer renderer;
        renderer.set_image_format(poppler::image::format_gray8);
        renderer.set_paper_color(0xffffffff);
        const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
        if (!image.is_valid() || image.format() != poppler::image::format_gray8) return std::nullopt;
        GreyPage out;
        out.width = image.width();
        out.height = image.height();
        if (out.width <= 0 || out.height <= 0) return std::nullopt;
        out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
        const char* data = image.const_data();
        for (int y = 0; y < out.height; ++y) {
            const auto* row = reinterpret_cast<const uint8_t*>(data + static_cast<ptrdiff_t>(y) * image.bytes_per_row());
            std::copy(row, row + out.width, out.pixels.begin() + static_cast<ptrdiff_t>(y) * out.width);
        }
        return out;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace quillmark::graphics
