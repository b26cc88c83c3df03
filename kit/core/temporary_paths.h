// TemporaryPaths: the temporary files and folders of a run, so that an interrupted run leaves none behind.
//
// Exports are written under temporary names beside their destination and renamed into place; a history in
// write-ahead-log mode is read from a private copy. Each such path is registered while it exists. When the
// program is interrupted (SIGINT, SIGTERM, SIGHUP), everything still registered is removed before the
// program ends, so no ".quillmark-…" file or private copy of someone's messages stays behind.
//
//   TemporaryPaths::removeOnInterrupt();               // once, first thing in main, before any thread starts
//   auto held = TemporaryPaths::hold("/exports/.quillmark-1f2e.tmp");
//   …                                                  // the path is removed on an interrupt until `held` goes
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace quillmark::TemporaryPaths {

// Hold: a registration, ended when it goes away (the path itself is left as it is then).
class Hold {
public:
    Hold() = default;
    explicit Hold(uint64_t id) : id_(id) {}
    Hold(Hold&& other) noexcept : id_(other.id_) { other.id_ = 0; }
    Hold& operator=(Hold&& other) noexcept;
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ~Hold();

private:
    uint64_t id_ = 0;
};

// hold: registers the path (a file, or a folder removed with its content). Register before creating it, so
// that nothing is created once the removal has begun.
[[nodiscard]] Hold hold(const std::filesystem::path& path);

// settle: runs `step` (the rename that turns a temporary path into the export) so that it never overlaps the
// removal: once the program is being interrupted, the step does not run and the thread waits for the end.
void settle(const std::function<void()>& step);

// removeAll: removes every registered path, for the end of the program: afterwards no path can be registered
// or settled any more (those calls wait for the program to end). Safe from any thread; not from a signal
// handler.
void removeAll();

// removeOnInterrupt: on SIGINT, SIGTERM or SIGHUP, removes every registered path, then ends the program by
// that signal. It blocks those signals in the calling thread and every thread started after, and waits for
// them on a thread of its own, so the removal runs as ordinary code. Call it before starting any thread.
void removeOnInterrupt();

}  // namespace quillmark::TemporaryPaths
