#include "store/private_copy.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillmark {

namespace fs = std::filesystem;

tl::expected<std::unique_ptr<PrivateCopy>, std::string> PrivateCopy::make(const std::string& path) {
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec) temp = "/tmp";
    std::string pattern = (temp / "quillmark-history-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return tl::unexpected("can't make a private folder for a copy of " + path + " in " + temp.string());
    const fs::path folder = pattern;  // mkdtemp makes it for this user only
    TemporaryPaths::Hold hold = TemporaryPaths::hold(folder);
    const fs::path copy = folder / fs::path(path).filename();

    for (const char* suffix : {"", "-wal"}) {
        const fs::path source = path + suffix;
        fs::copy_file(source, copy.string() + suffix, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            fs::remove_all(folder, ec);
            return tl::unexpected("can't copy " + source.string() + " to a private folder: " + ec.message());
        }
        // The copy must be writable by us so that SQLite may read its log.
        fs::permissions(copy.string() + suffix, fs::perms::owner_read | fs::perms::owner_write, ec);
    }
    return std::unique_ptr<PrivateCopy>(new PrivateCopy(folder.string(), copy.string(), std::move(hold)));
}

PrivateCopy::~PrivateCopy() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

}  // namespace quillmark
