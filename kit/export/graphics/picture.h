// Picture: a decoded picture of an attachment, ready to be drawn into a page or written as a JPEG.
//
// Pixels are 8-bit sRGB without alpha (transparent areas are flattened onto white), rows top to bottom.
// A picture that went through JPEG compression keeps the JPEG bytes, so a PDF can embed them as they are
// instead of compressing the pixels again.
//
//   auto picture = graphics::pictureOfImageFile("/photos/IMG_1.HEIC", 1400);   // orientation applied
//   if (picture) auto jpeg = picture->encodeJPEG(0.82);                           // bytes of a JPEG file
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillmark::graphics {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;                      // width * height * 3 bytes
    std::optional<std::vector<uint8_t>> jpeg;      // a JPEG of these pixels (or the one they were decoded from)

    // A JPEG file of the pixels at a quality from 0 to 1; nothing when encoding fails.
    std::optional<std::vector<uint8_t>> encodeJPEG(double quality) const;

    // The picture of a JPEG file's bytes, keeping the bytes; nothing when they do not decode.
    static std::optional<Picture> fromJPEG(std::span<const uint8_t> bytes);

    // True when the JPEG bytes alone make this picture: a baseline, extended or progressive JPEG of exactly
    // its size, whose frame header a PDF page can embed as it is. Any other picture is drawn from its
    // pixels, so those must be kept.
    bool embedsAsJPEG() const;
};

// The most pixels an image file may have to be pictured: 150 megapixels, above the largest photos and
// panoramas a phone makes. Attachments come from other people, and a file of a few kilobytes can claim an
// image that would take gigabytes of memory or minutes to decode; such a file is left unpictured instead.
inline constexpr long long kMostImagePixels = 150'000'000;

// A thumbnail of an image file (JPEG, PNG, HEIC, GIF, TIFF, WebP …) whose longer side is at most
// maxPixels (never enlarged), made from the full image with its orientation applied and its colour profile
// converted to sRGB; nothing when it cannot be decoded, is cut short or has more than kMostImagePixels.
std::optional<Picture> pictureOfImageFile(const std::string& path, int maxPixels);

// A still frame of a video at 0.1 s (the first frame at or after it, else the last before it), rotated as the
// video is meant to be shown and at most maxPixels × maxPixels, never enlarged; nothing when no frame can be
// made. Only common audio and video container formats are opened, never playlists naming other files.
std::optional<Picture> pictureOfVideoFile(const std::string& path, int maxPixels);

// Page 1 of a PDF on white, turned as viewers show it (its /Rotate), scaled so that the longer side of its
// media box is exactly maxPixels (the other truncated toward zero; 612 × 792 points at 1400 give 1081 × 1400);
// nothing when the document or its first page cannot be opened, or the document needs a password.
std::optional<Picture> pictureOfPDFFile(const std::string& path, int maxPixels);

// The playing time of an audio or video file in seconds; nothing when it is unknown, not finite or not
// positive.
std::optional<double> mediaDuration(const std::string& path);

}  // namespace quillmark::graphics
