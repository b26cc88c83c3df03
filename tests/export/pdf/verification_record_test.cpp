#include "export/pdf/verification_record.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <string>

#include "support/temp_dir.h"

namespace quillmark {
namespace {

using nlohmann::json;

VerificationRecord sample() {
    VerificationRecord r;
    r.chats = {"iMessage;-;+15551234567", "SMS;-;+15551234567"};
    r.options = ExportOptions::make(ExportLayout::record, Paper::a4, "Europe/Berlin", "de_DE", "Anna Berg",
                                    Date{1712345678.123}, "1.2");
    r.names = {{"+15551234567", "Jürgen Øster 😀"}, {"a/b@example.com", "\"quoted\" \\ name"}};
    r.fingerprint = std::string(64, 'a');
    r.messages = 1234;
    r.pages = 56;
    return r;
}

// The URL-safe Base64 of the bytes without padding, as OpenSSL writes it: what a record's payload looks like.
std::string urlBase64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    out.resize(size_t(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()))));
    while (!out.empty() && out.back() == '=') out.pop_back();
    for (char& c : out) c = c == '+' ? '-' : c == '/' ? '_' : c;
    return out;
}

std::string wordOf(const json& object) { return std::string(VerificationRecord::prefix) + urlBase64(object.dump()); }

// The JSON a record encodes to, read back by OpenSSL rather than the decoder under test.
json jsonOf(const VerificationRecord& r) {
    std::string payload = r.encoded().substr(VerificationRecord::prefix.size());
    for (char& c : payload) c = c == '-' ? '+' : c == '_' ? '/' : c;
    const size_t padding = (4 - payload.size() % 4) % 4;
    payload.append(padding, '=');
    std::string bytes(payload.size() / 4 * 3, '\0');
    EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()), reinterpret_cast<const unsigned char*>(payload.data()),
                    int(payload.size()));
    bytes.resize(bytes.size() - padding);
    return json::parse(bytes);
}

TEST(VerificationRecordEncoding, IsThePrefixAndUrlSafeBase64WithoutPadding) {
    for (int64_t messages : {1, 12, 123, 1234}) {  // payload lengths of every remainder
        VerificationRecord r = sample();
        r.messages = messages;
        std::string word = r.encoded();
        ASSERT_EQ(word.rfind("quillmark-verify:", 0), 0u);
        std::string payload = word.substr(17);
        EXPECT_EQ(payload.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
                  std::string::npos);
        EXPECT_EQ(VerificationRecord::decode(word), r);
        // Padding written out is accepted too; a payload of 4n + 1 characters is no Base64 at all.
        while (payload.size() % 4 != 0) payload += '=';
        EXPECT_EQ(VerificationRecord::decode("quillmark-verify:" + payload), r);
        while (payload.size() % 4 != 1) payload.pop_back();
        EXPECT_FALSE(VerificationRecord::decode("quillmark-verify:" + payload));
    }
    const std::string word = sample().encoded();
    for (char bad : {'.', '*', '!', '='}) {
        std::string damaged = word;
        damaged[30] = bad;
        EXPECT_FALSE(VerificationRecord::decode(damaged)) << bad;
    }
    EXPECT_FALSE(VerificationRecord::decode(word.substr(0, 30) + "\xC3\xA9" + word.substr(30)));
}

TEST(VerificationRecordEncoding, JsonHasSortedKeysMillisecondsAndNoAbsentDates) {
    VerificationRecord r = sample();
    json j = jsonOf(r);
    std::vector<std::string> keys;
    for (auto& [key, value] : j.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"chats", "fingerprint", "messages", "names", "options", "pages",
                                              "version"}));
    EXPECT_EQ(j["options"]["exportedAt"], 1712345678123);
    EXPECT_EQ(j["version"], 1);  // stored in every export: readers of older files rely on it
    EXPECT_EQ(j["names"]["a/b@example.com"], "\"quoted\" \\ name");
    std::vector<std::string> optionKeys;
    for (auto& [key, value] : j["options"].items()) optionKeys.push_back(key);
    EXPECT_TRUE(std::is_sorted(optionKeys.begin(), optionKeys.end()));

    // Dates keep their milliseconds; an iPhone backup's device and date travel with the record.
    r.start = Date::fromMilliseconds(1709251200123);
    r.origin = HistoryOrigin{"Anna's iPhone", Date::fromMilliseconds(1709251200000)};
    j = jsonOf(r);
    EXPECT_EQ(j["start"], 1709251200123);
    EXPECT_FALSE(j.contains("end"));
    EXPECT_EQ(j["origin"]["backupDate"], 1709251200000);
    EXPECT_EQ(VerificationRecord::decode(r.encoded()), r);
}

