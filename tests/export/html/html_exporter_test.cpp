#include "export/html/html_exporter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "export/fingerprint.h"
#include "export_fixtures.h"
#include "media_fixtures.h"
#include "support/temp_dir.h"
#include "support/test_data.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::message;
using testing::options;
using testing::readFile;
using testing::utc;

const Participant anna{"+15551234567", "Anna Berg"};
const Participant ben{"ben@example.com", "Ben"};

MessageThread thread(std::vector<Message> messages, bool isGroup = false) {
    MessageThread t;
    t.conversation.chatGUIDs = {"iMessage;-;+15551234567"};
    t.conversation.participants = isGroup ? std::vector<Participant>{anna, ben} : std::vector<Participant>{anna};
    t.conversation.isGroup = isGroup;
    t.messages = std::move(messages);
    return t;
}

// Exports into a fresh folder and returns the page.
struct Exported {
    testing::TempDir dir;
    fs::path folder = dir / "out";
    HTMLExporter::Result result;
    std::string page;
};

std::unique_ptr<Exported> exportPage(const MessageThread& t, const ExportOptions& o = options()) {
    auto e = std::make_unique<Exported>();
    AttachmentMedia media;
    auto result = HTMLExporter::exportThread(t, o, e->folder, media);
    EXPECT_TRUE(result) << result.error();
    if (result) e->result = *result;
    e->page = readFile(e->folder / "index.html");
    return e;
}

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// The WCAG contrast of two "#rrggbb" colours.
double contrast(const std::string& a, const std::string& b) {
    auto luminance = [](const std::string& hex) {
        double channel[3];
        for (int i = 0; i < 3; ++i) {
            double c = std::stoi(hex.substr(1 + 2 * i, 2), nullptr, 16) / 255.0;
            channel[i] = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return 0.2126 * channel[0] + 0.7152 * channel[1] + 0.0722 * channel[2];
    };
    double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// A whole page from tests/data/export/html, with the style sheet and the thread's fingerprint put in place
// of @STYLE@ and @FINGERPRINT@.
std::string expectedPage(const std::string& file, const MessageThread& t) {
    std::string page = testing::testData("export/html/" + file);
    AttachmentMedia media;
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"@STYLE@", HTMLExporter::styleSheet},
                                      {"@FINGERPRINT@", Fingerprint::compute(t, media).hex}})
        if (const size_t at = page.find(mark); at != std::string::npos) page.replace(at, mark.size(), value);
    return page;
}

// Links stay readable on both bubbles in both themes, and wrap rather than widen a narrow window.
TEST(HTMLExporter, LinksAreReadableInBothThemes) {
    const std::string css(HTMLExporter::styleSheet);
    const size_t dark = css.find("prefers-color-scheme:dark");
    ASSERT_NE(dark, std::string::npos);
    auto variable = [&](const std::string& name, size_t from) {
        size_t at = css.find("--" + name + ":", from);
        EXPECT_NE(at, std::string::npos) << name;
        return at == std::string::npos ? std::string("#000000") : css.substr(at + name.size() + 3, 7);
    };
    EXPECT_GE(contrast(variable("link", 0), variable("them", 0)), 4.5);
    EXPECT_GE(contrast(variable("link", dark), variable("them", dark)), 4.5);
    EXPECT_GE(contrast("#ffffff", variable("me", 0)), 4.5);  // the owner's links are white on the blue
    EXPECT_EQ(css.find("--me:", dark), std::string::npos);    // one blue in both themes
    EXPECT_NE(css.find("a{color:var(--link);overflow-wrap:anywhere}"), std::string::npos);
}

TEST(HTMLExporter, EmptyThreadIsTheHeadAndAnEmptyMain) {
    const MessageThread t = thread({});
    const auto e = exportPage(t, options("Asia/Tokyo"));
    EXPECT_EQ(e->page, expectedPage("empty_thread.html", t));
    EXPECT_EQ(e->result.index, e->folder / "index.html");
    EXPECT_EQ(e->result.files, 0);
    EXPECT_TRUE(fs::is_directory(e->folder / "files"));
    EXPECT_EQ(filesIn(e->folder), (std::set<std::string>{".quillmark-export", "files", "index.html"}));  // no temporary left behind
}

