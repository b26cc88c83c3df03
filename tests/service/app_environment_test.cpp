// What a desktop front-end takes from how it was started: which history, which zone, which own name; and
// that only a development build listens to the QUILLMARK_* variables.
#include "service/app_environment.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "core/calendar.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

class Variables {
public:
    Variables() {
        setenv("QUILLMARK_DATA_DIR", "/data", 1);
        setenv("QUILLMARK_TIME_ZONE", "Asia/Tokyo", 1);
        setenv("QUILLMARK_ME_NAME", "Robin", 1);
    }
    ~Variables() {
        for (const char* name : {"QUILLMARK_DATA_DIR", "QUILLMARK_TIME_ZONE", "QUILLMARK_ME_NAME"}) unsetenv(name);
    }
};

TEST(AppEnvironment, OnlyADevelopmentBuildListensToTheVariables) {
    Variables variables;
    const AppEnvironment release = AppEnvironment::read(false);
    EXPECT_FALSE(release.dataFolder());
    EXPECT_EQ(release.timeZone(""), Calendar::defaultTimeZone());
    EXPECT_NE(release.location(std::nullopt, std::nullopt).messagesPath, "/data/Messages/chat.db");

    const AppEnvironment development = AppEnvironment::read(true);
    EXPECT_EQ(development.dataFolder(), fs::path("/data"));
    const HistoryLocation data = development.location(std::nullopt, "/remembered");
    EXPECT_EQ(data.messagesPath, "/data/Messages/chat.db");
    EXPECT_EQ(data.contactsPaths, std::vector<fs::path>{"/data/AddressBook/AddressBook-v22.abcddb"});
    EXPECT_EQ(development.timeZone(""), "Asia/Tokyo");
    EXPECT_EQ(development.meName(""), "Robin");
    // The user's own settings win over the variables.
    EXPECT_EQ(development.timeZone("Europe/Berlin"), "Europe/Berlin");
    EXPECT_EQ(development.meName("Sam"), "Sam");
}

TEST(AppEnvironment, CommandLineThenDataFolderThenRememberedThenTheUsersOwn) {
    testing::TempDir temp;
    const fs::path named = temp.write("named/chat.db", "");
    const fs::path remembered = temp.write("remembered/Messages/chat.db", "");
    AppEnvironment environment;
    EXPECT_EQ(environment.location(named.string(), remembered.parent_path().parent_path().string()).messagesPath,
              named.string());
    EXPECT_EQ(environment.location(std::nullopt, (temp / "remembered").string()).messagesPath, remembered.string());
    EXPECT_EQ(environment.location(std::nullopt, std::nullopt).messagesPath,
              (fs::path(std::getenv("HOME")) / "Library/Messages/chat.db").string());
    environment.developmentBuild = true;
    environment.dataDir = (temp / "data").string();
    EXPECT_EQ(environment.location(std::nullopt, (temp / "remembered").string()).messagesPath,
              (temp / "data/Messages/chat.db").string());
    EXPECT_EQ(environment.location(named.string(), std::nullopt).messagesPath, named.string());
}

TEST(AppEnvironment, AZoneThatIsNoneFallsBack) {
    AppEnvironment environment;
    environment.developmentBuild = true;
    environment.timeZoneVariable = "Not/AZone";
    EXPECT_EQ(environment.timeZone(""), Calendar::defaultTimeZone());
    EXPECT_EQ(environment.timeZone("Mars/Olympus"), Calendar::defaultTimeZone());
    EXPECT_EQ(environment.timeZone("UTC"), "UTC");
}

}  // namespace
}  // namespace quillmark
