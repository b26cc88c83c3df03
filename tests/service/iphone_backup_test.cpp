// Histories read from iPhone backups, plain, encrypted and with the database's log, give the same
// conversations, messages, names and attachment bytes as the folder the backup was made from; passwords,
// damaged and crafted backups fail with their own sentences; nothing in a backup changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include <plist/plist.h>

#include "export/attachment_media.h"
#include "export/fingerprint.h"
#include "iphone_backup/backup_writer.h"
#include "sample_history/sample_history.h"
#include "service/history.h"
#include "store/sqlite_database.h"
#include "support/history_fixture.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

constexpr const char* password = "pässwort 1";

IPhoneBackup::PasswordSource given(std::string text) {
    return [text] { return std::optional<std::string>(text); };
}

tl::expected<std::unique_ptr<History>, History::Failure> open(const fs::path& folder,
                                                             const IPhoneBackup::PasswordSource& source = given(password)) {
    return History::open(HistoryLocation::find(folder.string(), {}), source);
}

class IPhoneBackupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testing::TempDir();
        auto truth = SampleHistory::write(sample(), SampleHistory::Options{});
        if (!truth) {
            error_ = new std::string(truth.error());
            return;
        }
        BackupWriter::Options options;
        for (const auto& [name, encrypted, log] : {std::tuple{"plain", false, false}, std::tuple{"encrypted", true, false},
                                                  std::tuple{"log", true, true}}) {
            options.password = encrypted ? std::optional<std::string>(password) : std::nullopt;
            options.withLog = log;
            if (auto written = BackupWriter::write(sample(), *folder_ / name, options); !written) {
                error_ = new std::string(written.error());
                return;
            }
        }
    }
    static void TearDownTestSuite() {
        delete error_;
        delete folder_;
    }
    void SetUp() override { ASSERT_FALSE(error_) << *error_; }

    static fs::path sample() { return *folder_ / "sample"; }
    static fs::path backup(const char* name) { return *folder_ / name; }

    // A copy of a backup to damage.
    static fs::path copyOf(const char* name, const testing::TempDir& into) {
        fs::copy(backup(name), into / name, fs::copy_options::recursive);
        return into / name;
    }
    // Where a backup keeps the sample's attachment file with this path below Messages/Attachments.
    static fs::path attachmentFile(const fs::path& backup, const std::string& relative) {
        const std::string id = IPhoneBackup::fileID("MediaDomain", "Library/SMS/Attachments/" + relative);
        return backup / id.substr(0, 2) / id;
    }

    static testing::TempDir* folder_;
    static std::string* error_;
};

testing::TempDir* IPhoneBackupTest::folder_ = nullptr;
std::string* IPhoneBackupTest::error_ = nullptr;

// Every conversation's fingerprint (its messages, names, attachment names, byte counts and file hashes).
std::map<std::string, Fingerprint::Result> fingerprints(History& history) {
    std::map<std::string, Fingerprint::Result> result;
    AttachmentMedia media;
    for (const Conversation& c : history.library().conversations()) {
        auto thread = history.library().thread(c, DateRange::all);
        EXPECT_TRUE(thread);
        if (thread) result[c.id] = Fingerprint::compute(*thread, media);
    }
    return result;
}

TEST_F(IPhoneBackupTest, ReadsTheSameHistoryAsTheFolderItWasMadeFrom) {
    auto folder = History::open(HistoryLocation::find(sample().string(), {}));
    ASSERT_TRUE(folder);
    const auto expected = fingerprints(**folder);
    size_t hashed = 0;
    for (const auto& [id, print] : expected)
        for (const auto& [guid, hash] : print.attachmentHashes) hashed += !hash.empty();
    ASSERT_GT(hashed, 10u);

    for (const char* name : {"plain", "encrypted", "log"}) {
        SCOPED_TRACE(name);
        // Named as people type folders, with a trailing slash.
        auto history = open(backup(name).string() + "/");
        ASSERT_TRUE(history) << history.error().description();
        const auto& got = (*history)->library().conversations();
        const auto& want = (*folder)->library().conversations();
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].id, want[i].id);
            EXPECT_EQ(got[i].messageCount, want[i].messageCount);
            EXPECT_EQ(got[i].title("en_US"), want[i].title("en_US"));  // names from the backup's address book
        }
        EXPECT_EQ(fingerprints(**history), expected);
        const auto& origin = (*history)->library().origin();
        ASSERT_TRUE(origin);
        EXPECT_EQ(origin->device, "Test iPhone");
        EXPECT_EQ(origin->backupDate, Date{1764547200});
    }
}

TEST_F(IPhoneBackupTest, PasswordsFailWithTheirOwnSentences) {
    bool asked = false;
    auto plain = open(backup("plain"), [&] {
        asked = true;
        return std::optional<std::string>();
    });
    EXPECT_TRUE(plain);
    EXPECT_FALSE(asked);  // a plain backup never asks

    auto none = open(backup("encrypted"), [] { return std::optional<std::string>(); });
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().kind, History::Failure::Kind::needsPassword);

    auto wrong = open(backup("encrypted"), given("passwort 1"));
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error().kind, History::Failure::Kind::wrongPassword);
    EXPECT_EQ(wrong.error().description(),
              "The password doesn't open this iPhone backup. It is the password set for encrypted backups of this "
              "iPhone, not the iPhone's passcode.");
}

