// runCLI: runs the quillmark-cli program built with the tests and collects what it did.
#pragma once

#include <string>
#include <vector>

namespace quillmark::testing {

struct CLIResult {
    int status = -1;   // the exit status; -1 when the program did not exit normally
    std::string out;   // standard output
    std::string err;   // standard error
};

// Runs the program with the arguments in the en_US locale and the given TZ, with `input` as its
// standard input.
CLIResult runCLI(const std::vector<std::string>& args, const std::string& input = {}, const std::string& tz = "UTC");

// Runs it as a user whom file permissions bind: "nobody" when the tests run as root (root reads
// everything), otherwise the current user.
CLIResult runCLIUnprivileged(const std::vector<std::string>& args);

}  // namespace quillmark::testing
