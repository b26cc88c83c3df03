#include "core/locale.h"

#include <cstdlib>

namespace quillmark {

namespace {

constexpr const char* fallbackLocale = "en_US";

const char* categoryVariable(LocaleCategory category) {
    switch (category) {
        case LocaleCategory::messages:
            return "LC_MESSAGES";
        case LocaleCategory::time:
            return "LC_TIME";
    }
    return "LC_MESSAGES";
}

}  // namespace

std::string icuLocaleID(std::string_view posixValue) {
    std::string_view id = posixValue;
    if (const auto at = id.find('@'); at != std::string_view::npos) id = id.substr(0, at);
    if (const auto dot = id.find('.'); dot != std::string_view::npos) id = id.substr(0, dot);
    if (id == "C" || id == "POSIX") return fallbackLocale;
    return std::string(id);
}

std::string userLocale(LocaleCategory category) {
    for (const char* variable : {"LC_ALL", categoryVariable(category), "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        std::string id = icuLocaleID(value);
        if (!id.empty()) return id;
    }
    return fallbackLocale;
}

}  // namespace quillmark
