#include "core/history_files.h"

#include <filesystem>

namespace quillmark {

namespace fs = std::filesystem;

std::shared_ptr<const HistoryFiles> HistoryFiles::inFolder(const std::string& folder) {
    std::error_code error;
    fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : fs::path(folder), error);
    if (error) absolute = folder;
    std::string name = absolute.lexically_normal().string();
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    std::optional<ReadableFile> root;
    if (auto opened = ReadableFile::openFolder(name)) root = std::move(*opened);
    return std::shared_ptr<const HistoryFiles>(new HistoryFiles(std::move(name), std::move(root)));
}

HistoryFiles::HistoryFiles(std::string folder, std::optional<ReadableFile> root)
    : folder_(std::move(folder)), root_(std::move(root)) {}

tl::expected<ReadableFile, ReadableFile::Failure> HistoryFiles::open(const std::string& path) const {
    if (!root_) return tl::unexpected(ReadableFile::Refusal::missing);
    // Only a path written below the folder is looked for; what it then walks through is checked on the way.
    const std::string prefix = folder_ == "/" ? folder_ : folder_ + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return tl::unexpected(ReadableFile::Refusal::outside);
    return ReadableFile::openBeneath(*root_, std::string_view(path).substr(prefix.size()));
}

}  // namespace quillmark
