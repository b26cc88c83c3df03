// The tool on an encrypted iPhone backup: the password from a file or standard input, the origin in the
// list and on the record cover, an export that verifies, and a wrong password told apart.
#include <gtest/gtest.h>

#include "iphone_backup/backup_writer.h"
#include "run_cli.h"
#include "sample_history/sample_history.h"
#include "support/history_fixture.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using testing::runCLI;

class CLIBackupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testing::TempDir();
        auto truth = SampleHistory::write(*folder_ / "sample", SampleHistory::Options{});
        BackupWriter::Options options;
        options.password = "correct horse";
        options.deviceName = "Anna's iPhone";
        if (!truth) error_ = new std::string(truth.error());
        else if (auto written = BackupWriter::write(*folder_ / "sample", *folder_ / "backup", options); !written)
            error_ = new std::string(written.error());
        folder_->write("password", "correct horse\n");
        folder_->write("wrong", "123456\n");
    }
    static void TearDownTestSuite() {
        delete error_;
        delete folder_;
    }
    void SetUp() override { ASSERT_FALSE(error_) << *error_; }

    static std::vector<std::string> with(std::vector<std::string> args, const std::string& passwordFile) {
        args.insert(args.begin(), {"--messages", (*folder_ / "backup").string(), "--password-file", passwordFile});
        return args;
    }

    static testing::TempDir* folder_;
    static std::string* error_;
};

testing::TempDir* CLIBackupTest::folder_ = nullptr;
std::string* CLIBackupTest::error_ = nullptr;

TEST_F(CLIBackupTest, ListsExportsAndVerifiesWithThePasswordFromStandardInput) {
    const auto list = runCLI(with({"list"}, "-"), "correct horse\n");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out.rfind("From an iPhone backup of Anna's iPhone made on Dec 1, 2025", 0), 0u) << list.out;

    const auto pdf = *folder_ / "record.pdf";
    const auto exported = runCLI(with({"export", "1", "--format", "pdf", "--layout", "record", "--output", pdf.string()},
                                      (*folder_ / "password").string()));
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::string cover = testing::pdfFirstPageText(pdf);
    for (char& c : cover)
        if (c == '\n') c = ' ';
    EXPECT_NE(cover.find("from an iPhone backup of Anna's iPhone made on"), std::string::npos) << cover;
    EXPECT_NE(cover.find("opened read-only"), std::string::npos) << cover;

    const auto verified = runCLI(with({"verify", pdf.string()}, (*folder_ / "password").string()));
    EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
}

TEST_F(CLIBackupTest, AWrongPasswordIsItsOwnFailure) {
    const auto wrong = runCLI(with({"list"}, (*folder_ / "wrong").string()));
    EXPECT_EQ(wrong.status, 3);
    EXPECT_NE(wrong.err.find("The password doesn't open this iPhone backup."), std::string::npos) << wrong.err;
    EXPECT_EQ(wrong.err.find("damaged"), std::string::npos) << wrong.err;
    EXPECT_TRUE(wrong.out.empty());
}

}  // namespace
}  // namespace quillmark
