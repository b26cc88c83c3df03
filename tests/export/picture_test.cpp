// Pictures of images, videos and PDF pages, JPEG coding and media durations, on fixtures made at test time.
#include "export/graphics/picture.h"

#include <gtest/gtest.h>

#include "media_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark::graphics {
namespace {

using testing::pixelAt;
using testing::quoted;
using testing::runQuietly;
using testing::TempDir;

constexpr std::array<uint8_t, 3> kRed{230, 20, 20};
constexpr std::array<uint8_t, 3> kBlue{20, 20, 230};
constexpr std::array<int, 3> kBlack{0, 0, 0}, kWhite{255, 255, 255};

::testing::AssertionResult near(std::array<int, 3> pixel, std::array<int, 3> expected, int tolerance = 40) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(pixel[i] - expected[i]) > tolerance)
            return ::testing::AssertionFailure() << "pixel " << pixel[0] << "," << pixel[1] << "," << pixel[2];
    return ::testing::AssertionSuccess();
}
std::array<int, 3> rgb(std::array<uint8_t, 3> c) { return {c[0], c[1], c[2]}; }
std::string bytesOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string markedJPEG(int width, int height, int mark, double quality = 0.95) {
    auto jpeg = testing::markedPicture(width, height, mark, kBlue, kRed).encodeJPEG(quality);
    return jpeg ? bytesOf(*jpeg) : "";
}

void expectSize(const std::optional<Picture>& picture, int width, int height) {
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, width);
    EXPECT_EQ(picture->height, height);
    EXPECT_EQ(picture->rgb.size(), size_t(width) * height * 3);
}

#define SKIP_WITHOUT(tool) \
    if (!testing::haveTool(tool)) GTEST_SKIP() << tool " is not installed"

TEST(ImagePicture, OrientationSixIsTurnedClockwiseAndNeverEnlarged) {
    TempDir dir;
    const auto path = dir.write("IMG_6.jpg", testing::withExifOrientation(markedJPEG(80, 40, 12), 6));

    auto picture = pictureOfImageFile(path, 1000);
    expectSize(picture, 40, 80);
    // The stored top-left corner is shown top-right.
    EXPECT_TRUE(near(pixelAt(*picture, 36, 3), rgb(kRed)));
    EXPECT_TRUE(near(pixelAt(*picture, 3, 3), rgb(kBlue)));
    expectSize(pictureOfImageFile(path, 20), 10, 20);
}

TEST(ImagePicture, HEICDecodesFromTheFullImage) {
    SKIP_WITHOUT("heif-enc");
    TempDir dir;
    const auto source = dir.write("source.jpg", markedJPEG(128, 96, 32));
    const auto heic = dir / "IMG_1.HEIC";
    // The file carries a 32-pixel preview as well; 64 pixels must come from the full image.
    ASSERT_TRUE(runQuietly("heif-enc -q 90 -t 32 -o " + quoted(heic) + " " + quoted(source)));
    auto picture = pictureOfImageFile(heic, 64);
    expectSize(picture, 64, 48);
    EXPECT_TRUE(near(pixelAt(*picture, 4, 4), rgb(kRed)));
    EXPECT_TRUE(near(pixelAt(*picture, 60, 44), rgb(kBlue)));
}

TEST(ImagePicture, HEICColoursGoThroughTheirProfileLikeAJPEGs) {
    SKIP_WITHOUT("heif-enc");
    TempDir dir;
    // A mid orange in Display P3 is a different orange in sRGB.
    const auto jpeg = dir.write("p3.jpg", testing::withDisplayP3Profile(bytesOf(
                                               *testing::markedPicture(96, 64, 8, {200, 110, 60}, {200, 110, 60})
                                                    .encodeJPEG(0.95))));
    const auto heic = dir / "IMG_2.HEIC";
    ASSERT_TRUE(runQuietly("heif-enc -q 95 -o " + quoted(heic) + " " + quoted(jpeg)));
    auto fromJPEG = pictureOfImageFile(jpeg, 48);
    auto fromHEIC = pictureOfImageFile(heic, 48);
    expectSize(fromHEIC, 48, 32);
    ASSERT_TRUE(fromJPEG);
    const auto converted = pixelAt(*fromJPEG, 24, 16);
    EXPECT_FALSE(near(converted, {200, 110, 60}, 8)) << "the JPEG's profile was not applied";
    EXPECT_TRUE(near(pixelAt(*fromHEIC, 24, 16), converted, 4));
}

