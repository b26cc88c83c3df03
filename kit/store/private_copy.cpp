#include "store/private_copy.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <sys/stat.h>

namespace quillmark {

namespace fs = std::filesystem;

tl::expected<std::unique_ptr<PrivateCopy>, PrivateCopy::Failure> PrivateCopy::make(const std::string& path) {
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec) temp = "/tmp";
    // The folder is registered before it is made, so that an interrupt at any moment removes it.
    fs::path folder;
    TemporaryPaths::Hold hold;
    std::random_device random;
    for (int attempt = 0; attempt < 100 && folder.empty(); ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "quillmark-history-%08x%08x", random(), random());
        hold = TemporaryPaths::hold(temp / name);
        if (::mkdir((temp / name).c_str(), 0700) == 0) folder = temp / name;  // for this user only
        else if (errno != EEXIST) break;
    }
    if (folder.empty())
        return tl::unexpected(Failure{"can't make a private folder for a copy of " + path + " in " + temp.string()});
    const fs::path copy = folder / fs::path(path).filename();

    for (const char* suffix : {"", "-wal"}) {
        const fs::path source = path + suffix;
        fs::copy_file(source, copy.string() + suffix, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            fs::remove_all(folder, ec);
            return tl::unexpected(Failure{"can't copy " + source.string() + " to a private folder: " + ec.message()});
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
