#include "core/locale.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

// Sets the locale variables for one test and puts the previous values back afterwards.
class LocaleEnvironment : public ::testing::Test {
protected:
    static constexpr const char* variables[] = {"LC_ALL", "LC_MESSAGES", "LC_TIME", "LANG"};

    void SetUp() override {
        for (const char* v : variables) {
            const char* value = std::getenv(v);
            saved_.emplace_back(v, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(v);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(LocaleEnvironment, PrecedenceIsLCAllThenCategoryThenLang) {
    EXPECT_EQ(userLocale(), "en_US");
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(userLocale(), "de_DE");
    setenv("LC_MESSAGES", "fr_FR.UTF-8", 1);
    setenv("LC_TIME", "en_GB.UTF-8", 1);
    EXPECT_EQ(userLocale(), "fr_FR");
    EXPECT_EQ(userLocale(LocaleCategory::time), "en_GB");
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(userLocale(), "ja_JP");
    EXPECT_EQ(userLocale(LocaleCategory::time), "ja_JP");
}

TEST_F(LocaleEnvironment, EmptyVariablesCountAsUnset) {
    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "", 1);
    setenv("LANG", "sv_SE.UTF-8", 1);
    EXPECT_EQ(userLocale(), "sv_SE");
}

TEST_F(LocaleEnvironment, POSIXLocalesReadAsUSEnglish) {
    setenv("LANG", "C.UTF-8", 1);
    EXPECT_EQ(userLocale(), "en_US");
    setenv("LC_ALL", "POSIX", 1);
    EXPECT_EQ(userLocale(), "en_US");
}

TEST(ICULocaleID, DropsEncodingAndModifier) {
    EXPECT_EQ(icuLocaleID("de_DE.UTF-8"), "de_DE");
    EXPECT_EQ(icuLocaleID("de_DE@euro"), "de_DE");
    EXPECT_EQ(icuLocaleID("sr_RS.UTF-8@latin"), "sr_RS");
    EXPECT_EQ(icuLocaleID("C"), "en_US");
    EXPECT_EQ(icuLocaleID(""), "");
    EXPECT_EQ(icuLocaleID(".UTF-8"), "");
}

}  // namespace
}  // namespace quillmark
