#include "support/unprivileged.h"

#include <string_view>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::testing {

std::optional<std::string> runUnprivileged(const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    const pid_t pid = fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        close(fds[0]);
        if (geteuid() == 0) {
            const gid_t group = 65534;
            if (setgroups(0, nullptr) != 0 || setresgid(group, group, group) != 0 ||
                setresuid(65534, 65534, 65534) != 0)
                _exit(97);
        }
        const std::string result = body();
        std::string_view rest = result;
        while (!rest.empty()) {
            const ssize_t n = write(fds[1], rest.data(), rest.size());
            if (n <= 0) _exit(98);
            rest.remove_prefix(static_cast<size_t>(n));
        }
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return out;
}

}  // namespace quillmark::testing
