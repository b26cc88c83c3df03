#include "export/export_options.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "export_fixtures.h"

namespace quillmark {
namespace {

using nlohmann::ordered_json;
using testing::ScopedEnv;

TEST(ExportEnumerations, RawValuesRoundTripAndNothingElseDecodes) {
    for (const auto value : ExportLayout::allCases)
        EXPECT_EQ(ExportLayout::fromRaw(ExportLayout(value).rawValue()), ExportLayout(value));
    for (const auto value : ExportFormat::allCases)
        EXPECT_EQ(ExportFormat::fromRaw(ExportFormat(value).rawValue()), ExportFormat(value));
    for (const auto value : Paper::allCases) EXPECT_EQ(Paper::fromRaw(Paper(value).rawValue()), Paper(value));

    EXPECT_EQ(ExportLayout(ExportLayout::record).rawValue(), "record");
    EXPECT_EQ(ExportFormat(ExportFormat::csv).fileExtension(), "csv");
    EXPECT_EQ(Paper(Paper::a4).rawValue(), "a4");
    // Raw values are exact, lower-case texts.
    EXPECT_FALSE(ExportLayout::fromRaw("Book"));
    EXPECT_FALSE(ExportFormat::fromRaw("PDF"));
    EXPECT_FALSE(Paper::fromRaw("A4"));
    EXPECT_FALSE(Paper::fromRaw(""));
}

TEST(ExportEnumerations, PaperSizesAndRegions) {
    EXPECT_EQ(Paper(Paper::letter).size(), (Paper::Size{612, 792}));
    EXPECT_EQ(Paper(Paper::a4).size(), (Paper::Size{595.28, 841.89}));

    EXPECT_EQ(Paper::forRegion("en_GB"), Paper::a4);
    EXPECT_EQ(Paper::forRegion("de_DE"), Paper::a4);
    EXPECT_EQ(Paper::forRegion("es_PR"), Paper::letter);
    EXPECT_EQ(Paper::forRegion("fr_CA"), Paper::letter);
    EXPECT_EQ(Paper::forRegion("en_US"), Paper::letter);
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
    EXPECT_EQ(made(-1.0625).exportedAt.milliseconds(), -1063);
    EXPECT_DOUBLE_EQ(made(1.0625).exportedAt.seconds, 1.063);

    for (const double seconds : {1.0625, 1.0624, 1712345678.9876}) {
        const ExportOptions options = made(seconds);
        const auto decoded = ExportOptions::decode(options.encode());
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_EQ(*decoded, options);
    }
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

    // The enclosing format decides how the date is written.
    const auto encoded = options.encode([](Date d) { return ordered_json("at " + std::to_string(d.milliseconds())); });
    EXPECT_EQ(encoded["exportedAt"], "at 1712345678500");
    const auto decoded = ExportOptions::decode(encoded, [](const ordered_json& v) -> std::optional<Date> {
        return Date::fromMilliseconds(std::stoll(v.get<std::string>().substr(3)));
    });
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, options);
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
        EXPECT_NE(decoded.error().find(key), std::string::npos) << decoded.error();
    }
    const std::pair<const char*, ordered_json> wrong[] = {
        {"paper", "b5"},        {"layout", 1},         {"meName", nullptr},
        {"exportedAt", "2024"}, {"exportedAt", 1.5},   {"appVersion", ordered_json::array()}};
    for (const auto& [key, value] : wrong) {
        auto bad = good;
        bad[key] = value;
        EXPECT_FALSE(ExportOptions::decode(bad)) << key << " = " << value.dump();
    }
    EXPECT_FALSE(ExportOptions::decode(ordered_json::array()));
}

TEST(ExportOptions, UnknownZoneFallsBackToTheMachinesZone) {
    const ScopedEnv tz("TZ", "Asia/Tokyo");
    EXPECT_EQ(testing::options("Mars/Olympus_Mons").timeZone(), "Asia/Tokyo");
    EXPECT_EQ(testing::options("").timeZone(), "Asia/Tokyo");
    EXPECT_EQ(testing::options("Europe/Berlin").timeZone(), "Europe/Berlin");
}

TEST(ExportOptions, VersionAndLocaleComeFromTheBuildAndTheEnvironment) {
    EXPECT_EQ(ExportOptions::currentAppVersion(), QUILLMARK_TEST_PROJECT_VERSION);

    const ScopedEnv all("LC_ALL", nullptr);
    const ScopedEnv lang("LANG", "fr_FR.UTF-8");
    {
        const ScopedEnv time("LC_TIME", "de_DE.UTF-8");
        EXPECT_EQ(ExportOptions::currentLocale(), "de_DE");
    }
    const ScopedEnv time("LC_TIME", "C");
    EXPECT_EQ(ExportOptions::currentLocale(), "en_US");
}

}  // namespace
}  // namespace quillmark
