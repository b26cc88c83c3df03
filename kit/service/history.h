// History: a Messages history opened for a front-end: the library of its conversations, where its files
// are, the places no export may write to, and SQLite's check of its integrity.
//
// Opening tells the ways a history can be unavailable apart, each with words a person can act on: nothing
// there (`missing`), the system refusing this account (`noAccess`), or a file that is not a history Quillmark
// knows or that cannot be read (`failed`). The integrity check starts on first need and runs once per
// opened history, on a connection of its own beside the work that needs it.
//
//   auto history = History::open(HistoryLocation::find("/evidence/Library", {}));
//   if (!history) show(history.error().title(), history.error().description());
//   (*history)->library().conversations();
//   (*history)->startIntegrityCheck();                  // at once, beside loading a thread
//   if (auto whole = (*history)->integrity(); !whole) fail(whole.error());   // "The history is damaged: …"
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <tl/expected.hpp>

#include "service/history_location.h"
#include "conversations/library.h"
#include "store/integrity_check.h"

namespace quillmark {

class History {
public:
    struct Failure {
        // needsPassword and wrongPassword: an encrypted iPhone backup opened without its password, or with
        // another one.
        enum class Kind { missing, noAccess, failed, damaged, needsPassword, wrongPassword };
        Kind kind = Kind::failed;
        std::string path;    // the database file that was looked for
        std::string detail;  // for failed: why; for damaged: what SQLite's check found

        // "No Messages history here yet", "Quillmark can't read the Messages history" …
        std::string title() const;
        // A sentence naming the path and what was found there.
        std::string description() const;
    };

    // The places no export may write into or over: the database with its log files, the folder that holds
    // it (attachments included) and the address-book folders read. Paths with links resolved.
    struct Protected {
        std::vector<std::filesystem::path> folders;
        std::vector<std::filesystem::path> files;
    };

    // When SQLite's integrity check of the history starts: when an export or a verification asks for it, or
    // as soon as the database is open, beside the reading of the conversation list (for a caller that opens
    // the history only to export or verify).
    enum class Check { whenAsked, atOnce };

    // open: the history at the location. The password is asked for only when the location is an encrypted
    // iPhone backup; deriving the key from it takes seconds.
    [[nodiscard]] static tl::expected<std::unique_ptr<History>, Failure> open(
        const HistoryLocation& where, const IPhoneBackup::PasswordSource& password = {},
        Check check = Check::whenAsked);

    Library& library() { return *library_; }
    const HistoryLocation& location() const { return location_; }
    const Protected& protectedPlaces() const { return protected_; }

    // startIntegrityCheck: begins SQLite's check of the history unless it ran or runs already.
    void startIntegrityCheck();
    // integrity: waits for the check (starting it when needed). A damaged history fails with kind damaged,
    // whose description reads "The history is damaged: SQLite's integrity check found “…”. Quillmark exports
    // only from an undamaged history; copy it again from where it came from."
    [[nodiscard]] tl::expected<void, Failure> integrity();

private:
    History() = default;
    [[nodiscard]] static tl::expected<std::unique_ptr<History>, Failure> openBackup(
        const HistoryLocation& where, const IPhoneBackup::PasswordSource& password, Check check);

    HistoryLocation location_;
    Protected protected_;
    std::unique_ptr<Library> library_;
    std::shared_ptr<IntegrityCheck> check_;
    // The backup read from; it goes with the last of its owners (this, the library's files, and the
    // attachments of threads still held). Its databases stay served while a connection reads them.
    std::shared_ptr<IPhoneBackup> backup_;
};

}  // namespace quillmark
