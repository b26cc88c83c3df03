// export and fingerprint: conversations written as PDF documents, CSV files or HTML folders, and the
// fingerprint of a conversation's messages.
//
//   quillmark-cli export 3 --format pdf --layout book --output chat.pdf
//   quillmark-cli export 3 --format csv --output chat.csv
//   quillmark-cli export --all --format html --folder exports/
//   quillmark-cli fingerprint 3 --from 2024-01-01 --canonical
#include <chrono>

#include "cli/commands.h"
#include "cli/progress_line.h"
#include "conversations/conversation_reference.h"
#include "core/calendar.h"
#include "export/attachment_media.h"
#include "export/export_options.h"
#include "export/fingerprint.h"
#include "service/export_service.h"

namespace quillmark::cli {

namespace {

namespace fs = std::filesystem;


std::string unknownConversation(const std::string& reference, size_t count) {
    return "There is no conversation \"" + reference + "\" in this history (it has " + std::to_string(count) +
           "). Run \"quillmark-cli list\" for the positions and ids.";
}

// What was asked for, checked before the history is opened.
struct Request {
    ExportFormat format;
    ExportLayout layout;
    DateRange range;
    std::optional<fs::path> output;  // one conversation to this path
    std::optional<fs::path> folder;  // a batch into this folder
};

tl::expected<Request, std::string> readRequest(const Arguments& arguments, const Settings& settings) {
    Request request;
    const auto format = arguments.value("format");
    if (!format) return tl::unexpected(std::string("export needs --format pdf, csv or html."));
    const auto parsed = ExportFormat::fromRaw(*format);
    if (!parsed) return tl::unexpected("--format is pdf, csv or html, not \"" + *format + "\".");
    request.format = *parsed;

    if (const auto layout = arguments.value("layout")) {
        const auto chosen = ExportLayout::fromRaw(*layout);
        if (!chosen) return tl::unexpected("--layout is book or record, not \"" + *layout + "\".");
        request.layout = *chosen;
    }
    auto range = typedRange(arguments, settings, "exported");
    if (!range) return tl::unexpected(range.error());
    request.range = *range;

    const bool all = arguments.has("all");
    if (all && !arguments.arguments.empty())
        return tl::unexpected(std::string("export takes conversations or --all, not both."));
    if (!all && arguments.arguments.empty())
        return tl::unexpected(std::string("export needs conversations (ids, positions in list, chat GUIDs) or --all."));
    const auto output = arguments.value("output"), folder = arguments.value("folder");
    if (output && folder) return tl::unexpected(std::string("export writes to --output or into --folder, not both."));
    if (!output && !folder)
        return tl::unexpected(std::string("export needs --output PATH for one conversation or --folder DIR for several."));
    if (output && (all || arguments.arguments.size() > 1))
        return tl::unexpected(std::string("--output takes one conversation; write several into a --folder."));
    if (output) request.output = fs::path(*output);
    if (folder) request.folder = fs::path(*folder);
    return request;
}

ExportOptions exportOptions(const Settings& settings, ExportLayout layout) {
    const auto paper = Paper::fromRaw(settings.paper).value_or(Paper::forCurrentRegion());
    const auto now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return ExportOptions::make(layout, paper, settings.timeZone, settings.locale, settings.meName, Date{now});
}

void print(const ExportService::File& file, std::ostream& out) {
    out << file.url.string() << "\n";
    if (file.pages) out << "  pages: " << *file.pages << "\n";
    out << "  messages: " << file.messages << "\n";
    if (file.fileSHA256) out << "  file SHA-256: " << *file.fileSHA256 << "\n";
    out << "  fingerprint: " << file.fingerprint << "\n";
    if (file.skippedFiles == 1) out << "  1 file was left out because it is not in this history\n";
    if (file.skippedFiles > 1)
        out << "  " << file.skippedFiles << " files were left out because they are not in this history\n";
}

}  // namespace

ExitStatus runExport(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    const auto request = readRequest(arguments, settings);
    if (!request) return usage(request.error(), err);

    auto history = openHistory(settings, err, History::Check::atOnce);
    if (!history) return history.error();
    const auto& conversations = (*history)->library().conversations();

    ExportService::Request service;
    if (arguments.has("all")) {
        service.conversations = conversations;
    } else {
        for (const std::string& reference : arguments.arguments) {
            const auto found = findConversation(conversations, reference);
            if (!found) return usage(unknownConversation(reference, conversations.size()), err);
            service.conversations.push_back(conversations[*found]);
        }
    }
    service.range = request->range;
    service.format = request->format;
    service.options = exportOptions(settings, request->layout);
    service.nameLocale = settings.textLocale;
    service.file = request->output;
    service.folder = request->folder;

    size_t written = 0;
    ProgressLine line(!arguments.has("quiet"));
    const auto progress = [&](const ExportService::Progress& step) {
        line.show(step);
        return true;
    };
    const auto exported = ExportService::run(**history, service, progress, [&](const ExportService::File& file) {
        line.clear();
        if (written++ > 0) out << "\n";
        print(file, out);
        out.flush();
    });
    line.clear();
    if (!exported) {
        out.flush();
        const auto& failure = exported.error();
        using Kind = ExportService::Failure::Kind;
        err << "The export didn't finish\n" << failure.text << "\n";
        // A history that is damaged or cannot be read is the history's failure, not the export's.
        return failure.kind == Kind::damaged || failure.kind == Kind::history ? historyUnavailable : failed;
    }
    return done;
}

ExitStatus runFingerprint(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    if (arguments.arguments.empty())
        return usage("fingerprint needs a conversation: an id, a position in list, or a chat GUID.", err);
    if (arguments.arguments.size() > 1)
        return usage("fingerprint takes one conversation, but was also given \"" + arguments.arguments[1] + "\".", err);
    const auto range = typedRange(arguments, settings, "exported");
    if (!range) return usage(range.error(), err);

    auto history = openHistory(settings, err);
    if (!history) return history.error();
    const auto& conversations = (*history)->library().conversations();
    const std::string& reference = arguments.arguments.front();
    const auto found = findConversation(conversations, reference);
    if (!found) return usage(unknownConversation(reference, conversations.size()), err);

    auto thread = (*history)->library().thread(conversations[*found], *range);
    if (!thread) return historyFailed(thread.error().description(), err);
    if (arguments.has("canonical"))
        out << Fingerprint::canonicalText(*thread, AttachmentMedia::shared());
    else
        out << Fingerprint::compute(*thread, AttachmentMedia::shared()).hex << "\n";
    return done;
}

}  // namespace quillmark::cli