TEST(HTMLExporter, EveryKindOfMessage) {
    const double t0 = utc(2024, 3, 5, 19, 7, 9);  // 2:07:09 PM in New York
    Message mine = message(1, t0, "See https://a.com/b and https://a.com\nbye");
    mine.links = {"https://a.com", "https://a.com/b"};
    mine.reactions = {Reaction{ReactionKind::like, "\U0001F44D", false, anna, Date{t0 + 5}},
                      Reaction{ReactionKind::love, "\u2764\uFE0F", true, std::nullopt, Date{t0 + 6}}};
    Message edited = message(2, t0 + 60, "fixed", anna);
    edited.editedAt = Date{t0 + 70};
    edited.effect = "Confetti";
    edited.replyToGUID = "G1";
    Message unsent = message(3, t0 + 120, "gone", anna);
    unsent.unsentAt = Date{t0 + 130};
    unsent.reactions = {Reaction{ReactionKind::laugh, "\U0001F602", false, std::nullopt, Date{t0 + 140}}};
    Message event = message(4, t0 + 180, "", ben);
    event.event = "Ben left the conversation.";
    Message app = message(5, t0 + 240, "", ben);
    app.appKind = "Apple Pay";

    MessageThread t = thread({mine, edited, unsent, event, app}, true);
    t.conversation.groupName = "Trip";
    t.replies["G1"] = {"Sam", std::string(120, 'x'), Date{t0}};
    // The whole page: the unsent message's text appears nowhere, and its label is not repeated for Anna.
    EXPECT_EQ(exportPage(t)->page, expectedPage("every_kind_of_message.html", t));
}

TEST(HTMLExporter, AttachmentsOfEveryKindAreCopiedAndLinked) {
    testing::TempDir source;
    const double t0 = utc(2024, 3, 5, 12);
    Message m = message(1, t0, "");
    m.attachments = {
        testing::attachment("p", source.write("my photo #1.png", "PNG").string(), "my photo #1.png", "image/png", 3),
        testing::attachment("v", source.write("clip.mov", "MOV").string(), "clip.mov", "video/quicktime", 3),
        testing::attachment("s", source.write("voice.caf", "CAF").string(), "voice.caf", "audio/x-caf", 3),
        testing::attachment("f", source.write("Q&A caf\u00e9.pdf", "PDF").string(), "Q&A caf\u00e9.pdf",
                            "application/pdf", 1'500'000),
        testing::attachment("m", std::nullopt, "lost.jpg", "image/jpeg", 10),
    };
    const MessageThread t = thread({m});
    const auto e = exportPage(t);
    EXPECT_EQ(e->page, expectedPage("attachments_of_every_kind.html", t));
    EXPECT_EQ(e->result.files, 4);
    EXPECT_EQ(readFile(e->folder / "files" / "my photo #1.png"), "PNG");
    EXPECT_EQ(readFile(e->folder / "files" / "Q&A caf\u00e9.pdf"), "PDF");
    EXPECT_EQ(filesIn(e->folder / "files"),
              (std::set<std::string>{"my photo #1.png", "clip.mov", "voice.caf", "Q&A caf\u00e9.pdf"}));
}

