// Drawing into PDFs and reading them back: what is measured is what is drawn, emoji and links survive,
// the same export gives the same bytes, the document information round-trips, and damaged input is
// refused without crashing.
#include <cmath>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "export/graphics/pdf_document.h"
#include "export/graphics/pdf_writer.h"
#include "export/graphics/text_layout.h"
#include "graphics_test_support.h"
#include "support/pdf_objects.h"
#include "support/temp_dir.h"

namespace quillmark::graphics {
namespace {

using testing::body;
using testing::onePage;
using testing::run;
using testing::words;

std::set<std::string> tokens(const std::string& text) {
    std::set<std::string> result;
    std::istringstream in(text);
    for (std::string token; in >> token;) result.insert(token);
    return result;
}

std::string pageText(const std::vector<uint8_t>& pdf, int page = 0) {
    auto document = PDFDocument::open(pdf);
    return document ? document->pageText(page) : "<no document>";
}

// Runs a tool on the document written to a file: `{}` in the command stands for the file's quoted path.
testing::ToolResult runOn(const std::vector<uint8_t>& pdf, const std::string& command) {
    quillmark::testing::TempDir dir;
    testing::writeFile(dir / "in.pdf", pdf);
    const size_t at = command.find("{}");
    return run(command.substr(0, at) + "'" + (dir / "in.pdf").string() + "'" + command.substr(at + 2));
}

// The document with its streams uncompressed, as qpdf writes it for reading.
std::string uncompressed(const std::vector<uint8_t>& pdf) {
    return runOn(pdf, "qpdf --qdf --object-streams=disable {} -").output;
}

size_t count(const std::string& haystack, const std::string& needle) {
    size_t n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
}

// qpdf's verdict: nothing but "no errors" lines.
void expectCleanCheck(const std::vector<uint8_t>& pdf) {
    const testing::ToolResult check = runOn(pdf, "qpdf --check {}");
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
    EXPECT_NE(check.output.find("No syntax or stream encoding errors"), std::string::npos) << check.output;
}

Picture gradient(int width, int height) {
    Picture p{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 3), std::nullopt};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = &p.rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            px[0] = uint8_t(x * 255 / width);
            px[1] = uint8_t(y * 255 / height);
            px[2] = 128;
        }
    return p;
}

// Everything a page can hold, for the whole-document checks.
std::vector<uint8_t> richDocument(const DocumentInfo& info) {
    AttributedText text("Anna (work) wrote: see https://example.com/a(b) 👍❤️ مرحبا 你好 ", body());
    text.setLink(22, 24, "https://example.com/a(b)");
    Picture jpeg = gradient(64, 48);
    if (auto bytes = jpeg.encodeJPEG(0.8)) jpeg.jpeg = std::move(*bytes);
    PDFWriter writer(info, {612, 792});
    for (int page = 0; page < 2; ++page) {
        writer.page([&](Canvas& canvas) {
            canvas.fill({0, 0, 612, 792}, Color::rgb255(255, 255, 255));
            canvas.fill({54, 54, 300, 60}, Color::rgb255(10, 122, 255), 15);
            canvas.text(text, {65, 61, 278, TextLayout::height(text, 278)});
            canvas.strokeRect({54, 130, 200, 80}, {Color::rgb255(154, 154, 160), 0.8, {3, 2.5}, 0}, 14);
            canvas.line({54, 220}, {558, 220}, {Color::rgb255(216, 216, 220), 0.6, {}, 0});
            canvas.image(jpeg, {54, 240, 160, 120}, 14);
            canvas.image(gradient(20, 10), {230, 240, 100, 50});
        });
    }
    return writer.finish();
}

DocumentInfo sampleInfo() {
    return {.title = "Messages with Anna (work) \\ Zoë 🎉",
            .author = "   ",
            .creator = "Quillmark 1.0",
            .subject = "Messages, 1 Jan – 2 Feb 2024 · SHA-256 abc",
            .keywords = "quillmark-verify:eyJ2ZXJzaW9uIjoxfQ",
            .creationDate = Date{1700000000.5}};
}

