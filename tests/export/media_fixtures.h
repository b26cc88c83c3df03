// Media fixtures made at test time: JPEG, PNG and HEIC pictures, videos, audio files and PDF documents, written
// into a test's temporary folder. Tools that make them (ffmpeg, heif-enc) are looked for on the PATH; a test
// whose tool is missing skips.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "export/graphics/picture.h"

namespace quillmark::testing {

// Whether a program of that name is on the PATH.
bool haveTool(const std::string& name);

// Runs a shell command quietly; true when it exits with status 0.
bool runQuietly(const std::string& command);

// A path quoted for the shell.
std::string quoted(const std::filesystem::path& path);

// A width × height picture of one colour with a square of another in its top-left corner.
graphics::Picture markedPicture(int width, int height, int mark, std::array<uint8_t, 3> background,
                                std::array<uint8_t, 3> corner);

// The JPEG with an EXIF segment holding only the orientation tag, put right after the start marker.
std::string withExifOrientation(const std::string& jpeg, int orientation);
// A JPEG with an APP2 segment carrying a Display P3 colour profile, as phone cameras write.
std::string withDisplayP3Profile(const std::string& jpeg);

// A PDF document of one page with the content stream, its media box, rotation and crop box (none when empty).
std::string pdfDocument(const std::string& content, const std::string& mediaBox = "0 0 612 792", int rotate = 0,
                        const std::string& cropBox = "");

// An AMR-NB file of `speechFrames` 12.2 kbit/s frames followed by `silentFrames` no-data frames, 20 ms each.
std::string amrFile(int speechFrames, int silentFrames);

// A Core Audio file (.caf) holding the AAC frames of an ADTS stream (an .aac file), as voice messages are
// recorded; empty when the bytes are no ADTS stream. FFmpeg cannot write AAC into this container itself.
std::string cafOfADTS(const std::string& adts);

// The RGB of a picture's pixel.
std::array<int, 3> pixelAt(const graphics::Picture& picture, int x, int y);

}  // namespace quillmark::testing