// Names are made unique without regard to case, and the name of an attachment, which whoever sent it
// chose, must not reach outside "files".
TEST(HTMLExporter, FileNamesAreUniqueAndStayInsideTheFilesFolder) {
    testing::TempDir source;
    Message m = message(1, 0, "");
    const std::vector<std::string> names = {"a.png", "a.png", "A.PNG", "notes", "notes", "../../.bashrc", "a/b.txt",
                                            ".", "..", "", std::string("nul\0l.txt", 9), "/etc/passwd"};
    for (size_t i = 0; i < names.size(); ++i) {
        const auto path = source.write("src" + std::to_string(i), "content " + std::to_string(i));
        m.attachments.push_back(testing::attachment(std::to_string(i), path.string(), names[i], std::nullopt));
    }
    const auto e = exportPage(thread({m}));
    EXPECT_EQ(e->result.files, static_cast<int>(names.size()));
    EXPECT_EQ(filesIn(e->dir.path()), (std::set<std::string>{"out"}));
    const fs::path files = e->folder / "files";
    EXPECT_EQ(filesIn(files), (std::set<std::string>{"a.png", "a 1.png", "A 2.PNG", "notes", "notes 1", "..-..-.bashrc",
                                                     "a-b.txt", "Attachment", "Attachment 1", "Attachment 2",
                                                     "nul-l.txt", "-etc-passwd"}));
    EXPECT_EQ(readFile(files / "A 2.PNG"), "content 2");
    EXPECT_EQ(readFile(files / "..-..-.bashrc"), "content 5");
    EXPECT_NE(e->page.find("src=\"files/A%202.PNG\""), std::string::npos);
    EXPECT_NE(e->page.find("href=\"files/..-..-.bashrc\""), std::string::npos);
}

TEST(HTMLExporter, HostileTextIsEscapedEverywhere) {
    testing::TempDir source;
    const std::string evil = "<script>alert(\"x\")</script> & co";
    Message m = message(1, 0, evil + "\n<b>bold</b>", anna);
    m.effect = "<i>fx</i>";
    m.appKind = "<u>app</u>";
    m.replyToGUID = "G0";
    m.reactions = {Reaction{ReactionKind::emoji, "<img src=x onerror=alert(1)>", false, Participant{"x", "<em>"}, Date{1}}};
    const std::string name = "\"><img src=x onerror=alert(2)>.txt";
    m.attachments = {testing::attachment("a", source.write("a", "A").string(), name, "text/plain", 1)};
    MessageThread t = thread({m}, true);
    t.conversation.groupName = evil;
    t.conversation.participants[0].name = "<b>Anna</b>";
    t.messages[0].sender->name = "<b>Anna</b>";
    t.replies["G0"] = {"<s>Sam</s>", "<p>quoted</p>", Date{0}};
    ExportOptions o = options();
    o.appVersion = "1\"><x>";
    const auto e = exportPage(t, o);
    const std::string& p = e->page;

    for (const char* raw : {"<script", "<img src=x", "<b>bold", "<b>Anna", "<i>fx", "<u>", "<em>", "<s>", "<p>quoted", "<x>"})
        EXPECT_EQ(p.find(raw), std::string::npos) << raw;
    // Each piece escaped where it stands: the title, the heading, the text, the reaction, the file's link and
    // name, the version in the head.
    EXPECT_EQ(p, expectedPage("hostile_text.html", t));
}

TEST(HTMLExporter, LinkifyPrefersTheLongestLinkInOnePass) {
    using HTMLExporter::linkify;
    // Only http and https links; the scheme is compared as written.
    EXPECT_EQ(linkify("mailto:a@b.c ftp://f HTTPS://A.COM", {"mailto:a@b.c", "ftp://f", "HTTPS://A.COM"}),
              "mailto:a@b.c ftp://f HTTPS://A.COM");
    // A link with characters that need escaping is found in the escaped text and escaped in the anchor.
    EXPECT_EQ(linkify("go https://q.com/?a=1&b=\"2\"\nnow", {"https://q.com/?a=1&b=\"2\""}),
              "go <a href=\"https://q.com/?a=1&amp;b=&quot;2&quot;\">https://q.com/?a=1&amp;b=&quot;2&quot;</a>"
              "<br>now");
    EXPECT_EQ(linkify("https://gone.com", {"https://else.com"}), "https://gone.com");
}

