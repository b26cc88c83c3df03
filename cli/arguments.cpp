#include "cli/arguments.h"

namespace quillmark::cli {

namespace {

using Failure = tl::unexpected<std::string>;

enum class Global { messages, contacts, timeZone, locale, me, paper, passwordFile };

const std::map<std::string, Global, std::less<>>& globalOptions() {
    static const std::map<std::string, Global, std::less<>> options = {
        {"messages", Global::messages}, {"contacts", Global::contacts}, {"time-zone", Global::timeZone},
        {"locale", Global::locale},     {"me", Global::me},             {"paper", Global::paper},
        {"password-file", Global::passwordFile},
    };
    return options;
}

// Sets a global option; only --contacts may be given more than once.
std::optional<std::string> setGlobal(GlobalOptions& global, Global option, const std::string& name,
                                     std::string value) {
    auto once = [&](std::optional<std::string>& field) -> std::optional<std::string> {
        if (field) return "--" + name + " is given twice.";
        field = std::move(value);
        return std::nullopt;
    };
    switch (option) {
        case Global::messages:
            return once(global.messages);
        case Global::contacts:
            global.contacts.push_back(std::move(value));
            return std::nullopt;
        case Global::timeZone:
            return once(global.timeZone);
        case Global::locale:
            return once(global.locale);
        case Global::me:
            return once(global.me);
        case Global::paper:
            return once(global.paper);
        case Global::passwordFile:
            return once(global.passwordFile);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> Arguments::value(const std::string& name) const {
    const auto it = options.find(name);
    if (it == options.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

const std::map<std::string, std::map<std::string, bool>>& commandOptions() {
    static const std::map<std::string, std::map<std::string, bool>> commands = {
        {"list", {{"json", false}}},
        {"show", {{"from", true}, {"to", true}, {"json", false}}},
        {"inspect", {{"json", false}}},
        {"export",
         {{"all", false}, {"format", true}, {"layout", true}, {"from", true}, {"to", true}, {"output", true}, {"folder", true}, {"quiet", false}}},
        {"verify", {{"json", false}, {"quiet", false}}},
        {"fingerprint", {{"from", true}, {"to", true}, {"canonical", false}}},
    };
    return commands;
}

tl::expected<Arguments, std::string> parseArguments(const std::vector<std::string>& args) {
    Arguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (parsed.command.empty()) {
                if (!commandOptions().count(arg))
                    return Failure("\"" + arg + "\" isn't a command. The commands are list, show, export, verify, fingerprint and inspect.");
                parsed.command = arg;
            } else {
                parsed.arguments.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) return Failure("\"" + arg + "\" isn't an option. Options begin with \"--\".");

        std::string name = arg.substr(2);
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }

        const auto global = globalOptions().find(name);
        std::optional<bool> takesValue;
        if (global != globalOptions().end()) {
            takesValue = true;
        } else if (!parsed.command.empty()) {
            const auto& own = commandOptions().at(parsed.command);
            if (const auto found = own.find(name); found != own.end()) takesValue = found->second;
        }
        if (!takesValue) {
            if (parsed.command.empty())
                return Failure("--" + name + " isn't an option of quillmark-cli, or belongs after a command.");
            return Failure("--" + name + " isn't an option of " + parsed.command + ".");
        }

        std::string value;
        if (*takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return Failure("--" + name + " needs a value.");
            }
        } else if (inlineValue) {
            return Failure("--" + name + " takes no value.");
        }

        if (global != globalOptions().end()) {
            if (auto mistake = setGlobal(parsed.global, global->second, name, std::move(value)))
                return Failure(*mistake);
            continue;
        }
        auto& values = parsed.options[name];
        if (*takesValue && !values.empty()) return Failure("--" + name + " is given twice.");
        values.push_back(std::move(value));
    }
    return parsed;
}

}  // namespace quillmark::cli
