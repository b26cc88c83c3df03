#include "core/private_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include <sys/stat.h>

namespace quillmark {

namespace fs = std::filesystem;

tl::expected<std::shared_ptr<PrivateFolder>, PrivateFolder::Failure> PrivateFolder::make(const std::string& prefix) {
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec) temp = "/tmp";
    std::random_device random;
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "-%08x%08x", random(), random());
        const fs::path folder = temp / (prefix + suffix);
        // Registered before it is made, so that an interrupt at any moment removes it.
        TemporaryPaths::Hold hold = TemporaryPaths::hold(folder);
        if (::mkdir(folder.c_str(), 0700) == 0)
            return std::shared_ptr<PrivateFolder>(new PrivateFolder(folder, std::move(hold)));
        error = errno;
        if (error != EEXIST) break;
    }
    return tl::unexpected(Failure{"can't make a private folder in " + temp.string() + ": " + std::strerror(error)});
}

PrivateFolder::~PrivateFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace quillmark
