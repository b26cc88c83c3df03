// export and fingerprint: conversations written as PDF documents, CSV files or HTML folders, and the
// fingerprint of a conversation's messages.
//
//   quillmark-cli export 3 --format pdf --layout book --output chat.pdf
//   quillmark-cli export 3 --format csv --output chat.csv
//   quillmark-cli export --all --format html --folder exports/
//   quillmark-cli fingerprint 3 --from 2024-01-01 --canonical
#include <chrono>
#include <system_error>

#include "cli/commands.h"
#include "conversations/conversation_reference.h"
#include "core/atomic_file.h"
#include "core/calendar.h"
#include "export/csv_exporter.h"
#include "export/export_names.h"
#include "export/export_options.h"
#include "export/fingerprint.h"
#include "export/html_exporter.h"
#include "export/pdf_renderer.h"

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
    return ExportOptions::make(layout, paper, settings.timeZone, settings.locale, settings.global.me.value_or(""),
                               Date{now});
}

// Writes one thread to `path`: a CSV file, or an HTML folder replaced whole. Prints what was written.
tl::expected<void, std::string> write(const MessageThread& thread, const ExportOptions& options, ExportFormat format,
                                      const fs::path& path, std::ostream& out) {
    AttachmentMedia& media = AttachmentMedia::shared();
    if (format == ExportFormat::pdf) {
        const PDFRenderer::Output pdf = PDFRenderer::render(thread, options, media);
        if (pdf.data.empty()) return tl::unexpected("Could not make the PDF for \u201c" + path.string() + "\u201d.");
        const std::string_view bytes(reinterpret_cast<const char*>(pdf.data.data()), pdf.data.size());
        if (auto written = AtomicFile::write(path, bytes); !written) return written;
        const std::string fileHash = Fingerprint::file(path.string()).value_or("");
        out << path.string() << "\n  pages: " << pdf.pages << "\n  messages: " << thread.messages.size()
            << "\n  file SHA-256: " << fileHash << "\n  fingerprint: " << pdf.fingerprint << "\n";
        return {};
    }
    if (format == ExportFormat::csv) {
        std::string fingerprint;
        const std::string bytes = CSVExporter::exportThread(thread, options, media, &fingerprint);
        if (auto written = AtomicFile::write(path, bytes); !written) return written;
        const std::string fileHash = Fingerprint::file(path.string()).value_or("");
        out << path.string() << "\n  messages: " << thread.messages.size() << "\n  file SHA-256: " << fileHash
            << "\n  fingerprint: " << fingerprint << "\n";
        return {};
    }
    std::string fingerprint;
    auto replaced = AtomicFile::replaceFolder(path, [&](const fs::path& temporary) -> tl::expected<void, std::string> {
        auto exported = HTMLExporter::exportThread(thread, options, temporary, media);
        if (!exported) return tl::unexpected(exported.error());
        fingerprint = exported->fingerprint;
        return {};
    });
    if (!replaced) return replaced;
    out << path.string() << "\n  messages: " << thread.messages.size() << "\n  fingerprint: " << fingerprint << "\n";
    return {};
}

}  // namespace

ExitStatus runExport(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    const auto request = readRequest(arguments, settings);
    if (!request) return usage(request.error(), err);

    auto library = openHistory(settings, err);
    if (!library) return library.error();
    const auto& conversations = (*library)->conversations();

    std::vector<size_t> chosen;
    if (arguments.has("all")) {
        for (size_t i = 0; i < conversations.size(); ++i) chosen.push_back(i);
    } else {
        for (const std::string& reference : arguments.arguments) {
            const auto found = findConversation(conversations, reference);
            if (!found) return usage(unknownConversation(reference, conversations.size()), err);
            chosen.push_back(*found);
        }
    }

    if (request->folder) {
        std::error_code error;
        fs::create_directories(*request->folder, error);
        if (error) {
            err << "The export didn't finish\nCould not create the folder \u201c" << request->folder->string()
                << "\u201d: " << error.message() << ".\n";
            return failed;
        }
    }

    const ExportOptions options = exportOptions(settings, request->layout);
    size_t exported = 0;
    for (const size_t index : chosen) {
        auto thread = (*library)->thread(conversations[index], request->range);
        if (!thread) {
            err << "Quillmark can't read the Messages history\n" << thread.error().description() << "\n";
            return historyUnavailable;
        }
        fs::path path;
        if (request->output) {
            path = *request->output;
        } else {
            const std::string stem = ExportNames::stem(*thread, settings.timeZone, settings.textLocale);
            path = *request->folder / ExportNames::freeName(*request->folder, stem, ExportNames::extension(request->format));
        }
        if (exported > 0) out << "\n";
        if (auto written = write(*thread, options, request->format, path, out); !written) {
            out.flush();
            err << "The export didn't finish\n" << written.error() << "\n";
            return failed;
        }
        ++exported;
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

    auto library = openHistory(settings, err);
    if (!library) return library.error();
    const auto& conversations = (*library)->conversations();
    const std::string& reference = arguments.arguments.front();
    const auto found = findConversation(conversations, reference);
    if (!found) return usage(unknownConversation(reference, conversations.size()), err);

    auto thread = (*library)->thread(conversations[*found], *range);
    if (!thread) {
        err << "Quillmark can't read the Messages history\n" << thread.error().description() << "\n";
        return historyUnavailable;
    }
    if (arguments.has("canonical"))
        out << Fingerprint::canonicalText(*thread, AttachmentMedia::shared());
    else
        out << Fingerprint::compute(*thread, AttachmentMedia::shared()).hex << "\n";
    return done;
}

}  // namespace quillmark::cli
