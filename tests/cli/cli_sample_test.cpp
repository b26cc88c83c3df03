// list --json and show --json on the sample history give back what the generator says it wrote.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/apple_time.h"
#include "run_cli.h"
#include "sample_history/sample_history.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using nlohmann::json;
using testing::runCLI;
using Truth = SampleHistory::Truth;

int64_t milliseconds(int64_t raw) { return AppleTime::date(raw)->milliseconds(); }

class CLISampleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testing::TempDir();
        auto written = SampleHistory::write(folder_->path() / "sample", SampleHistory::Options{});
        if (written) truth_ = new Truth(std::move(*written));
        else error_ = new std::string(written.error());
    }
    static void TearDownTestSuite() {
        delete truth_;
        delete error_;
        delete folder_;
    }
    void SetUp() override { ASSERT_TRUE(truth_) << "the sample history could not be written: " << *error_; }

    static json run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--messages", (folder_->path() / "sample").string()});
        const auto r = runCLI(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.status == 0 ? json::parse(r.out) : json();
    }

    static testing::TempDir* folder_;
    static Truth* truth_;
    static std::string* error_;
};

testing::TempDir* CLISampleTest::folder_ = nullptr;
Truth* CLISampleTest::truth_ = nullptr;
std::string* CLISampleTest::error_ = nullptr;

TEST_F(CLISampleTest, ListIsTheConversationsTheGeneratorWrote) {
    const json list = run({"list", "--json"});
    ASSERT_EQ(list.size(), truth_->conversations.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const Truth::Conversation& expected = truth_->conversations[i];
        const json& c = list[i];
        SCOPED_TRACE(expected.title);
        EXPECT_EQ(c["title"], expected.title);
        EXPECT_EQ(c["messageCount"], expected.messageCount);
        EXPECT_EQ(c["lastDate"], milliseconds(expected.lastRaw));
        EXPECT_EQ(c["snippet"], expected.snippet);
        EXPECT_EQ(c["chatGUIDs"], json(expected.chatGUIDs));
        EXPECT_EQ(c["services"], json(expected.services));
        EXPECT_EQ(c["groupName"], expected.groupName ? json(*expected.groupName) : json(nullptr));
        ASSERT_EQ(c["participants"].size(), expected.participants.size());
        for (size_t p = 0; p < expected.participants.size(); ++p) {
            EXPECT_EQ(c["participants"][p]["address"], expected.participants[p].address);
            const auto& name = expected.participants[p].name;
            EXPECT_EQ(c["participants"][p]["name"], name ? json(*name) : json(nullptr));
        }
    }
}

void expectMessage(const json& m, const Truth::Message& expected) {
    SCOPED_TRACE(expected.guid);
    EXPECT_EQ(m["rawDate"], expected.rawDate);
    EXPECT_EQ(m["isFromMe"], expected.isFromMe);
    if (expected.senderAddress.empty())
        EXPECT_TRUE(m["sender"].is_null());
    else
        EXPECT_EQ(m["sender"]["address"], expected.senderAddress);
    EXPECT_EQ(m["service"], expected.service);
    EXPECT_EQ(m["text"], expected.text);
    EXPECT_EQ(m["links"], json(expected.links));
    EXPECT_EQ(m["editedAt"].is_null(), !expected.editedRaw);
    EXPECT_EQ(m["unsentAt"].is_null(), !expected.unsentRaw);
    EXPECT_EQ(m["replyToGUID"], expected.replyToGUID ? json(*expected.replyToGUID) : json(nullptr));
    EXPECT_EQ(m["event"], expected.event ? json(*expected.event) : json(nullptr));
    EXPECT_EQ(m["effect"], expected.effect ? json(*expected.effect) : json(nullptr));
    EXPECT_EQ(m["appKind"], expected.appKind ? json(*expected.appKind) : json(nullptr));
    EXPECT_EQ(m["isAudioMessage"], expected.isAudioMessage);

    std::vector<std::string> history;
    for (const json& version : m["editHistory"]) history.push_back(version["text"]);
    EXPECT_EQ(history, expected.editHistory);

    ASSERT_EQ(m["attachments"].size(), expected.attachments.size());
    for (size_t i = 0; i < expected.attachments.size(); ++i) {
        const json& a = m["attachments"][i];
        const Truth::Attachment& e = expected.attachments[i];
        EXPECT_EQ(a["guid"], e.guid);
        EXPECT_EQ(a["name"], e.name);
        EXPECT_EQ(a["kind"], e.kind);
        EXPECT_EQ(a["byteCount"], e.byteCount);
        EXPECT_EQ(a["isAvailable"], e.isAvailable);
        EXPECT_EQ(a["path"], e.path.string());
    }

    ASSERT_EQ(m["reactions"].size(), expected.reactions.size());
    for (size_t i = 0; i < expected.reactions.size(); ++i) {
        const json& r = m["reactions"][i];
        const Truth::Reaction& e = expected.reactions[i];
        EXPECT_EQ(r["kind"], e.kind);
        EXPECT_EQ(r["isFromMe"], e.isFromMe);
        if (e.senderAddress.empty())
            EXPECT_TRUE(r["sender"].is_null());
        else
            EXPECT_EQ(r["sender"]["address"], e.senderAddress);
        if (e.emoji) {
            EXPECT_EQ(r["emoji"], *e.emoji);
        }
    }
}

TEST_F(CLISampleTest, ShowGivesEveryShowcaseMessageAsWritten) {
    size_t checked = 0;
    for (size_t i = 0; i < truth_->conversations.size(); ++i) {
        const Truth::Conversation& expected = truth_->conversations[i];
        if (!expected.isShowcase) continue;
        const json thread = run({"show", std::to_string(i + 1), "--json"});
        SCOPED_TRACE(expected.title);
        EXPECT_EQ(thread["conversation"]["title"], expected.title);
        const json& messages = thread["messages"];
        ASSERT_EQ(messages.size(), expected.messages.size());
        for (size_t m = 0; m < messages.size(); ++m) {
            ASSERT_EQ(messages[m]["guid"], expected.messages[m].guid);
            expectMessage(messages[m], expected.messages[m]);
            ++checked;
        }
    }
    EXPECT_GT(checked, 300u);
}

}  // namespace
}  // namespace quillmark
