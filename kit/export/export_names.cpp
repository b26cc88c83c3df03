#include "export/export_names.h"

#include <system_error>

#include "core/text.h"
#include "export/internet_date.h"

namespace quillmark::ExportNames {

namespace fs = std::filesystem;

std::string safeName(std::string_view text) {
    // NUL joins the ten: the name becomes a file name, and the system would silently cut it there.
    static constexpr std::string_view refused("/:\\?%*|\"<>\0", 11);
    // Names come from other people's phones: controls (a terminal escape in a file listing) and the marks
    // that turn text around ("txt.exe" shown as "exe.txt") never reach the file system.
    std::string out = text::validUTF8(text);
    for (char& c : out)
        if (refused.find(c) != std::string_view::npos) c = '-';
    return text::trimmed(text::withoutControls(out));
}

std::string stem(const MessageThread& thread, const std::string& zone, const std::string& locale) {
    std::string name = "Messages with " + safeName(thread.conversation.title(locale));
    const auto first = thread.firstDate(), last = thread.lastDate();
    if (first && last) {
        const InternetDateFormat days(zone);
        name += " (" + days.text(*first).substr(0, 10) + " to " + days.text(*last).substr(0, 10) + ")";
    }
    return name;
}

std::string extension(ExportFormat format) {
    if (format == ExportFormat::html) return {};
    std::string dotted(1, '.');
    dotted += format.fileExtension();
    return dotted;
}

std::string suggestedName(const MessageThread& thread, ExportFormat format, const std::string& zone,
                          const std::string& locale) {
    return stem(thread, zone, locale) + extension(format);
}

std::string freeName(const fs::path& folder, std::string_view stem, std::string_view extension) {
    auto taken = [&](const std::string& name) {
        std::error_code error;
        return fs::exists(fs::symlink_status(folder / name, error));
    };
    std::string name = std::string(stem) + std::string(extension);
    for (int n = 2; taken(name); ++n) name = std::string(stem) + " " + std::to_string(n) + std::string(extension);
    return name;
}

}  // namespace quillmark::ExportNames
