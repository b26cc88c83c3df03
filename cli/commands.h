// The commands of quillmark-cli. Each takes the parsed arguments and the checked settings, writes its
// result to `out` and its sentences to `err`, and returns the exit status.
#pragma once

#include <ostream>

#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "cli/history.h"

namespace quillmark::cli {

ExitStatus runList(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err);
ExitStatus runShow(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err);
ExitStatus runInspect(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err);
ExitStatus runExport(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err);
ExitStatus runVerify(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err);
ExitStatus runFingerprint(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err);

// The help of the tool (empty command) or of one command.
void printHelp(const std::string& command, std::ostream& out);

// Reports a usage mistake: the sentence, then where to find help. Returns usageError.
ExitStatus usage(const std::string& sentence, std::ostream& err);

}  // namespace quillmark::cli