TEST(PDFDrawing, TextDrawnAtItsMeasuredHeightComesOutWholeAndOneLineLessIsCut) {
    QUILLMARK_REQUIRE_FONTS();
    const AttributedText text(words(80), body());
    const double width = 220;
    const double h = TextLayout::height(text, width);
    // The canvas adds 2 points to the rectangle: h − 2 leaves exactly the measured height.
    const std::string whole = pageText(onePage([&](Canvas& c) { c.text(text, {54, 100, width, h - 2}); }));
    const std::set<std::string> drawn = tokens(whole);
    for (int i = 0; i < 80; ++i) EXPECT_TRUE(drawn.count("word" + std::to_string(i))) << "word" << i << " in " << whole;

    // One point less and the last line is not drawn, exactly the part that fitting leaves out.
    const size_t n = TextLayout::fitting(text, width, h - 1);
    ASSERT_LT(n, text.length());
    const std::set<std::string> cut =
        tokens(pageText(onePage([&](Canvas& c) { c.text(text, {54, 100, width, h - 3}); })));
    EXPECT_EQ(cut, tokens(text.substring(0, n).string()));
    EXPECT_FALSE(cut.count("word79"));
    // Text taller than its rectangle draws nothing at all.
    EXPECT_TRUE(tokens(pageText(onePage([&](Canvas& c) { c.text(AttributedText("Hello", body(20)), {54, 100, 200, 5}); }))).empty());
}

TEST(PDFDrawing, NaturalWidthHoldsTheWordThatWasMeasured) {
    QUILLMARK_REQUIRE_FONTS();
    const AttributedText word("Extraordinary", body(12));
    const double natural = TextLayout::natural(word);
    // At its natural width the word stays whole on one line; much narrower it breaks.
    const auto drawn = [&](double width) {
        return pageText(onePage([&](Canvas& c) { c.text(word, {54, 100, width, 200}); }));
    };
    EXPECT_TRUE(tokens(drawn(natural)).count("Extraordinary"));
    EXPECT_FALSE(tokens(drawn(natural / 2)).count("Extraordinary"));
}

TEST(PDFDrawing, EmojiAreReadableTextAndSharpPictures) {
    QUILLMARK_REQUIRE_FONTS();
    QUILLMARK_REQUIRE_TOOL("pdfimages");
    const std::string family = "👨‍👩‍👧‍👦";
    const AttributedText text("Great 👍 love ❤️ all " + family + " from 🇩🇪 👍👍 #️⃣ 10 ©", body(10));
    // The same paragraph twice: a text drawn again keeps its emoji.
    const std::vector<uint8_t> pdf = onePage([&](Canvas& c) {
        c.text(text, {54, 100, 400, 60});
        c.text(text, {54, 300, 400, 60});
    });
    const std::string extracted = pageText(pdf);
    for (const std::string& emoji : std::vector<std::string>{"👍", "❤️", family, "🇩🇪", "👍👍", "#️⃣"}) {
        EXPECT_NE(extracted.find(emoji), std::string::npos) << emoji << " in " << extracted;
    }
    EXPECT_EQ(count(extracted, "❤️"), 2u) << extracted;
    EXPECT_EQ(count(extracted, "👍"), 6u) << extracted;
    EXPECT_NE(extracted.find("10 ©"), std::string::npos) << extracted;  // digits and © stay text

    // Each distinct emoji is one image, at least four pixels per point (an emoji at 10 points is about
    // 12.5 points wide), however often it appears.
    const testing::ToolResult list = runOn(pdf, "pdfimages -list {}");
    ASSERT_EQ(list.status, 0) << list.output;
    std::set<int> objects;
    std::istringstream lines(list.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string page, num, type, color, comp, bpc, enc, interp;
        int width = 0, height = 0, object = 0;
        if (!(fields >> page >> num >> type >> width >> height) || type != "image") continue;  // the heading too
        EXPECT_GE(width, 50) << line;
        EXPECT_GE(height, 50) << line;
        fields >> color >> comp >> bpc >> enc >> interp >> object;
        objects.insert(object);
    }
    EXPECT_EQ(objects.size(), 5u) << list.output;  // 👍 ❤️ family flag keycap
    if (testing::hasTool("qpdf")) expectCleanCheck(pdf);
}

TEST(PDFDrawing, LinksAnnotateTheRectangleWithAnEscapedURI) {
    QUILLMARK_REQUIRE_FONTS();
    QUILLMARK_REQUIRE_TOOL("qpdf");
    AttributedText text("Open the link, or this one, not that.", body());
    text.setLink(5, 8, "https://example.com/a b(c)'d\\e?q=ü");
    text.setColor(9, 4, Color::rgb255(10, 122, 255));  // one link over two runs: one annotation
    text.setLink(18, 8, "mailto:anna@example.com");
    text.setLink(28, 8, "javascript:alert(1)");
    const std::vector<uint8_t> pdf = onePage([&](Canvas& c) { c.text(text, {54, 100, 400, 30}); });
    expectCleanCheck(pdf);
    const std::string qdf = uncompressed(pdf);
    EXPECT_EQ(count(qdf, "/Subtype /Link"), 2u);
    EXPECT_NE(qdf.find("/URI (https://example.com/a%20b%28c%29%27d%5Ce?q=%C3%BC)"), std::string::npos);
    EXPECT_NE(qdf.find("/URI (mailto:anna@example.com)"), std::string::npos);
    EXPECT_EQ(qdf.find("javascript"), std::string::npos);
    // The annotation covers the whole rectangle, made 2 points taller: y from 792 − 132 to 792 − 100.
    const std::string raw(pdf.begin(), pdf.end());
    EXPECT_EQ(count(raw, "/Rect [ 54 660 454 692 ]"), 2u) << raw.substr(raw.find("/Rect"), 60);
}

