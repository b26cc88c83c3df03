// The verifier on real files: exports rendered from a history on disk, then altered the way people and
// programs alter PDFs (re-saved by another program, a page's text edited, the history changed).
#include "export/verify/verifier.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include <gtest/gtest.h>

#include "conversations/library.h"
#include "export/pdf/pdf_renderer.h"
#include "support/temp_dir.h"
#include "support/test_history.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

bool haveQPDF() { return std::system("command -v qpdf >/dev/null 2>&1 && command -v fix-qdf >/dev/null 2>&1") == 0; }

// A one-to-one history with `address` of `count` messages a few minutes apart, long enough to fill many record
// pages, and one message carrying a file.
void writeHistory(const fs::path& folder, int count, const std::string& address = "+15551230001") {
    std::string script = std::string(testing::fullSchema) + R"sql(
INSERT INTO handle (ROWID, id, service) VALUES (1, 'ADDRESS', 'iMessage');
INSERT INTO chat (ROWID, guid, style, chat_identifier, service_name) VALUES
  (1, 'iMessage;-;ADDRESS', 45, 'ADDRESS', 'iMessage');
INSERT INTO chat_handle_join VALUES (1, 1);
INSERT INTO attachment (ROWID, guid, filename, mime_type, transfer_name, total_bytes) VALUES
  (1, 'att-1', '~/Library/Messages/Attachments/notes.txt', 'text/plain', 'notes.txt', 11);
INSERT INTO message_attachment_join VALUES (1, 1);
)sql";
    for (size_t at; (at = script.find("ADDRESS")) != std::string::npos;) script.replace(at, 7, address);
    for (int i = 1; i <= count; ++i) {
        const int64_t date = 700'000'000'000'000'000 + int64_t{i} * 300'000'000'000;
        script += "INSERT INTO message (ROWID, guid, text, handle_id, is_from_me, date, service) VALUES (" +
                  std::to_string(i) + ", 'M" + std::to_string(i) + "', 'Message number " + std::to_string(i) +
                  " says a little more than hello, so that the record fills its pages at a steady pace.', 1, " +
                  std::to_string(i % 2) + ", " + std::to_string(date) + ", 'iMessage');";
        script += "INSERT INTO chat_message_join (chat_id, message_id) VALUES (1, " + std::to_string(i) + ");";
    }
    fs::create_directories(folder / "Attachments");
    testing::makeDatabase(folder / "chat.db", script);
    std::ofstream(folder / "Attachments" / "notes.txt") << "hello notes";
}

std::unique_ptr<Library> openLibrary(const fs::path& folder) {
    auto db = MessagesDatabase::open((folder / "chat.db").string());
    if (!db) return nullptr;
    auto library = Library::open(std::move(*db), nullptr);
    return library ? std::move(*library) : nullptr;
}

ExportOptions recordOptions() {
    return ExportOptions::make(ExportLayout::record, Paper::letter, "Europe/Berlin", "en_US", "Sam",
                               Date{1712345678.123}, "1.0.0");
}

// Exports the history's only conversation as a record PDF into `pdf`.
PDFRenderer::Output exportTo(Library& library, const fs::path& pdf) {
    const Conversation conversation = library.conversations().at(0);
    auto thread = library.thread(conversation, DateRange::all);
    EXPECT_TRUE(thread);
    AttachmentMedia media;
    auto out = *PDFRenderer::render(*thread, recordOptions(), media);
    std::ofstream(pdf, std::ios::binary).write(reinterpret_cast<const char*>(out.data.data()),
                                               static_cast<std::streamsize>(out.data.size()));
    return out;
}

