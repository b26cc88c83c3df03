#include "export/layout/book_layout.h"

#include <gtest/gtest.h>

#include "export/layout/bubble_block.h"
#include "export/layout/ink.h"
#include "export/layout/photo_bubble.h"
#include "export/layout/record_layout.h"
#include "layout_test_support.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using namespace testing;
using Lines = std::vector<std::string>;

class BookLayoutTest : public ::testing::Test {
protected:
    AttachmentMedia media;
    ExportOptions book = options(ExportLayout::book);

    BlockList blocks(const MessageThread& t, const ExportOptions& o) {
        auto fingerprint = Fingerprint::compute(t, media);
        RenderInput input{t, o, fingerprint, media};
        return BookLayout::blocks(input, 504, 679.6);
    }
    Lines lines(const MessageThread& t) { return describe(blocks(t, book)); }
    // Without the cover and the page break after it.
    Lines body(const MessageThread& t) {
        Lines all = lines(t);
        EXPECT_EQ(all.at(1), "pagebreak");
        return Lines(all.begin() + 2, all.end());
    }
};

TEST_F(BookLayoutTest, TimeLinesAfterMoreThanAnHourAndInEveryNewMonth) {
    auto t = thread(oneToOne(), {message(1, march5, anna, "a"), message(2, march5 + 59 * 60, std::nullopt, "b"),
                                 message(3, march5 + 59 * 60 + 61 * 60, anna, "c"),
                                 message(4, 1711942200, anna, "d"),     // Mar 31, 11:30 PM
                                 message(5, 1711945800, anna, "e")});   // Apr 1, 12:30 AM: a new month
    EXPECT_EQ(body(t), (Lines{"gap 0", "chapter March 2024", "gap 10", "note center Tue, Mar 5 7:05 PM", "gap 4",
                              "bubble a", "gap 3", "bubble me b", "gap 3", "note center Tue, Mar 5 9:05 PM", "gap 4",
                              "bubble c", "gap 3", "note center Sun, Mar 31 11:30 PM", "gap 4", "bubble d", "gap 3",
                              "gap 26", "chapter April 2024", "gap 10", "note center Mon, Apr 1 12:30 AM", "gap 4",
                              "bubble e", "gap 3"}));
}

TEST_F(BookLayoutTest, GroupNamesOnceARunAndAgainAfterATimeLine) {
    auto t = thread(group({anna, ben}), {message(1, march5, anna, "a"), message(2, march5 + 60, anna, "b"),
                                         message(3, march5 + 120, anna, "c"), message(4, march5 + 180, ben, "d"),
                                         message(5, march5 + 240, std::nullopt, "e"),
                                         message(6, march5 + 300, ben, "f"), message(7, march5 + 9000, ben, "g")});
    Lines b = body(t);
    EXPECT_EQ(Lines(b.begin() + 5, b.end()),
              (Lines{"note left Anna Berg", "bubble a", "gap 3", "bubble b", "gap 3", "bubble c", "gap 3",
                     "note left Ben Ode", "bubble d", "gap 3", "bubble me e", "gap 3", "note left Ben Ode", "bubble f",
                     "gap 3", "note center Tue, Mar 5 9:35 PM", "gap 4", "note left Ben Ode", "bubble g", "gap 3"}));
}

TEST_F(BookLayoutTest, ReplyQuoteIsCutAfter70Characters) {
    std::string seventy(70, 'x'), seventyOne(71, 'y');
    Message first = message(1, march5, std::nullopt, "q");
    first.replyToGUID = "R70";
    Message second = message(2, march5 + 60, anna, "r");
    second.replyToGUID = "R71";
    Message third = message(3, march5 + 120, anna, "s");
    third.replyToGUID = "missing";
    auto t = thread(oneToOne(), {first, second, third});
    t.replies["R70"] = {"Anna", seventy, Date{march5 - 100}};
    t.replies["R71"] = {"You", "line one\n" + seventyOne.substr(9), Date{march5 - 50}};
    Lines b = body(t);
    EXPECT_EQ(b[5], "note right bar Anna: " + seventy);
    EXPECT_EQ(b[8], "note left bar You: line one " + std::string(60, 'y') + "\u2026");
    EXPECT_EQ(b[10], "gap 3");
    EXPECT_EQ(b[11], "bubble s");  // no quote for a reply whose message was not found
}

