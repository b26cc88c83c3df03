#include "export/graphics/heif_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include <libheif/heif.h>

#include "export/graphics/picture.h"

namespace quillmark::graphics {

namespace {

struct HeifRelease {
    void operator()(heif_context* context) const { heif_context_free(context); }
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
    void operator()(heif_image* image) const { heif_image_release(image); }
};
template <typename T>
using HeifPtr = std::unique_ptr<T, HeifRelease>;

// One plane of the decoded image, read in place: the image must outlive it.
std::optional<vips::VImage> planeOf(const heif_image* image, heif_channel channel) {
    int stride = 0;
    const uint8_t* data = heif_image_get_plane_readonly(image, channel, &stride);
    const int width = heif_image_get_width(image, channel);
    const int height = heif_image_get_height(image, channel);
    if (data == nullptr || width < 1 || height < 1 || stride < width ||
        heif_image_get_bits_per_pixel_range(image, channel) != 8) {
        return std::nullopt;
    }
    auto plane = vips::VImage::new_from_memory(const_cast<uint8_t*>(data), size_t(stride) * size_t(height), stride,
                                               height, 1, VIPS_FORMAT_UCHAR);
    return stride == width ? plane : plane.extract_area(0, 0, width, height);
}

// A plane resized to exactly width × height.
vips::VImage fitted(vips::VImage plane, int width, int height) {
    if (plane.width() == width && plane.height() == height) return plane;
    plane = plane.resize(double(width) / plane.width(),
                         vips::VImage::option()->set("vscale", double(height) / plane.height()));
    // Rounding in the resize can leave a row or column more or less.
    if (plane.width() != width || plane.height() != height)
        plane = plane.embed(0, 0, width, height, vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return plane;
}

std::vector<uint8_t> iccProfile(const heif_image_handle* handle) {
    const auto type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    std::vector<uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
    if (profile.empty() || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
        return {};
    return profile;
}

}  // namespace

std::optional<vips::VImage> heifPictureImage(const std::string& path, int maxPixels) try {
    if (maxPixels < 1) return std::nullopt;
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context || heif_context_read_from_file(context.get(), path.c_str(), nullptr).code != heif_error_Ok)
        return std::nullopt;
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return std::nullopt;
    HeifPtr<heif_image_handle> handle(rawHandle);
    const long long pixels =
        static_cast<long long>(heif_image_handle_get_width(handle.get())) * heif_image_handle_get_height(handle.get());
    if (pixels > kMostImagePixels || heif_image_handle_has_alpha_channel(handle.get()) ||
        heif_image_handle_get_luma_bits_per_pixel(handle.get()) != 8 ||
        heif_image_handle_get_chroma_bits_per_pixel(handle.get()) != 8) {
        return std::nullopt;
    }
    heif_image* rawImage = nullptr;
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_444, nullptr).code !=
        heif_error_Ok) {
        return std::nullopt;
    }
    HeifPtr<heif_image> decoded(rawImage);
    auto r = planeOf(decoded.get(), heif_channel_R);
    auto g = planeOf(decoded.get(), heif_channel_G);
    auto b = planeOf(decoded.get(), heif_channel_B);
    if (!r || !g || !b) return std::nullopt;

    const int width = r->width(), height = r->height();
    const double scale = std::min(1.0, double(maxPixels) / std::max(width, height));
    const int w = std::max(1, int(std::lround(width * scale)));
    const int h = std::max(1, int(std::lround(height * scale)));
    auto rgb = vips::VImage::bandjoin({fitted(*r, w, h), fitted(*g, w, h), fitted(*b, w, h)})
                   .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));

    // Phone photos carry a wide-gamut profile; the picture is converted through it, as for other formats.
    if (auto profile = iccProfile(handle.get()); !profile.empty()) {
        vips_image_set_blob_copy(rgb.get_image(), VIPS_META_ICC_NAME, profile.data(), profile.size());
        rgb = rgb.icc_transform("srgb", vips::VImage::option()->set("embedded", true));
    }
    // The pixels are computed while the decoded planes still exist.
    return rgb.copy_memory();
} catch (const vips::VError&) {
    vips_error_clear();
    return std::nullopt;
}

}  // namespace quillmark::graphics