// Rewrites the file through qpdf's editable form: `edit` changes its text, fix-qdf mends the lengths.
void throughQDF(const fs::path& pdf, const std::function<void(std::string&)>& edit) {
    const fs::path qdf = pdf.string() + ".qdf";
    ASSERT_EQ(std::system(("qpdf --qdf --object-streams=disable '" + pdf.string() + "' '" + qdf.string() + "'").c_str()), 0);
    std::string bytes = testing::readFile(qdf);
    edit(bytes);
    std::ofstream(qdf, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(std::system(("fix-qdf '" + qdf.string() + "' > '" + pdf.string() + "'").c_str()), 0);
}

// Adds drawing operators at the end of page 3's content.
void drawOnPageThree(std::string& bytes, const std::string& operators) {
    size_t at = bytes.find("%% Contents for page 3\n");
    ASSERT_NE(at, std::string::npos);
    at = bytes.find("endstream", at);
    bytes.insert(at, "\n" + operators + "\n");
}

// Reverses the first reversible literal string shown on each given page: the same glyphs in another
// order, so the fonts stay valid while the page reads differently.
void alterPages(const fs::path& pdf, const std::vector<int>& pages) {
    throughQDF(pdf, [&](std::string& bytes) {
        for (int page : pages) {
            size_t at = bytes.find("%% Contents for page " + std::to_string(page) + "\n");
            ASSERT_NE(at, std::string::npos) << page;
            at = bytes.find("stream\n", at);
            const std::string content = bytes.substr(at, bytes.find("endstream", at) - at);
            static const std::regex shown(R"(\(([A-Za-z ]{4,})\)\s*Tj|\[\(([A-Za-z ]{4,})\))");
            bool changed = false;
            for (auto it = std::sregex_iterator(content.begin(), content.end(), shown); it != std::sregex_iterator() && !changed; ++it) {
                const int group = (*it)[1].matched ? 1 : 2;
                const std::string text = (*it)[group].str();
                const std::string reversed(text.rbegin(), text.rend());
                if (reversed == text) continue;
                bytes.replace(at + static_cast<size_t>(it->position(group)), text.size(), reversed);
                changed = true;
            }
            ASSERT_TRUE(changed) << "no text to change on page " << page;
        }
    });
}

class VerifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeHistory(dir.path() / "history", 260);
        library = openLibrary(dir.path() / "history");
        ASSERT_TRUE(library);
        pdf = dir.path() / "export.pdf";
        output = exportTo(*library, pdf);
        ASSERT_GE(output.pages, 12);
    }
    Verifier::Outcome verify(const fs::path& path) { return Verifier::verify(path.string(), *library, media); }

    testing::TempDir dir;
    std::unique_ptr<Library> library;
    AttachmentMedia media;
    fs::path pdf;
    PDFRenderer::Output output;
};

TEST_F(VerifierTest, UnchangedExportMatchesAlsoAfterAnotherProgramResavesIt) {
    const auto outcome = verify(pdf);
    ASSERT_TRUE(std::holds_alternative<Verifier::Matches>(outcome));
    EXPECT_EQ(std::get<Verifier::Matches>(outcome),
              (Verifier::Matches{output.pages, 260, output.fingerprint}));
    EXPECT_TRUE(Verifier::summary(outcome, "en_US").ok);

    if (!haveQPDF()) GTEST_SKIP() << "qpdf is not installed";
    const fs::path resaved = dir.path() / "resaved.pdf";
    ASSERT_EQ(std::system(("qpdf --object-streams=generate '" + pdf.string() + "' '" + resaved.string() + "'").c_str()), 0);
    EXPECT_NE(testing::readFile(resaved), testing::readFile(pdf));
    EXPECT_TRUE(std::holds_alternative<Verifier::Matches>(verify(resaved)));
    const fs::path linearized = dir.path() / "linearized.pdf";
    ASSERT_EQ(std::system(("qpdf --linearize '" + pdf.string() + "' '" + linearized.string() + "'").c_str()), 0);
    EXPECT_TRUE(std::holds_alternative<Verifier::Matches>(verify(linearized)));
}

