// SHA256: the one SHA-256 of the engine, over bytes in memory, bytes arriving in pieces, or a file.
//
//   SHA256::of("abc") == "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
//   SHA256::Hasher h;  h.update("a");  h.update("bc");  h.finish() == SHA256::of("abc")
//   SHA256::ofFile(file)              // the digest of an open file's bytes, read in 1 MiB chunks
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>


namespace quillmark {
class ReadableFile;
}

namespace quillmark::SHA256 {

// Hasher: a digest fed in pieces. `finish` gives 64 lowercase hex digits and ends it.
class Hasher {
public:
    Hasher();
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;
    void update(std::string_view bytes);
    std::string finish();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

// of: the digest of the bytes.
std::string of(std::string_view bytes);

// ofFile: the digest of the file's bytes from its start; nothing when a read fails, since the digest of part
// of a file is not the file's hash.
std::optional<std::string> ofFile(const ReadableFile& file);

// ofPath: the digest of the regular file at the path; nothing when it cannot be opened or read.
std::optional<std::string> ofPath(const std::string& path);

}  // namespace quillmark::SHA256
