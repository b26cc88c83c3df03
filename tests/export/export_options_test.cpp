#include "export/export_options.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "export_fixtures.h"

namespace quillmark {
namespace {

using nlohmann::ordered_json;
using testing::ScopedEnv;

TEST(ExportEnumerations, RawValuesAreExactAndPaperFollowsTheRegion) {
    EXPECT_EQ(ExportLayout::fromRaw("book"), ExportLayout::book);
    EXPECT_FALSE(ExportLayout::fromRaw("Book"));
    EXPECT_FALSE(ExportFormat::fromRaw("PDF"));
    EXPECT_FALSE(Paper::fromRaw("A4"));

    EXPECT_EQ(Paper::forRegion("en_GB"), Paper::a4);
    EXPECT_EQ(Paper::forRegion("es_PR"), Paper::letter);
    // Without a region the locale is read as American.
    EXPECT_EQ(Paper::forRegion("fr"), Paper::letter);

    const ScopedEnv all("LC_ALL", "en_GB.UTF-8");
    EXPECT_EQ(Paper::forCurrentRegion(), Paper::a4);
}

TEST(ExportOptions, ExportTimeIsKeptToTheNearestMillisecondHalvesAwayFromZero) {
    auto made = [](double seconds) {
        return ExportOptions::make(ExportLayout::book, Paper::a4, "UTC", "en_US", "", Date{seconds}, "1");
    };
    EXPECT_EQ(made(1.0625).exportedAt.milliseconds(), 1063);  // 1062.5 ms, exactly representable
    EXPECT_EQ(made(1.0624).exportedAt.milliseconds(), 1062);
    const ExportOptions options = made(1712345678.9876);
    EXPECT_EQ(ExportOptions::decode(options.encode()), options);  // stored and read back, still equal
}

TEST(ExportOptions, MeIsYouOnlyForABlankName) {
    auto me = [](const std::string& name) {
        return ExportOptions::make(ExportLayout::book, Paper::a4, "UTC", "en_US", name, Date{0}, "1").me();
    };
    EXPECT_EQ(me("   "), "You");
    EXPECT_EQ(me(""), "You");
    EXPECT_EQ(me("\t\u00A0\u2009"), "You");  // tab, no-break space and thin space are blanks too
    EXPECT_EQ(me(" Anna Berg "), " Anna Berg ");  // a real name is kept as typed, blanks and all
}

TEST(ExportOptions, EncodesTheKeysInOrder) {
    const auto options =
        ExportOptions::make(ExportLayout::book, Paper::a4, "Europe/Berlin", "de_DE", "Anna", Date{1712345678.5}, "2.0");
    EXPECT_EQ(options.encode().dump(),
              R"({"layout":"book","paper":"a4","timeZoneID":"Europe/Berlin","localeID":"de_DE","meName":"Anna",)"
              R"("exportedAt":1712345678500,"appVersion":"2.0"})");
}

TEST(ExportOptions, DecodingNeedsEveryKeyWithAValueOfItsKind) {
    const ordered_json good = testing::options().encode();
    ASSERT_TRUE(ExportOptions::decode(good));

    auto withUnknown = good;
    withUnknown["future"] = 42;
    EXPECT_TRUE(ExportOptions::decode(withUnknown));

    for (const char* key : {"layout", "paper", "timeZoneID", "localeID", "meName", "exportedAt", "appVersion"}) {
        auto without = good;
        without.erase(key);
        const auto decoded = ExportOptions::decode(without);
        ASSERT_FALSE(decoded) << key;
        EXPECT_NE(decoded.error().description().find(key), std::string::npos);
    }
    const std::pair<const char*, ordered_json> wrong[] = {{"paper", "b5"}, {"meName", nullptr}, {"exportedAt", 1.5}};
    for (const auto& [key, value] : wrong) {
        auto bad = good;
        bad[key] = value;
        EXPECT_FALSE(ExportOptions::decode(bad)) << key << " = " << value.dump();
    }
    EXPECT_FALSE(ExportOptions::decode(ordered_json::array()));
}

TEST(ExportOptions, UnknownZoneIsTheMachinesAndTheVersionTheBuilds) {
    const ScopedEnv tz("TZ", "Asia/Tokyo");
    EXPECT_EQ(testing::options("Mars/Olympus_Mons").timeZone(), "Asia/Tokyo");
    EXPECT_EQ(testing::options("").timeZone(), "Asia/Tokyo");
    EXPECT_EQ(testing::options("Europe/Berlin").timeZone(), "Europe/Berlin");
    EXPECT_EQ(ExportOptions::currentAppVersion(), QUILLMARK_TEST_PROJECT_VERSION);
}

}  // namespace
}  // namespace quillmark
