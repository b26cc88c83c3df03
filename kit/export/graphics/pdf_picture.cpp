// pictureOfPDFFile: page 1 of a PDF document rasterised with Poppler.
#include "export/graphics/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

namespace quillmark::graphics {

namespace {

void silencePoppler() {
    // The engine prints nothing; Poppler reports every syntax error of a damaged document on standard error.
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

// Quarter turns clockwise with which viewers show the page (its /Rotate entry).
int quarterTurns(const poppler::page& page) {
    switch (page.orientation()) {
    case poppler::page::landscape: return 1;
    case poppler::page::upside_down: return 2;
    case poppler::page::seascape: return 3;
    default: return 0;
    }
}

// Where the crop box's top-left corner lies inside the media box as the page is shown, in points. Poppler
// draws the crop box only; the rest of the media box stays white.
std::pair<double, double> cropOffset(const poppler::rectf& media, const poppler::rectf& crop, int turns) {
    const double left = crop.left() - media.left();
    const double right = media.right() - crop.right();
    // Page space grows upwards, so the page's top is the box's larger y.
    const double top = media.bottom() - crop.bottom();
    const double bottom = crop.top() - media.top();
    switch (turns) {
    case 1: return {bottom, left};
    case 2: return {right, bottom};
    case 3: return {top, right};
    default: return {left, top};
    }
}

}  // namespace

std::optional<Picture> pictureOfPDFFile(const std::string& path, int maxPixels) {
    if (maxPixels < 1) return std::nullopt;
    silencePoppler();
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(path));
    if (!document || document->is_locked() || document->pages() < 1) return std::nullopt;
    std::unique_ptr<poppler::page> page(document->create_page(0));
    if (!page) return std::nullopt;

    const poppler::rectf media = page->page_rect(poppler::media_box);
    const poppler::rectf crop = page->page_rect(poppler::crop_box);
    const int turns = quarterTurns(*page);
    double w = std::abs(media.width());
    double h = std::abs(media.height());
    if (turns % 2 == 1) std::swap(w, h);
    if (!std::isfinite(w) || !std::isfinite(h) || w <= 0 || h <= 0) return std::nullopt;

    // The longer side is exactly maxPixels; the other is truncated toward zero. Multiplying before dividing
    // keeps a side that comes out whole from landing just below it (792 × (1400 / 792) is not 1400).
    const double longer = std::max(w, h);
    const double scale = maxPixels / longer;
    const int width = w >= h ? maxPixels : int(std::trunc(w * maxPixels / longer));
    const int height = h > w ? maxPixels : int(std::trunc(h * maxPixels / longer));
    if (width < 1 || height < 1) return std::nullopt;

    poppler::page_renderer renderer;
    renderer.set_paper_color(0xffffffff);
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image image = renderer.render_page(page.get(), 72.0 * scale, 72.0 * scale);
    if (!image.is_valid() || image.format() != poppler::image::format_argb32) return std::nullopt;

    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.assign(size_t(width) * size_t(height) * 3, 0xff);
    const auto [offsetX, offsetY] = cropOffset(media, crop, turns);
    const int x0 = std::clamp(int(std::lround(offsetX * scale)), 0, width);
    const int y0 = std::clamp(int(std::lround(offsetY * scale)), 0, height);
    const int rows = std::min(image.height(), height - y0);
    const int columns = std::min(image.width(), width - x0);
    const char* data = image.const_data();
    for (int y = 0; y < rows; ++y) {
        const char* row = data + size_t(y) * size_t(image.bytes_per_row());
        uint8_t* target = &picture.rgb[(size_t(y0 + y) * width + x0) * 3];
        for (int x = 0; x < columns; ++x) {
            // Each pixel is a native-endian 0xAARRGGBB word.
            uint32_t argb = 0;
            std::memcpy(&argb, row + size_t(x) * 4, 4);
            target[x * 3 + 0] = uint8_t(argb >> 16);
            target[x * 3 + 1] = uint8_t(argb >> 8);
            target[x * 3 + 2] = uint8_t(argb);
        }
    }
    return picture;
}

}  // namespace quillmark::graphics
