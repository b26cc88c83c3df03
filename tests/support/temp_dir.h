// TempDir: a private folder under the system's temporary folder, removed with everything in it when the
// object goes away. Tests write nowhere else.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillmark::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes bytes to a file below the folder, creating intermediate folders.
    std::filesystem::path write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}  // namespace quillmark::testing
