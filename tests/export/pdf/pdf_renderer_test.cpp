#include "export/pdf/pdf_renderer.h"

#include <gtest/gtest.h>

#include <regex>

#include "export/dates.h"
#include "export/formats.h"
#include "export/graphics/pdf_document.h"
#include "graphics/graphics_test_support.h"
#include "layout/layout_test_support.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using namespace testing;

using graphics::testing::run;

std::vector<Message> chatter(int count, double start = march5) {
    std::vector<Message> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(message(i + 1, start + i * 97, i % 3 ? std::optional(anna) : std::nullopt,
                              "Message number " + std::to_string(i + 1) + " says something about the day."));
    }
    return out;
}

class PDFRendererTest : public ::testing::Test {
protected:
    AttachmentMedia media;
    TempDir dir;

    std::filesystem::path write(const PDFRenderer::Output& out) {
        return dir.write("export.pdf", std::string(out.data.begin(), out.data.end()));
    }
};

// Only the record leaves room for a running header; A4 is measured on a page in FooterAndHeaderSitWhereTheyBelongOnA4.
TEST(PDFRendererGeometry, ContentRectangles) {
    EXPECT_EQ(PDFRenderer::content(ExportLayout::record, Paper::letter), (graphics::Rect{54, 71.2, 504, 651.6}));
    EXPECT_EQ(PDFRenderer::content(ExportLayout::book, Paper::letter), (graphics::Rect{54, 43.2, 504, 679.6}));
}

TEST(PDFRendererNames, LaterNamesReplaceEarlierOnesAndUnnamedHandlesAreLeftOut) {
    auto t = thread(group({anna, Participant{"+4915112345678", std::nullopt}}), {});
    Message m = message(1, march5, Participant{"+15551234567", "Anna B."}, "a");
    m.reactions = {{ReactionKind::like, "👍", false, Participant{"ben@example.com", "Ben"}, Date{march5}},
                   {ReactionKind::like, "👍", false, Participant{"+4915112345678", std::nullopt}, Date{march5}}};
    t.messages = {m};
    EXPECT_EQ(PDFRenderer::names(t),
              (std::map<std::string, std::string>{{"+15551234567", "Anna B."}, {"ben@example.com", "Ben"}}));
}

TEST_F(PDFRendererTest, RecordExportCarriesItsInformationRecordAndFooters) {
    auto t = thread(oneToOne(), {message(1, march5, anna, "Hello"), message(2, march5 + 60, std::nullopt, "Hi")});
    t.range = DateRange{Date{1709251200}, std::nullopt};
    auto o = options(ExportLayout::record);
    auto out = *PDFRenderer::render(t, o, media);
    ASSERT_FALSE(out.data.empty());
    EXPECT_EQ(out.pages, 2);  // the cover, then the messages
    EXPECT_EQ(out.fingerprint, Fingerprint::compute(t, media).hex);

    EXPECT_EQ(out.record.chats, t.conversation.chatGUIDs);
    EXPECT_EQ(out.record.start, t.range.start);
    EXPECT_FALSE(out.record.end);
    EXPECT_EQ(out.record.options, o);
    EXPECT_EQ(out.record.names, (std::map<std::string, std::string>{{"+15551234567", "Anna Berg"}}));
    EXPECT_EQ(out.record.fingerprint, out.fingerprint);
    EXPECT_EQ(out.record.messages, 2);
    EXPECT_EQ(out.record.pages, 2);

    auto pdf = graphics::PDFDocument::open(out.data);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->pageCount(), 2);
    EXPECT_EQ(pdf->pageSize(0), (graphics::Size{612, 792}));
    EXPECT_EQ(pdf->info("Title"), "Messages with Anna Berg");
    EXPECT_EQ(pdf->info("Author"), "Cleo Park");
    EXPECT_EQ(pdf->info("Creator"), "Quillmark 1.2");
    EXPECT_EQ(pdf->info("Subject"), "Messages, " + Dates(o).range(Date{march5}, Date{march5 + 60}) +
                                        " \u00b7 SHA-256 " + out.fingerprint);
    ASSERT_EQ(pdf->keywords().size(), 1u);
    EXPECT_EQ(pdf->keywords()[0].rfind("quillmark-verify:", 0), 0u);
    EXPECT_EQ(VerificationRecord::read(*pdf), out.record);

    std::string footer = "Quillmark \u00b7 SHA-256 " + Formats::grouped(out.fingerprint.substr(0, 16), 4);
    std::string cover = pdf->pageText(0), messages = pdf->pageText(1);
    EXPECT_NE(cover.find(footer), std::string::npos) << cover;
    EXPECT_NE(cover.find("Page 1 of 2"), std::string::npos);
    EXPECT_NE(messages.find("Page 2 of 2"), std::string::npos);
    EXPECT_NE(messages.find(footer), std::string::npos);
    // The running header stands on page 2 only.
    EXPECT_EQ(cover.find("Messages with Anna Berg"), cover.rfind("Messages with Anna Berg"));
    EXPECT_NE(messages.find("Messages with Anna Berg"), std::string::npos);
    EXPECT_NE(messages.find("Tuesday, March 5, 2024"), std::string::npos);
    EXPECT_NE(messages.find("Hello"), std::string::npos);
}

