#include "core/temporary_paths.h"

#include <csignal>
#include <map>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace quillmark::TemporaryPaths {

namespace {

struct Registry {
    std::mutex lock;
    std::map<uint64_t, std::filesystem::path> paths;
    uint64_t next = 1;
};

Registry& registry() {
    // Never destroyed: the interrupt thread may still use it while static objects are torn down at exit.
    static auto* shared = new Registry();
    return *shared;
}

}  // namespace

Hold& Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        Hold ended(id_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

Hold::~Hold() {
    if (id_ == 0) return;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.paths.erase(id_);
}

Hold hold(const std::filesystem::path& path) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    const uint64_t id = r.next++;
    r.paths.emplace(id, path);
    return Hold(id);
}

void settle(const std::function<void()>& step) {
    std::lock_guard guard(registry().lock);
    step();
}

void removeAll() {
    Registry& r = registry();
    // The lock is kept for good: a thread that goes on writing can neither register a new temporary path nor
    // rename one into place, so what is removed stays removed.
    r.lock.lock();
    for (const auto& [id, path] : r.paths) {
        std::error_code ignored;
        // A file opened before the removal began may still be written into a folder being removed; the folder
        // goes on the next pass.
        for (int pass = 0; pass < 20 && std::filesystem::exists(std::filesystem::symlink_status(path, ignored)); ++pass)
            std::filesystem::remove_all(path, ignored);
    }
    r.paths.clear();
}

void removeOnInterrupt() {
    static std::once_flag once;
    std::call_once(once, [] {
        sigset_t signals;
        sigemptyset(&signals);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, s);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        std::thread([signals] {
            int received = 0;
            if (sigwait(&signals, &received) != 0) return;
            removeAll();
            // End the program by the same signal, so that whoever started it sees how it ended.
            std::signal(received, SIG_DFL);
            sigset_t only;
            sigemptyset(&only);
            sigaddset(&only, received);
            pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
            std::raise(received);
        }).detach();
    });
}

}  // namespace quillmark::TemporaryPaths
