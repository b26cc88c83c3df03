// BackupFiles: the files of a history read from an iPhone backup.
//
// The history names its attachments as the phone had them ("~/Library/SMS/Attachments/…" or
// "/var/mobile/Library/SMS/Attachments/…"); the reader resolves them below the backup folder
// (MessagesDatabase::setHomeFolder), and this finds such a path in the backup's list of files (domain
// MediaDomain) and opens it there, decrypted when the backup is encrypted. A file the list does not hold is
// missing: not in this history.
//
//   auto files = BackupFiles::of(backup);
//   files->open(backupFolder + "/Library/SMS/Attachments/ab/01/x/IMG_1.HEIC");   // the file's bytes
#pragma once

#include <memory>

#include "core/history_files.h"
#include "store/iphone_backup.h"

namespace quillmark {

class BackupFiles : public HistoryFiles {
public:
    static std::shared_ptr<const HistoryFiles> of(std::shared_ptr<const IPhoneBackup> backup);

    [[nodiscard]] tl::expected<ReadableFile, ReadableFile::Failure> open(const std::string& path) const override;
    bool contains(const std::string& path) const override;

private:
    // The relative path below the backup folder; nothing for a path elsewhere.
    std::optional<std::string> relative(const std::string& path) const;
    BackupFiles(std::string folder, std::shared_ptr<const IPhoneBackup> backup)
        : HistoryFiles(std::move(folder), std::nullopt), backup_(std::move(backup)) {}
    std::shared_ptr<const IPhoneBackup> backup_;
};

}  // namespace quillmark
