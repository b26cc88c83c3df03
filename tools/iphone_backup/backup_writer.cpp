#include "iphone_backup/backup_writer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <system_error>
#include <vector>

#include <openssl/rand.h>
#include <plist/plist.h>

#include "core/apple_time.h"
#include "core/private_folder.h"
#include "store/backup_cipher.h"
#include "store/backup_keybag.h"
#include "store/iphone_backup.h"
#include "store/sqlite_database.h"

namespace quillmark::BackupWriter {

namespace fs = std::filesystem;

namespace {

using Buffer = std::vector<uint8_t>;
using Failed = tl::unexpected<std::string>;

// The protection classes the files of a backup are kept under, as a phone keeps them.
constexpr uint32_t fileClass = 3;
constexpr uint32_t manifestClass = 4;
constexpr uint32_t classCount = 11;

struct File {
    std::string domain;
    std::string relativePath;
    Buffer bytes;
};

Buffer randomBytes(size_t n) {
    Buffer bytes(n);
    RAND_bytes(bytes.data(), static_cast<int>(n));
    return bytes;
}

tl::expected<Buffer, std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Failed("can't read " + path.string());
    return Buffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

tl::expected<void, std::string> writeFile(const fs::path& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) return Failed("can't write " + path.string());
    return {};
}

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistFree>;

Buffer binaryList(plist_t node) {
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    Buffer out(bytes, bytes + length);
    free(bytes);  // NOLINT: libplist allocates with malloc
    return out;
}

std::string xmlList(plist_t node) {
    char* text = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &text, &length);
    std::string out(text, length);
    free(text);  // NOLINT: libplist allocates with malloc
    return out;
}

plist_t dateNode(double seconds) {
    const double since2001 = seconds - AppleTime::referenceDate;
    return plist_new_date(static_cast<int32_t>(since2001), 0);
}