TEST_F(BookLayoutTest, EditedAndEffectShareOneNote) {
    Message m = message(1, march5, std::nullopt, "Boom");
    m.editedAt = Date{march5 + 10};
    m.effect = "Slam";
    Lines b = body(thread(oneToOne(), {m}));
    EXPECT_EQ(Lines(b.begin() + 5, b.end()), (Lines{"bubble me Boom", "note right Edited \u00b7 Sent with Slam", "gap 3"}));
}

TEST_F(BookLayoutTest, UnsentEventAndApplicationMessages) {
    Message unsent = message(1, march5, anna, "");
    unsent.unsentAt = Date{march5 + 5};
    unsent.reactions = {{ReactionKind::like, "👍", true, std::nullopt, Date{march5 + 1}}};
    Message event = message(2, march5 + 60, anna, "");
    event.event = "Anna Berg named the conversation “Trip”.";
    Message app = message(3, march5 + 120, std::nullopt, "");
    app.appKind = "Apple Pay";
    Lines b = body(thread(group({anna, ben}), {unsent, event, app}));
    EXPECT_EQ(Lines(b.begin() + 5, b.end()),
              (Lines{"note left Anna Berg", "dashed bubble Unsent message",
                     "note center Anna Berg named the conversation “Trip”.", "bubble me Apple Pay", "gap 3"}));
    BlockList list = blocks(thread(group({anna, ben}), {unsent}), book);
    auto unsentBubble = dynamic_cast<const BubbleBlock*>(list[8].get());
    ASSERT_TRUE(unsentBubble);
    EXPECT_TRUE(unsentBubble->text().runs()[0].attributes.font.italic);
}

TEST_F(BookLayoutTest, PhotosOfOneMessageAreAGridOfSquaresAndTheTextCarriesTheReactions) {
    TempDir dir;
    auto p1 = writeJPEG(dir / "IMG_1.jpg", 800, 600);
    auto p2 = writeJPEG(dir / "IMG_2.jpg", 200, 400);
    Message m = message(1, march5, anna, "Look");
    m.attachments = {attachment("A1", p1), attachment("A2", p2), attachment("A3", dir / "notes.txt")};
    m.reactions = {{ReactionKind::love, "❤️", true, std::nullopt, Date{march5 + 1}}};
    Lines b = body(thread(oneToOne(), {m}));
    // Two columns in 0.62 of the width: squares of 153 points, or less at the picture's natural size
    // (200 pixels at 144 dpi: 100 points). Other files follow the grid.
    EXPECT_EQ(Lines(b.begin() + 5, b.end()),
              (Lines{"bubble Look [❤️]", "gap 2", "grid2 [photo 153x153 cropped] [photo 100x100 cropped]", "gap 2",
                     "bubble 📎 notes.txt\nNot in this history", "gap 3"}));

    // From five photos on, three columns; the first photo carries the reactions of a message without text.
    Message photoOnly = message(2, march5, std::nullopt, "");
    for (int i = 0; i < 5; ++i) photoOnly.attachments.push_back(attachment("B" + std::to_string(i), p1));
    photoOnly.reactions = m.reactions;
    Lines c = body(thread(oneToOne(), {photoOnly}));
    const std::string square = "[photo me 100x100 cropped]";
    EXPECT_EQ(Lines(c.begin() + 5, c.end()),
              (Lines{"gap 2", "grid3 [photo me 100x100 [❤️] cropped] " + square + " " + square,
                     "grid3 " + square + " " + square, "gap 3"}));
}

TEST_F(BookLayoutTest, AttachmentsWithoutPictures) {
    TempDir dir;
    auto pdf = dir.write("report.pdf", "not really a pdf");
    Message m = message(1, march5, std::nullopt, "");
    m.attachments = {attachment("A1", dir / "IMG_9.HEIC"),              // not on this computer
                     attachment("A2", dir / "Audio Message.caf"),       // not on this computer either
                     attachment("A3", dir / "song.mp3"),
                     attachment("A4", pdf), attachment("A5", dir / "clip.mov")};
    Lines b = body(thread(oneToOne(), {m}));
    EXPECT_EQ(Lines(b.begin() + 5, b.end()),
              (Lines{"gap 2", "bubble me 📷 IMG_9.HEIC\nNot in this history", "gap 2",
                     "bubble me 🎙\uFE0F Audio message\nNot in this history", "gap 2", "bubble me 🎙\uFE0F song.mp3\nNot in this history",
                     "gap 2", "bubble me 📎 report.pdf", "gap 2", "bubble me 🎬 clip.mov\nNot in this history", "gap 3"}));
    // The owner's "not in this history" line is white at 80 %, everyone else's grey.
    BlockList list = blocks(thread(oneToOne(), {m}), book);
    auto bubble = dynamic_cast<const BubbleBlock*>(list[8].get());
    ASSERT_TRUE(bubble);
    EXPECT_EQ(bubble->text().runs().back().attributes.color, (graphics::Color{1, 1, 1, 0.8}));
}

