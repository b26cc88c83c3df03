#include "core/heap.h"

#include <gnu/libc-version.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace quillmark::Heap {

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
namespace {

constexpr const char* tunablesVariable = "GLIBC_TUNABLES";
constexpr const char* hugeTunable = "glibc.malloc.hugetlb=1";
// Set only between the two starts: what GLIBC_TUNABLES was ("-" when it was not set).
constexpr const char* savedVariable = "QUILLMARK_STARTED_WITH_TUNABLES";

// The tunable exists from glibc 2.35 on.
bool libraryCanAsk() {
    int major = 0, minor = 0;
    return std::sscanf(gnu_get_libc_version(), "%d.%d", &major, &minor) == 2 && (major > 2 || (major == 2 && minor >= 35));
}

// Huge pages on request only: "always [madvise] never". With "always" the heap has them anyway; with
// "never" asking is of no use.
bool givenOnRequest() {
    std::ifstream file("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string setting;
    std::getline(file, setting);
    return setting.find("[madvise]") != std::string::npos;
}

// Blocks up to this size come from the heap rather than a mapping of their own: the largest the C library
// allows, above a 12-megapixel picture's plane. Setting it also ends the library's own moving of the
// threshold, so the trim threshold below must be set with it.
constexpr int mappedFrom = 32 << 20;
// Free memory the heap keeps at its top instead of returning it: room for the next picture's buffers.
constexpr int keptFree = 64 << 20;

}  // namespace
#endif

void setUpAtStart(char** argv) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    (void)argv;
    return;
#else
    ::mallopt(M_MMAP_THRESHOLD, mappedFrom);
    ::mallopt(M_TRIM_THRESHOLD, keptFree);

    if (const char* saved = std::getenv(savedVariable)) {
        const std::string original = saved;
        if (original == "-")
            ::unsetenv(tunablesVariable);
        else
            ::setenv(tunablesVariable, original.c_str(), 1);
        ::unsetenv(savedVariable);
        return;
    }
    const char* tunables = std::getenv(tunablesVariable);
    if (tunables && std::string(tunables).find("glibc.malloc.hugetlb") != std::string::npos) return;
    if (!argv || !argv[0] || !libraryCanAsk() || !givenOnRequest()) return;

    const std::string original = tunables ? tunables : "-";
    const std::string asked = tunables && *tunables ? std::string(tunables) + ":" + hugeTunable : hugeTunable;
    if (::setenv(savedVariable, original.c_str(), 1) != 0 || ::setenv(tunablesVariable, asked.c_str(), 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // Not started again: go on as before, with the environment as it was.
    if (tunables) ::setenv(tunablesVariable, original.c_str(), 1);
    else ::unsetenv(tunablesVariable);
    ::unsetenv(savedVariable);
#endif
}

}  // namespace quillmark::Heap