plist_t dataNode(const Buffer& bytes) {
    return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Buffer storedKey(uint32_t protectionClass, const Buffer& wrapped) {
    Buffer out(4 + wrapped.size());
    for (size_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(protectionClass >> (8 * i));
    std::copy(wrapped.begin(), wrapped.end(), out.begin() + 4);
    return out;
}

// The keyed archive a Manifest.db row keeps for its file.
Buffer fileArchive(const File& file, const std::optional<Buffer>& encryptionKey) {
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t record = plist_new_dict();
    plist_dict_set_item(record, "$class", plist_new_uid(3));
    plist_dict_set_item(record, "RelativePath", plist_new_uid(2));
    plist_dict_set_item(record, "Size", plist_new_uint(file.bytes.size()));
    plist_dict_set_item(record, "ProtectionClass", plist_new_uint(fileClass));
    plist_dict_set_item(record, "Mode", plist_new_uint(0100644));
    plist_dict_set_item(record, "Flags", plist_new_uint(0));
    if (encryptionKey) plist_dict_set_item(record, "EncryptionKey", plist_new_uid(4));
    plist_array_append_item(objects, record);
    plist_array_append_item(objects, plist_new_string(file.relativePath.c_str()));
    plist_t fileClassInfo = plist_new_dict();
    plist_dict_set_item(fileClassInfo, "$classname", plist_new_string("MBFile"));
    plist_array_append_item(objects, fileClassInfo);
    if (encryptionKey) {
        plist_t key = plist_new_dict();
        plist_dict_set_item(key, "NS.data", dataNode(*encryptionKey));
        plist_dict_set_item(key, "$class", plist_new_uid(5));
        plist_array_append_item(objects, key);
        plist_t dataClass = plist_new_dict();
        plist_dict_set_item(dataClass, "$classname", plist_new_string("NSMutableData"));
        plist_array_append_item(objects, dataClass);
    }
    const Plist archive(plist_new_dict());
    plist_dict_set_item(archive.get(), "$version", plist_new_uint(100000));
    plist_dict_set_item(archive.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(archive.get(), "$top", top);
    plist_dict_set_item(archive.get(), "$objects", objects);
    return binaryList(archive.get());
}

// sms.db: chat.db with the attachments named as a phone names them, in turns with and without "~".
tl::expected<void, std::string> addMessages(const fs::path& data, const fs::path& work, const Options& options,
                                            std::vector<File>& files) {
    const fs::path copy = work / "sms.db";
    std::error_code ec;
    fs::copy_file(data / "Messages" / "chat.db", copy, ec);
    if (ec) return Failed("can't copy " + (data / "Messages" / "chat.db").string() + ": " + ec.message());
    auto db = SQLiteDatabase::openCreating(copy.string());
    if (!db) return Failed(db.error().description());
    if (options.withLog) {
        // Checkpoints off: the renamed attachments stay in the log, where only a reader of the log finds them.
        if (auto mode = (*db)->execute("PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"); !mode)
            return Failed(mode.error().description());
    }
    const std::string rename =
        "UPDATE attachment SET filename = CASE WHEN ROWID % 2 = 0 THEN '~/Library/SMS/Attachments/' "
        "ELSE '/var/mobile/Library/SMS/Attachments/' END || substr(filename, 32) "
        "WHERE substr(filename, 1, 31) = '~/Library/Messages/Attachments/'";
    if (auto renamed = (*db)->execute(rename); !renamed) return Failed(renamed.error().description());
    auto bytes = readFile(copy);
    if (!bytes) return Failed(bytes.error());
    files.push_back(File{"HomeDomain", IPhoneBackup::messagesPath, std::move(*bytes)});
    if (options.withLog) {
        auto log = readFile(copy.string() + "-wal");
        if (!log) return Failed(log.error());
        files.push_back(File{"HomeDomain", std::string(IPhoneBackup::messagesPath) + "-wal", std::move(*log)});
    }
    return {};
}

tl::expected<void, std::string> addAttachments(const fs::path& data, std::vector<File>& files) {
    const fs::path folder = data / "Messages" / "Attachments";
    std::error_code ec;
    if (!fs::exists(folder, ec)) return {};
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        auto bytes = readFile(it->path());
        if (!bytes) return Failed(bytes.error());
        files.push_back(File{"MediaDomain", "Library/SMS/Attachments/" + fs::relative(it->path(), folder).string(),
                             std::move(*bytes)});
    }
    if (ec) return Failed("can't list " + folder.string() + ": " + ec.message());
    return {};
}

// The Mac address book as an iPhone keeps one.
tl::expected<void, std::string> addAddressBook(const fs::path& data, const fs::path& work, std::vector<File>& files) {
    const fs::path mac = data / "AddressBook" / "AddressBook-v22.abcddb";
    std::error_code ec;
    if (!fs::exists(mac, ec)) return {};
    auto source = SQLiteDatabase::openReadOnly(mac.string());
    if (!source) return Failed(source.error().description());
    const fs::path phone = work / "AddressBook.sqlitedb";
    {
        auto target = SQLiteDatabase::openCreating(phone.string());
        if (!target) return Failed(target.error().description());
        SQLiteDatabase& t = **target;
        if (auto made = t.execute(
                "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, Middle TEXT, "
                "Organization TEXT, Nickname TEXT, Note TEXT);"
                "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, "
                "identifier INTEGER, label INTEGER, value TEXT);"
                "BEGIN");
            !made)
            return Failed(made.error().description());
        struct Copy {
            const char* from;
            const char* to;
            int columns;
        };
        const Copy copies[] = {
            {"SELECT Z_PK, ZFIRSTNAME, ZLASTNAME, ZORGANIZATION, ZNICKNAME FROM ZABCDRECORD",
             "INSERT INTO ABPerson (ROWID, First, Last, Organization, Nickname) VALUES (?, ?, ?, ?, ?)", 5},
            {"SELECT ZOWNER, 3, ZFULLNUMBER FROM ZABCDPHONENUMBER",
             "INSERT INTO ABMultiValue (record_id, property, value) VALUES (?, ?, ?)", 3},
            {"SELECT ZOWNER, 4, ZADDRESS FROM ZABCDEMAILADDRESS",
             "INSERT INTO ABMultiValue (record_id, property, value) VALUES (?, ?, ?)", 3},
        };
        for (const Copy& copy : copies) {
            auto read = (*source)->prepare(copy.from);
            auto write = t.prepare(copy.to);
            if (!read || !write) return Failed("can't convert the address book " + mac.string());
            Statement& in = **read;
            std::string problem;
            auto rows = in.forEachRow([&] {
                std::vector<BindValue> values;
                for (int column = 0; column < copy.columns; ++column) {
                    if (in.isNull(column)) values.emplace_back();
                    else if (in.isInteger(column)) values.emplace_back(in.int64(column));
                    else values.emplace_back(in.string(column).value_or(""));
                }
                if (auto done = (*write)->run(values); !done) problem = done.error().description();
            });
            if (!rows) return Failed(rows.error().description());
            if (!problem.empty()) return Failed(problem);
        }
        if (auto committed = t.execute("COMMIT"); !committed) return Failed(committed.error().description());
    }
    auto bytes = readFile(phone);
    if (!bytes) return Failed(bytes.error());
    files.push_back(File{"HomeDomain", IPhoneBackup::addressBookPath, std::move(*bytes)});
    return {};
}

}  // namespace

tl::expected<void, std::string> write(const fs::path& dataFolder, const fs::path& backup, const Options& options) {
    std::error_code ec;
    if (fs::exists(backup, ec)) return Failed(backup.string() + " already exists");
    auto work = PrivateFolder::make("quillmark-backup-writer");
    if (!work) return Failed(work.error().sentence);

    std::vector<File> files;
    if (auto added = addMessages(dataFolder, (*work)->path(), options, files); !added) return added;
    if (auto added = addAttachments(dataFolder, files); !added) return added;
    if (options.withAddressBook)
        if (auto added = addAddressBook(dataFolder, (*work)->path(), files); !added) return added;
    // A file the history does not need, as every backup holds thousands.
    files.push_back(File{"HomeDomain", "Library/Preferences/com.apple.preferences.plist", {'b', 'p'}});

    fs::create_directories(backup, ec);
    if (ec) return Failed("can't make " + backup.string() + ": " + ec.message());

    // Keys: one per protection class, wrapped with the password's key.
    std::map<uint32_t, Buffer> classKeys;
    Buffer keybag;
    if (options.password) {
        const Buffer salt = randomBytes(20), dpsl = randomBytes(20), uuid = randomBytes(16);
        const auto passwordKey =
            BackupCipher::passwordKey(*options.password, dpsl, options.passwordIterations, salt, options.iterations);
        if (!passwordKey) return Failed("OpenSSL can't derive the key");
        std::vector<BackupKeybag::ClassKey> wrapped;
        for (uint32_t c = 1; c <= classCount; ++c) {
            classKeys[c] = randomBytes(32);
            wrapped.push_back({c, BackupKeybag::wrappedWithPassword, *BackupCipher::wrap(*passwordKey, classKeys[c])});
        }
        // A key bound to the device as well, which no one away from the phone can open.
        wrapped.push_back({classCount + 1, 3, randomBytes(40)});
        keybag = BackupKeybag::encode(uuid, salt, options.iterations, dpsl, options.passwordIterations, wrapped);
    }

    const fs::path manifestPath = (*work)->path() / "Manifest.db";
    {
        auto manifest = SQLiteDatabase::openCreating(manifestPath.string());
        if (!manifest) return Failed(manifest.error().description());
        if (auto made = (*manifest)->execute(
                "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);"
                "CREATE INDEX FilesDomainIdx ON Files(domain); CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
                "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB); BEGIN");
            !made)
            return Failed(made.error().description());
        auto insert = (*manifest)->prepare("INSERT INTO Files VALUES (?, ?, ?, ?, ?)");
        if (!insert) return Failed(insert.error().description());
        for (const char* folder : {"Library/SMS", "Library/SMS/Attachments"}) {
            const std::string domain = "MediaDomain";
            if (auto done = (*insert)->run({IPhoneBackup::fileID(domain, folder), domain, std::string(folder), int64_t{2},
                                            quillmark::Bytes{}});
                !done)
                return Failed(done.error().description());
        }
        for (const File& file : files) {
            const std::string id = IPhoneBackup::fileID(file.domain, file.relativePath);
            std::optional<Buffer> storedFileKey;
            const Buffer* bytes = &file.bytes;
            Buffer encrypted;
            if (options.password) {
                const Buffer key = randomBytes(32);
                storedFileKey = storedKey(fileClass, *BackupCipher::wrap(classKeys[fileClass], key));
                encrypted = *BackupCipher::encrypt(key, file.bytes);
                bytes = &encrypted;
            }
            fs::create_directories(backup / id.substr(0, 2), ec);
            if (auto written = writeFile(backup / id.substr(0, 2) / id, bytes->data(), bytes->size()); !written)
                return written;
            if (auto done = (*insert)->run({id, file.domain, file.relativePath, int64_t{1},
                                            quillmark::Bytes{fileArchive(file, storedFileKey)}});
                !done)
                return Failed(done.error().description());
        }
        if (auto committed = (*manifest)->execute("COMMIT"); !committed) return Failed(committed.error().description());
    }
    auto manifestBytes = readFile(manifestPath);
    if (!manifestBytes) return Failed(manifestBytes.error());
    Buffer manifestKey;
    if (options.password) {
        const Buffer key = randomBytes(32);
        manifestKey = storedKey(manifestClass, *BackupCipher::wrap(classKeys[manifestClass], key));
        *manifestBytes = *BackupCipher::encrypt(key, *manifestBytes);
    }
    if (auto written = writeFile(backup / "Manifest.db", manifestBytes->data(), manifestBytes->size()); !written)
        return written;

    const Plist manifestList(plist_new_dict());
    plist_dict_set_item(manifestList.get(), "IsEncrypted", plist_new_bool(options.password ? 1 : 0));
    plist_dict_set_item(manifestList.get(), "Version", plist_new_string("10.0"));
    plist_dict_set_item(manifestList.get(), "Date", dateNode(options.backupDate));
    plist_t lockdown = plist_new_dict();
    plist_dict_set_item(lockdown, "DeviceName", plist_new_string(options.deviceName.c_str()));
    plist_dict_set_item(lockdown, "ProductVersion", plist_new_string("17.4"));
    plist_dict_set_item(manifestList.get(), "Lockdown", lockdown);
    if (options.password) {
        plist_dict_set_item(manifestList.get(), "BackupKeyBag", dataNode(keybag));
        plist_dict_set_item(manifestList.get(), "ManifestKey", dataNode(manifestKey));
    }
    const Buffer manifestListBytes = binaryList(manifestList.get());

    const Plist info(plist_new_dict());
    plist_dict_set_item(info.get(), "Device Name", plist_new_string(options.deviceName.c_str()));
    plist_dict_set_item(info.get(), "Display Name", plist_new_string(options.deviceName.c_str()));
    plist_dict_set_item(info.get(), "Last Backup Date", dateNode(options.backupDate));
    plist_dict_set_item(info.get(), "Product Version", plist_new_string("17.4"));
    plist_dict_set_item(info.get(), "Product Type", plist_new_string("iPhone15,2"));
    const std::string infoText = xmlList(info.get());

    const Plist status(plist_new_dict());
    plist_dict_set_item(status.get(), "IsFullBackup", plist_new_bool(1));
    plist_dict_set_item(status.get(), "Version", plist_new_string("3.3"));
    plist_dict_set_item(status.get(), "Date", dateNode(options.backupDate));
    const std::string statusText = xmlList(status.get());

    if (auto w = writeFile(backup / "Manifest.plist", manifestListBytes.data(), manifestListBytes.size()); !w) return w;
    if (auto w = writeFile(backup / "Info.plist", infoText.data(), infoText.size()); !w) return w;
    if (auto w = writeFile(backup / "Status.plist", statusText.data(), statusText.size()); !w) return w;
    return {};
}

}  // namespace quillmark::BackupWriter
