#include "store/iphone_backup.h"

#include <algorithm>
#include <system_error>

#include <sys/mman.h>
#include <unistd.h>

#include <plist/plist.h>

#include "core/property_list.h"
#include "store/backup_cipher.h"
#include "store/backup_file_system.h"
#include "store/sqlite_database.h"

namespace quillmark {

namespace fs = std::filesystem;

namespace {

// Property lists of a backup are small; a larger one is not read.
constexpr int64_t listLimit = 64 << 20;
constexpr int64_t regularFileFlag = 1;

PropertyList::Node readList(const ReadableFile& folder, const char* name) {
    auto file = ReadableFile::openBeneath(folder, name);
    if (!file) return nullptr;
    auto bytes = file->readAll(listLimit);
    if (!bytes) return nullptr;
    return PropertyList::parse(std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
}

plist_t child(plist_t dict, const char* key) {
    if (!dict || plist_get_node_type(dict) != PLIST_DICT) return nullptr;
    return plist_dict_get_item(dict, key);
}

plist_t item(const PropertyList::Node& dict, const char* key) { return child(dict.get(), key); }

// The object a keyed archive's value stands for: the value itself, or the object its reference names.
plist_t dereference(plist_t objects, plist_t value) {
    if (!value || plist_get_node_type(value) != PLIST_UID) return value;
    uint64_t index = 0;
    plist_get_uid_val(value, &index);
    if (index >= plist_array_get_size(objects)) return nullptr;
    return plist_array_get_item(objects, static_cast<uint32_t>(index));
}

// A wrapped key as a backup stores it: a 4-byte little-endian protection class, then the wrapped key.
std::optional<std::vector<uint8_t>> unwrapStored(const BackupKeybag::ClassKeys& keys, const std::vector<uint8_t>& stored) {
    if (stored.size() < 4) return std::nullopt;
    const uint32_t protectionClass = uint32_t{stored[0]} | (uint32_t{stored[1]} << 8) | (uint32_t{stored[2]} << 16) |
                                     (uint32_t{stored[3]} << 24);
    const auto classKey = keys.find(protectionClass);
    if (classKey == keys.end()) return std::nullopt;
    return BackupCipher::unwrap(classKey->second, std::span(stored).subspan(4));
}

}  // namespace

std::string IPhoneBackup::Failure::description() const {
    switch (kind) {
        case Kind::notBackup: return folder + " is not an iPhone backup: it has no Manifest.db and Manifest.plist.";
        case Kind::needsPassword:
            return "This iPhone backup is encrypted. Enter the password that was set for its backups.";
        case Kind::wrongPassword:
            return "The password doesn't open this iPhone backup. It is the password set for encrypted backups of "
                   "this iPhone, not the iPhone's passcode.";
        case Kind::damaged: return "The iPhone backup at " + folder + " is damaged: " + detail + ".";
        case Kind::failed: return "Quillmark can't open the iPhone backup at " + folder + ": " + detail + ".";
    }
    return detail;
}

IPhoneBackup::Failure IPhoneBackup::failure(Failure::Kind kind, std::string detail) const {
    return Failure{kind, summary_.folder.string(), std::move(detail)};
}

std::optional<IPhoneBackup::FileProperties> IPhoneBackup::fileProperties(std::span<const uint8_t> bytes) {
    const PropertyList::Node archive = PropertyList::parse(bytes);
    plist_t objects = item(archive, "$objects");
    plist_t top = item(archive, "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT)
        return std::nullopt;
    plist_t root = dereference(objects, child(top, "root"));
    if (!root || plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
    FileProperties properties;
    properties.size = PropertyList::integer(dereference(objects, child(root, "Size")));
    plist_t key = dereference(objects, child(root, "EncryptionKey"));
    if (key && plist_get_node_type(key) == PLIST_DICT) key = child(key, "NS.data");
    properties.encryptionKey = PropertyList::data(key);
    return properties;
}

std::string IPhoneBackup::fileID(const std::string& domain, const std::string& relativePath) {
    return BackupCipher::sha1Hex(domain + "-" + relativePath);
}

std::optional<IPhoneBackup::Summary> IPhoneBackup::describe(const fs::path& named) {
    // One spelling of the folder, absolute and without a trailing slash: the history's attachment paths are
    // made below it and looked for by that prefix.
    std::error_code ec;
    fs::path folder = fs::absolute(named, ec).lexically_normal();
    if (ec) folder = named.lexically_normal();
    if (!folder.has_filename() && folder.has_parent_path() && folder != folder.root_path()) folder = folder.parent_path();
    auto root = ReadableFile::openFolder(folder.string());
    if (!root) return std::nullopt;
    if (!ReadableFile::openBeneath(*root, "Manifest.db")) return std::nullopt;
    const PropertyList::Node manifest = readList(*root, "Manifest.plist");
    if (!manifest || plist_get_node_type(manifest.get()) != PLIST_DICT) return std::nullopt;
    const PropertyList::Node info = readList(*root, "Info.plist");
    const PropertyList::Node status = readList(*root, "Status.plist");

    Summary summary;
    summary.folder = folder;
    summary.isEncrypted = PropertyList::boolean(item(manifest, "IsEncrypted")).value_or(false);
    std::optional<std::string> device = PropertyList::string(item(info, "Device Name"));
    if (!device) device = PropertyList::string(child(item(manifest, "Lockdown"), "DeviceName"));
    summary.deviceName = device && !device->empty() ? *device : "an iPhone";
    summary.date = PropertyList::date(item(info, "Last Backup Date"));
    if (!summary.date) summary.date = PropertyList::date(item(status, "Date"));
    if (!summary.date) summary.date = PropertyList::date(item(manifest, "Date"));
    std::optional<std::string> version = PropertyList::string(item(info, "Product Version"));
    if (!version) version = PropertyList::string(child(item(manifest, "Lockdown"), "ProductVersion"));
    summary.productVersion = version.value_or("");
    return summary;
}

std::vector<IPhoneBackup::Summary> IPhoneBackup::findIn(const fs::path& folder) {
    if (auto self = describe(folder)) return {*self};
    std::vector<Summary> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (!it->is_directory(kind)) continue;
        if (auto backup = describe(it->path())) found.push_back(std::move(*backup));
    }
    std::stable_sort(found.begin(), found.end(), [](const Summary& a, const Summary& b) {
        if (a.date && b.date) return *a.date > *b.date;
        if (a.date || b.date) return a.date.has_value();
        return a.folder < b.folder;
    });
    return found;
}

tl::expected<std::shared_ptr<IPhoneBackup>, IPhoneBackup::Failure> IPhoneBackup::open(const fs::path& folder,
                                                                                      const PasswordSource& password) {
    using Kind = Failure::Kind;
    std::shared_ptr<IPhoneBackup> backup(new IPhoneBackup());
    backup->summary_.folder = folder;
    auto summary = describe(folder);
    if (!summary) return tl::unexpected(backup->failure(Kind::notBackup, {}));
    backup->summary_ = *summary;
    auto root = ReadableFile::openFolder(summary->folder.string());
    if (!root) return tl::unexpected(backup->failure(Kind::notBackup, {}));
    backup->root_ = std::move(*root);

    if (!summary->isEncrypted) {
        auto read = backup->readManifest((summary->folder / "Manifest.db").string());
        if (!read) return tl::unexpected(read.error());
        return backup;
    }

    const PropertyList::Node manifest = readList(*backup->root_, "Manifest.plist");
    const auto bagBytes = PropertyList::data(item(manifest, "BackupKeyBag"));
    const auto manifestKey = PropertyList::data(item(manifest, "ManifestKey"));
    if (!bagBytes) return tl::unexpected(backup->failure(Kind::damaged, "Manifest.plist holds no key bag"));
    const auto bag = BackupKeybag::decode(*bagBytes);
    if (!bag) return tl::unexpected(backup->failure(Kind::damaged, "its key bag can't be read"));
    if (!manifestKey) return tl::unexpected(backup->failure(Kind::damaged, "Manifest.plist holds no key for Manifest.db"));

    const std::optional<std::string> given = password ? password() : std::nullopt;
    if (!given) return tl::unexpected(backup->failure(Kind::needsPassword, {}));
    auto key = bag->passwordKey(*given);
    if (!key) return tl::unexpected(backup->failure(Kind::failed, "OpenSSL can't derive the key"));
    auto keys = bag->unlock(*key);
    std::fill(key->begin(), key->end(), uint8_t{0});
    if (!keys) {
        if (keys.error() == BackupKeybag::Failure::wrongPassword)
            return tl::unexpected(backup->failure(Kind::wrongPassword, {}));
        return tl::unexpected(backup->failure(Kind::damaged, "its key bag holds no key the password opens"));
    }
    backup->classKeys_ = std::move(*keys);

    const auto databaseKey = unwrapStored(backup->classKeys_, *manifestKey);
    if (!databaseKey) return tl::unexpected(backup->failure(Kind::damaged, "the key of Manifest.db can't be opened"));
    auto encrypted = ReadableFile::openBeneath(*backup->root_, "Manifest.db");
    if (!encrypted) return tl::unexpected(backup->failure(Kind::damaged, "Manifest.db can't be read"));
    // Read through the decrypting file system; the list is in memory afterwards and nothing decrypted is kept.
    const std::string list = (backup->summary_.folder / "Manifest.db").string();
    auto served = BackupFileSystem::serve(list, {std::move(*encrypted), *databaseKey, std::nullopt}, std::nullopt);
    if (!served) return tl::unexpected(backup->failure(Kind::damaged, "Manifest.db: " + served.error().sentence));
    if (auto read = backup->readManifest(list); !read) return tl::unexpected(read.error());
    return backup;
}

tl::expected<void, IPhoneBackup::Failure> IPhoneBackup::readManifest(const std::string& path) {
    using Kind = Failure::Kind;
    auto opened = SQLiteDatabase::openReadOnly(path);
    if (!opened) return tl::unexpected(failure(Kind::damaged, "Manifest.db can't be read (" + opened.error().description() + ")"));
    auto statement = (*opened)->prepare(
        "SELECT fileID, domain, relativePath, flags, file FROM Files\n"
        "WHERE (domain = 'MediaDomain' AND relativePath LIKE 'Library/SMS/%')\n"
        "   OR (domain = 'HomeDomain' AND (relativePath LIKE 'Library/SMS/%' OR relativePath LIKE 'Library/AddressBook/%'))");
    if (!statement) return tl::unexpected(failure(Kind::damaged, "Manifest.db has no list of files"));
    Statement& row = **statement;
    auto rows = row.forEachRow([&] {
        const std::string domain = row.string(1).value_or("");
        const std::string relativePath = row.string(2).value_or("");
        std::string id = row.string(0).value_or("");
        // A row whose name is not the one its domain and path give is not trusted: the name is where the
        // file is read from.
        if (row.int64(3) != regularFileFlag || id != fileID(domain, relativePath)) return;
        entries_[domain + "-" + relativePath] = Entry{std::move(id), row.data(4).value_or(std::vector<uint8_t>{})};
    });
    if (!rows) return tl::unexpected(failure(Kind::damaged, "Manifest.db can't be read (" + rows.error().description() + ")"));
    return {};
}

const IPhoneBackup::Entry* IPhoneBackup::entry(const std::string& domain, const std::string& relativePath) const {
    const auto found = entries_.find(domain + "-" + relativePath);
    return found == entries_.end() ? nullptr : &found->second;
}

std::optional<std::vector<uint8_t>> IPhoneBackup::fileKey(const Entry& entry, std::optional<uint64_t>& size) const {
    const auto properties = fileProperties(entry.properties);
    if (!properties || !properties->encryptionKey) return std::nullopt;
    size = properties->size;
    return unwrapStored(classKeys_, *properties->encryptionKey);
}

tl::expected<ReadableFile, ReadableFile::Failure> IPhoneBackup::openFile(const std::string& domain,
                                                                       const std::string& relativePath) const {
    const Entry* found = entry(domain, relativePath);
    if (!found || !root_) return tl::unexpected(ReadableFile::Refusal::missing);
    auto file = ReadableFile::openBeneath(*root_, found->fileID.substr(0, 2) + "/" + found->fileID);
    if (!file || !summary_.isEncrypted) return file;

    std::optional<uint64_t> size;
    const auto key = fileKey(*found, size);
    if (!key) return tl::unexpected(ReadableFile::Refusal::unreadable);
    // The plain bytes live in memory only, in a file of no name that goes with its last descriptor.
    const int memory = ::memfd_create("quillmark-attachment", MFD_CLOEXEC);
    if (memory < 0) return tl::unexpected(ReadableFile::Refusal::unreadable);
    if (!BackupCipher::decrypt(*key, file->descriptor(), memory, size) || ::lseek(memory, 0, SEEK_SET) != 0) {
        ::close(memory);
        return tl::unexpected(ReadableFile::Refusal::unreadable);
    }
    return ReadableFile::adopt(memory);
}

bool IPhoneBackup::holds(const std::string& domain, const std::string& relativePath) const {
    const Entry* found = entry(domain, relativePath);
    if (!found || !root_) return false;
    if (!ReadableFile::openBeneath(*root_, found->fileID.substr(0, 2) + "/" + found->fileID)) return false;
    std::optional<uint64_t> size;
    return !summary_.isEncrypted || fileKey(*found, size).has_value();
}

tl::expected<std::optional<std::string>, IPhoneBackup::Failure> IPhoneBackup::database(const std::string& domain,
                                                                                     const std::string& relativePath) {
    using Kind = Failure::Kind;
    const Entry* main = entry(domain, relativePath);
    if (!main) return std::optional<std::string>{};
    const Entry* log = entry(domain, relativePath + "-wal");
    const std::string place = main->fileID.substr(0, 2) + "/" + main->fileID;
    if (!summary_.isEncrypted && !log) {
        // Read where it is, once it is known to be a regular file inside the backup.
        auto file = ReadableFile::openBeneath(*root_, place);
        if (!file) return tl::unexpected(failure(Kind::damaged, relativePath + ": " + file.error().description()));
        return std::optional<std::string>((summary_.folder / place).string());
    }
    const std::string path = (summary_.folder / place).string();
    if (served_.count(path)) return std::optional<std::string>(path);  // served by an earlier call
    // Read through the file system that decrypts as SQLite reads: no copy of the database is made.
    std::optional<BackupFileSystem::Source> sources[2];
    for (const auto& [entry, suffix, source] : {std::tuple{main, "", &sources[0]}, std::tuple{log, "-wal", &sources[1]}}) {
        if (!entry) continue;
        const std::string what = relativePath + suffix;
        std::optional<uint64_t> size;
        std::optional<std::vector<uint8_t>> key;
        if (summary_.isEncrypted) {
            key = fileKey(*entry, size);
            if (!key) return tl::unexpected(failure(Kind::damaged, "the key of " + what + " can't be opened"));
        }
        auto in = ReadableFile::openBeneath(*root_, entry->fileID.substr(0, 2) + "/" + entry->fileID);
        if (!in) return tl::unexpected(failure(Kind::damaged, what + ": " + in.error().description()));
        *source = BackupFileSystem::Source{std::move(*in), std::move(key), size};
    }
    auto served = BackupFileSystem::serve(path, std::move(*sources[0]), std::move(sources[1]));
    if (!served) return tl::unexpected(failure(Kind::damaged, relativePath + ": " + served.error().sentence));
    served_[path] = std::move(*served);
    return std::optional<std::string>(path);
}

}  // namespace quillmark
