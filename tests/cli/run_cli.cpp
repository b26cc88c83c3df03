#include "run_cli.h"

#include <cstdlib>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace quillmark::testing {

namespace {

CLIResult run(const std::vector<std::string>& args, const std::string& input, const std::string& tz, bool unprivileged,
              const CLIRun& how = {}) {
    // Files rather than pipes: nothing to drain while the program runs, whatever it writes.
    TempDir dir;
    const auto in = dir.write("in", input), out = dir / "out", err = dir / "err";
    const pid_t pid = fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
        const int fds[3] = {open(in.c_str(), O_RDONLY), open(out.c_str(), O_WRONLY | O_CREAT, 0600),
                            open(err.c_str(), O_WRONLY | O_CREAT, 0600)};
        for (int i = 0; i < 3; ++i) dup2(fds[i], i);
        if (unprivileged && geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(126);
        setenv("TZ", tz.c_str(), 1);
        setenv("LANG", "en_US.UTF-8", 1);
        for (const char* variable : {"LC_ALL", "LC_TIME", "LC_MESSAGES"}) unsetenv(variable);
        for (const auto& [name, value] : how.environment) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(QUILLMARK_CLI_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (how.whileRunning) how.whileRunning(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0, readFile(out),
            readFile(err)};
}

}  // namespace

CLIResult runCLI(const std::vector<std::string>& args, const std::string& input, const std::string& tz) {
    return run(args, input, tz, false);
}

CLIResult runCLIUnprivileged(const std::vector<std::string>& args) { return run(args, {}, "UTC", true); }

CLIResult runCLI(const std::vector<std::string>& args, const CLIRun& how) { return run(args, {}, "UTC", false, how); }

}  // namespace quillmark::testing
