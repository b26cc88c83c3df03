// Arguments: the command line of quillmark-cli, read into the global options, the command and what the
// command was given.
//
//   quillmark-cli [global options] COMMAND [arguments and options]
//
// Global options may stand before or after the command. Options are "--name value" or "--name=value";
// "--" ends the options, and a lone "-" is an argument (standard input). Every mistake is a sentence that
// names the option or argument at fault.
//
//   auto parsed = parseArguments({"--time-zone", "UTC", "show", "2", "--json"});
//   parsed->command == "show";  parsed->arguments == {"2"};  parsed->has("json")
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

namespace quillmark::cli {

struct GlobalOptions {
    std::optional<std::string> messages;  // --messages PATH
    std::vector<std::string> contacts;    // --contacts PATH, repeatable
    std::optional<std::string> timeZone;  // --time-zone ID
    std::optional<std::string> locale;    // --locale ID
    std::optional<std::string> me;        // --me NAME
    std::optional<std::string> paper;     // --paper letter|a4
    std::optional<std::string> passwordFile;  // --password-file FILE ("-": standard input)
};

struct Arguments {
    GlobalOptions global;
    std::string command;                   // empty when none was given
    std::vector<std::string> arguments;    // the command's positional arguments
    std::map<std::string, std::vector<std::string>> options;  // the command's options, by name without "--"
    bool help = false;                     // --help or -h anywhere

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
};

// The commands this tool knows, and the options each takes (true: the option takes a value).
const std::map<std::string, std::map<std::string, bool>>& commandOptions();

// parseArguments: the arguments after the program name, or a sentence for the first mistake.
[[nodiscard]] tl::expected<Arguments, std::string> parseArguments(const std::vector<std::string>& args);

}  // namespace quillmark::cli
