// Password: where the password of an encrypted iPhone backup comes from: the first line of the file named
// with --password-file ("-": standard input), else the terminal, asked without echo. It is kept in memory
// only for as long as the key is derived.
//
//   auto source = passwordSource(settings.global, std::cerr);
//   History::open(where, source);          // asks only when the backup is encrypted
#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "cli/arguments.h"
#include "store/iphone_backup.h"

namespace quillmark::cli {

IPhoneBackup::PasswordSource passwordSource(const GlobalOptions& global, std::ostream& err);

// The first line of the stream, without its line end; nothing for an empty stream.
std::optional<std::string> firstLine(std::istream& in);

}  // namespace quillmark::cli