TEST(PDFDrawing, LinkValuesBecomeSafeURIs) {
    EXPECT_EQ(Canvas::linkURI("https://example.com/a b(1)"), "https://example.com/a%20b%281%29");
    EXPECT_EQ(Canvas::linkURI("https://example.com/%41%zz"), "https://example.com/%41%25zz");
    EXPECT_EQ(Canvas::linkURI("tel:+15551234567"), "tel:+15551234567");
    EXPECT_EQ(Canvas::linkURI("HTTPS://x.org/\"<>{}|^`"), "HTTPS://x.org/%22%3C%3E%7B%7D%7C%5E%60");
    for (const char* refused : {"", "example.com", "://x", "1http://x", "https:", "JavaScript:alert(1)",
                                "file:///etc/passwd", "data:text/html,x", "vbscript:x"}) {
        EXPECT_EQ(Canvas::linkURI(refused), std::nullopt) << refused;
    }
}

TEST(PDFDrawing, RightToLeftAndCJKWordsExtractWhole) {
    QUILLMARK_REQUIRE_FONTS();
    const AttributedText text("Arabic مرحبا بالعالم Hebrew שלום עולם Chinese 你好世界 Hindi नमस्ते end", body(11));
    const std::set<std::string> extracted =
        tokens(pageText(onePage([&](Canvas& c) { c.text(text, {54, 100, 500, 40}); })));
    for (const std::string& word : std::vector<std::string>{"مرحبا", "بالعالم", "שלום", "עולם", "你好世界", "नमस्ते", "end"}) {
        bool found = false;
        for (const std::string& token : extracted) found = found || token.find(word) != std::string::npos;
        EXPECT_TRUE(found) << word;
    }
}

TEST(PDFDrawing, AlignmentPlacesLinesAtThePageSidesWhateverTheScript) {
    QUILLMARK_REQUIRE_FONTS();
    QUILLMARK_REQUIRE_TOOL("pdftotext");
    auto styled = [](const std::string& s, Alignment alignment) {
        TextAttributes a = body(12);
        a.paragraph.alignment = alignment;
        return AttributedText(s, a);
    };
    const std::vector<uint8_t> pdf = onePage([&](Canvas& c) {
        c.text(styled("Right", Alignment::right), {100, 100, 300, 20});
        c.text(styled("Middle", Alignment::center), {100, 150, 300, 20});
        c.text(styled("שלום", Alignment::left), {100, 200, 300, 20});
        c.text(styled("עולם", Alignment::right), {100, 250, 300, 20});
    });
    const testing::ToolResult boxes = runOn(pdf, "pdftotext -bbox {} -");
    ASSERT_EQ(boxes.status, 0);
    // The horizontal extent of everything on the line whose top is at y (pdftotext lists right-to-left
    // words letter by letter).
    auto extent = [&](double y) {
        const std::regex pattern("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\"");
        double left = 1e9, right = -1e9;
        for (std::sregex_iterator m(boxes.output.begin(), boxes.output.end(), pattern), end; m != end; ++m) {
            if (std::fabs(std::stod((*m)[2]) - y) > 3) continue;
            left = std::min(left, std::stod((*m)[1]));
            right = std::max(right, std::stod((*m)[3]));
        }
        EXPECT_LT(left, right) << "nothing at y " << y << "\n" << boxes.output;
        return std::pair{left, right};
    };
    EXPECT_NEAR(extent(100).second, 400, 1.5);
    EXPECT_NEAR((extent(150).first + extent(150).second) / 2, 250, 1.5);
    EXPECT_NEAR(extent(200).first, 100, 1.5);  // Hebrew aligned left stays at the left
    EXPECT_NEAR(extent(250).second, 400, 1.5);
}

