// A crafted history names files anywhere: only regular files inside its own folder may reach an export.
#include "service/export_service.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/history_fixture.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::HistoryFixture;

// Message 1 carries six attachments; only the first is a file of this history.
std::string hostileRows() {
    std::string rows = HistoryFixture::message(1, 10, "\xEF\xBF\xBC\xEF\xBF\xBC");
    const char* names[] = {
        "~/Library/Messages/Attachments/ok.jpg",          // inside: copied
        "~/Library/Messages/../secret.txt",                // climbs out
        "/etc/passwd",                                     // anywhere
        "~/Library/Messages/Attachments/link-to-secret",   // a link pointing out
        "~/Library/Messages/Attachments/pipe",             // would never answer
        "/dev/zero",                                       // would never end
    };
    for (int i = 0; i < 6; ++i) {
        rows += "INSERT INTO attachment (ROWID, guid, filename, mime_type, transfer_name, total_bytes) VALUES (" +
                std::to_string(i + 1) + ", 'AT-" + std::to_string(i + 1) + "', '" + names[i] + "', 'image/jpeg', 'file" +
                std::to_string(i + 1) + ".jpg', 5);\n";
        rows += "INSERT INTO message_attachment_join VALUES (1, " + std::to_string(i + 1) + ");\n";
    }
    return rows;
}

TEST(AttachmentFiles, OnlyRegularFilesInsideTheHistoryReachAnExport) {
    HistoryFixture fixture(hostileRows());
    fixture.temp().write("data/Messages/Attachments/ok.jpg", "photo");
    fixture.temp().write("data/secret.txt", "secret");
    fs::create_symlink("../../secret.txt", fixture.messages() / "Attachments/link-to-secret");
    ASSERT_EQ(mkfifo((fixture.messages() / "Attachments/pipe").c_str(), 0600), 0);
    auto history = fixture.open();

    auto thread = history->library().thread(history->library().conversations().front(), {});
    ASSERT_TRUE(thread);
    ASSERT_EQ(thread->messages.size(), 1u);
    const auto& attachments = thread->messages.front().attachments;
    ASSERT_EQ(attachments.size(), 6u);
    EXPECT_TRUE(attachments[0].isAvailable);
    for (size_t i = 1; i < attachments.size(); ++i) EXPECT_FALSE(attachments[i].isAvailable) << attachments[i].name;

    for (const ExportFormat format : {ExportFormat::html, ExportFormat::csv, ExportFormat::pdf}) {
        SCOPED_TRACE(std::string(format.rawValue()));
        ExportService::Request request;
        request.conversations = {history->library().conversations().front()};
        request.format = format;
        request.options = ExportOptions::make(ExportLayout::record, Paper::a4, "UTC", "en_US", "", Date{1700000000});
        request.file = fixture.temp() / ("out." + std::string(format.rawValue()));
        const auto exported = ExportService::run(*history, request);  // returns: nothing waits on the pipe
        ASSERT_TRUE(exported) << exported.error().text;
        EXPECT_EQ(exported->skippedFiles, 5);
    }
    std::set<std::string> copied;
    for (const auto& entry : fs::directory_iterator(fixture.temp() / "out.html/files"))
        copied.insert(entry.path().filename().string());
    EXPECT_EQ(copied, std::set<std::string>{"file1.jpg"});
    // The secret's bytes are in no export.
    for (const char* out : {"out.html/index.html", "out.csv", "out.pdf"})
        EXPECT_EQ(testing::readFile(fixture.temp() / out).find("secret"), std::string::npos) << out;
}

}  // namespace
}  // namespace quillmark
