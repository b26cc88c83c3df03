// IntegrityCheck: SQLite's own check of a history (PRAGMA quick_check), run on a connection of its own on a
// thread of its own, so that it costs no time beside the work it runs with.
//
// Damage that SQLite reads past without a word (a page of one table written over by a copy of another, the
// typical result of a bad copy or a failing disk) would otherwise be exported as if the history were whole.
// Exports and verifications wait for the check; listing and showing do not.
//
//   auto check = IntegrityCheck::start(database);      // returns at once
//   … load the thread …
//   if (auto damage = check->wait(); !damage) show(damage.error());   // "Rowid 428 out of order"
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <tl/expected.hpp>

#include "core/failure.h"
#include "store/sqlite_database.h"

namespace quillmark {

class IntegrityCheck {
public:
    // start: begins the check on a second connection to what `database` reads.
    // Destroying the object interrupts a check that is still running.
    static std::shared_ptr<IntegrityCheck> start(const SQLiteDatabase& database);

    ~IntegrityCheck();
    IntegrityCheck(const IntegrityCheck&) = delete;
    IntegrityCheck& operator=(const IntegrityCheck&) = delete;

    // The first line the check reported ("Rowid 428 out of order"), or SQLite's message when the check itself
    // could not read the file.
    using Failure = SentenceFailure;

    // wait: nothing when the check found no damage, else its failure. Waits for the check to end; safe from
    // any thread.
    [[nodiscard]] tl::expected<void, Failure> wait();

private:
    IntegrityCheck() = default;

    std::mutex lock_;
    std::mutex joining_;
    std::optional<tl::expected<void, Failure>> result_;
    // The check's own connection, kept here so that an unfinished check can be interrupted when the object
    // goes away (a closed window must not wait for it). Declared before the thread that uses it.
    std::unique_ptr<SQLiteDatabase> connection_;
    std::thread thread_;
};

}  // namespace quillmark
