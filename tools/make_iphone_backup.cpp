// make-iphone-backup DATA OUT [--password-file FILE] [--device NAME] [--date SECONDS] [--iterations N]
//                    [--password-iterations N] [--with-log]
//
// Writes an iPhone backup folder OUT holding the Messages history of the data folder DATA (as
// make-sample-history writes it), for tests and benchmarks. With a password file it is encrypted; the round
// counts default to low ones (a phone uses 10,000 and 10,000,000).
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "iphone_backup/backup_writer.h"

namespace {

constexpr const char* usage =
    "usage: make-iphone-backup DATA OUT [--password-file FILE] [--device NAME] [--date SECONDS]\n"
    "                          [--iterations N] [--password-iterations N] [--with-log]\n"
    "  Writes an iPhone backup folder OUT holding the Messages history of the data folder DATA.\n"
    "  --password-file FILE  encrypt with the password on the file's first line\n"
    "  --date SECONDS        the backup's date, in seconds since 1970\n"
    "  --iterations N        ITER of the key bag (default 10); --password-iterations N: DPIC (default 1000)\n"
    "  --with-log            keep sms.db in write-ahead-log mode with part of it in its log\n";

template <typename T>
bool parse(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
    quillmark::BackupWriter::Options options;
    std::string paths[2];
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (argument == "--with-log") {
            options.withLog = true;
            continue;
        }
        if (argument.rfind("--", 0) == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "make-iphone-backup: %s needs a value\n", argv[i]);
                return 2;
            }
            const std::string value = argv[++i];
            bool good = true;
            if (argument == "--password-file") {
                std::ifstream in(value);
                std::string line;
                good = static_cast<bool>(std::getline(in, line));
                options.password = line;
            } else if (argument == "--device") {
                options.deviceName = value;
            } else if (argument == "--date") {
                long long seconds = 0;
                good = parse(value, seconds);
                options.backupDate = static_cast<double>(seconds);
            } else if (argument == "--iterations") {
                good = parse(value, options.iterations) && options.iterations > 0;
            } else if (argument == "--password-iterations") {
                good = parse(value, options.passwordIterations) && options.passwordIterations > 0;
            } else {
                std::fprintf(stderr, "make-iphone-backup: unknown option %s\n%s", argv[i - 1], usage);
                return 2;
            }
            if (!good) {
                std::fprintf(stderr, "make-iphone-backup: bad value for %s\n", argv[i - 1]);
                return 2;
            }
            continue;
        }
        if (positional == 2) {
            std::fputs(usage, stderr);
            return 2;
        }
        paths[positional++] = std::string(argument);
    }
    if (positional != 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    const auto written = quillmark::BackupWriter::write(paths[0], paths[1], options);
    if (!written) {
        std::fprintf(stderr, "make-iphone-backup: %s\n", written.error().c_str());
        return 1;
    }
    return 0;
}