// Every way a file is changed without changing its messages, each caught as what it is.
TEST_F(VerifierTest, TamperedFilesAreChangedPDFs) {
    if (!haveQPDF()) GTEST_SKIP() << "qpdf is not installed";
    using Kind = Verifier::PDFChanged::Kind;
    const std::string original = testing::readFile(pdf);
    struct Case {
        std::string name;
        std::function<void(const fs::path&)> tamper;
        Kind kind;
        std::vector<int64_t> pages;
        std::string detail;
    };
    const std::vector<Case> cases{
        {"a line of text reversed", [](const fs::path& p) { alterPages(p, {3}); }, Kind::text, {3},
         "The text of page 3 differs."},
        {"a white box over a message",
         [](const fs::path& p) { throughQDF(p, [](std::string& b) { drawOnPageThree(b, "q 1 g 54 200 504 14 re f Q"); }); },
         Kind::picture, {3},
         "Page 3 looks different from the export made from these messages (a mark, a covered area or a changed "
         "picture)."},
        {"invisible text",
         [](const fs::path& p) {
             throughQDF(p, [](std::string& b) {
                 // Glyphs the page shows already, shown once more in render mode 3 (neither filled nor stroked).
                 std::smatch shown;
                 const std::string from = b.substr(b.find("%% Contents for page 3\n"));
                 ASSERT_TRUE(std::regex_search(from, shown, std::regex(R"((/f-[0-9]+-[0-9]+) [0-9.]+ Tf[^<]*(<[0-9a-fA-F]+>))")));
                 drawOnPageThree(b, "BT 3 Tr " + shown[1].str() + " 9 Tf 60 60 Td " + shown[2].str() + " Tj ET");
             });
         },
         Kind::text, {3}, "The text of page 3 differs."},
        {"data after the end",
         [](const fs::path& p) { std::ofstream(p, std::ios::binary | std::ios::app) << "\n% a note\n"; },
         Kind::added, {}, "Something was added to the file after it was made (an update or data after its end)."},
        {"an incremental update",
         [](const fs::path& p) {
             std::ofstream(p, std::ios::binary | std::ios::app)
                 << "\n1 0 obj\n<< /Title (Changed) >>\nendobj\nxref\n1 1\n0000000000 00000 n \ntrailer\n<< /Size 2 "
                    "/Prev 10 >>\nstartxref\n0\n%%EOF\n";
         },
         Kind::added, {}, "Something was added to the file after it was made (an update or data after its end)."},
        {"the record's message count",
         [](const fs::path& p) {
             auto record = VerificationRecord::record(p.string());
             ASSERT_TRUE(record);
             const std::string before = record->encoded();
             record->messages += 1;
             const std::string after = record->encoded();
             throughQDF(p, [&](std::string& b) {
                 const size_t at = b.find(before);
                 ASSERT_NE(at, std::string::npos);
                 b.replace(at, before.size(), after);
             });
         },
         Kind::record, {}, "The record inside this PDF was changed: messages differs."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(pdf, std::ios::binary | std::ios::trunc) << original;
        c.tamper(pdf);
        const auto outcome = verify(pdf);
        ASSERT_TRUE(std::holds_alternative<Verifier::PDFChanged>(outcome));
        const auto& changed = std::get<Verifier::PDFChanged>(outcome);
        EXPECT_EQ(changed.kind, c.kind);
        EXPECT_EQ(changed.pages, c.pages);
        const auto summary = Verifier::summary(outcome, "en_US");
        EXPECT_FALSE(summary.ok);
        EXPECT_EQ(summary.title, "This PDF was changed after it was exported");
        EXPECT_EQ(summary.detail, c.detail);
    }
}

TEST_F(VerifierTest, EveryChangedPageIsKeptAndTheFirstIsNamed) {
    if (!haveQPDF()) GTEST_SKIP() << "qpdf is not installed";
    alterPages(pdf, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const auto outcome = verify(pdf);
    ASSERT_TRUE(std::holds_alternative<Verifier::PDFChanged>(outcome));
    EXPECT_EQ(std::get<Verifier::PDFChanged>(outcome).pages.size(), 12u);
    EXPECT_EQ(Verifier::summary(outcome, "en_US").detail, "The text of page 1 differs.");
}

TEST_F(VerifierTest, DeletedMessageMeansTheMessagesDiffer) {
    {
        auto db = SQLiteDatabase::openCreating((dir.path() / "history" / "chat.db").string());
        ASSERT_TRUE(db);
        ASSERT_TRUE((*db)->execute("DELETE FROM message WHERE ROWID = 40; DELETE FROM chat_message_join WHERE message_id = 40;"));
    }
    library = openLibrary(dir.path() / "history");
    ASSERT_TRUE(library);
    const auto outcome = verify(pdf);
    ASSERT_TRUE(std::holds_alternative<Verifier::MessagesDiffer>(outcome));
    const auto& differ = std::get<Verifier::MessagesDiffer>(outcome);
    EXPECT_EQ(differ.exported, 260);
    EXPECT_EQ(differ.now, 259);
    EXPECT_FALSE(differ.pages.empty());  // everything after the gap moved up
    const auto summary = Verifier::summary(outcome, "en_US");
    EXPECT_EQ(summary.title, "Doesn't match the messages of this history");
    EXPECT_NE(summary.detail.find(" (it has 260 messages, this history now has 259 in the same dates)."), std::string::npos);
}

TEST_F(VerifierTest, ChangedAttachmentBytesMeanTheMessagesDiffer) {
    // Same size, other bytes, a later modification time: a fresh hash.
    std::ofstream(dir.path() / "history" / "Attachments" / "notes.txt", std::ios::trunc) << "HELLO NOTES";
    const auto outcome = verify(pdf);
    ASSERT_TRUE(std::holds_alternative<Verifier::MessagesDiffer>(outcome));
    const auto& differ = std::get<Verifier::MessagesDiffer>(outcome);
    EXPECT_EQ(differ.exported, differ.now);
    const auto detail = Verifier::summary(outcome, "en_US").detail;
    EXPECT_NE(detail.find(" (a message or an attachment is different)."), std::string::npos) << detail;
}

TEST_F(VerifierTest, FilesThatAreNotExports) {
    EXPECT_TRUE(std::holds_alternative<Verifier::NotAnExport>(verify(dir.write("notes.pdf", "just some text\n"))));
    EXPECT_TRUE(std::holds_alternative<Verifier::NotAnExport>(verify(dir.path() / "absent.pdf")));

    const std::string bytes = testing::readFile(pdf);
    EXPECT_TRUE(std::holds_alternative<Verifier::NotAnExport>(verify(dir.write("cut.pdf", bytes.substr(0, bytes.size() / 3)))));

    // Another program's PDF: the same pages without our Keywords.
    if (!haveQPDF()) GTEST_SKIP() << "qpdf is not installed";
    const fs::path foreign = dir.path() / "foreign.pdf";
    ASSERT_EQ(std::system(("qpdf --empty --pages '" + pdf.string() + "' 1-2 -- '" + foreign.string() + "'").c_str()), 0);
    const auto outcome = verify(foreign);
    EXPECT_TRUE(std::holds_alternative<Verifier::NotAnExport>(outcome));
    EXPECT_EQ(Verifier::summary(outcome, "en_US").title, "Not a Quillmark export");
}

TEST_F(VerifierTest, HistoryWithoutTheConversation) {
    testing::TempDir other;
    writeHistory(other.path(), 1, "+15559990000");
    auto elsewhere = openLibrary(other.path());
    ASSERT_TRUE(elsewhere);
    const auto outcome = Verifier::verify(pdf.string(), *elsewhere, media);
    EXPECT_TRUE(std::holds_alternative<Verifier::ConversationMissing>(outcome));
    EXPECT_EQ(Verifier::summary(outcome, "en_US").title, "This conversation isn't in this history");
}

TEST(VerifierText, WhiteSpaceAndCanonicalEquivalence) {
    using Verifier::normalized;
    EXPECT_EQ(normalized("  Page 3\n\nof   41 \t"), "Page 3 of 41");
    EXPECT_EQ(normalized("a\u00A0b\u2028c"), "a b c");
    EXPECT_EQ(normalized("Cafe\xCC\x81"), normalized("Caf\xC3\xA9"));  // decomposed and composed é
    EXPECT_NE(normalized("ab"), normalized("a b"));
    EXPECT_EQ(normalized(""), "");
}

TEST(VerifierText, SummariesAndPageLists) {
    EXPECT_EQ(Verifier::pageList({3}), "3");
    EXPECT_EQ(Verifier::pageList({2, 5}), "2, 5");
    EXPECT_EQ(Verifier::pageList({1, 2, 3, 4, 5, 6, 7, 8, 9}), "1, 2, 3, 4, 5, 6, 7, 8 and 1 more");

    const auto matches = Verifier::summary(Verifier::Matches{12, 1234, std::string(64, 'a')}, "en_US");
    EXPECT_EQ(matches.detail, "All 12 pages match the messages of this history, word for word: 1,234 messages and every "
                              "attachment. Fingerprint aaaa aaaa aaaa aaaa \u2026");
    const auto one = Verifier::summary(Verifier::MessagesDiffer{5, 5, {7}}, "en_US");
    EXPECT_EQ(one.detail, "The messages of this history no longer match this export (a message or an attachment is "
                          "different). Differences on page 7. Messages deleted or edited since the export, or a "
                          "different history, cause this too.");
    const auto none = Verifier::summary(Verifier::MessagesDiffer{1200, 1199, {}}, "en_US");
    EXPECT_EQ(none.detail, "The messages of this history no longer match this export (it has 1,200 messages, this "
                           "history now has 1,199 in the same dates). Messages deleted or edited since the export, "
                           "or a different history, cause this too.");
}

}  // namespace
}  // namespace quillmark
