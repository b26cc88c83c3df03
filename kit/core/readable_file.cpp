#include "core/readable_file.h"

#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillmark {

namespace {

// Reading never waits (a pipe or a device opened for reading could block forever), never makes a terminal
// the controlling one, and leaves the access time alone where the system lets us (only a file's owner may).
constexpr int readFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Links followed while walking one path; the kernel's own limit.
constexpr int maxLinks = 40;

ReadableFile::Refusal refusalOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG: return ReadableFile::Refusal::missing;
        // A link out of the folder, a ".." above it, or a link swapped in while walking.
        case EXDEV:
        case ELOOP: return ReadableFile::Refusal::outside;
        case ENXIO:
        case ENODEV:
        case EISDIR: return ReadableFile::Refusal::notRegular;
        default: return ReadableFile::Refusal::unreadable;
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Opens the final component for reading, trying without the access-time update first.
int openForReading(int folder, const char* name, int extra) {
    int fd = ::openat(folder, name, readFlags | O_NOATIME | extra);
    if (fd < 0 && errno == EPERM) fd = ::openat(folder, name, readFlags | extra);
    return fd;
}

// The kernel's own walk beneath a folder; -1 with errno set, ENOSYS where the kernel has none.
int openat2Beneath(int folder, const std::string& relative) {
    struct open_how how {};
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    how.flags = readFlags | O_NOATIME;
    long fd = ::syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how);
    if (fd < 0 && errno == EPERM) {
        how.flags = readFlags;
        fd = ::syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how);
    }
    return static_cast<int>(fd);
}

// Splits a path at its slashes, dropping empty pieces; the pieces are pushed so that the first is on top. A
// trailing slash stays as a last "." piece: it asks for a folder, as it does of the kernel.
void pushComponents(std::vector<std::string>& pending, std::string_view path) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) pieces.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (!path.empty() && path.back() == '/') pieces.emplace_back(".");
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) pending.push_back(std::move(*it));
}

// The same walk done here, one component at a time: every folder is opened without following a link, every
// link is read and its target walked in its place, and ".." goes back to the folder it came from, never above
// the start. A link whose target is absolute leads out, as it does for the kernel.
tl::expected<int, ReadableFile::Failure> walkBeneath(int folder, std::string_view relative) {
    using Refusal = ReadableFile::Refusal;
    std::vector<std::string> pending;
    pushComponents(pending, relative);
    std::vector<Descriptor> opened;  // the folders below `folder` that the walk stands in
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (name == ".") continue;
        if (name == "..") {
            if (opened.empty()) return tl::unexpected(Refusal::outside);
            opened.pop_back();
            continue;
        }
        const int current = opened.empty() ? folder : opened.back().get();
        struct stat status {};
        if (::fstatat(current, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return tl::unexpected(refusalOf(errno));
        if (S_ISLNK(status.st_mode)) {
            if (++links > maxLinks) return tl::unexpected(Refusal::outside);
            std::vector<char> target(4096);
            const ssize_t length = ::readlinkat(current, name.c_str(), target.data(), target.size());
            if (length < 0) return tl::unexpected(refusalOf(errno));
            if (length == 0 || size_t(length) >= target.size()) return tl::unexpected(Refusal::missing);
            if (target[0] == '/') return tl::unexpected(Refusal::outside);
            pushComponents(pending, std::string_view(target.data(), size_t(length)));
            continue;
        }
        // The last component is the file; anything before it (even a "." or a trailing slash) must be a folder.
        if (pending.empty() && !S_ISDIR(status.st_mode)) {
            // O_NOFOLLOW: a link swapped in since the look above is refused, not followed.
            const int fd = openForReading(current, name.c_str(), O_NOFOLLOW);
            if (fd < 0) return tl::unexpected(refusalOf(errno));
            return fd;
        }
        if (!S_ISDIR(status.st_mode)) return tl::unexpected(Refusal::missing);
        const int next = ::openat(current, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return tl::unexpected(refusalOf(errno));
        opened.emplace_back(next);
    }
    // The walk ended on a folder (or on the start itself).
    return tl::unexpected(Refusal::notRegular);
}

}  // namespace

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), status_(other.status_) {}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        status_ = other.status_;
    }
    return *this;
}

ReadableFile::~ReadableFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

tl::expected<ReadableFile, ReadableFile::Failure> ReadableFile::openFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return tl::unexpected(refusalOf(errno));
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return tl::unexpected(refusalOf(error));
    }
    return ReadableFile(fd, status);
}

tl::expected<ReadableFile, ReadableFile::Failure> ReadableFile::openBeneath(const ReadableFile& folder,
                                                                             std::string_view relative,
                                                                             Resolution resolution) {
    if (relative.empty() || relative.front() == '/' || relative.find('\0') != std::string_view::npos)
        return tl::unexpected(relative.empty() ? Refusal::notRegular : Refusal::outside);
    if (resolution == Resolution::automatic) {
        const int fd = openat2Beneath(folder.descriptor(), std::string(relative));
        if (fd >= 0) return adopt(fd);
        if (errno != ENOSYS) return tl::unexpected(refusalOf(errno));
    }
    auto fd = walkBeneath(folder.descriptor(), relative);
    if (!fd) return tl::unexpected(fd.error());
    return adopt(*fd);
}

tl::expected<ReadableFile, ReadableFile::Failure> ReadableFile::open(const std::string& path) {
    int fd = ::open(path.c_str(), readFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), readFlags);
    if (fd < 0) return tl::unexpected(refusalOf(errno));
    return adopt(fd);
}

tl::expected<ReadableFile, ReadableFile::Failure> ReadableFile::adopt(int fd) {
    Descriptor owned(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0) return tl::unexpected(Refusal::unreadable);
    if (!S_ISREG(status.st_mode)) return tl::unexpected(Refusal::notRegular);
    // A regular file reads the same with or without O_NONBLOCK; clearing it keeps libraries that are handed
    // the descriptor from seeing EAGAIN on file systems that honour it (FUSE).
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return ReadableFile(owned.release(), status);
}

std::string ReadableFile::procPath() const { return "/proc/self/fd/" + std::to_string(descriptor_); }

tl::expected<std::string, ReadableFile::Failure> ReadableFile::readAll(int64_t limit) const {
    if (size() > limit) return tl::unexpected(Refusal::unreadable);
    std::string bytes;
    bytes.reserve(static_cast<size_t>(size()));
    char buffer[1 << 16];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(descriptor_, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return tl::unexpected(Refusal::unreadable);
        if (n == 0) return bytes;
        bytes.append(buffer, size_t(n));
        offset += n;
        if (static_cast<int64_t>(bytes.size()) > limit) return tl::unexpected(Refusal::unreadable);
    }
}

std::string ReadableFile::Failure::description() const {
    switch (kind) {
        case Refusal::missing: return "The file isn't there.";
        case Refusal::outside: return "The file isn't in this history.";
        case Refusal::notRegular: return "That isn't a file: a folder, a pipe or a device is never read.";
        case Refusal::unreadable: return "The system refused to read the file.";
    }
    return "The file can't be read.";
}

}  // namespace quillmark