TEST(PDFWriting, SameExportGivesTheSameBytesOnAnyThreadAndPassesQpdfCheck) {
    QUILLMARK_REQUIRE_FONTS();
    const std::vector<uint8_t> first = richDocument(sampleInfo());
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(richDocument(sampleInfo()), first);
    std::vector<uint8_t> other;
    std::thread([&] { other = richDocument(sampleInfo()); }).join();
    EXPECT_EQ(other, first);
    if (!testing::hasTool("qpdf")) return;
    expectCleanCheck(first);
    PDFWriter empty(sampleInfo(), {595.28, 841.89});
    empty.page([](Canvas&) {});
    expectCleanCheck(empty.finish());
}

TEST(PDFWriting, JPEGPicturesAreEmbeddedAsTheirBytesOnce) {
    QUILLMARK_REQUIRE_TOOL("qpdf");
    Picture photo = gradient(64, 48);
    auto jpeg = photo.encodeJPEG(0.8);
    if (!jpeg) GTEST_SKIP() << "no JPEG encoder";
    photo.jpeg = *jpeg;
    PDFWriter writer({}, {612, 792});
    writer.page([&](Canvas& c) {
        c.image(photo, {54, 54, 160, 120}, 14);
        c.image(photo, {300, 54, 80, 60});
    });
    writer.page([&](Canvas& c) { c.image(photo, {54, 54, 320, 240}); });
    const std::vector<uint8_t> pdf = writer.finish();
    expectCleanCheck(pdf);
    const std::string qdf = uncompressed(pdf);
    EXPECT_EQ(count(qdf, "/DCTDecode"), 1u);
    // The embedded stream is the JPEG itself.
    const std::string bytes(jpeg->begin(), jpeg->end());
    EXPECT_NE(std::string(pdf.begin(), pdf.end()).find(bytes), std::string::npos);

    // JPEG bytes that do not describe the picture are not trusted: its pixels are drawn instead.
    Picture damaged = photo;
    damaged.jpeg->resize(40);
    Picture resized = photo;
    resized.width = 32;
    resized.rgb.resize(32 * 48 * 3);
    for (const Picture& p : {damaged, resized}) {
        const std::vector<uint8_t> drawn = onePage([&](Canvas& c) { c.image(p, {54, 54, 160, 120}); });
        const std::string text = uncompressed(drawn);
        EXPECT_EQ(count(text, "/DCTDecode"), 0u);
        EXPECT_EQ(count(text, "/Subtype /Image"), 1u);
    }
}

TEST(PDFWriting, UnusableDrawingIsSkippedAndTheDocumentSurvives) {
    QUILLMARK_REQUIRE_FONTS();
    const std::vector<uint8_t> pdf = onePage([](Canvas& c) {
        c.fill({NAN, 0, 10, 10}, Color{});
        c.fill({0, 0, INFINITY, 10}, Color{}, 5);
        c.strokeRect({10, 10, 50, 50}, {Color{}, 1, {-3, 2}, 0});
        c.strokeRect({10, 10, 50, 50}, {Color{}, NAN, {0, 0}, 0});
        c.line({0, NAN}, {10, 10}, {Color{}, 1, {}, 0});
        c.image(Picture{10, 10, {1, 2, 3}, std::nullopt}, {10, 10, 10, 10});  // too few pixels
        c.image(Picture{}, {10, 10, 10, 10});
        c.text(AttributedText("still here", body()), {54, 100, 300, 20});
    });
    ASSERT_FALSE(pdf.empty());
    EXPECT_TRUE(tokens(pageText(pdf)).count("still"));
    if (testing::hasTool("qpdf")) expectCleanCheck(pdf);
}

TEST(PDFWriting, UnusablePageSizeGivesNoDocument) {
    for (Size size : {Size{0, 792}, Size{NAN, 792}, Size{612, INFINITY}, Size{1e9, 1e9}}) {
        PDFWriter writer({}, size);
        EXPECT_FALSE(writer.isValid());
        writer.page([](Canvas&) { FAIL() << "drawn on a document that does not exist"; });
        EXPECT_TRUE(writer.finish().empty());
    }
    PDFWriter writer({}, {612, 792});
    EXPECT_TRUE(writer.isValid());
    EXPECT_FALSE(writer.finish().empty());
    EXPECT_TRUE(writer.finish().empty());  // finished once only
}

