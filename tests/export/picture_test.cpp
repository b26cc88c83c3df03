// Pictures of images, videos and PDF pages, JPEG coding and media durations, on fixtures made at test time.
#include "export/graphics/picture.h"

#include <gtest/gtest.h>

#include "media_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark::graphics {
namespace {

using testing::TempDir;

constexpr std::array<uint8_t, 3> kRed{230, 20, 20};
constexpr std::array<uint8_t, 3> kBlue{20, 20, 230};

::testing::AssertionResult near(std::array<int, 3> pixel, std::array<int, 3> expected, int tolerance = 40) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(pixel[i] - expected[i]) > tolerance)
            return ::testing::AssertionFailure() << "pixel (" << pixel[0] << ", " << pixel[1] << ", " << pixel[2]
                                                 << ") is not near (" << expected[0] << ", " << expected[1] << ", "
                                                 << expected[2] << ")";
    return ::testing::AssertionSuccess();
}

std::array<int, 3> rgb(std::array<uint8_t, 3> c) { return {c[0], c[1], c[2]}; }

std::string bytesOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

void expectWellFormed(const Picture& picture) {
    EXPECT_GT(picture.width, 0);
    EXPECT_GT(picture.height, 0);
    EXPECT_EQ(picture.rgb.size(), size_t(picture.width) * picture.height * 3);
}

// --- Images ---------------------------------------------------------------------------------------------------

TEST(ImagePicture, OrientationSixIsTurnedClockwise) {
    TempDir dir;
    auto jpeg = testing::markedPicture(80, 40, 12, kBlue, kRed).encodeJPEG(0.95);
    ASSERT_TRUE(jpeg);
    const auto path = dir.write("IMG_6.jpg", testing::withExifOrientation(*jpeg, 6));

    auto picture = pictureOfImageFile(path, 1000);
    ASSERT_TRUE(picture);
    expectWellFormed(*picture);
    // Stored 80 × 40 and shown turned a quarter clockwise; never enlarged to the 1000 asked for.
    EXPECT_EQ(picture->width, 40);
    EXPECT_EQ(picture->height, 80);
    // The stored top-left corner is shown top-right.
    EXPECT_TRUE(near(testing::pixelAt(*picture, 36, 3), rgb(kRed)));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 3, 3), rgb(kBlue)));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 3, 76), rgb(kBlue)));
}

TEST(ImagePicture, LongerSideShrinksToMaxPixels) {
    TempDir dir;
    auto jpeg = testing::markedPicture(400, 100, 10, kBlue, kRed).encodeJPEG(0.9);
    ASSERT_TRUE(jpeg);
    const auto path = dir.write("wide.jpg", bytesOf(*jpeg));
    auto picture = pictureOfImageFile(path, 100);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 100);
    EXPECT_EQ(picture->height, 25);
    expectWellFormed(*picture);
}

TEST(ImagePicture, HEICDecodes) {
    if (!testing::haveTool("heif-enc")) GTEST_SKIP() << "heif-enc is not installed";
    TempDir dir;
    auto jpeg = testing::markedPicture(128, 96, 32, kBlue, kRed).encodeJPEG(0.95);
    ASSERT_TRUE(jpeg);
    const auto source = dir.write("source.jpg", bytesOf(*jpeg));
    const auto heic = dir / "IMG_1.HEIC";
    ASSERT_TRUE(testing::runQuietly("heif-enc -q 90 -t 32 -o " + testing::quoted(heic) + " " +
                                    testing::quoted(source)));

    auto picture = pictureOfImageFile(heic, 64);
    ASSERT_TRUE(picture);
    expectWellFormed(*picture);
    EXPECT_EQ(picture->width, 64);
    EXPECT_EQ(picture->height, 48);
    EXPECT_TRUE(near(testing::pixelAt(*picture, 4, 4), rgb(kRed)));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 60, 44), rgb(kBlue)));
}

TEST(ImagePicture, TransparencyIsLaidOnWhite) {
    if (!testing::haveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const auto clear = dir / "clear.png";
    const auto halfRed = dir / "half.png";
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i color=c=black@0.0:s=40x30,format=rgba -frames:v 1 " +
                                    testing::quoted(clear)));
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i color=c=red@0.5:s=40x30,format=rgba -frames:v 1 " +
                                    testing::quoted(halfRed)));

    auto picture = pictureOfImageFile(clear, 720);
    ASSERT_TRUE(picture);
    expectWellFormed(*picture);
    EXPECT_EQ(picture->width, 40);
    EXPECT_TRUE(near(testing::pixelAt(*picture, 20, 15), {255, 255, 255}, 2));

    picture = pictureOfImageFile(halfRed, 720);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(near(testing::pixelAt(*picture, 20, 15), {255, 128, 128}, 4));
}

