// The engine as a front-end uses it from threads: an export runs on a worker thread while another thread
// makes pictures and hashes through the same shared media, as the application's thumbnails do.
#include "service/export_service.h"

#include <thread>

#include <gtest/gtest.h>

#include "export/attachment_media.h"
#include "support/history_fixture.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::HistoryFixture;

TEST(Threads, AnExportOnAWorkerBesideSharedMediaUse) {
    std::string rows;
    for (int i = 1; i <= 40; ++i) {
        rows += HistoryFixture::message(i, i % 2 ? 10 : 12, "\xEF\xBF\xBC");
        rows += "INSERT INTO attachment (ROWID, guid, filename, mime_type, transfer_name) VALUES (" + std::to_string(i) +
                ", 'AT-" + std::to_string(i) + "', '~/Library/Messages/Attachments/f" + std::to_string(i % 4) +
                ".txt', 'text/plain', 'f.txt');\nINSERT INTO message_attachment_join VALUES (" + std::to_string(i) +
                ", " + std::to_string(i) + ");\n";
    }
    HistoryFixture fixture(rows);
    for (int i = 0; i < 4; ++i)
        fixture.temp().write("data/Messages/Attachments/f" + std::to_string(i) + ".txt", std::string(1000 + i, 'x'));
    auto history = fixture.open();
    auto thread = history->library().thread(history->library().conversations().front(), {});
    ASSERT_TRUE(thread);

    ExportService::Request request;
    request.conversations = history->library().conversations();
    request.options = ExportOptions::make(ExportLayout::record, Paper::a4, "UTC", "en_US", "", Date{1700000000});
    request.folder = fixture.temp() / "out";
    tl::expected<ExportService::Exported, ExportService::Failure> exported;
    int reports = 0;
    std::thread worker([&] {
        exported = ExportService::run(*history, request, [&](const ExportService::Progress&) { return ++reports > 0; });
    });
    // Meanwhile, the same files are hashed from this thread through the shared media.
    for (int pass = 0; pass < 5; ++pass)
        for (const Message& m : thread->messages)
            for (const Attachment& a : m.attachments) EXPECT_TRUE(AttachmentMedia::shared().sha256(a));
    worker.join();
    ASSERT_TRUE(exported) << exported.error().text;
    EXPECT_EQ(exported->count, 2);
    EXPECT_GT(reports, 0);
}

}  // namespace
}  // namespace quillmark