TEST_F(PDFRendererTest, EmptyOwnerNameAndEmptyThread) {
    auto out = *PDFRenderer::render(thread(oneToOne(), {}), options(ExportLayout::record, Paper::letter, ""), media);
    auto pdf = graphics::PDFDocument::open(out.data);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(out.pages, 1);
    EXPECT_EQ(pdf->info("Author"), "Quillmark");
    EXPECT_EQ(pdf->info("Subject"), "Messages,  \u00b7 SHA-256 " + out.fingerprint);
    EXPECT_NE(pdf->pageText(0).find("Page 1 of 1"), std::string::npos);
    // An owner's name of blanks is written as it is.
    out = *PDFRenderer::render(thread(oneToOne(), {}), options(ExportLayout::record, Paper::letter, "   "), media);
    EXPECT_EQ(graphics::PDFDocument::open(out.data).value().info("Author"), "   ");
}

// Words of a page as pdftotext -bbox gives them, in the order drawn.
struct Word {
    std::string text;
    double xMin, yMin, xMax;
};
std::vector<Word> wordsOf(const std::string& html) {
    std::vector<Word> out;
    std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
        out.push_back({(*it)[4].str(), std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3])});
    return out;
}

TEST_F(PDFRendererTest, FooterAndHeaderSitWhereTheyBelongOnA4) {
    QUILLMARK_REQUIRE_TOOL("pdftotext");
    auto t = thread(oneToOne(), chatter(3));
    auto out = *PDFRenderer::render(t, options(ExportLayout::record, Paper::a4), media);
    const auto html = run("pdftotext -bbox -f 2 -l 2 '" + write(out).string() + "' -");
    ASSERT_EQ(html.status, 0) << html.output;
    // Each word at its first occurrence; the last word on its own.
    const std::vector<Word> all = wordsOf(html.output);
    ASSERT_FALSE(all.empty());
    std::map<std::string, Word> words;
    for (const Word& w : all) words.emplace(w.text, w);
    ASSERT_TRUE(words.count("Page") && words.count("Quillmark") && words.count("Messages"));
    // The footer's line of text starts at 841.89 − 55.2 = 786.69; the page number ends at the content's
    // right edge, the fingerprint line starts at its left edge.
    EXPECT_NEAR(words["Page"].yMin, 786.69, 2.5);
    EXPECT_NEAR(words["Quillmark"].xMin, 54, 0.5);
    EXPECT_NEAR(all.back().xMax, 54 + 487.28, 0.5);  // "Page 2 of 2" is the last text drawn
    // The running header's title at 41.2 on the left.
    EXPECT_NEAR(words["Messages"].yMin, 41.2, 2.5);
    EXPECT_NEAR(words["Messages"].xMin, 54, 0.5);
}

// An Arabic title and name: the running head shows, and a reaction line keeps its pieces in order, the
// time after the name, not pulled into the name's right-to-left run.
TEST_F(PDFRendererTest, RightToLeftNamesKeepTheirPlaceInComposedLinesAndTheRunningHead) {
    QUILLMARK_REQUIRE_TOOL("pdftotext");
    const Participant fatima{"+971501234567", "\u0641\u0627\u0637\u0645\u0629"};
    std::vector<Message> messages = chatter(60);
    messages[0].reactions = {{ReactionKind::laugh, "\U0001F602", false, fatima, Date{march5 + 5}}};
    auto t = thread(group({fatima}), messages);
    auto out = *PDFRenderer::render(t, options(ExportLayout::record, Paper::letter), media);
    auto path = write(out).string();
    const auto two = run("pdftotext -bbox -f 2 -l 2 '" + path + "' -");
    ASSERT_EQ(two.status, 0) << two.output;
    bool head = false;
    for (const Word& w : wordsOf(two.output)) head = head || (w.text == "Messages" && w.yMin < 50);
    EXPECT_TRUE(head) << "no running head on page 2";

    const auto one = run("pdftotext -bbox -f 1 -l 3 '" + path + "' -");
    ASSERT_EQ(one.status, 0) << one.output;
    double name = -1, time = -1, label = -1;
    for (const Word& w : wordsOf(one.output)) {
        if (w.text == "Reactions:" && label < 0) label = w.xMin;
        if (label >= 0 && name < 0 && w.text.find("\u0641") != std::string::npos) name = w.xMin;
        if (label >= 0 && time < 0 && w.text.rfind("7:05:14", 0) == 0) time = w.xMin;
    }
    ASSERT_GE(name, 0);
    ASSERT_GE(time, 0);
    EXPECT_LT(label, name);
    EXPECT_LT(name, time);
}