TEST(PDFReading, DocumentInformationRoundTrips) {
    QUILLMARK_REQUIRE_FONTS();
    DocumentInfo info = sampleInfo();
    info.keywords = "quillmark-verify:";
    for (int i = 0; info.keywords.size() < 2600; ++i) info.keywords += "eyJjaGF0cyI6WyJpTWVzc2FnZTs-O2FubmFAZXhhbXBsZS5jb20iXX0_" + std::to_string(i);
    const std::vector<uint8_t> pdf = richDocument(info);
    auto document = PDFDocument::open(pdf);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->info("Title"), info.title);
    EXPECT_EQ(document->info("Author"), info.author);
    EXPECT_EQ(document->info("Creator"), info.creator);
    EXPECT_EQ(document->info("Subject"), info.subject);
    EXPECT_EQ(document->info("Keywords"), info.keywords);
    EXPECT_EQ(document->keywords(), std::vector<std::string>{info.keywords});
    EXPECT_EQ(document->info("Trapped"), std::nullopt);
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_EQ(document->pageSize(1), (Size{612, 792}));
    EXPECT_EQ(document->pageSize(2), std::nullopt);
    EXPECT_EQ(document->pageText(2), "");
    EXPECT_EQ(document->pageText(-1), "");
    EXPECT_EQ(document->pageText(0), document->pageText(1));
    // A file opens as its bytes do.
    quillmark::testing::TempDir dir;
    testing::writeFile(dir / "export.pdf", pdf);
    auto fromFile = PDFDocument::open((dir / "export.pdf").string());
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->keywords(), document->keywords());
    EXPECT_EQ(fromFile->pageText(1), document->pageText(1));
    PDFDocument moved = std::move(*fromFile);
    EXPECT_EQ(moved.pageCount(), 2);

    if (testing::hasTool("pdfinfo")) {
        const std::string shown = runOn(pdf, "pdfinfo {}").output;
        EXPECT_NE(shown.find("CreationDate:    Tue Nov 14 22:13:20 2023 UTC"), std::string::npos) << shown;
        EXPECT_NE(shown.find("ModDate:         Tue Nov 14 22:13:20 2023 UTC"), std::string::npos) << shown;
    }
}

TEST(PDFReading, KeywordsKeptOnlyInXMPComeBackAsAList) {
    // A small document as a re-saving program might leave it: no Keywords in the information
    // dictionary, the keywords as dc:subject items in the XMP metadata.
    const std::string xmp =
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
        "<rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:subject><rdf:Bag>"
        "<rdf:li>other</rdf:li><rdf:li>quillmark-verify:abc&amp;d</rdf:li></rdf:Bag></dc:subject>"
        "</rdf:Description></rdf:RDF></x:xmpmeta>";
    const std::string pdf = quillmark::testing::pdfOfObjects(
        {"<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>",
         "<< /Type /Metadata /Subtype /XML /Length " + std::to_string(xmp.size()) + " >>\nstream\n" + xmp + "\nendstream",
         "<< /Title (Old) >>"},
        "/Root 1 0 R /Info 5 0 R");
    auto document = PDFDocument::open(std::vector<uint8_t>(pdf.begin(), pdf.end()));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->info("Title"), "Old");
    EXPECT_EQ(document->keywords(), (std::vector<std::string>{"other", "quillmark-verify:abc&d"}));
    EXPECT_EQ(document->pageSize(0), (Size{200, 100}));
}

TEST(PDFReading, DamagedInputGivesNoDocumentAndNeverCrashes) {
    QUILLMARK_REQUIRE_FONTS();
    EXPECT_FALSE(PDFDocument::open(std::vector<uint8_t>{}));
    const std::string garbage = "this is not a PDF at all, just some words\n";
    EXPECT_FALSE(PDFDocument::open(std::vector<uint8_t>(garbage.begin(), garbage.end())));
    const std::string header = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    EXPECT_FALSE(PDFDocument::open(std::vector<uint8_t>(header.begin(), header.end())));
    EXPECT_FALSE(PDFDocument::open("/nonexistent/quillmark.pdf"));
    EXPECT_FALSE(PDFDocument::open("/"));

    // Cut anywhere, a document either fails to open or opens without its record; reading what is there
    // never crashes.
    const std::vector<uint8_t> pdf = richDocument(sampleInfo());
    for (size_t cut : {size_t(100), pdf.size() / 3, pdf.size() / 2, pdf.size() - 200, pdf.size() - 10}) {
        const std::vector<uint8_t> truncated(pdf.begin(), pdf.begin() + long(cut));
        auto document = PDFDocument::open(truncated);
        if (!document) continue;
        for (int page = 0; page < document->pageCount(); ++page) {
            (void)document->pageText(page);
            (void)document->pageSize(page);
        }
        (void)document->keywords();
    }
    // Bytes flipped in the middle.
    std::vector<uint8_t> damaged = pdf;
    for (size_t i = damaged.size() / 4; i < damaged.size() / 2; i += 97) damaged[i] ^= 0x5A;
    if (auto document = PDFDocument::open(damaged)) (void)document->pageText(0);
}

}  // namespace
}  // namespace quillmark::graphics
