#include "core/atomic_file.h"

#include <set>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(AtomicFile, WritesAndReplacesWithTheUsualPermissions) {
    testing::TempDir dir;
    const mode_t old = ::umask(022);
    ASSERT_TRUE(AtomicFile::write(dir / "a.csv", "first"));
    ::umask(old);
    EXPECT_EQ(readFile(dir / "a.csv"), "first");
    EXPECT_EQ(fs::status(dir / "a.csv").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

    ASSERT_TRUE(AtomicFile::write(dir / "a.csv", std::string("second\0with nul", 15)));
    EXPECT_EQ(readFile(dir / "a.csv"), std::string("second\0with nul", 15));
    ASSERT_TRUE(AtomicFile::write(dir / "empty", ""));
    EXPECT_EQ(fs::file_size(dir / "empty"), 0u);
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"a.csv", "empty"}));
}

TEST(AtomicFile, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    testing::TempDir dir;
    fs::create_directories(dir / "taken" / "inside");
    const auto result = AtomicFile::write(dir / "taken", "new");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), "Could not write \u201c" + (dir / "taken").string() + "\u201d: Is a directory.");
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"taken"}));

    const auto noFolder = AtomicFile::write(dir / "missing" / "a.csv", "x");
    ASSERT_FALSE(noFolder);
    EXPECT_NE(noFolder.error().find("No such file or directory"), std::string::npos);
}

TEST(AtomicFile, CopiesLargeFilesExactly) {
    testing::TempDir dir;
    std::string bytes(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 % 251);
    const auto source = dir.write("source.bin", bytes);
    dir.write("copy.bin", "old content");
    ASSERT_TRUE(AtomicFile::copy(source, dir / "copy.bin"));
    EXPECT_EQ(readFile(dir / "copy.bin"), bytes);
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"source.bin", "copy.bin"}));
}

TEST(AtomicFile, CopyNamesTheFileAtFault) {
    testing::TempDir dir;
    const auto missing = AtomicFile::copy(dir / "nope", dir / "copy");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(),
              "Could not read \u201c" + (dir / "nope").string() + "\u201d: No such file or directory.");

    fs::create_directories(dir / "folder");
    const auto folder = AtomicFile::copy(dir / "folder", dir / "copy");
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().find("Could not read"), std::string::npos) << folder.error();
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"folder"}));
}

}  // namespace
}  // namespace quillmark
