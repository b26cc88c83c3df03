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

TEST(AtomicFile, WritesAllOrNothingWithTheUsualPermissions) {
    testing::TempDir dir;
    const mode_t old = ::umask(022);
    ASSERT_TRUE(AtomicFile::write(dir / "a.csv", "first"));
    ::umask(old);
    EXPECT_EQ(readFile(dir / "a.csv"), "first");
    EXPECT_EQ(fs::status(dir / "a.csv").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

    ASSERT_TRUE(AtomicFile::write(dir / "a.csv", std::string("second\0with nul", 15)));
    EXPECT_EQ(readFile(dir / "a.csv"), std::string("second\0with nul", 15));

    // A failed write leaves what was there and no temporary file.
    fs::create_directories(dir / "taken" / "inside");
    const auto result = AtomicFile::write(dir / "taken", "new");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().description(), "Could not write \u201c" + (dir / "taken").string() + "\u201d: Is a directory.");
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"a.csv", "taken"}));
}

TEST(AtomicFile, CopiesExactlyAndNamesTheFileAtFault) {
    testing::TempDir dir;
    std::string bytes(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 % 251);
    const auto source = ReadableFile::open(dir.write("source.bin", bytes).string());
    ASSERT_TRUE(source);
    dir.write("copy.bin", "old content");
    ASSERT_TRUE(AtomicFile::copy(*source, "source.bin", dir / "copy.bin"));
    EXPECT_EQ(readFile(dir / "copy.bin"), bytes);
    // Copying again starts from the beginning, whatever an earlier copy read.
    ASSERT_TRUE(AtomicFile::copy(*source, "source.bin", dir / "again.bin"));
    EXPECT_EQ(readFile(dir / "again.bin"), bytes);

    fs::create_directories(dir / "folder" / "inside");
    const auto failed = AtomicFile::copy(*source, "source.bin", dir / "folder");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().description(), "Could not write \u201c" + (dir / "folder").string() + "\u201d: Is a directory.");
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"source.bin", "copy.bin", "again.bin", "folder"}));
}

TEST(AtomicFile, ReplacesAFolderWholeOrLeavesItAlone) {
    testing::TempDir dir;
    auto fill = [](std::string content, bool succeed) {
        return [=](const fs::path& temporary) -> tl::expected<void, AtomicFile::Failure> {
            if (auto written = AtomicFile::write(temporary / "index.html", content); !written) return written;
            if (!succeed) return tl::unexpected(AtomicFile::Failure{"the export failed"});
            return {};
        };
    };
    ASSERT_TRUE(AtomicFile::replaceFolder(dir / "export", fill("one", true)));
    dir.write("export/stale.txt", "from before");
    ASSERT_TRUE(AtomicFile::replaceFolder(dir / "export", fill("two", true)));
    EXPECT_EQ(filesIn(dir / "export"), (std::set<std::string>{"index.html"}));  // replaced, not merged
    EXPECT_EQ(readFile(dir / "export" / "index.html"), "two");

    EXPECT_EQ(AtomicFile::replaceFolder(dir / "export", fill("half", false)), tl::unexpected(AtomicFile::Failure{"the export failed"}));
    EXPECT_EQ(readFile(dir / "export" / "index.html"), "two");
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"export"}));  // nothing temporary left beside it

    dir.write("file", "x");
    EXPECT_FALSE(AtomicFile::replaceFolder(dir / "file", fill("three", true)));
    EXPECT_EQ(readFile(dir / "file"), "x");
}

}  // namespace
}  // namespace quillmark