TEST_F(PDFRendererTest, BookExportHasPageNumbersFromPageTwoOnly) {
    auto t = thread(oneToOne(), {message(1, march5, anna, "Hello"), message(2, march5 + 60, std::nullopt, "Hi")});
    auto o = options(ExportLayout::book);
    auto out = *PDFRenderer::render(t, o, media);
    auto pdf = graphics::PDFDocument::open(out.data);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(out.pages, 2);
    EXPECT_EQ(pdf->info("Title"), "Anna Berg");
    std::string cover = pdf->pageText(0), page2 = pdf->pageText(1);
    EXPECT_NE(cover.find("Anna & Cleo"), std::string::npos) << cover;
    EXPECT_EQ(cover.find("Quillmark"), std::string::npos);
    EXPECT_EQ(page2.find("SHA-256"), std::string::npos);
    EXPECT_EQ(page2.find("Page"), std::string::npos);
    EXPECT_NE(page2.find("March 2024"), std::string::npos);
    // The page number is the last line of the page.
    std::string trimmed = page2.substr(0, page2.find_last_not_of(" \n\f") + 1);
    EXPECT_EQ(trimmed.substr(trimmed.size() - 1), "2") << page2;
}

TEST_F(PDFRendererTest, LongExportReportsProgressEveryEighthPageAndStopsWhenAsked) {
    auto t = thread(oneToOne(), chatter(600));
    std::vector<double> progress;
    auto out = *PDFRenderer::render(t, options(ExportLayout::record), media, [&](double p, int) {
        progress.push_back(p);
        return true;
    });
    ASSERT_GT(out.pages, 9);
    // 0.2 once the pictures are made and again every 256 messages of the layout, so that a stop is heard.
    std::vector<double> expected{0.1, 0.2, 0.2, 0.2, 0.5};
    for (int i = 0; i < out.pages; i += 8) expected.push_back(0.5 + (i + 1) / 2.0 / out.pages);
    expected.push_back(1.0);
    EXPECT_EQ(progress, expected);
    int calls = 0;
    const auto stopped = PDFRenderer::render(t, options(ExportLayout::record), media, [&](double, int) { return ++calls < 3; });
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().kind, PDFRenderer::Failure::Kind::cancelled);
    EXPECT_EQ(calls, 3);  // stopped in the layout, at the first look after the pictures
    auto pdf = graphics::PDFDocument::open(out.data);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->pageCount(), out.pages);
    std::string last = pdf->pageText(out.pages - 1);
    EXPECT_NE(last.find("Page " + std::to_string(out.pages) + " of " + std::to_string(out.pages)), std::string::npos);
    EXPECT_NE(last.find("Message number 600 says"), std::string::npos);
}

// The same export gives the same bytes, whether its pictures were made on one thread or two.
TEST_F(PDFRendererTest, SameExportGivesTheSameBytesWithPicturesMadeOnOneOrTwoThreads) {
    std::vector<Message> messages = chatter(6);
    for (int i = 0; i < 6; ++i) {
        auto file = writeJPEG(dir / ("IMG_" + std::to_string(i) + ".jpg"), 120 + 40 * i, 90 + 10 * i);
        messages[static_cast<size_t>(i)].attachments = {attachment("P" + std::to_string(i), file)};
    }
    auto t = thread(oneToOne(), messages);
    for (ExportLayout layout : {ExportLayout::book, ExportLayout::record}) {
        auto oneThread = *PDFRenderer::render(t, options(layout), media, {}, 1);
        auto twoThreads = *PDFRenderer::render(t, options(layout), media, {}, 2);
        EXPECT_EQ(oneThread.data, twoThreads.data);
        EXPECT_GT(oneThread.data.size(), 6000u);
    }
}

}  // namespace
}  // namespace quillmark
