// Where an export may write: never into or over the history it reads, and an HTML folder only where an
// earlier Quillmark export or nothing stands.
#include "service/export_service.h"

#include <gtest/gtest.h>

#include "support/history_fixture.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;
using testing::HistoryFixture;
using Kind = ExportService::Failure::Kind;

class Destinations : public ::testing::Test {
protected:
    Destinations() : fixture(HistoryFixture::message(1, 10, "Hello") + HistoryFixture::message(2, 12, "Trip?")) {
        history = fixture.open();
        fixture.temp().write("data/Messages/Attachments/a/IMG_1.jpg", "photo");
        fixture.temp().write("data/AddressBook/AddressBook-v22.abcddb", "cards");
    }

    ExportService::Request request(ExportFormat format, std::optional<fs::path> file,
                                   std::optional<fs::path> folder = std::nullopt) {
        ExportService::Request r;
        r.conversations = {history->library().conversations().front()};
        r.format = format;
        r.options = ExportOptions::make(ExportLayout::record, Paper::a4, "UTC", "en_US", "Sam", Date{1700000000});
        r.file = std::move(file);
        r.folder = std::move(folder);
        if (r.folder) r.conversations = history->library().conversations();
        return r;
    }

    HistoryFixture fixture;
    std::unique_ptr<History> history;
};

TEST_F(Destinations, NothingIsWrittenIntoOrOverTheHistory) {
    // History::open resolves the address book of a data folder only when it exists, so open again with it.
    history = History::open(HistoryLocation::find(fixture.data().string(), {})).value();
    const fs::path messages = fixture.messages();
    fs::create_symlink(messages, fixture.temp() / "link-to-messages");
    const struct {
        ExportFormat format;
        fs::path file;
        fs::path refusedFolder;  // the folder the sentence names
    } cases[] = {
        {ExportFormat::csv, messages / "chat.db", messages},
        {ExportFormat::csv, messages / "chat.db-wal", messages},
        {ExportFormat::pdf, messages / "Attachments/a/new.pdf", messages},
        {ExportFormat::pdf, fixture.temp() / "link-to-messages/x.pdf", messages},
        {ExportFormat::pdf, fixture.data() / "elsewhere/../Messages/x.pdf", messages},
        {ExportFormat::html, messages, messages},
        {ExportFormat::html, fixture.data(), messages},  // would replace a folder holding the history
        {ExportFormat::csv, fixture.data() / "AddressBook/x.csv", fixture.data() / "AddressBook"},
    };
    const auto before = testing::folderState(fixture.data());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.string());
        const auto exported = ExportService::run(*history, request(c.format, c.file));
        ASSERT_FALSE(exported);
        EXPECT_EQ(exported.error().kind, Kind::destination);
        EXPECT_EQ(exported.error().text, "Quillmark doesn't write into the Messages history. Choose a folder outside " +
                                             fs::weakly_canonical(c.refusedFolder).string() + ".");
    }
    const auto batch = ExportService::run(*history, request(ExportFormat::csv, std::nullopt, messages / "exports"));
    ASSERT_FALSE(batch);
    EXPECT_EQ(batch.error().kind, Kind::destination);
    EXPECT_EQ(testing::folderState(fixture.data()), before);

    // The folder above the history is fine for a batch: each export gets a new name inside it.
    const auto beside = ExportService::run(*history, request(ExportFormat::html, std::nullopt, fixture.data()));
    ASSERT_TRUE(beside) << beside.error().text;
    EXPECT_EQ(beside->count, 2);
    EXPECT_TRUE(fs::exists(fixture.messages() / "chat.db"));
}