TEST(ImagePicture, GreyImageBecomesRGB) {
    if (!testing::haveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const auto grey = dir / "grey.png";
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i color=c=gray:s=30x20,format=gray -frames:v 1 " +
                                    testing::quoted(grey)));
    auto picture = pictureOfImageFile(grey, 720);
    ASSERT_TRUE(picture);
    expectWellFormed(*picture);
    const auto pixel = testing::pixelAt(*picture, 10, 10);
    EXPECT_EQ(pixel[0], pixel[1]);
    EXPECT_EQ(pixel[1], pixel[2]);
}

TEST(ImagePicture, DamagedOrMissingFilesGiveNothing) {
    TempDir dir;
    auto jpeg = testing::markedPicture(200, 200, 10, kBlue, kRed).encodeJPEG(0.9);
    ASSERT_TRUE(jpeg);
    const std::string whole = bytesOf(*jpeg);
    EXPECT_FALSE(pictureOfImageFile(dir.write("truncated.jpg", whole.substr(0, whole.size() / 2)), 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("header-only.jpg", whole.substr(0, 20)), 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("noise.heic", std::string(5000, '\x5a')), 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("empty.png", ""), 100));
    EXPECT_FALSE(pictureOfImageFile(dir / "missing.jpg", 100));
    EXPECT_FALSE(pictureOfImageFile(dir.path(), 100));
    EXPECT_FALSE(pictureOfImageFile(dir.write("fine.jpg", whole), 0));
}

// --- JPEG coding ----------------------------------------------------------------------------------------------

TEST(JPEGCoding, RoundTripKeepsTheBytesAndTheLook) {
    const auto picture = testing::markedPicture(64, 48, 16, kBlue, kRed);
    auto jpeg = picture.encodeJPEG(0.82);
    ASSERT_TRUE(jpeg);
    ASSERT_GT(jpeg->size(), 4u);
    EXPECT_EQ((*jpeg)[0], 0xff);
    EXPECT_EQ((*jpeg)[1], 0xd8);

    auto decoded = Picture::fromJPEG(*jpeg);
    ASSERT_TRUE(decoded);
    expectWellFormed(*decoded);
    EXPECT_EQ(decoded->width, 64);
    EXPECT_EQ(decoded->height, 48);
    ASSERT_TRUE(decoded->jpeg);
    EXPECT_EQ(*decoded->jpeg, *jpeg);
    EXPECT_TRUE(near(testing::pixelAt(*decoded, 4, 4), rgb(kRed)));
    EXPECT_TRUE(near(testing::pixelAt(*decoded, 50, 40), rgb(kBlue)));
}

TEST(JPEGCoding, QualityControlsSizeAndIsClamped) {
    // Noise compresses badly, so quality shows in the size.
    Picture noise{96, 96, std::vector<uint8_t>(96 * 96 * 3), std::nullopt};
    uint32_t state = 12345;
    for (auto& byte : noise.rgb) byte = uint8_t((state = state * 1103515245u + 12345u) >> 24);
    auto low = noise.encodeJPEG(0.1);
    auto high = noise.encodeJPEG(0.95);
    ASSERT_TRUE(low);
    ASSERT_TRUE(high);
    EXPECT_LT(low->size(), high->size());
    EXPECT_TRUE(noise.encodeJPEG(0.0));
    EXPECT_TRUE(noise.encodeJPEG(1.0));
}

TEST(JPEGCoding, BadInputGivesNothing) {
    Picture inconsistent{10, 10, std::vector<uint8_t>(10), std::nullopt};
    EXPECT_FALSE(inconsistent.encodeJPEG(0.8));
    EXPECT_FALSE(Picture{}.encodeJPEG(0.8));
    const std::vector<uint8_t> garbage(300, 0x42);
    EXPECT_FALSE(Picture::fromJPEG(garbage));
    EXPECT_FALSE(Picture::fromJPEG({}));
    auto jpeg = testing::markedPicture(64, 64, 8, kBlue, kRed).encodeJPEG(0.8);
    ASSERT_TRUE(jpeg);
    EXPECT_FALSE(Picture::fromJPEG(std::span(*jpeg).first(jpeg->size() / 2)));
}

// --- Videos ---------------------------------------------------------------------------------------------------

class VideoPicture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::haveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    }
    std::filesystem::path makeVideo(const std::string& name, const std::string& input) {
        const auto path = dir / name;
        EXPECT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i \"" + input +
                                        "\" -c:v libx264 -pix_fmt yuv420p " + testing::quoted(path)));
        return path;
    }
    TempDir dir;
};