// A picture a browser may not show gets a JPEG copy, which the page shows.
TEST(HTMLExporter, HEICPicturesGetAJPEGCopyThatNeverReplacesAnotherFile) {
    testing::TempDir source;
    const std::string png = (source / "red.png").string(), heic = (source / "IMG_1.HEIC").string();
    const std::string make = "ffmpeg -loglevel error -f lavfi -i color=c=red:s=64x48 -frames:v 1 '" + png +
                             "' </dev/null && heif-enc -q 60 '" + png + "' -o '" + heic + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "ffmpeg and heif-enc (libheif-examples) make the HEIC";
    const Attachment picture = testing::attachment("h", heic, "IMG_1.HEIC", "image/heic", 100);
    AttachmentMedia probe;
    if (!probe.picture(picture, 2400)) GTEST_SKIP() << "this build cannot decode HEIC pictures yet";

    Message m = message(1, 0, "");
    m.attachments = {picture, testing::attachment("j", source.write("jpg", "JPEG").string(), "IMG_1.jpg", "image/jpeg"),
                     testing::attachment("p", png, "red.png", "image/png")};
    const auto e = exportPage(thread({m}));
    const fs::path files = e->folder / "files";
    EXPECT_EQ(filesIn(files), (std::set<std::string>{"IMG_1.HEIC", "IMG_1.jpg", "IMG_1 1.jpg", "red.png"}));
    EXPECT_EQ(readFile(files / "IMG_1.HEIC"), readFile(heic));
    EXPECT_EQ(readFile(files / "IMG_1.jpg").substr(0, 3), "\xFF\xD8\xFF");  // the JPEG copy of the HEIC
    EXPECT_EQ(readFile(files / "IMG_1 1.jpg"), "JPEG");                    // the other attachment, intact
    EXPECT_NE(e->page.find("<img src=\"files/IMG_1.jpg\" alt=\"IMG_1.HEIC\""), std::string::npos);
    EXPECT_NE(e->page.find("<img src=\"files/IMG_1%201.jpg\" alt=\"IMG_1.jpg\""), std::string::npos);
    EXPECT_NE(e->page.find("<img src=\"files/red.png\""), std::string::npos);
    EXPECT_EQ(e->result.files, 3);  // the JPEG copy is not counted
}

// What headless Chromium reads of each <audio> of a page: "duration 2.52" or "error 4", in order.
std::vector<std::string> chromiumHears(const fs::path& folder, const std::vector<std::string>& sources) {
    std::string page = "<!doctype html><meta charset=\"utf-8\"><body>";
    for (const std::string& source : sources)
        page += "<audio preload=\"metadata\" src=\"" + HTMLExporter::urlPath(source) + "\"></audio><p class=\"heard\">none</p>";
    page += "<script>for (const a of document.querySelectorAll('audio')) {"
            "const p = a.nextElementSibling;"
            "a.addEventListener('loadedmetadata', () => { p.textContent = 'duration ' + a.duration; });"
            "a.addEventListener('error', () => { p.textContent = 'error ' + (a.error ? a.error.code : 0); });"
            "}</script>";
    const fs::path probe = folder / "probe.html", profile = folder / "chromium-profile";
    std::ofstream(probe) << page;
    const std::string command = "chromium --headless --no-sandbox --disable-gpu --virtual-time-budget=5000 "
                                "--user-data-dir=" + testing::quoted(profile) + " --dump-dom " +
                                testing::quoted("file://" + probe.string()) + " 2>/dev/null";
    std::string dom;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) dom.append(buffer, n);
        pclose(pipe);
    }
    fs::remove_all(profile);
    fs::remove(probe);
    std::vector<std::string> heard;
    for (size_t at = dom.find("<p class=\"heard\">"); at != std::string::npos; at = dom.find("<p class=\"heard\">", at + 1)) {
        const size_t start = at + std::string("<p class=\"heard\">").size();
        heard.push_back(dom.substr(start, dom.find('<', start) - start));
    }
    return heard;
}

