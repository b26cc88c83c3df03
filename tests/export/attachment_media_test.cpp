// AttachmentMedia: file hashes and their cache, durations, and which attachments get which picture.
#include "export/attachment_media.h"

#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/history_files.h"
#include "core/sha256.h"
#include "media_fixtures.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
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
    std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out).write(bytes.data(), std::streamsize(bytes.size()));
    setModificationTime(path, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

// An attachment of a history whose folder is the file's own folder.
Attachment attachmentAt(const std::filesystem::path& path, std::optional<std::string> mime, bool available = true) {
    Attachment a("guid", path.string(), path.filename().string(), std::move(mime), std::nullopt, 0, false, available);
    a.files = HistoryFiles::inFolder(path.parent_path().string());
    return a;
}

Attachment fileAt(const std::filesystem::path& path) { return attachmentAt(path, std::nullopt); }

TEST(AttachmentMediaHash, DigestsMatchKnownValuesAndOpenSSL) {
    TempDir dir;
    AttachmentMedia media;
    EXPECT_EQ(media.sha256(fileAt(dir.write("abc.txt", "abc"))), kSHA256OfABC);
    EXPECT_EQ(media.sha256(fileAt(dir.write("empty", ""))), kSHA256OfNothing);
    // Two and a half chunks read from the file against the bytes hashed at once, so a chunk boundary or a
    // short last chunk going wrong shows.
    std::string bytes(2 * 1024 * 1024 + 512 * 1024 + 7, '\0');
    uint32_t state = 7;
    for (char& c : bytes) c = char((state = state * 1664525u + 1013904223u) >> 24);
    EXPECT_EQ(media.sha256(fileAt(dir.write("IMG_1.MOV", bytes))), SHA256::of(bytes));
}

TEST(AttachmentMediaHash, CacheAnswersUntilSizeOrTimeChange) {
    TempDir dir;
    const auto path = dir.write("a.bin", "abc");
    setModificationTime(path, 1700000000, 0);
    AttachmentMedia media;
    ASSERT_EQ(media.sha256(fileAt(path)), kSHA256OfABC);
    // Same size and time: the cache cannot tell, and answers without reading the file again.
    replaceBytesQuietly(path, "xyz");
    EXPECT_EQ(media.sha256(fileAt(path)), kSHA256OfABC);
    EXPECT_NE(AttachmentMedia().sha256(fileAt(path)), kSHA256OfABC);
    // Touched: a new key, the bytes hashed anew.
    replaceBytesQuietly(path, "abc");
    setModificationTime(path, 1700000001, 500000000);
    EXPECT_EQ(media.sha256(fileAt(path)), kSHA256OfABC);
    // A change of the time below the second is a change too.
    replaceBytesQuietly(path, "xyz");
    setModificationTime(path, 1700000001, 500001000);
    EXPECT_NE(media.sha256(fileAt(path)), kSHA256OfABC);
}

TEST(AttachmentMediaHash, WhatCannotBeReadGivesNothingAndIsNotCached) {
    TempDir dir;
    AttachmentMedia media;
    const auto later = dir / "later.jpg";
    EXPECT_FALSE(media.sha256(fileAt(later)));
    dir.write("later.jpg", "abc");
    EXPECT_EQ(media.sha256(fileAt(later)), kSHA256OfABC);
    // A folder opens but reads nothing: that is no file's hash, least of all the hash of nothing.
    fs::create_directories(dir / "folder");
    EXPECT_FALSE(media.sha256(fileAt(dir / "folder")));
    // An attachment without its history's files is not read at all.
    Attachment unowned = fileAt(later);
    unowned.files.reset();
    EXPECT_FALSE(media.sha256(unowned));
}

TEST(AttachmentMediaDuration, CachedByPathSizeAndTimeOnlyWhenKnown) {
    TempDir dir;
    AttachmentMedia media;
    const auto path = dir / "Audio Message.amr";
    EXPECT_FALSE(media.duration(fileAt(path)));
    dir.write("Audio Message.amr", testing::amrFile(50, 0));
    ASSERT_TRUE(media.duration(fileAt(path)));
    EXPECT_NEAR(*media.duration(fileAt(path)), 1.0, 0.001);
    dir.write("Audio Message.amr", testing::amrFile(100, 0));
    EXPECT_NEAR(*media.duration(fileAt(path)), 2.0, 0.001);
}

class AttachmentMediaPicture : public ::testing::Test {
protected:
    void SetUp() override {
        auto jpeg = testing::markedPicture(120, 90, 20, {20, 20, 230}, {230, 20, 20}).encodeJPEG(0.9);
        ASSERT_TRUE(jpeg);
        photo = dir.write("photo.jpg", std::string(jpeg->begin(), jpeg->end()));
    }
    TempDir dir;
    AttachmentMedia media;
    std::filesystem::path photo;
};

TEST_F(AttachmentMediaPicture, ByKind) {
    auto picture = media.picture(attachmentAt(photo, "image/jpeg"), 60);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 60);
    // A file is a PDF by its exact MIME type, or else by its name in any case.
    const std::string pdf = testing::pdfDocument("");
    EXPECT_TRUE(media.picture(attachmentAt(dir.write("Lease.PDF", pdf), std::nullopt), 100));
    EXPECT_TRUE(media.picture(attachmentAt(dir.write("lease", pdf), "application/pdf"), 100));
    EXPECT_FALSE(media.picture(attachmentAt(dir / "lease", "application/PDF"), 100));
    EXPECT_FALSE(media.picture(attachmentAt(dir.write("notes.txt", "hello"), "text/plain"), 100));
    // Audio is never pictured, even when the file would decode as a picture.
    EXPECT_FALSE(media.picture(attachmentAt(dir.write("Audio.caf", testing::readFile(photo)), "audio/x-caf"), 100));
    EXPECT_FALSE(media.picture(attachmentAt(photo, "image/jpeg", false), 100));
    EXPECT_FALSE(media.picture(Attachment("g", std::nullopt, "photo.jpg", "image/jpeg", std::nullopt, 0, false, true), 100));
}

TEST_F(AttachmentMediaPicture, PrintablePictureCarriesItsJPEG) {
    auto printable = media.printablePicture(attachmentAt(photo, "image/jpeg"), 60, 0.82);
    ASSERT_TRUE(printable);
    EXPECT_EQ(printable->height, 45);
    ASSERT_TRUE(printable->jpeg);
    auto again = graphics::Picture::fromJPEG(*printable->jpeg);
    ASSERT_TRUE(again);
    EXPECT_TRUE(printable->embedsAsJPEG());
    EXPECT_FALSE(media.printablePicture(attachmentAt(dir / "missing.jpg", "image/jpeg"), 60, 0.82));
}

}  // namespace
}  // namespace quillmark
