// Property: any text with markers and links, archived by our writer, reads back to the same text and to
// runs that give every UTF-16 unit the attributes it was archived with.
#include <random>

#include <gtest/gtest.h>

#include "body/attributed_body.h"
#include "body/attributed_body_writer.h"
#include "core/text.h"

namespace quillmark {
namespace {

struct UnitAttributes {
    int64_t part = 0;
    std::optional<std::string> guid;
    std::optional<std::string> link;

    friend bool operator==(const UnitAttributes&, const UnitAttributes&) = default;
};

const std::vector<std::string> pieces{
    "a", "Hello", " ", "  ", "\n", "\t", "\xef\xbf\xbc",           // letters, white space, the marker
    "\xf0\x9f\x98\x80",                                            // U+1F600, two UTF-16 units
    "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb",                // a ZWJ sequence
    "e\xcc\x81", "\xcc\xb8",                                       // combining marks, one standing alone
    "\xe4\xbd\xa0\xe5\xa5\xbd", "\xd8\xa3\xd9\x87\xd9\x84\xd8\xa7", // CJK, Arabic
    "example.com", "https://example.com/p?q=1", "docs", "\xc3\xa9t\xc3\xa9",
};

const std::vector<std::string> targets{
    "https://example.com/p?q=1", "mailto:a@example.com", "https://example.com/%E2%82%AC", "not a url",
    "https://example.com/\xc3\xa9", "tel:+15555550100", "relative/path#frag",
};

// What each UTF-16 unit should carry, worked out unit by unit from the writer's contract.
std::vector<UnitAttributes> expectedUnits(const std::string& text, const std::vector<std::string>& guids,
                                          const std::map<std::string, std::string>& links) {
    const std::u16string units = text::toUTF16(text);
    std::vector<UnitAttributes> out(units.size());
    size_t next = 0;
    for (size_t i = 0; i < units.size() && next < guids.size(); ++i) {
        if (units[i] != u'\uFFFC') continue;
        out[i].part = static_cast<int64_t>(next) + 1;
        out[i].guid = guids[next++];
    }
    for (const auto& [visible, target] : links) {
        const bool valid = target.find(' ') == std::string::npos && text::isValidUTF8(target) &&
                           std::all_of(target.begin(), target.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!valid || visible.empty()) continue;
        const std::u16string needle = text::toUTF16(visible);
        const size_t at = units.find(needle);
        if (at == std::u16string::npos) continue;
        for (size_t i = at; i < at + needle.size(); ++i) out[i].link = target;
    }
    return out;
}

std::vector<UnitAttributes> decodedUnits(const AttributedBody& body) {
    std::vector<UnitAttributes> out;
    for (const auto& run : body.runs) {
        EXPECT_EQ(run.location, static_cast<int64_t>(out.size()));
        EXPECT_GT(run.length, 0);
        EXPECT_TRUE(run.partIndex);
        EXPECT_EQ(run.mention, std::nullopt);
        for (int64_t i = 0; i < run.length; ++i)
            out.push_back(UnitAttributes{run.partIndex.value_or(-1), run.attachmentGUID, run.link});
    }
    return out;
}

TEST(AttributedBodyRoundTrip, randomTextsWithMarkersAndLinksReadBackUnitForUnit) {
    std::mt19937 random(20240601);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    for (int c = 0; c < 3000; ++c) {
        std::string text;
        const size_t length = pick(14);
        for (size_t i = 0; i < length; ++i) text += pieces[pick(pieces.size())];
        std::vector<std::string> guids;
        for (size_t i = pick(5); i > 0; --i) guids.push_back("at_" + std::to_string(c) + "_" + std::to_string(i));
        std::map<std::string, std::string> links;
        for (size_t i = pick(4); i > 0; --i) links[pieces[pick(pieces.size())]] = targets[pick(targets.size())];

        SCOPED_TRACE("case " + std::to_string(c) + ": \"" + text + "\"");
        const auto body = AttributedBody::decode(AttributedBodyWriter::archive(text, guids, links));
        ASSERT_TRUE(body);
        EXPECT_EQ(body->text, text);
        const auto units = decodedUnits(*body);
        const auto expected = expectedUnits(text, guids, links);
        ASSERT_EQ(units.size(), expected.size());
        for (size_t i = 0; i < units.size(); ++i) ASSERT_EQ(units[i], expected[i]) << "unit " << i;
        // Neighbouring runs differ: equal attributes are written as one run.
        for (size_t i = 1; i < body->runs.size(); ++i) {
            const auto& a = body->runs[i - 1];
            const auto& b = body->runs[i];
            EXPECT_FALSE(a.partIndex == b.partIndex && a.attachmentGUID == b.attachmentGUID && a.link == b.link);
        }
    }
}

}  // namespace
}  // namespace quillmark
