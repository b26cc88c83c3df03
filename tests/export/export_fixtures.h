// Small model values for the exporter tests: messages, attachments and options written in one line each.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "conversations/message_thread.h"
#include "core/history_files.h"
#include "export/export_options.h"

namespace quillmark::testing {

// Seconds since 1970 of a UTC calendar time.
inline double utc(int y, int m, int d, int hh = 0, int mm = 0, double ss = 0) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (era * 146097.0 + doe - 719468) * 86400 + hh * 3600 + mm * 60 + ss;
}

inline Message message(int64_t id, double date, std::string text, std::optional<Participant> sender = std::nullopt) {
    Message m;
    m.id = id;
    m.guid = "G" + std::to_string(id);
    m.date = Date{date};
    m.isFromMe = !sender;
    m.sender = std::move(sender);
    m.service = "iMessage";
    m.text = std::move(text);
    return m;
}

// An attachment whose file, when it has one, belongs to a history whose folder holds the file.
inline Attachment attachment(std::string guid, std::optional<std::string> path, std::string name,
                             std::optional<std::string> mime, int64_t bytes = 0) {
    const bool available = path.has_value();
    Attachment a(std::move(guid), path, std::move(name), std::move(mime), std::nullopt, bytes, false, available);
    if (path) a.files = HistoryFiles::inFolder(std::filesystem::path(*path).parent_path().string());
    return a;
}

inline ExportOptions options(std::string zone = "America/New_York", std::string locale = "en_US",
                             std::string me = "Sam") {
    return ExportOptions::make(ExportLayout::record, Paper::letter, std::move(zone), std::move(locale), std::move(me),
                               Date{1712345678}, "1.2.3");
}

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace quillmark::testing
