// A HEIF photo made small straight from its decoded colour planes, for pictures of a page's size.
//
// A phone's HEIC is decoded whole: its HEVC tiles can't be decoded at a smaller size. The decoder lays
// the tiles out as three planes of red, green and blue. Shrinking those planes where they lie costs less than
// asking for interleaved pixels, which copies all 12 million of them once more before the shrink.
//
//   if (auto image = heifPictureImage(path, 1400)) ...   // sRGB, at most 1400 pixels long, turned upright
#pragma once

#include <optional>
#include <string>

#include <vips/vips8>

namespace quillmark::graphics {

// The primary image of a HEIF file as 8-bit sRGB whose longer side is at most maxPixels (never enlarged),
// with the file's rotation, mirroring and crop applied and its colour profile converted to sRGB. Nothing
// when the image has more than 8 bits a sample or transparency, has more than kMostImagePixels, or cannot be
// decoded; the caller then takes the general way, which refuses such an image too.
std::optional<vips::VImage> heifPictureImage(const std::string& path, int maxPixels);

}  // namespace quillmark::graphics
