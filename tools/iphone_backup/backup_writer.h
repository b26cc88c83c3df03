// BackupWriter: writes an iPhone backup folder, plain or encrypted, holding the Messages history of a data
// folder as the sample generator writes it, for the tests and the benchmarks.
//
// The history becomes what a phone keeps: Messages/chat.db becomes Library/SMS/sms.db with its attachments
// named as a phone names them ("~/Library/SMS/Attachments/…" and "/var/mobile/Library/SMS/Attachments/…"
// by turns), the files under Library/SMS/Attachments (domain MediaDomain), and the Mac address book as an
// iPhone's (ABPerson, ABMultiValue). Every file goes under its hashed name, listed in Manifest.db; with a
// password, every file and Manifest.db are encrypted with keys of their own under a key bag. The round
// counts are the caller's: tests use low ones.
//
//   BackupWriter::Options options;
//   options.password = "secret";                          // encrypted; absent: plain
//   auto written = BackupWriter::write("/tmp/history", "/tmp/backups/0001", options);
//   if (!written) std::cerr << written.error();
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <tl/expected.hpp>

namespace quillmark::BackupWriter {

struct Options {
    std::string deviceName = "Test iPhone";
    double backupDate = 1764547200;          // seconds since 1970: 2025-12-01 00:00 UTC
    std::optional<std::string> password;     // encrypted when present
    uint32_t passwordIterations = 1000;      // DPIC (a phone uses 10,000,000)
    uint32_t iterations = 10;                // ITER (a phone uses 10,000)
    bool withLog = false;                    // sms.db in write-ahead-log mode, the attachment names in its log
    bool withAddressBook = true;
};

// write: the backup of the data folder's history into `backup` (created; it must not exist yet).
[[nodiscard]] tl::expected<void, std::string> write(const std::filesystem::path& dataFolder,
                                                    const std::filesystem::path& backup, const Options& options);

}  // namespace quillmark::BackupWriter
