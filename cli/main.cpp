// quillmark-cli: lists, shows, exports and inspects a Messages history from the command line.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/history.h"
#include "cli/safe_output.h"
#include "core/heap.h"
#include "core/temporary_paths.h"

using namespace quillmark::cli;

namespace {

ExitStatus run(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.help) {
        printHelp(arguments.command, out);
        return done;
    }
    if (arguments.command.empty()) return usage("No command given. The commands are list, show, export, verify, fingerprint and inspect.", err);
    auto settings = Settings::make(arguments.global);
    if (!settings) return usage(settings.error(), err);
    if (arguments.command == "list") return runList(arguments, *settings, out, err);
    if (arguments.command == "show") return runShow(arguments, *settings, out, err);
    if (arguments.command == "export") return runExport(arguments, *settings, out, err);
    if (arguments.command == "fingerprint") return runFingerprint(arguments, *settings, out, err);
    if (arguments.command == "verify") return runVerify(arguments, *settings, out, err);
    return runInspect(arguments, *settings, out, err);
}

}  // namespace

// What the command writes on standard output: text for people, JSON, or the exact bytes of the
// fingerprint's canonical text (which must hash to the fingerprint, so it is written as it is).
std::optional<SafeOutput::Mode> outputMode(const tl::expected<Arguments, std::string>& arguments) {
    if (!arguments) return SafeOutput::Mode::terminal;
    if (arguments->command == "fingerprint" && arguments->has("canonical")) return std::nullopt;
    return arguments->has("json") ? SafeOutput::Mode::json : SafeOutput::Mode::terminal;
}

int main(int argc, char** argv) {
    quillmark::Heap::setUpAtStart(argv);

    // An interrupted export leaves no temporary file, and no private copy of a history stays behind.
    quillmark::TemporaryPaths::removeOnInterrupt();

    // Threads of a hundred thousand messages go out as tens of megabytes: write through a large buffer,
    // without synchronising with C stdio.
    std::ios::sync_with_stdio(false);
    static char buffer[1 << 20];
    std::cout.rdbuf()->pubsetbuf(buffer, sizeof buffer);

    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto arguments = parseArguments(args);
    ExitStatus status;
    {
        std::optional<SafeOutput> out;
        if (const auto mode = outputMode(arguments)) out.emplace(std::cout, *mode);
        SafeOutput err(std::cerr, SafeOutput::Mode::terminal);
        status = arguments ? run(*arguments, std::cout, std::cerr) : usage(arguments.error(), std::cerr);
    }

    // A full disk or a closed pipe must not pass for success.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "quillmark-cli: couldn't write the output.\n";
        if (status == done) status = failed;
    }
    return status;
}
