#include "core/account.h"

#include <vector>

#include <pwd.h>
#include <unistd.h>

#include "core/text.h"

namespace quillmark {

std::string accountFullName() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_gecos)
        return {};
    // The GECOS field holds the full name, then office, phones and other details after commas.
    std::string gecos = found->pw_gecos;
    if (const auto comma = gecos.find(','); comma != std::string::npos) gecos.resize(comma);
    return text::trimmed(text::withoutControls(gecos));
}

}  // namespace quillmark