TEST(ImagePicture, TransparencyIsLaidOnWhite) {
    SKIP_WITHOUT("ffmpeg");
    TempDir dir;
    for (auto [colour, expected] : {std::pair{"black@0.0", kWhite}, std::pair{"red@0.5", std::array{255, 128, 128}}}) {
        const auto png = dir / "alpha.png";
        ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i color=c=" + std::string(colour) +
                               ":s=40x30,format=rgba -frames:v 1 " + quoted(png)));
        auto picture = pictureOfImageFile(png, 720);
        expectSize(picture, 40, 30);
        EXPECT_TRUE(near(pixelAt(*picture, 20, 15), expected, 4)) << colour;
    }
}

TEST(ImagePicture, DamagedOrMissingFilesGiveNothing) {
    TempDir dir;
    const std::string whole = markedJPEG(200, 200, 10);
    EXPECT_FALSE(pictureOfImageFile(dir.write("truncated.jpg", whole.substr(0, whole.size() / 2)), 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("header-only.jpg", whole.substr(0, 20)), 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("noise.heic", std::string(5000, '\x5a')), 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("empty.png", ""), 100));
    EXPECT_FALSE(pictureOfImageFile(dir / "missing.jpg", 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("fine.jpg", whole), 0));
}

TEST(ImagePicture, AFileClaimingAHugeImageIsNotDecoded) {
    SKIP_WITHOUT("ffmpeg");
    TempDir dir;
    // 160 megapixels of white in a file of some 20 KB, which would otherwise decode.
    const auto png = dir / "huge.png";
    ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i color=c=white:s=16000x10000 -frames:v 1 -pix_fmt monob " +
                           quoted(png)));
    EXPECT_FALSE(pictureOfImageFile(png, 100));
}

TEST(JPEGCoding, RoundTripKeepsTheBytesTheLookAndTheQuality) {
    const auto picture = testing::markedPicture(64, 48, 16, kBlue, kRed);
    auto jpeg = picture.encodeJPEG(0.82);
    ASSERT_TRUE(jpeg);
    auto decoded = Picture::fromJPEG(*jpeg);
    expectSize(decoded, 64, 48);
    EXPECT_EQ(decoded->jpeg, jpeg);
    EXPECT_TRUE(near(pixelAt(*decoded, 4, 4), rgb(kRed)));
    EXPECT_TRUE(near(pixelAt(*decoded, 50, 40), rgb(kBlue)));
    // Quality reaches the encoder: noise compresses badly, so it shows in the size. 0 and 1 are allowed.
    Picture noise{96, 96, std::vector<uint8_t>(96 * 96 * 3), std::nullopt};
    uint32_t state = 12345;
    for (auto& byte : noise.rgb) byte = uint8_t((state = state * 1103515245u + 12345u) >> 24);
    ASSERT_TRUE(noise.encodeJPEG(0.0) && noise.encodeJPEG(1.0));
    EXPECT_LT(noise.encodeJPEG(0.1)->size(), noise.encodeJPEG(0.95)->size());
}

TEST(JPEGCoding, BadInputGivesNothing) {
    EXPECT_FALSE((Picture{10, 10, std::vector<uint8_t>(10), std::nullopt}.encodeJPEG(0.8)));
    EXPECT_FALSE(Picture{}.encodeJPEG(0.8));
    EXPECT_FALSE(Picture::fromJPEG(std::vector<uint8_t>(300, 0x42)));
    EXPECT_FALSE(Picture::fromJPEG({}));
    const std::string jpeg = markedJPEG(64, 64, 8);
    EXPECT_FALSE(Picture::fromJPEG(std::span(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size() / 2)));
}

class VideoPicture : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT("ffmpeg"); }
    std::filesystem::path makeVideo(const std::string& name, const std::string& input) {
        const auto path = dir / name;
        EXPECT_TRUE(runQuietly("ffmpeg -y -f lavfi -i \"" + input + "\" -c:v libx264 -pix_fmt yuv420p " + quoted(path)));
        return path;
    }
    TempDir dir;
};