TEST_F(BookLayoutTest, VideoStillWithDuration) {
    TempDir dir;
    auto clip = dir / "clip.mp4";
    std::string command = "ffmpeg -loglevel quiet -f lavfi -i color=c=blue:s=320x240:d=7 -pix_fmt yuv420p -y '" +
                          clip.string() + "'";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "ffmpeg is not available";
    Message m = message(1, march5, anna, "");
    m.attachments = {attachment("V1", clip)};
    Lines b = body(thread(oneToOne(), {m}));
    // Alone, a picture is never shown beyond its natural size at 144 dpi.
    EXPECT_EQ(b[6], "photo 160x120 \u25B6\uFE0E 0:07");
}

TEST_F(BookLayoutTest, CoverTitles) {
    auto t = thread(oneToOne(), {message(1, march5, anna, "a")});
    // An owner's name of blanks, two words and a trailing blank gives its first word.
    EXPECT_EQ(BookLayout::title(t, options(ExportLayout::book, Paper::letter, "  Ben Ode ")), "Anna & Ben");
    // Without an owner's name the conversation's own title.
    EXPECT_EQ(BookLayout::title(t, options(ExportLayout::book, Paper::letter, " \t")), "Anna Berg");
    auto noName = thread(oneToOne(), {});
    noName.conversation.participants = {Participant{"+15551234567", std::nullopt}};
    EXPECT_EQ(BookLayout::title(noName, book), "+1 (555) 123-4567 & Cleo");
    EXPECT_EQ(BookLayout::title(thread(group({anna, ben}, "Trip"), {}), book), "Trip");
    EXPECT_EQ(BookLayout::title(thread(group({anna, ben}, ""), {}), book), "Anna and Ben");
}

TEST_F(BookLayoutTest, CoverCountsArePluralAndThePhotoIsTheLast) {
    TempDir dir;
    auto p = writeJPEG(dir / "IMG_1.jpg", 40, 30);
    Message m = message(1, march5, anna, "a");
    m.attachments = {attachment("A1", p), attachment("A2", dir / "gone.jpg")};
    Lines l = lines(thread(oneToOne(), {m}));
    EXPECT_EQ(l[0], "cover Anna & Cleo | 1 messages \u00b7 1 photos | March 5, 2024 | photo");

    std::vector<Message> many;
    for (int i = 0; i < 1234; ++i) many.push_back(message(i + 1, march5 + i, anna, "x"));
    EXPECT_EQ(lines(thread(oneToOne(), many))[0], "cover Anna & Cleo | 1,234 messages | March 5, 2024");
}

TEST(RecordLayoutLinked, MarksTheFirstOccurrenceOfEachLink) {
    auto t = RecordLayout::linked("See https://a.example/x and 😀 https://b.example, again https://a.example/x",
                                  {"https://a.example/x", "https://b.example", "https://missing.example"},
                                  BookLayout::body(), Ink::text);
    std::vector<std::pair<size_t, size_t>> linked;
    for (const auto& run : t.runs()) {
        if (!run.attributes.link) continue;
        linked.emplace_back(run.location, run.length);
        EXPECT_EQ(run.attributes.color, Ink::blue);
        EXPECT_TRUE(run.attributes.underline);
    }
    // The emoji before the second link counts two UTF-16 units.
    EXPECT_EQ(linked, (std::vector<std::pair<size_t, size_t>>{{4, 19}, {31, 17}}));
    auto white = RecordLayout::linked("https://a.example", {"https://a.example"}, BookLayout::body(), Ink::white);
    EXPECT_EQ(white.runs()[0].attributes.color, Ink::white);
    EXPECT_EQ(white.runs()[0].attributes.link, "https://a.example");
}

}  // namespace
}  // namespace quillmark
