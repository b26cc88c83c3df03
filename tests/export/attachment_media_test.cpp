// AttachmentMedia: file hashes and their cache, durations, and which attachments get which picture.
#include "export/attachment_media.h"

#include <cstdio>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "media_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using testing::TempDir;

constexpr const char* kSHA256OfABC = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr const char* kSHA256OfNothing = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

void setModificationTime(const std::filesystem::path& path, time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Overwrites the file's bytes in place, keeping its size and modification time.
void replaceBytesQuietly(const std::filesystem::path& path, const std::string& bytes) {
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    ASSERT_EQ(size_t(info.st_size), bytes.size());
    {
        std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    setModificationTime(path, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

std::string opensslDigest(const std::filesystem::path& path) {
    std::string command = "openssl dgst -sha256 -r " + testing::quoted(path);
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    return read ? std::string(line).substr(0, 64) : "";
}

Attachment attachmentAt(const std::filesystem::path& path, std::optional<std::string> mime, bool available = true) {
    return Attachment("guid", path.string(), path.filename().string(), std::move(mime), std::nullopt, 0, false,
                      available);
}

// --- Hashes ---------------------------------------------------------------------------------------------------

TEST(AttachmentMediaHash, KnownDigests) {
    TempDir dir;
    AttachmentMedia media;
    EXPECT_EQ(media.sha256(dir.write("abc.txt", "abc")), kSHA256OfABC);
    EXPECT_EQ(media.sha256(dir.write("empty", "")), kSHA256OfNothing);
}

TEST(AttachmentMediaHash, FilesLongerThanOneChunkMatchOpenSSL) {
    if (!testing::haveTool("openssl")) GTEST_SKIP() << "openssl is not installed";
    TempDir dir;
    // Two and a half chunks, so a chunk boundary or a short last chunk going wrong shows.
    std::string bytes(2 * 1024 * 1024 + 512 * 1024 + 7, '\0');
    uint32_t state = 7;
    for (char& c : bytes) c = char((state = state * 1664525u + 1013904223u) >> 24);
    const auto path = dir.write("IMG_1.MOV", bytes);
    AttachmentMedia media;
    auto hash = media.sha256(path);
    ASSERT_TRUE(hash);
    EXPECT_EQ(*hash, opensslDigest(path));
}

TEST(AttachmentMediaHash, CacheKeyNamesPathSizeAndTime) {
    TempDir dir;
    const auto path = dir.write("photo.jpg", "12345");
    setModificationTime(path, 1712345678, 123456000);
    EXPECT_EQ(AttachmentMedia::cacheKey(path), path.string() + "|5|1712345678.123456");
    setModificationTime(path, 1712345678, 0);
    EXPECT_EQ(AttachmentMedia::cacheKey(path), path.string() + "|5|1712345678.0");
    // Nanoseconds beyond what a double holds come out as the shortest text of the nearest double.
    setModificationTime(path, 1712345678, 123456789);
    EXPECT_EQ(AttachmentMedia::cacheKey(path), path.string() + "|5|1712345678.1234567");
    setModificationTime(path, 0, 0);
    EXPECT_EQ(AttachmentMedia::cacheKey(path), path.string() + "|5|0.0");
    EXPECT_EQ(AttachmentMedia::cacheKey(dir / "gone.jpg"), (dir / "gone.jpg").string() + "|-1|0.0");
}

TEST(AttachmentMediaHash, SecondRequestIsServedFromTheCache) {
    TempDir dir;
    const auto path = dir.write("a.bin", "abc");
    AttachmentMedia media;
    ASSERT_EQ(media.sha256(path), kSHA256OfABC);
    // Same size and time: the cache cannot tell, and answers without reading the file again.
    replaceBytesQuietly(path, "xyz");
    EXPECT_EQ(media.sha256(path), kSHA256OfABC);
    // A fresh cache reads the file.
    AttachmentMedia fresh;
    EXPECT_NE(fresh.sha256(path), kSHA256OfABC);
}

TEST(AttachmentMediaHash, TouchingChangesTheKeyButNotTheHash) {
    TempDir dir;
    const auto path = dir.write("a.bin", "abc");
    setModificationTime(path, 1700000000, 0);
    AttachmentMedia media;
    const std::string keyBefore = AttachmentMedia::cacheKey(path);
    ASSERT_EQ(media.sha256(path), kSHA256OfABC);

    setModificationTime(path, 1700000001, 500000000);
    EXPECT_NE(AttachmentMedia::cacheKey(path), keyBefore);
    EXPECT_EQ(media.sha256(path), kSHA256OfABC);

    // A changed file with a new time is hashed anew.
    replaceBytesQuietly(path, "xyz");
    setModificationTime(path, 1700000002, 0);
    auto changed = media.sha256(path);
    ASSERT_TRUE(changed);
    EXPECT_NE(*changed, kSHA256OfABC);
}

TEST(AttachmentMediaHash, UnreadableFilesGiveNothingAndAreNotCached) {
    TempDir dir;
    AttachmentMedia media;
    const auto path = dir / "later.jpg";
    EXPECT_FALSE(media.sha256(path));
    dir.write("later.jpg", "abc");
    EXPECT_EQ(media.sha256(path), kSHA256OfABC);

    // A folder opens but cannot be read: that is no file's hash, least of all the hash of nothing.
    EXPECT_FALSE(media.sha256(dir.path()));
    EXPECT_FALSE(media.sha256(""));
}

TEST(AttachmentMediaHash, DevicesAndPipesAreNotReadForever) {
    // A history can name any path. These would never end (/dev/zero) or never answer (a pipe nobody writes).
    TempDir dir;
    const auto pipe = dir / "IMG_1.MOV";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    AttachmentMedia media;
    EXPECT_FALSE(media.sha256("/dev/zero"));
    EXPECT_FALSE(media.sha256(pipe));
    EXPECT_FALSE(media.duration("/dev/zero"));
    EXPECT_FALSE(media.duration(pipe));
    EXPECT_FALSE(media.picture(attachmentAt("/dev/zero", "image/jpeg"), 100));
    EXPECT_FALSE(media.picture(attachmentAt(pipe, "video/quicktime"), 100));
}

TEST(AttachmentMediaHash, FileSize) {
    TempDir dir;
    AttachmentMedia media;
    EXPECT_EQ(media.fileSize(dir.write("five", "12345")), 5);
    EXPECT_EQ(media.fileSize(dir.write("none", "")), 0);
    EXPECT_FALSE(media.fileSize(dir / "missing"));
}

// --- Durations ------------------------------------------------------------------------------------------------

TEST(AttachmentMediaDuration, CachedByPathOnlyWhenKnown) {
    TempDir dir;
    AttachmentMedia media;
    const auto path = dir / "Audio Message.amr";
    EXPECT_FALSE(media.duration(path));
    dir.write("Audio Message.amr", testing::amrFile(50, 0));
    auto first = media.duration(path);
    ASSERT_TRUE(first);
    EXPECT_NEAR(*first, 1.0, 0.001);
    // Durations do not change for a path during the cache's life.
    dir.write("Audio Message.amr", testing::amrFile(100, 0));
    EXPECT_EQ(media.duration(path), first);
}

// --- Pictures by kind -----------------------------------------------------------------------------------------

class AttachmentMediaPicture : public ::testing::Test {
protected:
    void SetUp() override {
        auto jpeg = testing::markedPicture(120, 90, 20, {20, 20, 230}, {230, 20, 20}).encodeJPEG(0.9);
        ASSERT_TRUE(jpeg);
        photo = dir.write("photo.jpg", std::string(jpeg->begin(), jpeg->end()));
        pdf = dir.write("Lease.PDF", testing::pdfDocument(""));
    }
    TempDir dir;
    AttachmentMedia media;
    std::filesystem::path photo;
    std::filesystem::path pdf;
};

TEST_F(AttachmentMediaPicture, ImagesAndPDFsArePictured) {
    auto picture = media.picture(attachmentAt(photo, "image/jpeg"), 60);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 60);
    EXPECT_EQ(picture->height, 45);

    // A file is a PDF by its MIME type, or else by its name in any case.
    picture = media.picture(attachmentAt(pdf, std::nullopt), 100);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->height, 100);
    const auto renamed = dir.write("lease-copy", testing::readFile(pdf));
    EXPECT_TRUE(media.picture(attachmentAt(renamed, "application/pdf"), 100));
    EXPECT_FALSE(media.picture(attachmentAt(renamed, "application/PDF"), 100));
}

TEST_F(AttachmentMediaPicture, OthersAreNot) {
    // Audio is never pictured, even when the file would decode as a picture.
    const auto voice = dir.write("Audio Message.caf", testing::readFile(photo));
    EXPECT_FALSE(media.picture(attachmentAt(voice, "audio/x-caf"), 100));
    // A plain file that is not a PDF.
    const auto notes = dir.write("notes.txt", "hello");
    EXPECT_FALSE(media.picture(attachmentAt(notes, "text/plain"), 100));
    // Unavailable, or without a path.
    EXPECT_FALSE(media.picture(attachmentAt(photo, "image/jpeg", false), 100));
    Attachment pathless("guid", std::nullopt, "photo.jpg", "image/jpeg", std::nullopt, 0, false, true);
    EXPECT_FALSE(media.picture(pathless, 100));
}

TEST_F(AttachmentMediaPicture, PrintablePictureCarriesItsJPEG) {
    auto printable = media.printablePicture(attachmentAt(photo, "image/jpeg"), 60, 0.82);
    ASSERT_TRUE(printable);
    EXPECT_EQ(printable->width, 60);
    EXPECT_EQ(printable->height, 45);
    ASSERT_TRUE(printable->jpeg);
    auto again = graphics::Picture::fromJPEG(*printable->jpeg);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rgb, printable->rgb);

    EXPECT_FALSE(media.printablePicture(attachmentAt(dir / "missing.jpg", "image/jpeg"), 60, 0.82));
}

}  // namespace
}  // namespace quillmark
