#include "store/backup_files.h"

namespace quillmark {

std::shared_ptr<const HistoryFiles> BackupFiles::of(std::shared_ptr<const IPhoneBackup> backup) {
    std::string folder = backup->summary().folder.string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return std::shared_ptr<const HistoryFiles>(new BackupFiles(std::move(folder), std::move(backup)));
}

std::optional<std::string> BackupFiles::relative(const std::string& path) const {
    const std::string prefix = folder() + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    return path.substr(prefix.size());
}

tl::expected<ReadableFile, ReadableFile::Failure> BackupFiles::open(const std::string& path) const {
    const auto inside = relative(path);
    if (!inside) return tl::unexpected(ReadableFile::Refusal::outside);
    return backup_->openFile(IPhoneBackup::mediaDomain, *inside);
}

bool BackupFiles::contains(const std::string& path) const {
    const auto inside = relative(path);
    return inside && backup_->holds(IPhoneBackup::mediaDomain, *inside);
}

}  // namespace quillmark