TEST_F(IPhoneBackupTest, AFolderOfBackupsOpensTheNewest) {
    testing::TempDir temp;
    BackupWriter::Options older;
    older.backupDate = 1700000000;
    older.deviceName = "Old iPhone";
    ASSERT_TRUE(BackupWriter::write(sample(), temp / "a-old", older));
    fs::copy(backup("plain"), temp / "b-new", fs::copy_options::recursive);
    const auto where = HistoryLocation::find(temp.path().string(), {});
    ASSERT_TRUE(where.backup);
    EXPECT_EQ(where.backup->folder, temp / "b-new");
    ASSERT_EQ(where.otherBackups.size(), 1u);
    EXPECT_EQ(where.otherBackups[0].deviceName, "Old iPhone");
}

TEST_F(IPhoneBackupTest, FilesMissingOrLeadingOutsideAreNotInTheHistory) {
    testing::TempDir temp;
    const fs::path copy = copyOf("plain", temp);
    // Attachment files of the sample: one removed, one replaced by a link to a copy outside the backup.
    std::vector<std::string> files;
    const fs::path attachments = sample() / "Messages" / "Attachments";
    for (const auto& entry : fs::recursive_directory_iterator(attachments))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), attachments).string());
    ASSERT_GE(files.size(), 3u);
    fs::remove(attachmentFile(copy, files[0]));
    const fs::path outside = temp / "outside";
    fs::copy_file(attachmentFile(copy, files[1]), outside);
    fs::remove(attachmentFile(copy, files[1]));
    fs::create_symlink(outside, attachmentFile(copy, files[1]));

    // A third listed under a name that leads out of the backup folder ("./" + "./../named" is TEMP/named,
    // where its bytes are), not the name its domain and path give.
    fs::copy_file(attachmentFile(copy, files[2]), temp / "named");
    fs::remove(attachmentFile(copy, files[2]));
    {
        auto manifest = SQLiteDatabase::openCreating((copy / "Manifest.db").string());
        ASSERT_TRUE(manifest);
        ASSERT_TRUE((*manifest)->execute("UPDATE Files SET fileID = './../named' WHERE relativePath = "
                                         "'Library/SMS/Attachments/" + files[2] + "'"));
    }

    auto history = open(copy);
    ASSERT_TRUE(history) << history.error().description();
    size_t available = 0, unavailable = 0;
    for (const Conversation& c : (*history)->library().conversations()) {
        auto thread = (*history)->library().thread(c, DateRange::all);
        ASSERT_TRUE(thread);
        for (const Message& m : thread->messages)
            for (const Attachment& a : m.attachments) {
                const bool gone = a.path && (a.path->ends_with(files[0]) || a.path->ends_with(files[1]) ||
                                             a.path->ends_with(files[2]));
                if (gone) {
                    EXPECT_FALSE(a.isAvailable) << *a.path;
                }
                (a.isAvailable ? available : unavailable) += 1;
            }
    }
    EXPECT_GT(available, 0u);
    EXPECT_GE(unavailable, 4u);  // the three, and the one the sample never wrote

    // The database itself leading outside: refused, not read.
    const std::string id = IPhoneBackup::fileID("HomeDomain", "Library/SMS/sms.db");
    fs::rename(copy / id.substr(0, 2) / id, temp / "sms.db");
    fs::create_symlink(temp / "sms.db", copy / id.substr(0, 2) / id);
    auto refused = open(copy);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, History::Failure::Kind::failed);
    EXPECT_NE(refused.error().description().find("damaged"), std::string::npos) << refused.error().description();
}

TEST_F(IPhoneBackupTest, ADamagedKeyBagIsNotAWrongPassword) {
    testing::TempDir temp;
    const fs::path copy = copyOf("encrypted", temp);
    const std::string text = testing::readFile(copy / "Manifest.plist");
    plist_t root = nullptr;
    plist_from_memory(text.data(), static_cast<uint32_t>(text.size()), &root);
    ASSERT_TRUE(root);
    char* bag = nullptr;
    uint64_t length = 0;
    plist_get_data_val(plist_dict_get_item(root, "BackupKeyBag"), &bag, &length);
    ASSERT_GT(length, 100u);
    plist_dict_set_item(root, "BackupKeyBag", plist_new_data(bag, length - 30));  // cut inside a record
    free(bag);  // NOLINT: libplist's allocation
    char* out = nullptr;
    uint32_t outLength = 0;
    plist_to_bin(root, &out, &outLength);
    std::ofstream(copy / "Manifest.plist", std::ios::binary | std::ios::trunc).write(out, outLength);
    free(out);  // NOLINT: libplist's allocation
    plist_free(root);

    auto damaged = open(copy);
    ASSERT_FALSE(damaged);
    EXPECT_EQ(damaged.error().kind, History::Failure::Kind::failed);
    EXPECT_NE(damaged.error().description().find("key bag"), std::string::npos) << damaged.error().description();
}

TEST_F(IPhoneBackupTest, NothingInTheBackupChangesAndNothingDecryptedIsWritten) {
    const auto before = testing::folderState(backup("log"));
    // Where a private folder or copy would be made.
    testing::TempDir temp;
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TMPDIR", temp.path().c_str(), 1);
    {
        auto history = open(backup("log"));
        ASSERT_TRUE(history);
        for (const Conversation& c : (*history)->library().conversations())
            ASSERT_TRUE((*history)->library().thread(c, DateRange::all));
        ASSERT_TRUE((*history)->integrity());
        EXPECT_EQ((*history)->protectedPlaces().folders.size(), 1u);  // the backup only
        EXPECT_TRUE(fs::is_empty(temp.path()));
    }
    if (saved) ::setenv("TMPDIR", savedValue.c_str(), 1);
    else ::unsetenv("TMPDIR");
    EXPECT_EQ(testing::folderState(backup("log")), before);
}

}  // namespace
}  // namespace quillmark
