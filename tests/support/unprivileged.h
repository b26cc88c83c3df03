// runUnprivileged: runs a function in a child process that the operating system treats as an ordinary
// user, and returns the text it produced.
//
// Root reads every file whatever its permissions, so tests of refused access cannot run as root. The child
// switches to the unprivileged user "nobody" (65534) when the test runs as root; otherwise it stays the
// current user, whom permissions already bind. The function's result crosses back through a pipe.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillmark::testing {

// The function's result, or nothing when the child died or could not drop its privileges.
std::optional<std::string> runUnprivileged(const std::function<std::string()>& body);

}  // namespace quillmark::testing
