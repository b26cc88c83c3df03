#include "export/graphics/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include <glib.h>
#include <vips/vips8>

#include "export/graphics/heif_picture.h"

namespace quillmark::graphics {

namespace {

// libvips is started once for the process, without its operation cache: a long run pictures thousands of
// attachments once each, so cached results would only hold memory and open files. And files are opened by
// names that stand for descriptors ("/proc/self/fd/7"), which a later file takes over: a cache keyed by
// name would hand out the earlier file's picture.
bool vipsReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        if (vips_init("quillmark") != 0) return;
        vips_cache_set_max(0);
        // Attachments come from other people. Loaders libvips marks as unfit for untrusted input (the
        // ImageMagick bridge above all) stay off; the common photo formats have loaders of their own.
        vips_block_untrusted_set(TRUE);
        // The engine prints nothing: libvips reports damaged files as warnings on standard error.
        g_log_set_handler("VIPS", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO),
                          [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        ready = true;
    });
    return ready;
}

// Owns a blob that refers to bytes it does not own; the bytes must outlive it.
struct BlobRef {
    VipsBlob* blob;
    explicit BlobRef(std::span<const uint8_t> bytes) : blob(vips_blob_new(nullptr, bytes.data(), bytes.size())) {}
    ~BlobRef() { vips_area_unref(VIPS_AREA(blob)); }
    BlobRef(const BlobRef&) = delete;
    BlobRef& operator=(const BlobRef&) = delete;
};

// 8-bit sRGB without alpha, transparent areas laid on white, pixels computed into memory.
std::optional<Picture> toPicture(vips::VImage image) {
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB || image.format() != VIPS_FORMAT_UCHAR)
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.has_alpha())
        image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{255.0, 255.0, 255.0}));
    if (image.format() != VIPS_FORMAT_UCHAR) image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() > 3) image = image.extract_band(0, vips::VImage::option()->set("n", 3));
    if (image.bands() != 3 || image.width() < 1 || image.height() < 1) return std::nullopt;

    size_t size = 0;
    void* pixels = image.write_to_memory(&size);
    Picture picture;
    picture.width = image.width();
    picture.height = image.height();
    auto* bytes = static_cast<const uint8_t*>(pixels);
    picture.rgb.assign(bytes, bytes + size);
    g_free(pixels);
    if (picture.rgb.size() != size_t(picture.width) * size_t(picture.height) * 3) return std::nullopt;
    return picture;
}

bool isHeifLoader(const char* loader) { return std::strncmp(loader, "VipsForeignLoadHeif", 19) == 0; }

}  // namespace

std::optional<std::vector<uint8_t>> Picture::encodeJPEG(double quality) const {
    if (width < 1 || height < 1 || rgb.size() != size_t(width) * size_t(height) * 3) return std::nullopt;
    if (!std::isfinite(quality) || !vipsReady()) return std::nullopt;
    const int q = std::clamp(int(std::lround(quality * 100.0)), 1, 100);
    try {
        auto image = vips::VImage::new_from_memory(const_cast<uint8_t*>(rgb.data()), rgb.size(), width, height, 3,
                                                   VIPS_FORMAT_UCHAR);
        image = image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        VipsBlob* blob = image.jpegsave_buffer(vips::VImage::option()->set("Q", q)->set("strip", true));
        size_t length = 0;
        auto* data = static_cast<const uint8_t*>(vips_blob_get(blob, &length));
        std::vector<uint8_t> jpeg(data, data + length);
        vips_area_unref(VIPS_AREA(blob));
        if (jpeg.empty()) return std::nullopt;
        return jpeg;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<Picture> Picture::fromJPEG(std::span<const uint8_t> bytes) {
    if (bytes.empty() || !vipsReady()) return std::nullopt;
    try {
        BlobRef blob(bytes);
        auto image = vips::VImage::jpegload_buffer(
            blob.blob, vips::VImage::option()->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
        auto picture = toPicture(image);
        if (!picture) return std::nullopt;
        picture->jpeg = std::vector<uint8_t>(bytes.begin(), bytes.end());
        return picture;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<Picture> pictureOfImageFile(const std::string& path, int maxPixels) {
    if (maxPixels < 1 || !vipsReady()) return std::nullopt;
    try {
        const char* loader = vips_foreign_find_load(path.c_str());
        if (loader == nullptr) {
            vips_error_clear();
            return std::nullopt;
        }
        if (isHeifLoader(loader)) {
            if (auto image = heifPictureImage(path, maxPixels)) return toPicture(*image);
        }
        // Opening reads the header only; the pixels are decoded by the thumbnail below.
        auto header = vips::VImage::new_from_file(
            path.c_str(), vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
        if (static_cast<long long>(header.width()) * header.height() > kMostImagePixels) return std::nullopt;

        // Never larger than the image itself, orientation applied, and a picture with its own colour profile
        // (wide-gamut phone photos) converted to sRGB through it. Pictures without a profile are sRGB already.
        auto options = vips::VImage::option()
                           ->set("height", maxPixels)
                           ->set("size", VIPS_SIZE_DOWN)
                           ->set("no_rotate", false)
                           ->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
        if (header.get_typeof(VIPS_META_ICC_NAME) != 0) options->set("export_profile", "srgb");

        // The file-based thumbnail shrinks while it decodes (JPEG scaling, WebP scaling) from the full image,
        // but for HEIF it would take the small preview stored in the file whenever that is large enough.
        // HEIF is decoded whole anyway, so the full image costs nothing more.
        vips::VImage thumbnail = isHeifLoader(loader) ? header.thumbnail_image(maxPixels, options)
                                                      : vips::VImage::thumbnail(path.c_str(), maxPixels, options);
        return toPicture(thumbnail);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

bool Picture::embedsAsJPEG() const {
    if (!jpeg) return false;
    const std::vector<uint8_t>& bytes = *jpeg;
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF) return false;
        const uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const size_t length = size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (marker > 0xC2 || at + 9 > bytes.size()) return false;
            const int h = bytes[at + 5] << 8 | bytes[at + 6];
            const int w = bytes[at + 7] << 8 | bytes[at + 8];
            return w == this->width && h == this->height;
        }
        if (marker == 0xDA || marker == 0xD9 || length < 2) return false;
        at += 2 + length;
    }
    return false;
}

}  // namespace quillmark::graphics
