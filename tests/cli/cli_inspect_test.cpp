// inspect body and inspect summary on real archives written by Messages, on standard input, and on input
// that does not decode.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_cli.h"
#include "support/realdata.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

using nlohmann::json;
using testing::runCLI;
namespace fs = std::filesystem;

using testing::readFile;

// A real message body gives its text and its objects, from a file or from standard input alike (that every
// real archive decodes is the body reader's own test).
TEST(CLIInspect, ARealMessageBodyGivesItsText) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    const fs::path attachment = realdata / "typedstream/messages/Attachment";
    const auto text = runCLI({"inspect", "body", attachment.string()});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out.rfind("Text: \"\uFFFCThis is how the notes look to me fyi", 0), 0u) << text.out;
    EXPECT_NE(text.out.find("#1 NSMutableAttributedString (NSAttributedString, NSObject)"), std::string::npos);

    const auto piped = runCLI({"inspect", "body", "-"}, readFile(attachment));
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, text.out);
}

TEST(CLIInspect, RealSummariesGiveEditsAndUnsentParts) {
    QUILLMARK_REQUIRE_REALDATA(realdata);
    const auto r = runCLI({"inspect", "summary", (realdata / "summary-info/EditedAndUnsent.plist").string(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json info = json::parse(r.out);
    ASSERT_EQ(info["versions"].size(), 2u);
    EXPECT_EQ(info["versions"][0]["text"], "Second test");
    EXPECT_EQ(info["versions"][1]["text"], "Second test was edited!");
    EXPECT_TRUE(info["versions"][0]["date"].is_number_integer());
    EXPECT_EQ(info["retractedParts"], json({3}));
}

TEST(CLIInspect, UndecodableInputFailsWithASentence) {
    testing::TempDir temp;
    const fs::path junk = temp.write("junk", "this is not an archive");
    const auto body = runCLI({"inspect", "body", junk.string()});
    EXPECT_EQ(body.status, 4);
    EXPECT_EQ(body.out, "");
    EXPECT_NE(body.err.find("isn't an archived message body Quillmark can read"), std::string::npos) << body.err;

    const auto summary = runCLI({"inspect", "summary", "-"}, "{not a plist");
    EXPECT_EQ(summary.status, 4);
    EXPECT_NE(summary.err.find("isn't a message summary Quillmark can read"), std::string::npos) << summary.err;

    EXPECT_EQ(runCLI({"inspect", "body", "-"}).status, 4);  // nothing at all on standard input

    const auto unreadable = runCLI({"inspect", "body", (temp.path() / "absent").string()});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_NE(unreadable.err.find("Can't read"), std::string::npos);
    EXPECT_EQ(runCLI({"inspect", "picture", junk.string()}).status, 2);
}

}  // namespace
}  // namespace quillmark
