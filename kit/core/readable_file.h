// ReadableFile: a regular file opened for reading, and the only way a file named by a history is opened.
//
// The database names its attachment files, and a database can be crafted: it may name /etc/shadow, a path
// that climbs out of the history with "..", a link that points elsewhere, a pipe that never answers or a
// device that never ends. So a history's file is opened beneath the descriptor of the history's folder, with
// every link on the way resolved inside that folder (the kernel's RESOLVE_BENEATH, or a walk of the path one
// component at a time where the kernel lacks it), without waiting, and kept only when the opened descriptor
// is a regular file. Everything after the open works on the descriptor, so nothing can be swapped in
// between the check and the read.
//
//   auto folder = ReadableFile::openFolder("/home/me/Library/Messages");
//   auto file = ReadableFile::openBeneath(*folder, "Attachments/ab/IMG_1.HEIC");
//   if (!file) return file.error();               // kind Refusal::outside, ::missing, ::notRegular …
//   read(file->descriptor(), …);  file->size();  vips_image_new_from_file(file->procPath().c_str(), …);
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include <tl/expected.hpp>

namespace quillmark {

class ReadableFile {
public:
    // Why a file was not opened.
    enum class Refusal {
        missing,     // nothing at that path (or a folder on the way is missing)
        outside,     // the path or a link on it leads out of the folder
        notRegular,  // a folder, pipe, device or socket
        unreadable,  // the system refused to open it
    };

    // Failure: a refusal, told apart by kind; its description is a sentence about the file.
    struct Failure {
        Refusal kind = Refusal::missing;
        Failure(Refusal refusal = Refusal::missing) : kind(refusal) {}  // NOLINT: a refusal is a failure
        std::string description() const;
        friend bool operator==(const Failure&, const Failure&) = default;
        friend bool operator==(const Failure& failure, Refusal refusal) { return failure.kind == refusal; }
    };

    // How a path is followed beneath a folder: by the kernel when it can, else component by component.
    // Both give the same answers; tests and the fuzzer hold them to that.
    enum class Resolution { automatic, walk };

    // openFolder: a descriptor of the folder for openBeneath, or the reason it cannot be had.
    [[nodiscard]] static tl::expected<ReadableFile, Failure> openFolder(const std::string& path);

    // openBeneath: the regular file at `relative` below the folder, with every link on the way resolved
    // inside the folder. An absolute path, ".." above the folder and links pointing out of it are `outside`.
    [[nodiscard]] static tl::expected<ReadableFile, Failure> openBeneath(
        const ReadableFile& folder, std::string_view relative, Resolution resolution = Resolution::automatic);

    // open: a regular file the user named (such as a PDF to verify or a blob to inspect), without waiting.
    [[nodiscard]] static tl::expected<ReadableFile, Failure> open(const std::string& path);

    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ~ReadableFile();

    int descriptor() const { return descriptor_; }
    // The attributes read from the descriptor when it was opened.
    const struct stat& status() const { return status_; }
    int64_t size() const { return static_cast<int64_t>(status_.st_size); }

    // A name for this very file, for libraries that only open files by name: "/proc/self/fd/7". Opening it
    // opens the file this descriptor holds, whatever now stands at the original path.
    std::string procPath() const;

    // The whole content, read from the start; nothing when a read fails or the file is larger than `limit`.
    [[nodiscard]] tl::expected<std::string, Failure> readAll(int64_t limit) const;

    // adopt: takes over a descriptor opened for reading (such as a file decrypted into memory) and keeps it
    // when it is a regular file; closes it otherwise.
    [[nodiscard]] static tl::expected<ReadableFile, Failure> adopt(int fd);

private:
    ReadableFile(int descriptor, const struct stat& status) : descriptor_(descriptor), status_(status) {}
    int descriptor_ = -1;
    struct stat status_ {};
};

}  // namespace quillmark