// A voice message as recorded (Opus in .caf) plays from a copy Chromium reads, with the original offered
// beside the player; a recording browsers play as it is gets no copy.
TEST(HTMLExporter, VoiceMessagesPlayFromACopyAndOfferTheOriginal) {
    ASSERT_TRUE(testing::haveTool("ffmpeg")) << "ffmpeg makes the recordings";
    ASSERT_TRUE(testing::haveTool("chromium")) << "chromium (scripts/packages.txt) checks that the copy plays";
    testing::TempDir source;
    const fs::path voice = source / "Audio Message.caf", bell = source / "doorbell.wav";
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i sine=duration=2.5 -ac 1 -c:a libopus -b:a 16k " +
                                    testing::quoted(voice)));
    ASSERT_TRUE(testing::runQuietly("ffmpeg -y -f lavfi -i sine=duration=1 " + testing::quoted(bell)));
    Message m = message(1, 0, "");
    m.attachments = {testing::attachment("v", voice.string(), "Audio Message.caf", "audio/x-caf", 5000),
                     testing::attachment("d", bell.string(), "doorbell.wav", "audio/vnd.wave", 5000)};
    const auto e = exportPage(thread({m}));
    EXPECT_NE(e->page.find("<audio controls preload=\"none\" src=\"files/Audio%20Message.ogg\"></audio>"
                           "<a class=\"dl\" href=\"files/Audio%20Message.caf\" download>Download the original recording</a>"
                           "<audio controls preload=\"none\" src=\"files/doorbell.wav\"></audio><div class=\"note\">"),
              std::string::npos)
        << e->page;
    EXPECT_EQ(filesIn(e->folder / "files"),
              (std::set<std::string>{"Audio Message.caf", "Audio Message.ogg", "doorbell.wav"}));
    EXPECT_EQ(readFile(e->folder / "files" / "Audio Message.caf"), readFile(voice));
    EXPECT_EQ(e->result.files, 2);

    const auto heard = chromiumHears(e->folder, {"files/Audio Message.ogg", "files/Audio Message.caf"});
    ASSERT_EQ(heard.size(), 2u);
    ASSERT_TRUE(heard[0].starts_with("duration ")) << heard[0];
    EXPECT_NEAR(std::stod(heard[0].substr(9)), 2.5, 0.1);
    EXPECT_TRUE(heard[1].starts_with("error")) << "Chromium now plays .caf: " << heard[1];
}

TEST(HTMLExporter, FailuresNameThePathAndTheReason) {
    testing::TempDir dir;
    AttachmentMedia media;
    const MessageThread t = thread({message(1, 0, "x")});

    // The destination is a file, so "files" cannot be made in it.
    const fs::path file = dir.write("plain", "x");
    auto result = HTMLExporter::exportThread(t, options(), file, media);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().description().find(file.string() + "/files"), std::string::npos) << result.error();
    EXPECT_NE(result.error().description().find("Not a directory"), std::string::npos) << result.error();

    // The page cannot take the place of a folder named index.html.
    fs::create_directories(dir / "out" / "index.html" / "inner");
    result = HTMLExporter::exportThread(t, options(), dir / "out", media);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().description().find((dir / "out" / "index.html").string()), std::string::npos) << result.error();
    EXPECT_EQ(filesIn(dir / "out"), (std::set<std::string>{"files", "index.html"}));

    // A folder where the history names a file is no file of the history: named, not linked.
    fs::create_directories(dir / "folder.pdf");
    Message m = message(1, 0, "");
    m.attachments = {testing::attachment("d", (dir / "folder.pdf").string(), "folder.pdf", "application/pdf", 5)};
    const auto e = exportPage(thread({m}));
    EXPECT_NE(e->page.find("<span class=\"file\">\U0001F4CE folder.pdf \u00B7 not in this history</span>"),
              std::string::npos);
    EXPECT_EQ(e->result.files, 0);
}

}  // namespace
}  // namespace quillmark