TEST_F(VideoPicture, FrameAtOneTenthOfASecond) {
    // Green for the first frame only (0.0 s), blue from 0.1 s on.
    const auto path = makeVideo("IMG_1.MOV",
                                "color=c=green:s=64x48:r=10:d=0.1[a];color=c=blue:s=64x48:r=10:d=1[b];[a][b]concat");
    auto picture = pictureOfVideoFile(path, 720);
    ASSERT_TRUE(picture);
    expectWellFormed(*picture);
    EXPECT_EQ(picture->width, 64);
    EXPECT_EQ(picture->height, 48);
    EXPECT_TRUE(near(testing::pixelAt(*picture, 32, 24), {0, 0, 255}, 30));
}

TEST_F(VideoPicture, DisplayMatrixTurnsTheFrameAndSizeFits) {
    const auto plain = makeVideo("plain.mp4", "color=c=blue:s=320x240:r=30:d=1,drawbox=x=0:y=0:w=40:h=40:color=red:t=fill");
    const auto turned = dir / "turned.mp4";
    // The rotate tag becomes a display matrix of a quarter turn counterclockwise.
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -i " + testing::quoted(plain) + " -c copy -metadata:s:v:0 rotate=90 " +
                                    testing::quoted(turned)));

    auto picture = pictureOfVideoFile(turned, 160);
    ASSERT_TRUE(picture);
    expectWellFormed(*picture);
    EXPECT_EQ(picture->width, 120);
    EXPECT_EQ(picture->height, 160);
    // The stored top-left corner is shown bottom-left, as ffmpeg's own player shows it.
    EXPECT_TRUE(near(testing::pixelAt(*picture, 4, 155), {255, 0, 0}, 50));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 4, 4), {0, 0, 255}, 50));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 115, 155), {0, 0, 255}, 50));
}

TEST_F(VideoPicture, VideoShorterThanOneTenthGivesItsFrame) {
    const auto path = makeVideo("short.mp4", "color=c=red:s=32x32:r=30:d=0.04");
    auto picture = pictureOfVideoFile(path, 720);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(near(testing::pixelAt(*picture, 16, 16), {255, 0, 0}, 30));
}

TEST_F(VideoPicture, DamagedFilesGiveNothingOrAFrameButNeverCrash) {
    EXPECT_FALSE(pictureOfVideoFile(dir.write("noise.mov", std::string(20000, '\x17')), 720));
    EXPECT_FALSE(pictureOfVideoFile(dir.write("text.mov", "not a video at all\n"), 720));
    EXPECT_FALSE(pictureOfVideoFile(dir / "missing.mov", 720));
    const auto whole = testing::readFile(makeVideo("whole.mp4", "testsrc=s=160x120:r=30:d=1"));
    ASSERT_FALSE(whole.empty());
    // Cut files may or may not give a frame; they must not crash or read out of bounds.
    for (size_t cut : {size_t(100), whole.size() / 3, whole.size() - 10})
        if (auto picture = pictureOfVideoFile(dir.write("cut.mp4", whole.substr(0, cut)), 720))
            expectWellFormed(*picture);
    // An audio file has no frame.
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i sine=duration=0.5 " + testing::quoted(dir / "a.m4a")));
    EXPECT_FALSE(pictureOfVideoFile(dir / "a.m4a", 720));
}

TEST_F(VideoPicture, PlaylistNamingAnotherFileIsRefused) {
    // A received "video" that is really a script pointing at some other file must not show that file.
    const auto elsewhere = makeVideo("elsewhere.mp4", "color=c=red:s=32x32:r=10:d=1");
    const auto script = dir.write("IMG_9.MOV", "ffconcat version 1.0\nfile '" + elsewhere.string() + "'\n");
    EXPECT_FALSE(pictureOfVideoFile(script, 720));
    EXPECT_FALSE(mediaDuration(script));
    const auto playlist = dir.write("IMG_10.MOV", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" +
                                                       elsewhere.string() + "\n#EXT-X-ENDLIST\n");
    EXPECT_FALSE(pictureOfVideoFile(playlist, 720));
}

// --- Durations ------------------------------------------------------------------------------------------------

TEST(MediaDuration, AudioAndVideoContainers) {
    if (!testing::haveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    struct Case {
        const char* name;
        const char* codec;
    };
    for (const Case& c : {Case{"voice.m4a", "-c:a aac"}, Case{"voice.caf", "-c:a alac"}, Case{"pcm.caf", "-c:a pcm_s16le"},
                          Case{"song.mp3", "-c:a libmp3lame"}, Case{"sound.wav", ""}}) {
        const auto path = dir / c.name;
        ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i sine=frequency=440:duration=2.5 " +
                                        std::string(c.codec) + " " + testing::quoted(path)))
            << c.name;
        auto seconds = mediaDuration(path);
        ASSERT_TRUE(seconds) << c.name;
        EXPECT_NEAR(*seconds, 2.5, 0.05) << c.name;
    }
    const auto movie = dir / "IMG_2.MOV";
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i testsrc=s=64x48:r=30:d=3 -f lavfi -i sine=duration=3 "
                                    "-c:v libx264 -pix_fmt yuv420p -c:a aac -shortest " + testing::quoted(movie)));
    auto seconds = mediaDuration(movie);
    ASSERT_TRUE(seconds);
    EXPECT_NEAR(*seconds, 3.0, 0.1);
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
    auto jpeg = testing::markedPicture(16, 16, 4, kBlue, kRed).encodeJPEG(0.8);
    ASSERT_TRUE(jpeg);
    EXPECT_FALSE(mediaDuration(dir.write("photo.jpg", bytesOf(*jpeg))));
}

