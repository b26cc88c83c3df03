#include <fstream>
#include <iostream>
#include <iterator>

#include "body/summary_info.h"
#include "body/typed_stream.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "conversations/body_json.h"
#include "core/calendar.h"

namespace quillmark::cli {

namespace {

using JSON = BodyJSON::JSON;

std::optional<std::vector<uint8_t>> readInput(const std::string& path) {
    if (path == "-") {
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return bytes;
}

std::string scalar(const JSON& value) { return ModelJSON::dump(value); }

// The archive tree of BodyJSON, one value or object per line.
void writeValue(std::ostream& out, const JSON& value, const std::string& indent);

void writeGroups(std::ostream& out, const JSON& groups, const std::string& indent) {
    for (const JSON& group : groups) {
        out << indent << "group " << scalar(group["types"]) << '\n';
        for (const JSON& value : group["values"]) writeValue(out, value, indent + "  ");
    }
}

void writeValue(std::ostream& out, const JSON& value, const std::string& indent) {
    if (value.is_object() && value.contains("object")) {
        out << indent << '#' << value["object"].get<int64_t>();
        const JSON& classes = value["classes"];
        for (size_t i = 0; i < classes.size(); ++i) out << (i == 0 ? " " : i == 1 ? " (" : ", ") << classes[i].get<std::string>();
        out << (classes.size() > 1 ? ")\n" : "\n");
        writeGroups(out, value["groups"], indent + "  ");
    } else if (value.is_object() && value.contains("ref")) {
        out << indent << "→ #" << value["ref"].get<int64_t>() << '\n';
    } else if (value.is_object() && value.contains("class")) {
        out << indent << "class " << value["class"].get<std::string>() << '\n';
    } else if (value.is_object() && value.contains("selector")) {
        out << indent << "selector " << value["selector"].get<std::string>() << '\n';
    } else if (value.is_object() && value.contains("data")) {
        const auto& hex = value["data"].get_ref<const std::string&>();
        out << indent << "data (" << hex.size() / 2 << " bytes) " << hex << '\n';
    } else if (value.is_array()) {
        out << indent << "array of " << value.size() << '\n';
        for (const JSON& element : value) writeValue(out, element, indent + "  ");
    } else if (value.is_null()) {
        out << indent << "nil\n";
    } else {
        out << indent << scalar(value) << '\n';
    }
}

void writeBody(std::ostream& out, const JSON& described) {
    const JSON& body = described["attributedBody"];
    if (body.is_null()) {
        out << "Not an attributed string.\n";
    } else {
        out << "Text: " << scalar(body["text"]) << "\nRuns:\n";
        for (const JSON& run : body["runs"]) {
            out << "  " << run["location"].get<int64_t>() << '+' << run["length"].get<int64_t>();
            for (const char* key : {"partIndex", "attachmentGUID", "link", "mention"})
                if (!run[key].is_null()) out << "  " << key << ' ' << scalar(run[key]);
            out << '\n';
        }
    }
    out << "Plain value: " << scalar(described["plainValue"]) << "\nObjects:\n";
    writeGroups(out, described["groups"], "  ");
}

void writeSummary(std::ostream& out, const SummaryInfo& info, const Settings& settings) {
    const auto dates = DateFormat::make("yMMMdjmmss", settings.locale, settings.timeZone);
    if (info.versions.empty()) out << "No earlier versions.\n";
    else out << "Earlier versions, oldest first:\n";
    for (const EditVersion& version : info.versions) {
        out << "  " << (version.date && dates ? dates->text(*version.date) : "(no date)") << "  "
            << scalar(JSON(version.text)) << '\n';
    }
    if (info.retractedParts.empty()) {
        out << "No unsent parts.\n";
        return;
    }
    out << "Unsent parts:";
    for (int64_t part : info.retractedParts) out << ' ' << part;
    out << '\n';
}

}  // namespace

ExitStatus runInspect(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    const auto& args = arguments.arguments;
    if (args.empty() || (args[0] != "body" && args[0] != "summary"))
        return usage("inspect needs what to decode: body or summary, then a file (\"-\" for standard input).", err);
    if (args.size() < 2) return usage("inspect " + args[0] + " needs a file (\"-\" for standard input).", err);
    if (args.size() > 2) return usage("inspect takes one file, but was also given \"" + args[2] + "\".", err);
    const std::string& kind = args[0];
    const std::string& path = args[1];

    const auto bytes = readInput(path);
    if (!bytes) return usage("Can't read \"" + path + "\".", err);
    const bool json = arguments.has("json");

    if (kind == "body") {
        const auto archive = TypedStream::decode(*bytes);
        if (!archive) {
            err << "The input isn't an archived message body Quillmark can read: " << archive.error().description()
                << ".\n";
            return failed;
        }
        const JSON described = BodyJSON::archive(*archive);
        if (json)
            out << ModelJSON::dump(described) << '\n';
        else
            writeBody(out, described);
        return done;
    }

    const auto info = SummaryInfo::decode(*bytes);
    if (!info) {
        err << "The input isn't a message summary Quillmark can read: it is not a property list holding a "
               "dictionary.\n";
        return failed;
    }
    if (json)
        out << ModelJSON::dump(BodyJSON::summary(*info)) << '\n';
    else
        writeSummary(out, *info, settings);
    return done;
}

}  // namespace quillmark::cli
