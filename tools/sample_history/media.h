// Media: the real files behind the showcase's attachments, made at generation time with Debian's tools
// (ffmpeg for pictures, video and sound; heif-enc for HEIC) or written directly (PDF, ZIP, text).
//
//   auto maker = MediaMaker::create(scratchFolder);     // fails when a tool is missing
//   auto bytes = maker->make(Media::heic, destination);  // the size of the file written
//
// Each kind is made once and copied for later uses. The tools run single-threaded with bit-exact flags
// and without metadata, so the same tool versions make the same bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <tl/expected.hpp>

namespace quillmark::sample {

enum class Media {
    none,
    photoRotated,  // JPEG, landscape pixels with EXIF orientation 6 (shown upright as portrait)
    photoA,        // three further JPEGs, each different
    photoB,
    photoC,
    pngAlpha,      // PNG with a transparent surround
    sticker,       // PNG with alpha, sticker-sized
    heic,
    videoMP4,      // H.264 and AAC, two seconds
    videoMOV,      // H.264 in QuickTime, portrait, one and a half seconds
    audioCAF,      // Opus in CAF, as recorded audio messages are
    audioM4A,
    audioMP3,
    audioWAV,
    pdf,           // one letter-size page
    text,
    zip,
    thumbnail,     // a small JPEG for an address-book card
};

class MediaMaker {
public:
    // create: checks that the tools are there and makes a scratch folder inside `scratchParent`.
    [[nodiscard]] static tl::expected<MediaMaker, std::string> create(const std::filesystem::path& scratchParent);

    // The scratch folder goes with the object that holds it: a moved-from maker forgets it.
    MediaMaker(MediaMaker&& other) noexcept
        : scratch_(std::exchange(other.scratch_, {})), made_(std::move(other.made_)) {}
    MediaMaker& operator=(MediaMaker&&) = delete;
    MediaMaker(const MediaMaker&) = delete;
    ~MediaMaker();

    // make: writes the file of that kind at `destination` (its folder is created) and returns its size.
    [[nodiscard]] tl::expected<int64_t, std::string> make(Media media, const std::filesystem::path& destination);

    // The bytes of a kind, for data kept inside a database (a card's thumbnail).
    [[nodiscard]] tl::expected<std::vector<uint8_t>, std::string> bytes(Media media);

private:
    explicit MediaMaker(std::filesystem::path scratch) : scratch_(std::move(scratch)) {}
    tl::expected<std::filesystem::path, std::string> original(Media media);

    std::filesystem::path scratch_;
    std::map<Media, std::filesystem::path> made_;
};

// The parts of media that need no tool, open for tests.
namespace media {
// The JPEG with an EXIF segment carrying that orientation put after its JFIF header; nothing when the
// bytes are not a JPEG.
std::optional<std::vector<uint8_t>> withOrientation(const std::vector<uint8_t>& jpeg, uint16_t orientation);
// A one-page PDF (612 x 792 points) showing the lines, with a correct cross-reference table.
std::string pdf(const std::vector<std::string>& lines);
// A ZIP archive holding the files uncompressed.
std::vector<uint8_t> zip(const std::vector<std::pair<std::string, std::string>>& files);
uint32_t crc32(const void* data, size_t size);
}  // namespace media

}  // namespace quillmark::sample
