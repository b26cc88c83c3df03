#include "support/realdata.h"

#include <cstdlib>

namespace quillmark::testing {

std::optional<std::filesystem::path> realData() {
    std::filesystem::path dir = QUILLMARK_REALDATA_DIR;
    if (const char* env = std::getenv("QUILLMARK_REALDATA_DIR"); env && *env) dir = env;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return std::nullopt;
    return dir;
}

}  // namespace quillmark::testing
