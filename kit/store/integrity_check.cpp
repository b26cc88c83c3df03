#include "store/integrity_check.h"

namespace quillmark {

namespace {

// The check's verdict: SQLite answers one row "ok", or up to a hundred rows naming the damage.
tl::expected<void, IntegrityCheck::Failure> check(SQLiteDatabase& database) {
    auto statement = database.prepare("PRAGMA quick_check");
    if (!statement) return tl::unexpected(IntegrityCheck::Failure{statement.error().description()});
    auto row = (*statement)->step();
    if (!row) return tl::unexpected(IntegrityCheck::Failure{row.error().description()});
    if (!*row) return tl::unexpected(IntegrityCheck::Failure{"the check gave no answer"});
    const std::string first = (*statement)->string(0).value_or("");
    if (first == "ok") return {};
    return tl::unexpected(IntegrityCheck::Failure{first.empty() ? std::string("the check gave no answer") : first});
}

}  // namespace

std::shared_ptr<IntegrityCheck> IntegrityCheck::start(const SQLiteDatabase& database) {
    std::shared_ptr<IntegrityCheck> started(new IntegrityCheck());
    auto connection = database.reopen();
    if (!connection) {
        started->result_ = tl::unexpected(Failure{connection.error().description()});
        return started;
    }
    started->connection_ = std::move(*connection);
    started->thread_ = std::thread([self = started.get()] {
        auto verdict = check(*self->connection_);
        std::lock_guard guard(self->lock_);
        self->result_ = std::move(verdict);
    });
    return started;
}

IntegrityCheck::~IntegrityCheck() {
    if (!thread_.joinable()) return;
    connection_->interrupt();
    thread_.join();
}

tl::expected<void, IntegrityCheck::Failure> IntegrityCheck::wait() {
    {
        std::lock_guard join(joining_);
        if (thread_.joinable()) thread_.join();
    }
    std::lock_guard guard(lock_);
    return result_.value_or(tl::unexpected(Failure{"the check did not finish"}));
}

}  // namespace quillmark
