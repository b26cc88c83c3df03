// The files a history names are read only when they are regular files inside the history's folder: a
// crafted database must not pull other files, pipes or devices into an export.
#include "core/history_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using Refusal = ReadableFile::Refusal;
using Resolution = ReadableFile::Resolution;

// history/ is the folder; secret.txt lies beside it.
class HostileLayout : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("history/Attachments/a.jpg", "photo");
        dir.write("history/StickerCache/s.png", "sticker");
        dir.write("secret.txt", "secret");
        const fs::path a = dir / "history/Attachments";
        fs::create_symlink("a.jpg", a / "inner");
        fs::create_symlink("../Attachments/a.jpg", a / "around");
        fs::create_symlink("../StickerCache", a / "stickers");
        fs::create_symlink("../../secret.txt", a / "escape");
        fs::create_symlink((dir / "history/Attachments/a.jpg").string(), a / "absolute");
        fs::create_symlink("loop", a / "loop");
        ASSERT_EQ(mkfifo((a / "pipe").c_str(), 0600), 0);
    }
    testing::TempDir dir;
};

TEST_F(HostileLayout, BothWalksGiveTheSameAnswers) {
    const struct {
        const char* path;
        std::optional<Refusal> refusal;  // none: the file opens
    } cases[] = {
        {"Attachments/a.jpg", std::nullopt},
        {"Attachments/inner", std::nullopt},
        {"Attachments/around", std::nullopt},
        {"Attachments/./../Attachments/a.jpg", std::nullopt},
        {"Attachments/stickers/s.png", std::nullopt},
        {"Attachments/escape", Refusal::outside},
        {"Attachments/absolute", Refusal::outside},  // even pointing inside: an absolute link leaves the folder
        {"../secret.txt", Refusal::outside},
        {"Attachments/../../secret.txt", Refusal::outside},
        {"Attachments/stickers/../../secret.txt", Refusal::outside},
        {"/etc/passwd", Refusal::outside},
        {"Attachments/loop", Refusal::outside},
        {"Attachments/pipe", Refusal::notRegular},  // must not wait for a writer
        {"Attachments", Refusal::notRegular},
        {"Attachments/none.jpg", Refusal::missing},
        {"Attachments/a.jpg/inside", Refusal::missing},
        {"Attachments/inner/", Refusal::missing},  // a trailing slash asks for a folder
    };
    auto folder = ReadableFile::openFolder((dir / "history").string());
    ASSERT_TRUE(folder);
    for (const auto resolution : {Resolution::automatic, Resolution::walk}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.path) + (resolution == Resolution::walk ? " (walk)" : " (kernel)"));
            auto file = ReadableFile::openBeneath(*folder, c.path, resolution);
            if (c.refusal) {
                ASSERT_FALSE(file);
                EXPECT_EQ(file.error(), *c.refusal);
            } else {
                ASSERT_TRUE(file);
                EXPECT_TRUE(S_ISREG(file->status().st_mode));
                EXPECT_GT(file->size(), 0);
            }
        }
    }
}

TEST_F(HostileLayout, HistoryFilesOpenOnlyPathsWrittenBelowTheFolder) {
    const auto files = HistoryFiles::inFolder((dir / "history").string());
    const std::string folder = files->folder();
    auto a = files->open(folder + "/Attachments/a.jpg");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->readAll(100), "photo");
    // The descriptor's own name reads the very file that was opened.
    EXPECT_EQ(testing::readFile(a->procPath()), "photo");
    EXPECT_EQ(files->open((dir / "secret.txt").string()).error(), Refusal::outside);
    EXPECT_EQ(files->open(folder + "/../secret.txt").error(), Refusal::outside);
    EXPECT_EQ(files->open(folder).error(), Refusal::outside);
    EXPECT_EQ(files->open("/dev/zero").error(), Refusal::outside);
    EXPECT_FALSE(files->contains(folder + "/Attachments/pipe"));
    EXPECT_FALSE(HistoryFiles::inFolder((dir / "gone").string())->contains((dir / "gone/a.jpg").string()));
}

TEST(ReadableFile, NamedFilesMustBeRegularAndNeverBlock) {
    testing::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReadableFile::open((dir / "pipe").string()).error(), Refusal::notRegular);
    EXPECT_EQ(ReadableFile::open("/dev/zero").error(), Refusal::notRegular);
    EXPECT_EQ(ReadableFile::open(dir.path().string()).error(), Refusal::notRegular);
    EXPECT_EQ(ReadableFile::open((dir / "none").string()).error(), Refusal::missing);
    const auto file = ReadableFile::open(dir.write("big", std::string(300, 'x')).string());
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->readAll(299));
    EXPECT_EQ(file->readAll(300)->size(), 300u);
}

}  // namespace
}  // namespace quillmark
