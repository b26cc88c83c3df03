#include "store/private_copy.h"

#include <filesystem>
#include <system_error>

namespace quillmark {

namespace fs = std::filesystem;

tl::expected<std::unique_ptr<PrivateCopy>, PrivateCopy::Failure> PrivateCopy::make(const std::string& path) {
    auto folder = PrivateFolder::make("quillmark-history");
    if (!folder)
        return tl::unexpected(Failure{folder.error().description() + " (for a copy of " + path + ")"});
    return make(path, path + "-wal", std::move(*folder), fs::path(path).filename().string());
}

tl::expected<std::unique_ptr<PrivateCopy>, PrivateCopy::Failure> PrivateCopy::make(
    const std::string& database, const std::string& log, std::shared_ptr<PrivateFolder> folder,
    const std::string& name) {
    const fs::path copy = folder->path() / name;
    std::error_code ec;
    for (const auto& [source, suffix] : {std::pair{database, ""}, std::pair{log, "-wal"}}) {
        fs::copy_file(source, copy.string() + suffix, fs::copy_options::overwrite_existing, ec);
        if (ec) return tl::unexpected(Failure{"can't copy " + source + " to a private folder: " + ec.message()});
        // The copy must be writable by us so that SQLite may read its log.
        fs::permissions(copy.string() + suffix, fs::perms::owner_read | fs::perms::owner_write, ec);
    }
    return std::unique_ptr<PrivateCopy>(new PrivateCopy(std::move(folder), copy.string()));
}

}  // namespace quillmark