TEST(VerificationRecordDecoding, FindsTheRecordAmongOtherKeywords) {
    VerificationRecord r = sample();
    EXPECT_EQ(VerificationRecord::decode("draft, " + r.encoded() + ", final"), r);
    EXPECT_EQ(VerificationRecord::decode("draft " + r.encoded() + "\tnext"), r);
    EXPECT_EQ(VerificationRecord::decode("draft " + r.encoded() + "\u00a0next"), r);
    EXPECT_FALSE(VerificationRecord::decode("draft, final"));
    EXPECT_FALSE(VerificationRecord::decode(""));
}

// The options inside are read as export options are, whose own tests check each of their keys.
TEST(VerificationRecordDecoding, EveryKeyButStartAndEndIsRequired) {
    json full = jsonOf(sample());
    ASSERT_TRUE(VerificationRecord::decode(wordOf(full)));
    for (const char* key : {"version", "chats", "options", "names", "fingerprint", "messages", "pages"}) {
        json j = full;
        j.erase(key);
        EXPECT_FALSE(VerificationRecord::decode(wordOf(j))) << key;
    }
}

TEST(VerificationRecordDecoding, WrongKindsFailAndUnknownKeysAreIgnored) {
    json full = jsonOf(sample());
    auto with = [&](const char* key, json value) {
        json j = full;
        j[key] = std::move(value);
        return VerificationRecord::decode(wordOf(j));
    };
    EXPECT_FALSE(with("version", "1"));
    EXPECT_FALSE(with("chats", "iMessage;-;+1"));
    EXPECT_FALSE(with("chats", json::array({1, 2})));
    EXPECT_FALSE(with("names", json::array()));
    EXPECT_FALSE(with("names", json{{"+1555", 7}}));
    EXPECT_FALSE(with("fingerprint", 12));
    EXPECT_FALSE(with("messages", 2.5));
    EXPECT_FALSE(with("pages", "56"));
    EXPECT_FALSE(with("start", "2024-03-01"));
    EXPECT_FALSE(with("options", json::array()));

    auto extra = with("comment", "made by hand");
    ASSERT_TRUE(extra);
    EXPECT_EQ(*extra, sample());
    EXPECT_FALSE(VerificationRecord::decode(wordOf(json::array({1, 2, 3}))));
    EXPECT_FALSE(VerificationRecord::decode(std::string(VerificationRecord::prefix) + urlBase64("{not json")));
}

TEST(VerificationRecordReading, WholeKeywordFirstThenTheKeywordsJoined) {
    VerificationRecord r = sample();
    std::string word = r.encoded();
    EXPECT_EQ(VerificationRecord::record(std::vector<std::string>{"draft", word, "final"}), r);
    // A record that a program split into pieces is found only when the pieces join without separator.
    std::vector<std::string> pieces{word.substr(0, 40), word.substr(40, 50), word.substr(90)};
    EXPECT_EQ(VerificationRecord::record(pieces), r);
    std::vector<std::string> spaced{word.substr(0, 40) + " ", word.substr(40)};
    EXPECT_FALSE(VerificationRecord::record(spaced));
    EXPECT_FALSE(VerificationRecord::record(std::vector<std::string>{}));
}

TEST(VerificationRecordReading, NotAPdfHasNoRecord) {
    testing::TempDir dir;
    EXPECT_FALSE(VerificationRecord::record(dir.write("fake.pdf", "%PDF-1.4 " + sample().encoded()).string()));
}

}  // namespace
}  // namespace quillmark
