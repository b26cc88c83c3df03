#include "core/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/temporary_paths.h"

namespace quillmark::AtomicFile {

namespace fs = std::filesystem;

namespace {

Failure failure(std::string_view verb, const fs::path& path, int error) {
    return {"Could not " + std::string(verb) + " \u201c" + path.string() + "\u201d: " + std::strerror(error) + "."};
}

// An open file descriptor, closed when it goes away.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now and reports the error close gives, which for some file systems is the first sign that a
    // write did not reach the disk.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int fd_;
};

// A name for something temporary beside the destination, different on every call.
fs::path temporaryName(const fs::path& destination, const char* kind) {
    static std::atomic<uint64_t> counter{0};
    const fs::path folder = destination.has_parent_path() ? destination.parent_path() : fs::path(".");
    const auto clock = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const uint64_t n = (clock ^ (static_cast<uint64_t>(::getpid()) << 40)) + counter.fetch_add(1) * 7919;
    char name[48];
    std::snprintf(name, sizeof name, ".quillmark-%016llx.%s", static_cast<unsigned long long>(n), kind);
    return folder / name;
}

// A temporary file beside the destination. The name is short and fixed in length, so a destination whose
// name is close to the file system's limit still gets a temporary name that fits.
class Temporary {
public:
    static tl::expected<Temporary, Failure> create(const fs::path& destination) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path path = temporaryName(destination, "tmp");
            // Registered before it exists, so that an interrupted run removes it whatever moment it stops at.
            TemporaryPaths::Hold hold = TemporaryPaths::hold(path);
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) return Temporary(std::move(path), fd, std::move(hold));
            if (errno != EEXIST) return tl::unexpected(failure("write", destination, errno));
        }
        return tl::unexpected(failure("write", destination, EEXIST));
    }

    Temporary(Temporary&& other) noexcept
        : path_(std::move(other.path_)), fd_(other.fd_.release()), hold_(std::move(other.hold_)) {
        other.path_.clear();
    }
    Temporary& operator=(Temporary&&) = delete;
    ~Temporary() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }

    int fd() const { return fd_.get(); }

    // Flushes the bytes to the disk, closes, and renames the file over the destination. After this the
    // temporary file no longer exists, whatever the outcome.
    tl::expected<void, Failure> commit(const fs::path& destination) {
        if (::fsync(fd_.get()) != 0) return tl::unexpected(failure("write", destination, errno));
        if (const int error = fd_.close(); error != 0) return tl::unexpected(failure("write", destination, error));
        int renamed = 0;
        TemporaryPaths::settle([&] { renamed = ::rename(path_.c_str(), destination.c_str()) == 0 ? 0 : errno; });
        if (renamed != 0) return tl::unexpected(failure("write", destination, renamed));
        const fs::path folder = path_.parent_path();
        path_.clear();
        // Make the new name itself durable; a failure here leaves the file written, so it is not an error.
        Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory.get() >= 0) ::fsync(directory.get());
        return {};
    }

private:
    Temporary(fs::path path, int fd, TemporaryPaths::Hold hold) : path_(std::move(path)), fd_(fd), hold_(std::move(hold)) {}
    fs::path path_;
    Descriptor fd_;
    TemporaryPaths::Hold hold_;
};

// Writes all bytes, resuming after partial writes and interruptions; the errno of a failure, else 0.
int writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

tl::expected<void, Failure> write(const fs::path& path, std::string_view bytes) {
    auto temporary = Temporary::create(path);
    if (!temporary) return tl::unexpected(temporary.error());
    if (const int error = writeAll(temporary->fd(), bytes.data(), bytes.size()); error != 0)
        return tl::unexpected(failure("write", path, error));
    return temporary->commit(path);
}

tl::expected<void, Failure> copy(const ReadableFile& source, std::string_view sourceName,
                                     const fs::path& destination) {
    auto temporary = Temporary::create(destination);
    if (!temporary) return tl::unexpected(temporary.error());
    const int input = source.descriptor();
    const auto readError = [&](int error) {
        return Failure{"Could not read \u201c" + std::string(sourceName) + "\u201d: " + std::strerror(error) + "."};
    };

    // The kernel copies without the bytes passing through this process where it can; otherwise (other
    // file systems, older kernels) the bytes are read and written in 1 MiB chunks. Reading goes by offset,
    // so the source's own position is never moved.
    loff_t offset = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(input, &offset, temporary->fd(), nullptr, 1 << 30, 0);
        if (n == 0) return temporary->commit(destination);
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EPERM) break;
        // copy_file_range does not say which side failed; a read error is far more likely from the source.
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT || error == EFBIG) return tl::unexpected(failure("write", destination, error));
        return tl::unexpected(readError(error));
    }
    // Whatever the kernel copied before it refused is discarded, and the chunked copy starts at the beginning.
    if (::ftruncate(temporary->fd(), 0) != 0 || ::lseek(temporary->fd(), 0, SEEK_SET) < 0)
        return tl::unexpected(failure("write", destination, errno));
    std::vector<char> buffer(1 << 20);
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(input, buffer.data(), buffer.size(), at);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return tl::unexpected(readError(errno));
        }
        at += n;
        if (const int error = writeAll(temporary->fd(), buffer.data(), static_cast<size_t>(n)); error != 0)
            return tl::unexpected(failure("write", destination, error));
    }
    return temporary->commit(destination);
}

tl::expected<void, Failure> replaceFolder(const fs::path& destination, const FolderFill& fill) {
    std::error_code error;
    const fs::file_status existing = fs::symlink_status(destination, error);
    if (fs::exists(existing) && !fs::is_directory(existing))
        return tl::unexpected(Failure{"Could not write \u201c" + destination.string() +
                                      "\u201d: something that is not a folder is there."});

    fs::path temporary;
    TemporaryPaths::Hold heldTemporary;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = temporaryName(destination, "folder");
        heldTemporary = TemporaryPaths::hold(temporary);
        if (::mkdir(temporary.c_str(), 0777) == 0) break;
        if (errno != EEXIST) return tl::unexpected(failure("write", destination, errno));
        temporary.clear();
    }
    if (temporary.empty()) return tl::unexpected(failure("write", destination, EEXIST));

    auto discard = [](const fs::path& path) {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    };
    if (auto filled = fill(temporary); !filled) {
        discard(temporary);
        return filled;
    }
    // The renames run settled: an interrupt either comes before them (and removes the temporary folder) or
    // after them (and finds the export in place), never in between.
    int reason = 0;
    bool exchanged = false;
    const fs::path aside = temporaryName(destination, "old");
    const TemporaryPaths::Hold heldAside = TemporaryPaths::hold(aside);
    TemporaryPaths::settle([&] {
        if (!fs::exists(existing)) {
            if (::rename(temporary.c_str(), destination.c_str()) != 0) reason = errno;
            return;
        }
        // The new folder and the old one trade places in one step, so the destination is never missing.
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, destination.c_str(), RENAME_EXCHANGE) == 0) {
            exchanged = true;
            return;
        }
        // File systems without the exchange: the old folder is moved aside, then the new one moved in.
        if (::rename(destination.c_str(), aside.c_str()) != 0 || ::rename(temporary.c_str(), destination.c_str()) != 0) {
            reason = errno;
            if (!fs::exists(fs::symlink_status(destination, error))) ::rename(aside.c_str(), destination.c_str());
        }
    });
    if (reason != 0) {
        discard(temporary);
        return tl::unexpected(failure("write", destination, reason));
    }
    discard(exchanged ? temporary : aside);
    return {};
}

}  // namespace quillmark::AtomicFile