// --- PDF pages ------------------------------------------------------------------------------------------------

TEST(PDFPicture, LetterPageAt1400IsExactlySizedOnWhite) {
    TempDir dir;
    // A black square of 100 points in the top-left corner.
    const auto path = dir.write("letter.pdf", testing::pdfDocument("0 0 0 rg 0 692 100 100 re f"));
    auto picture = pictureOfPDFFile(path, 1400);
    ASSERT_TRUE(picture);
    expectWellFormed(*picture);
    EXPECT_EQ(picture->width, 1081);
    EXPECT_EQ(picture->height, 1400);
    EXPECT_TRUE(near(testing::pixelAt(*picture, 20, 20), {0, 0, 0}, 2));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 170, 170), {0, 0, 0}, 2));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 190, 190), {255, 255, 255}, 2));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 1080, 1399), {255, 255, 255}, 2));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 1080, 0), {255, 255, 255}, 2));
}

TEST(PDFPicture, SizesFollowTheLongerSide) {
    TempDir dir;
    // A4 landscape at 720: 841.89 × 595.28 points.
    auto picture = pictureOfPDFFile(dir.write("a4.pdf", testing::pdfDocument("", "0 0 841.89 595.28")), 720);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 720);
    EXPECT_EQ(picture->height, 509);  // 595.28 × 720 / 841.89 = 509.09
    expectWellFormed(*picture);
    // 792 × (1000 / 792) is just below 1000 in floating point; the longer side must still be 1000.
    picture = pictureOfPDFFile(dir.write("letter.pdf", testing::pdfDocument("")), 1000);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 772);
    EXPECT_EQ(picture->height, 1000);
}

TEST(PDFPicture, RotatedPageIsShownAsViewersShowIt) {
    TempDir dir;
    const auto path = dir.write("turned.pdf", testing::pdfDocument("0 0 0 rg 0 692 100 100 re f", "0 0 612 792", 90));
    auto picture = pictureOfPDFFile(path, 1400);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 1400);
    EXPECT_EQ(picture->height, 1081);
    // Turned a quarter clockwise, the page's top-left corner is at the top right.
    EXPECT_TRUE(near(testing::pixelAt(*picture, 1380, 20), {0, 0, 0}, 2));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 20, 20), {255, 255, 255}, 2));
}

TEST(PDFPicture, CropBoxStaysInItsPlaceOnTheMediaBox) {
    TempDir dir;
    // Only the bottom-right quarter is in the crop box; it is filled black, and so is a square outside it.
    const auto path = dir.write(
        "cropped.pdf", testing::pdfDocument("0 0 0 rg 306 0 306 396 re f 0 692 100 100 re f", "0 0 612 792", 0,
                                            "306 0 612 396"));
    auto picture = pictureOfPDFFile(path, 1400);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 1081);
    EXPECT_EQ(picture->height, 1400);
    EXPECT_TRUE(near(testing::pixelAt(*picture, 800, 1100), {0, 0, 0}, 2));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 20, 20), {255, 255, 255}, 2));
    EXPECT_TRUE(near(testing::pixelAt(*picture, 300, 1100), {255, 255, 255}, 2));
}

TEST(PDFPicture, NotAPDFGivesNothing) {
    TempDir dir;
    EXPECT_FALSE(pictureOfPDFFile(dir.write("notes.pdf", "These are my notes, not a PDF.\n"), 1400));
    EXPECT_FALSE(pictureOfPDFFile(dir.write("noise.pdf", std::string(10000, '\x01')), 1400));
    EXPECT_FALSE(pictureOfPDFFile(dir.write("empty.pdf", ""), 1400));
    EXPECT_FALSE(pictureOfPDFFile(dir / "missing.pdf", 1400));
    EXPECT_FALSE(pictureOfPDFFile(dir.write("flat.pdf", testing::pdfDocument("", "0 0 612 0")), 1400));
    const std::string whole = testing::pdfDocument("0 0 0 rg 0 0 10 10 re f");
    if (auto picture = pictureOfPDFFile(dir.write("cut.pdf", whole.substr(0, whole.size() / 2)), 200))
        expectWellFormed(*picture);
}

}  // namespace
}  // namespace quillmark::graphics
