// The sample's files are real files of their kind, and the pieces written without a tool hold together.
#include <cstring>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "sample_history/bulk.h"
#include "sample_history/media.h"
#include "sample_history/random.h"
#include "sample_history/sample_history.h"
#include "support/temp_dir.h"

namespace quillmark::sample {
namespace {

namespace fs = std::filesystem;
using Truth = SampleHistory::Truth;

bool startsWith(const std::string& bytes, std::string_view prefix) { return bytes.compare(0, prefix.size(), prefix) == 0; }

// The first bytes of each kind of file the showcase sends, from the formats' own definitions.
bool looksLike(const std::string& name, const std::string& bytes) {
    const std::string extension = fs::path(name).extension().string();
    if (extension == ".JPG") return startsWith(bytes, "\xFF\xD8\xFF");
    if (extension == ".png") return startsWith(bytes, "\x89PNG\r\n\x1A\n");
    if (extension == ".HEIC") return bytes.substr(4, 8) == "ftypheic";
    if (extension == ".mp4") return bytes.substr(4, 4) == "ftyp";
    if (extension == ".MOV") return bytes.substr(4, 8) == "ftypqt  ";
    if (extension == ".caf") return startsWith(bytes, "caff");
    if (extension == ".m4a") return bytes.substr(4, 8) == "ftypM4A ";
    if (extension == ".mp3") return startsWith(bytes, "ID3") || (bytes.size() > 1 && (bytes[0] & 0xFF) == 0xFF);
    if (extension == ".wav") return startsWith(bytes, "RIFF") && bytes.substr(8, 4) == "WAVE";
    if (extension == ".pdf") return startsWith(bytes, "%PDF-") && bytes.find("%%EOF") != std::string::npos;
    if (extension == ".zip") return startsWith(bytes, "PK\x03\x04");
    if (extension == ".txt") return !bytes.empty();
    return false;
}

TEST(SampleMedia, EveryAvailableAttachmentIsARealFileOfItsKindAndTheMissingOneIsMissing) {
    testing::TempDir dir;
    auto truth = SampleHistory::write(dir.path(), {});
    ASSERT_TRUE(truth) << truth.error();
    std::set<std::string> extensions;
    int missing = 0;
    for (const auto& c : truth->conversations)
        for (const auto& m : c.messages)
            for (const auto& a : m.attachments) {
                SCOPED_TRACE(a.name);
                if (!a.isAvailable) {
                    ++missing;
                    EXPECT_FALSE(fs::exists(a.path));
                    continue;
                }
                const std::string bytes = testing::readFile(a.path);
                EXPECT_EQ(static_cast<int64_t>(bytes.size()), a.byteCount);
                EXPECT_TRUE(looksLike(a.name, bytes));
                extensions.insert(fs::path(a.name).extension().string());
                // The portrait photo is stored on its side with EXIF orientation 6; the PNG has an alpha
                // channel (colour type 6 in its header).
                if (a.name == "IMG_4021.JPG") {
                    EXPECT_NE(bytes.find(std::string("\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06", 10)), std::string::npos);
                }
                if (a.name == "logo-draft.png") {
                    EXPECT_EQ(bytes[25], 6);
                }
            }
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(extensions, (std::set<std::string>{".JPG", ".png", ".HEIC", ".mp4", ".MOV", ".caf", ".m4a", ".mp3",
                                                 ".wav", ".pdf", ".zip", ".txt"}));
}

TEST(SampleMedia, OrientationGoesAfterTheJFIFHeaderAndOnlyIntoJPEGs) {
    const std::vector<uint8_t> jfif = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 'J', 'F', 0xFF, 0xD9};
    auto rotated = media::withOrientation(jfif, 6);
    ASSERT_TRUE(rotated);
    EXPECT_EQ(rotated->size(), jfif.size() + 36);
    EXPECT_EQ((std::vector<uint8_t>(rotated->begin(), rotated->begin() + 8)),
              (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 'J', 'F'}));
    EXPECT_EQ((*rotated)[8], 0xFF);
    EXPECT_EQ((*rotated)[9], 0xE1);
    EXPECT_EQ(std::string(rotated->begin() + 12, rotated->begin() + 16), "Exif");
    EXPECT_EQ((std::vector<uint8_t>(rotated->end() - 2, rotated->end())), (std::vector<uint8_t>{0xFF, 0xD9}));

    EXPECT_FALSE(media::withOrientation({0x89, 'P', 'N', 'G'}, 6));
    // A JFIF header claiming more bytes than there are is not walked past.
    EXPECT_FALSE(media::withOrientation({0xFF, 0xD8, 0xFF, 0xE0, 0x40, 0x00}, 6));
}

TEST(SampleMedia, PDFCrossReferencesPointAtTheirObjects) {
    const std::string pdf = media::pdf({"Plan (draft) \\ v2"});
    const size_t startxref = pdf.rfind("startxref\n");
    ASSERT_NE(startxref, std::string::npos);
    const size_t xref = std::stoul(pdf.substr(startxref + 10));
    ASSERT_EQ(pdf.compare(xref, 4, "xref"), 0);
    // Each in-use entry's offset must land on "N 0 obj".
    size_t line = pdf.find('\n', pdf.find('\n', xref) + 1) + 1;  // past "xref" and "0 6"
    line = pdf.find('\n', line) + 1;                              // past the free entry
    for (int object = 1; object <= 5; ++object, line += 20) {
        const size_t offset = std::stoul(pdf.substr(line, 10));
        EXPECT_EQ(pdf.compare(offset, std::to_string(object).size() + 6, std::to_string(object) + " 0 obj"), 0) << object;
    }
    EXPECT_NE(pdf.find("(Plan \\(draft\\) \\\\ v2) Tj"), std::string::npos);
    EXPECT_NE(pdf.find("/MediaBox [0 0 612 792]"), std::string::npos);
}

TEST(SampleBulk, MessagesAreSharedExactlyWithTheFirstConversationTakingItsShare) {
    struct Case {
        int64_t conversations, messages, largest;
    };
    for (const Case& c : {Case{1, 500, 50}, Case{2, 2, 1}, Case{3, 3, 900}, Case{4987, 999623, 100000}, Case{10, 1000, 100}}) {
        BulkShape shape;
        shape.conversations = c.conversations;
        shape.messages = c.messages;
        shape.largest = c.largest;
        const auto counts = shareMessages(shape);
        ASSERT_EQ(static_cast<int64_t>(counts.size()), c.conversations);
        int64_t sum = 0;
        for (int64_t n : counts) {
            EXPECT_GE(n, 1);
            sum += n;
        }
        EXPECT_EQ(sum, c.messages);
        if (c.conversations > 1) {
            EXPECT_EQ(counts[0], std::min(c.largest, c.messages - (c.conversations - 1)));
        }
    }
}

TEST(SampleRandom, TheEngineIsTheStandardOneSoHistoriesMatchAcrossLibraries) {
    // The C++ standard fixes the 10000th output of a default-seeded mt19937_64.
    Random random(5489);
    uint64_t value = 0;
    for (int i = 0; i < 10000; ++i) value = random.next();
    EXPECT_EQ(value, 9981545732273789042ULL);
    EXPECT_NE(uuidFor(42), uuidFor(43));
}

}  // namespace
}  // namespace quillmark::sample
