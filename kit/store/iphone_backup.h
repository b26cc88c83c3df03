// IPhoneBackup: the Messages history inside an iPhone backup folder, plain or encrypted, read-only.
//
// A backup keeps every file of the phone under a hashed name: the file with domain D and relative path P is
// at `ID[0:2]/ID`, ID being the lower-case hex SHA-1 of "D-P", and Manifest.db lists each file with a
// property list of its size, protection class and (encrypted backups) its own wrapped key. Opening reads
// the part of the list the history needs (the Messages database, its attachments and stickers, the address
// book) once, so that files are found later without a database and from any thread.
//
// An encrypted backup is opened with its password: the key bag in Manifest.plist gives the class keys, the
// class keys open Manifest.db and every file. Databases (Manifest.db, sms.db with its log, the address book)
// are read by SQLite through BackupFileSystem, which decrypts the pages it reads: no decrypted copy is
// written. Attachments are decrypted into memory on demand. Nothing in the backup folder is written.
//
//   auto backup = IPhoneBackup::open("/media/usb/Backup/00008110-…", [] { return askPassword(); });
//   if (!backup) show(backup.error().description());    // wrongPassword, damaged, …
//   auto sms = (*backup)->database("HomeDomain", "Library/SMS/sms.db");   // a path SQLite opens
//   auto file = (*backup)->openFile("MediaDomain", "Library/SMS/Attachments/ab/01/x/IMG_1.HEIC");
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <tl/expected.hpp>

#include "core/date.h"
#include "core/readable_file.h"
#include "store/backup_keybag.h"

namespace quillmark {

namespace BackupFileSystem {
class Served;
}

class IPhoneBackup {
public:
    struct Failure {
        enum class Kind {
            notBackup,      // no Manifest.db and Manifest.plist
            needsPassword,  // encrypted, and no password was given
            wrongPassword,  // the password does not open the key bag
            damaged,        // a list, the key bag or Manifest.db cannot be read
            failed,         // this computer failed: OpenSSL
        };
        Kind kind = Kind::damaged;
        std::string folder;
        std::string detail;

        std::string description() const;
    };

    // What Info.plist, Manifest.plist and Status.plist say about a backup.
    struct Summary {
        std::filesystem::path folder;
        std::string deviceName;           // "Anna's iPhone"; "an iPhone" when the backup names none
        std::optional<Date> date;         // when the backup was last made
        std::string productVersion;       // "17.4"; empty when unknown
        bool isEncrypted = false;
    };

    // A file of the backup as Manifest.db lists it.
    struct Entry {
        std::string fileID;
        std::vector<uint8_t> properties;  // the keyed-archive property list of the file
    };

    // What the keyed archive of a Manifest.db row says about its file.
    struct FileProperties {
        std::optional<uint64_t> size;                      // the true length (encrypted files are padded)
        std::optional<std::vector<uint8_t>> encryptionKey;  // class (4 bytes, little-endian) + wrapped key
    };
    // fileProperties: nothing when the bytes are not a keyed archive with a root object.
    static std::optional<FileProperties> fileProperties(std::span<const uint8_t> archive);

    // The password, asked for only when the backup is encrypted; nothing when the person gave none.
    using PasswordSource = std::function<std::optional<std::string>()>;

    // describe: the summary of a backup folder; nothing when the folder is not one.
    static std::optional<Summary> describe(const std::filesystem::path& folder);
    // findIn: the folder itself when it is a backup, else the backups in the folders directly inside it;
    // newest first (those without a date last).
    static std::vector<Summary> findIn(const std::filesystem::path& folder);

    [[nodiscard]] static tl::expected<std::shared_ptr<IPhoneBackup>, Failure> open(const std::filesystem::path& folder,
                                                                               const PasswordSource& password);

    const Summary& summary() const { return summary_; }

    // entry: the listed regular file; nothing when the backup does not hold it.
    const Entry* entry(const std::string& domain, const std::string& relativePath) const;

    // openFile: the file's bytes, decrypted when the backup is encrypted. A file not listed, or not a
    // regular file inside the backup folder, is missing or outside as ReadableFile tells them apart; one
    // that fails to decrypt is unreadable.
    [[nodiscard]] tl::expected<ReadableFile, ReadableFile::Failure> openFile(const std::string& domain,
                                                                           const std::string& relativePath) const;

    // holds: whether openFile would give the file, without decrypting it: it is listed, a regular file inside
    // the backup folder, and (encrypted) its key opens.
    bool holds(const std::string& domain, const std::string& relativePath) const;

    // database: a path SQLiteDatabase::openReadOnly opens for the database at `relativePath` and its "-wal"
    // log: the backup's own file, read as it is when it is plain and has no log, else served by
    // BackupFileSystem (decrypted as it is read) for as long as this object lives. Nothing when the backup
    // does not hold the database.
    [[nodiscard]] tl::expected<std::optional<std::string>, Failure> database(const std::string& domain,
                                                                          const std::string& relativePath);

    // The domain and relative path of the Messages database and of the address book.
    static constexpr const char* homeDomain = "HomeDomain";
    static constexpr const char* mediaDomain = "MediaDomain";
    static constexpr const char* messagesPath = "Library/SMS/sms.db";
    static constexpr const char* addressBookPath = "Library/AddressBook/AddressBook.sqlitedb";

    // fileID: the name of a file in a backup.
    static std::string fileID(const std::string& domain, const std::string& relativePath);

private:
    IPhoneBackup() = default;
    [[nodiscard]] tl::expected<void, Failure> readManifest(const std::string& path);
    // The file's key, unwrapped with its class key; nothing when it has none or it cannot be opened.
    std::optional<std::vector<uint8_t>> fileKey(const Entry& entry, std::optional<uint64_t>& size) const;
    Failure failure(Failure::Kind kind, std::string detail) const;

    Summary summary_;
    std::optional<ReadableFile> root_;
    std::map<std::string, Entry> entries_;  // by domain + "-" + relative path
    BackupKeybag::ClassKeys classKeys_;
    // The databases served to SQLite, by the path they are served under.
    std::map<std::string, std::shared_ptr<const BackupFileSystem::Served>> served_;
};

}  // namespace quillmark
