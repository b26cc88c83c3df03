#include "service/history.h"

#include "conversations/contacts_book.h"
#include "store/backup_files.h"
#include "store/messages_database.h"

namespace quillmark {

namespace fs = std::filesystem;

namespace {

fs::path resolved(const fs::path& path) {
    std::error_code error;
    fs::path canonical = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? fs::absolute(path).lexically_normal() : canonical;
}

// The folder of an address book that is read: the nearest folder named "AddressBook" above it (which holds
// its sources too), else only the file itself is protected.
std::optional<fs::path> addressBookFolder(const fs::path& database) {
    for (fs::path folder = database.parent_path(); !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path())
        if (folder.filename() == "AddressBook") return folder;
    return std::nullopt;
}

History::Protected placesOf(const HistoryLocation& where) {
    History::Protected places;
    const fs::path database = resolved(where.messagesPath);
    places.folders.push_back(database.parent_path());
    for (const fs::path& book : where.contactsPaths) {
        const fs::path file = resolved(book);
        if (const auto folder = addressBookFolder(file)) {
            places.folders.push_back(*folder);
        } else {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"}) places.files.push_back(file.string() + suffix);
        }
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) places.files.push_back(database.string() + suffix);
    return places;
}

}  // namespace

std::string History::Failure::title() const {
    switch (kind) {
        case Kind::missing: return "No Messages history here yet";
        case Kind::noAccess:
        case Kind::failed: return "Quillmark can't read the Messages history";
        case Kind::damaged: return "This history is damaged";
        case Kind::needsPassword: return "This iPhone backup is encrypted";
        case Kind::wrongPassword: return "Wrong password for this iPhone backup";
    }
    return {};
}

std::string History::Failure::description() const {
    switch (kind) {
        case Kind::missing: return "There is no Messages history at " + path + ".";
        case Kind::noAccess:
            return "This account can't read " + path + ": the system refused access to the file or a folder above it.";
        case Kind::failed: return detail;
        case Kind::damaged:
            return "The history is damaged: SQLite's integrity check found \u201c" + detail +
                   "\u201d. Quillmark exports only from an undamaged history; copy it again from where it came from.";
        case Kind::needsPassword:
        case Kind::wrongPassword: return detail;
    }
    return {};
}

tl::expected<std::unique_ptr<History>, History::Failure> History::open(const HistoryLocation& where,
                                                                      const IPhoneBackup::PasswordSource& password,
                                                                      Check check) {
    using Unexpected = tl::unexpected<Failure>;
    if (where.backup) return openBackup(where, password, check);
    auto database = MessagesDatabase::open(where.messagesPath);
    if (!database) {
        switch (database.error().kind) {
            case MessagesDatabase::Failure::Kind::missing:
                return Unexpected(Failure{Failure::Kind::missing, where.messagesPath, {}});
            case MessagesDatabase::Failure::Kind::noAccess:
                return Unexpected(Failure{Failure::Kind::noAccess, where.messagesPath, {}});
            case MessagesDatabase::Failure::Kind::unrecognized:
                break;
        }
        return Unexpected(Failure{Failure::Kind::failed, where.messagesPath, database.error().description()});
    }
    std::shared_ptr<IntegrityCheck> early;
    if (check == Check::atOnce) early = IntegrityCheck::start((*database)->connection());
    auto contacts = std::make_shared<ContactsBook>();
    contacts->load(where.contactsPaths);
    auto library = Library::open(std::move(*database), std::move(contacts));
    if (!library) return Unexpected(Failure{Failure::Kind::failed, where.messagesPath, library.error().description()});

    std::unique_ptr<History> history(new History());
    history->check_ = std::move(early);
    history->location_ = where;
    history->protected_ = placesOf(where);
    history->library_ = std::move(*library);
    return history;
}

tl::expected<std::unique_ptr<History>, History::Failure> History::openBackup(
    const HistoryLocation& where, const IPhoneBackup::PasswordSource& password, Check check) {
    using Unexpected = tl::unexpected<Failure>;
    using Kind = IPhoneBackup::Failure::Kind;
    const fs::path folder = where.backup->folder;
    auto backup = IPhoneBackup::open(folder, password);
    if (!backup) {
        const IPhoneBackup::Failure& why = backup.error();
        switch (why.kind) {
            case Kind::notBackup: return Unexpected(Failure{Failure::Kind::missing, where.messagesPath, {}});
            case Kind::needsPassword:
                return Unexpected(Failure{Failure::Kind::needsPassword, where.messagesPath, why.description()});
            case Kind::wrongPassword:
                return Unexpected(Failure{Failure::Kind::wrongPassword, where.messagesPath, why.description()});
            case Kind::damaged:
            case Kind::failed: break;
        }
        return Unexpected(Failure{Failure::Kind::failed, where.messagesPath, why.description()});
    }
    auto sms = (*backup)->database(IPhoneBackup::homeDomain, IPhoneBackup::messagesPath);
    if (!sms) return Unexpected(Failure{Failure::Kind::failed, where.messagesPath, sms.error().description()});
    if (!*sms)
        return Unexpected(Failure{Failure::Kind::failed, where.messagesPath,
                                  "The iPhone backup at " + where.messagesPath +
                                      " holds no Messages history: its list of files has no Library/SMS/sms.db."});
    auto database = MessagesDatabase::open(**sms);
    if (!database)
        return Unexpected(Failure{Failure::Kind::failed, where.messagesPath,
                                  "The Messages history in the iPhone backup at " + where.messagesPath +
                                      " can't be read: " + database.error().description()});
    (*database)->setHomeFolder((*backup)->summary().folder.string());
    std::shared_ptr<IntegrityCheck> early;
    if (check == Check::atOnce) early = IntegrityCheck::start((*database)->connection());

    // The backup's own address book first; books named beside it add to it, and win where they differ.
    std::vector<fs::path> books;
    auto book = (*backup)->database(IPhoneBackup::homeDomain, IPhoneBackup::addressBookPath);
    if (book && *book) books.emplace_back(**book);
    books.insert(books.end(), where.contactsPaths.begin(), where.contactsPaths.end());
    auto contacts = std::make_shared<ContactsBook>();
    contacts->load(books);

    std::shared_ptr<IPhoneBackup> shared = std::move(*backup);
    auto library = Library::open(std::move(*database), std::move(contacts), BackupFiles::of(shared));
    if (!library) return Unexpected(Failure{Failure::Kind::failed, where.messagesPath, library.error().description()});
    (*library)->setOrigin(HistoryOrigin{shared->summary().deviceName, shared->summary().date});

    std::unique_ptr<History> history(new History());
    history->check_ = std::move(early);
    history->location_ = where;
    history->protected_.folders.push_back(resolved(folder));
    for (const fs::path& named : where.contactsPaths) {
        const fs::path file = resolved(named);
        if (const auto bookFolder = addressBookFolder(file)) {
            history->protected_.folders.push_back(*bookFolder);
        } else {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"}) history->protected_.files.push_back(file.string() + suffix);
        }
    }
    history->backup_ = std::move(shared);
    history->library_ = std::move(*library);
    return history;
}

void History::startIntegrityCheck() {
    if (!check_) check_ = IntegrityCheck::start(library_->database().connection());
}

tl::expected<void, History::Failure> History::integrity() {
    startIntegrityCheck();
    auto whole = check_->wait();
    if (whole) return {};
    return tl::unexpected(Failure{Failure::Kind::damaged, location_.messagesPath, whole.error().description()});
}

}  // namespace quillmark