TEST_F(VideoPicture, FrameAtOneTenthOfASecond) {
    // Green for the first frame only (0.0 s), blue from 0.1 s on.
    auto picture = pictureOfVideoFile(
        makeVideo("IMG_1.MOV", "color=c=green:s=64x48:r=10:d=0.1[a];color=c=blue:s=64x48:r=10:d=1[b];[a][b]concat"), 720);
    expectSize(picture, 64, 48);
    EXPECT_TRUE(near(pixelAt(*picture, 32, 24), {0, 0, 255}, 30));
    // A video shorter than that still gives its frame.
    picture = pictureOfVideoFile(makeVideo("short.mp4", "color=c=red:s=32x32:r=30:d=0.04"), 720);
    expectSize(picture, 32, 32);
    EXPECT_TRUE(near(pixelAt(*picture, 16, 16), {255, 0, 0}, 30));
}

TEST_F(VideoPicture, DisplayMatrixTurnsTheFrameAndSizeFits) {
    const auto plain = makeVideo("plain.mp4", "color=c=blue:s=320x240:r=30:d=1,drawbox=w=40:h=40:color=red:t=fill");
    const auto turned = dir / "turned.mp4";
    // The rotate tag becomes a display matrix of a quarter turn counterclockwise.
    ASSERT_TRUE(runQuietly("ffmpeg -y -i " + quoted(plain) + " -c copy -metadata:s:v:0 rotate=90 " + quoted(turned)));
    auto picture = pictureOfVideoFile(turned, 160);
    expectSize(picture, 120, 160);
    // The stored top-left corner is shown bottom-left, as ffmpeg's own player shows it.
    EXPECT_TRUE(near(pixelAt(*picture, 4, 155), {255, 0, 0}, 50));
    EXPECT_TRUE(near(pixelAt(*picture, 4, 4), {0, 0, 255}, 50));
    EXPECT_TRUE(near(pixelAt(*picture, 115, 155), {0, 0, 255}, 50));
}

TEST_F(VideoPicture, DamagedFilesGiveNothingOrAFrameButNeverCrash) {
    EXPECT_FALSE(pictureOfVideoFile(dir.write("noise.mov", std::string(20000, '\x17')), 720));
    EXPECT_FALSE(pictureOfVideoFile(dir.write("text.mov", "not a video at all\n"), 720));
    EXPECT_FALSE(pictureOfVideoFile(dir / "missing.mov", 720));
    const auto whole = testing::readFile(makeVideo("whole.mp4", "testsrc=s=160x120:r=30:d=1"));
    for (size_t cut : {size_t(100), whole.size() / 3, whole.size() - 10})
        if (auto picture = pictureOfVideoFile(dir.write("cut.mp4", whole.substr(0, cut)), 720))
            expectSize(picture, 160, 120);
    ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i sine=duration=0.5 " + quoted(dir / "a.m4a")));
    EXPECT_FALSE(pictureOfVideoFile(dir / "a.m4a", 720));
}

