// The exit statuses of quillmark-cli, the same for every command so that scripts can rely on them.
#pragma once

namespace quillmark::cli {

enum ExitStatus : int {
    done = 0,
    notVerified = 1,          // a verification that did not come out good
    usageError = 2,           // bad arguments, or a conversation that does not exist
    historyUnavailable = 3,   // the Messages history is missing, refused or not understood
    failed = 4,               // the work itself failed: an export, a decode, writing the output
};

}  // namespace quillmark::cli
