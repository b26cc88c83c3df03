#include "media_fixtures.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>

#include <lcms2.h>

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

std::string withDisplayP3Profile(const std::string& jpeg) {
    // Display P3: the P3 primaries with a D65 white and the sRGB tone curve.
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string icc(size, '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);

    const std::string payload = std::string("ICC_PROFILE\x00\x01\x01", 14) + icc;
    const size_t length = payload.size() + 2;
    return jpeg.substr(0, 2) + std::string("\xff\xe2", 2) + char(length >> 8) + char(length & 0xff) + payload +
           jpeg.substr(2);
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

namespace {

std::string bigEndian(uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char(value >> (8 * i) & 0xff);
    return out;
}

// A length in descriptors and the packet table: seven bits a byte, the high bit set on all but the last.
std::string berLength(size_t value) {
    std::string out(1, char(value & 0x7f));
    for (value >>= 7; value > 0; value >>= 7) out.insert(out.begin(), char(0x80 | (value & 0x7f)));
    return out;
}

std::string chunk(const char* type, const std::string& body) { return type + bigEndian(body.size(), 8) + body; }
std::string descriptor(int tag, const std::string& body) { return char(tag) + berLength(body.size()) + body; }

}  // namespace

std::string cafOfADTS(const std::string& adts) {
    std::string table, data = bigEndian(0, 4);
    uint64_t frames = 0, header = 0;
    for (size_t at = 0; at + 7 <= adts.size(); ++frames) {
        const auto* h = reinterpret_cast<const uint8_t*>(adts.data() + at);
        const size_t skip = (h[1] & 1) ? 7 : 9, length = size_t(h[3] & 3) << 11 | size_t(h[4]) << 3 | h[5] >> 5;
        if (h[0] != 0xff || (h[1] & 0xf0) != 0xf0 || length <= skip || at + length > adts.size()) return "";
        header = uint64_t(h[2]) << 8 | h[3];  // profile, rate index and channels, the same in every frame
        table += berLength(length - skip);
        data += adts.substr(at + skip, length - skip);
        at += length;
    }
    const unsigned profile = header >> 14, rateIndex = header >> 10 & 0xf, channels = header >> 6 & 7;
    static const double rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
    if (frames == 0 || rateIndex >= std::size(rates)) return "";
    uint64_t rate = 0;
    std::memcpy(&rate, &rates[rateIndex], sizeof rate);
    const std::string config = bigEndian((profile + 1) << 11 | rateIndex << 7 | channels << 3, 2);
    const std::string cookie = bigEndian(0, 4) + descriptor(3, bigEndian(0, 3) +
        descriptor(4, "\x40\x15" + std::string(11, '\0') + descriptor(5, config)) + descriptor(6, "\x02"));
    return "caff" + bigEndian(1, 2) + bigEndian(0, 2) +
           chunk("desc", bigEndian(rate, 8) + "aac " + bigEndian(2, 4) + bigEndian(0, 4) + bigEndian(1024, 4) +
                             bigEndian(channels, 4) + bigEndian(0, 4)) +
           chunk("kuki", cookie) + chunk("pakt", bigEndian(frames, 8) + bigEndian(frames * 1024, 8) + bigEndian(0, 8) + table) +
           chunk("data", data);
}

std::array<int, 3> pixelAt(const graphics::Picture& picture, int x, int y) {
    const size_t at = (size_t(y) * picture.width + x) * 3;
    return {picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]};
}

}  // namespace quillmark::testing
