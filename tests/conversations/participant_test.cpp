#include "conversations/participant.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(ParticipantFormat, NorthAmericanNumbersWithElevenNumericCharacters) {
    EXPECT_EQ(Participant::format("+15551234567"), "+1 (555) 123-4567");
    EXPECT_EQ(Participant::format("+1 (555) 123-4567"), "+1 (555) 123-4567");
    // Digits of other scripts are numbers too and are kept as written.
    EXPECT_EQ(Participant::format("+1\xD9\xA5\xD9\xA5\xD9\xA5" "1234567"),
              "+1 (\xD9\xA5\xD9\xA5\xD9\xA5) 123-4567");
}

TEST(ParticipantFormat, EverythingElseStaysAsStored) {
    for (const char* address : {"+4915112345678", "anna@example.com", "+1555123456", "+155512345678",
                                "15551234567", " +15551234567", "", "+1"})
        EXPECT_EQ(Participant::format(address), address) << address;
}

TEST(ParticipantInitials, FirstLettersOfTheFirstTwoWordsStartingWithALetter) {
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {"anna-lena berg", "AL"},
        {"Dr. Ann Lee", "DA"},
        {"42 Ann", "A"},
        {"123", ""},
        {"", ""},
        {std::nullopt, ""},
        {"  anna  --  berg  ", "AB"},
        {"\xC3\xA9mile zola", "\xC3\x89Z"},              // émile zola -> ÉZ
        {"e\xCC\x81mile zola", "E\xCC\x81Z"},            // é written with a combining accent stays whole
        {"\xC3\x9F" "a b", "SSB"},                       // ß upper-cases to SS
        {"\xD0\xB0\xD0\xBD\xD0\xBD\xD0\xB0 \xD0\xB1", "\xD0\x90\xD0\x91"},  // анна б -> АБ
        {"\xE7\x8E\x8B \xE5\xB0\x8F\xE6\x98\x8E", "\xE7\x8E\x8B\xE5\xB0\x8F"},  // 王 小明
        {"\xF0\x9F\x98\x80 Ann", "A"},                   // an emoji is no letter
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ((Participant{"x", name}).initials(), expected) << name.value_or("<none>");
}

// Names and addresses come from databases that may hold damaged UTF-8; it must not derail either.
TEST(Participant, DamagedUTF8) {
    EXPECT_EQ(Participant::format("+1\xFF" "5551234567"), "+1 (555) 123-4567");
    EXPECT_EQ(Participant::format("+1555\xE2\x82" "1234567"), "+1 (555) 123-4567");
    EXPECT_EQ((Participant{"x", "\xFF\xFE anna \xC3"}).initials(), "A");
    EXPECT_EQ((Participant{"x", "\xC3"}).initials(), "");
}

}  // namespace
}  // namespace quillmark