TEST_F(VideoPicture, PlaylistNamingAnotherFileIsRefused) {
    // A received "video" that is really a script pointing at some other file must not show that file.
    const auto elsewhere = makeVideo("elsewhere.mp4", "color=c=red:s=32x32:r=10:d=1");
    const auto script = dir.write("IMG_9.MOV", "ffconcat version 1.0\nfile '" + elsewhere.string() + "'\n");
    EXPECT_FALSE(pictureOfVideoFile(script, 720));
    EXPECT_FALSE(mediaDuration(script));
    const auto playlist =
        dir.write("IMG_10.MOV", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" + elsewhere.string() + "\n#EXT-X-ENDLIST\n");
    EXPECT_FALSE(pictureOfVideoFile(playlist, 720));
}

TEST(MediaDuration, AudioAndVideoContainers) {
    SKIP_WITHOUT("ffmpeg");
    TempDir dir;
    for (auto [name, codec] : {std::pair{"voice.m4a", "-c:a aac"}, {"voice.caf", "-c:a alac"}, {"pcm.caf", ""},
                               {"song.mp3", "-c:a libmp3lame"}, {"sound.wav", ""}}) {
        ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i sine=duration=2.5 " + std::string(codec) + " " + quoted(dir / name)));
        auto seconds = mediaDuration(dir / name);
        ASSERT_TRUE(seconds) << name;
        EXPECT_NEAR(*seconds, 2.5, 0.05) << name;
    }
    const auto movie = dir / "IMG_2.MOV";
    ASSERT_TRUE(runQuietly("ffmpeg -y -f lavfi -i testsrc=s=64x48:r=30:d=3 -f lavfi -i sine=duration=3 "
                           "-c:v libx264 -pix_fmt yuv420p -c:a aac -shortest " + quoted(movie)));
    ASSERT_TRUE(mediaDuration(movie));
    EXPECT_NEAR(*mediaDuration(movie), 3.0, 0.1);
}

TEST(MediaDuration, AMRCountsItsFramesInsteadOfGuessingFromTheBitRate) {
    TempDir dir;
    // 100 speech frames and 50 silent ones: 3 s. A guess from the first frames' rate says about 2.1 s.
    auto seconds = mediaDuration(dir.write("Audio Message.amr", testing::amrFile(100, 50)));
    ASSERT_TRUE(seconds);
    EXPECT_NEAR(*seconds, 3.0, 0.001);
}

TEST(MediaDuration, NotMediaGivesNothing) {
    TempDir dir;
    EXPECT_FALSE(mediaDuration(dir.write("noise.m4a", std::string(4096, '\x33'))));
    EXPECT_FALSE(mediaDuration(dir.write("empty.caf", "")));
    EXPECT_FALSE(mediaDuration(dir.write("silence.amr", "#!AMR\n")));
    EXPECT_FALSE(mediaDuration(dir / "missing.mp3"));
    EXPECT_FALSE(mediaDuration(dir.write("photo.jpg", markedJPEG(16, 16, 4))));
}

TEST(PDFPicture, PageIsExactlySizedOnWhite) {
    TempDir dir;
    // A black square of 100 points in the top-left corner of a letter page.
    const auto path = dir.write("letter.pdf", testing::pdfDocument("0 0 0 rg 0 692 100 100 re f"));
    auto picture = pictureOfPDFFile(path, 1400);
    expectSize(picture, 1081, 1400);
    EXPECT_TRUE(near(pixelAt(*picture, 20, 20), kBlack, 2));
    EXPECT_TRUE(near(pixelAt(*picture, 170, 170), kBlack, 2));
    EXPECT_TRUE(near(pixelAt(*picture, 190, 190), kWhite, 2));
    EXPECT_TRUE(near(pixelAt(*picture, 1080, 1399), kWhite, 2));
    // 792 × (1000 / 792) is just below 1000 in floating point; the longer side must still be 1000.
    expectSize(pictureOfPDFFile(path, 1000), 772, 1000);
    expectSize(pictureOfPDFFile(dir.write("a4.pdf", testing::pdfDocument("", "0 0 841.89 595.28")), 720), 720, 509);
}

TEST(PDFPicture, RotationAndCropBoxAreShownAsViewersShowThem) {
    TempDir dir;
    auto picture =
        pictureOfPDFFile(dir.write("turned.pdf", testing::pdfDocument("0 0 0 rg 0 692 100 100 re f", "0 0 612 792", 90)), 1400);
    expectSize(picture, 1400, 1081);
    // Turned a quarter clockwise, the page's top-left corner is at the top right.
    EXPECT_TRUE(near(pixelAt(*picture, 1380, 20), kBlack, 2));
    EXPECT_TRUE(near(pixelAt(*picture, 20, 20), kWhite, 2));

    // Only the bottom-right quarter is in the crop box; it is filled black, and so is a square outside it.
    picture = pictureOfPDFFile(dir.write("cropped.pdf", testing::pdfDocument("0 0 0 rg 306 0 306 396 re f 0 692 100 100 re f",
                                                                             "0 0 612 792", 0, "306 0 612 396")),
                               1400);
    expectSize(picture, 1081, 1400);
    EXPECT_TRUE(near(pixelAt(*picture, 800, 1100), kBlack, 2));
    EXPECT_TRUE(near(pixelAt(*picture, 20, 20), kWhite, 2));
    EXPECT_TRUE(near(pixelAt(*picture, 300, 1100), kWhite, 2));
}

TEST(PDFPicture, NotAPDFGivesNothing) {
    TempDir dir;
    EXPECT_FALSE(pictureOfPDFFile(dir.write("notes.pdf", "These are my notes, not a PDF.\n"), 1400));
    EXPECT_FALSE(pictureOfPDFFile(dir.write("noise.pdf", std::string(10000, '\x01')), 1400));
    EXPECT_FALSE(pictureOfPDFFile(dir / "missing.pdf", 1400));
    EXPECT_FALSE(pictureOfPDFFile(dir.write("flat.pdf", testing::pdfDocument("", "0 0 612 0")), 1400));
    const std::string whole = testing::pdfDocument("0 0 0 rg 0 0 10 10 re f");
    if (auto picture = pictureOfPDFFile(dir.write("cut.pdf", whole.substr(0, whole.size() / 2)), 200))
        expectSize(picture, 154, 200);
}

}  // namespace
}  // namespace quillmark::graphics
