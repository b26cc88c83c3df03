#include "media_fixtures.h"

#include <cstdlib>
#include <sstream>

#include "support/pdf_objects.h"

namespace quillmark::testing {

bool haveTool(const std::string& name) { return runQuietly("command -v " + name); }

bool runQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string quoted(const std::filesystem::path& path) {
    std::string result = "'";
    for (char c : path.string()) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

graphics::Picture markedPicture(int width, int height, int mark, std::array<uint8_t, 3> background,
                                std::array<uint8_t, 3> corner) {
    graphics::Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto& colour = x < mark && y < mark ? corner : background;
            std::copy(colour.begin(), colour.end(), &picture.rgb[(size_t(y) * width + x) * 3]);
        }
    return picture;
}

std::string withExifOrientation(const std::string& jpeg, int orientation) {
    // Big-endian TIFF header, one IFD with one SHORT entry (tag 0x0112), no next IFD.
    const std::string tiff = std::string("MM\x00\x2a\x00\x00\x00\x08", 8) + std::string("\x00\x01", 2) +
                             std::string("\x01\x12\x00\x03\x00\x00\x00\x01", 8) +
                             std::string{'\x00', char(orientation), '\x00', '\x00'} + std::string(4, '\x00');
    const std::string payload = std::string("Exif\x00\x00", 6) + tiff;
    const size_t length = payload.size() + 2;
    std::string segment = std::string("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + payload;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

std::string pdfDocument(const std::string& content, const std::string& mediaBox, int rotate,
                        const std::string& cropBox) {
    std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [" + mediaBox + "]";
    if (!cropBox.empty()) page += " /CropBox [" + cropBox + "]";
    if (rotate != 0) page += " /Rotate " + std::to_string(rotate);
    return pdfOfObjects({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                         page + " /Resources << >> /Contents 4 0 R >>",
                         "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream"});
}

std::string amrFile(int speechFrames, int silentFrames) {
    std::string bytes = "#!AMR\n";
    for (int i = 0; i < speechFrames; ++i) bytes += char(7 << 3 | 4) + std::string(31, '\x00');
    for (int i = 0; i < silentFrames; ++i) bytes += char(15 << 3 | 4);
    return bytes;
}

std::array<int, 3> pixelAt(const graphics::Picture& picture, int x, int y) {
    const size_t at = (size_t(y) * picture.width + x) * 3;
    return {picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]};
}

}  // namespace quillmark::testing
