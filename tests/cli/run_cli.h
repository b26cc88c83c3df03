// runCLI: runs the quillmark-cli program built with the tests and collects what it did.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillmark::testing {

struct CLIResult {
    int status = -1;   // the exit status; -1 when the program did not exit normally
    int signal = 0;    // the signal that ended it, if one did
    std::string out;   // standard output
    std::string err;   // standard error
};

// How the program is started: `environment` adds variables, `whileRunning` is called with the program's
// process id once it runs (to interrupt it, say) before its end is awaited.
struct CLIRun {
    std::vector<std::pair<std::string, std::string>> environment;
    std::function<void(int pid)> whileRunning;
};

// Runs the program with the arguments in the en_US locale and the given TZ, with `input` as its
// standard input.
CLIResult runCLI(const std::vector<std::string>& args, const std::string& input = {}, const std::string& tz = "UTC");

// Runs it as a user whom file permissions bind: "nobody" when the tests run as root (root reads
// everything), otherwise the current user.
CLIResult runCLIUnprivileged(const std::vector<std::string>& args);

// Runs it as runCLI does, with more of the environment chosen.
CLIResult runCLI(const std::vector<std::string>& args, const CLIRun& how);

}  // namespace quillmark::testing