TEST_F(Destinations, AnHTMLExportReplacesOnlyAnEarlierExportOrAnEmptyFolder) {
    const fs::path out = fixture.temp() / "out";
    ASSERT_TRUE(ExportService::run(*history, request(ExportFormat::html, out)));
    ASSERT_TRUE(fs::exists(out / ".quillmark-export"));
    fixture.temp().write("out/files/old.jpg", "from the earlier export");
    ASSERT_TRUE(ExportService::run(*history, request(ExportFormat::html, out)));
    EXPECT_FALSE(fs::exists(out / "files/old.jpg"));

    fs::create_directories(fixture.temp() / "empty");
    EXPECT_TRUE(ExportService::run(*history, request(ExportFormat::html, fixture.temp() / "empty")));

    const fs::path mine = fixture.temp() / "Documents";
    fixture.temp().write("Documents/thesis.odt", "three years of work");
    const auto refused = ExportService::run(*history, request(ExportFormat::html, mine));
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().text, mine.string() + " isn't an export made by Quillmark, so it is left as it is. "
                                                    "Choose an empty or a new folder.");
    EXPECT_EQ(testing::readFile(mine / "thesis.odt"), "three years of work");
}

TEST_F(Destinations, BatchNamesTakeTheNextFreeNumberAndNoTemporaryFileStays) {
    const fs::path folder = fixture.temp() / "batch";
    // A leftover of an interrupted run is no export and takes no name.
    fixture.temp().write("batch/.quillmark-0123456789abcdef.tmp", "");
    ASSERT_TRUE(ExportService::run(*history, request(ExportFormat::csv, std::nullopt, folder)));
    const auto again = ExportService::run(*history, request(ExportFormat::csv, std::nullopt, folder));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->files.size(), 2u);
    EXPECT_EQ(again->files[0].url.filename().string().find(" 2.csv") != std::string::npos, true)
        << again->files[0].url;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names.size(), 5u);  // two exports, twice, and the leftover
}

// A batch of HTML folders gets a page that links each of them, named so that nothing of the user's goes.
TEST_F(Destinations, AnHTMLBatchLinksItsFoldersFromAPageBesideThem) {
    const fs::path folder = fixture.temp() / "site";
    fixture.temp().write("site/index.html", "my home page");
    const auto exported = ExportService::run(*history, request(ExportFormat::html, std::nullopt, folder));
    ASSERT_TRUE(exported) << exported.error().description();
    EXPECT_EQ(testing::readFile(folder / "index.html"), "my home page");
    const std::string page = testing::readFile(folder / "index 2.html");
    for (const auto& file : exported->files) {
        std::string href = file.url.filename().string() + "/index.html";
        for (size_t at; (at = href.find(' ')) != std::string::npos;) href.replace(at, 1, "%20");
        EXPECT_NE(page.find("href=\"" + href + "\""), std::string::npos) << href << "\n" << page;
        EXPECT_TRUE(fs::exists(file.url / "index.html"));
    }
    EXPECT_NE(page.find("1 message \u00b7 "), std::string::npos) << page;
    // One page per batch: exports to a file or one folder make none.
    ASSERT_TRUE(ExportService::run(*history, request(ExportFormat::html, fixture.temp() / "one")));
    EXPECT_FALSE(fs::exists(fixture.temp() / "one" / "index 2.html"));
}

TEST_F(Destinations, ACancelledExportStopsAndLeavesNoFile) {
    for (const ExportFormat format : {ExportFormat::pdf, ExportFormat::csv, ExportFormat::html}) {
        const fs::path out = fixture.temp() / ("cancelled." + std::string(format.rawValue()));
        std::vector<ExportService::Progress> seen;
        // A PDF is stopped while its pages are laid out; the other formats before they are written.
        const auto exported = ExportService::run(*history, request(format, out), [&](const ExportService::Progress& p) {
            seen.push_back(p);
            return p.step != (format == ExportFormat::pdf ? "Laying out pages" : "Writing " + out.filename().string());
        });
        ASSERT_FALSE(exported) << format.rawValue();
        EXPECT_EQ(exported.error().kind, Kind::cancelled);
        EXPECT_FALSE(fs::exists(out));
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front().conversation, history->library().conversations().front().title("en_US"));
        EXPECT_EQ(seen.front().count, 1);
    }
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(fixture.temp().path())) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"data"}));
}

}  // namespace
}  // namespace quillmark
