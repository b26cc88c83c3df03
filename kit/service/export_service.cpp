#include "service/export_service.h"

#include <system_error>

#include "core/atomic_file.h"
#include "core/sha256.h"
#include "export/attachment_media.h"
#include "export/csv/csv_exporter.h"
#include "export/export_names.h"
#include "export/html/batch_index.h"
#include "export/html/html_exporter.h"
#include "export/pdf/pdf_renderer.h"

namespace quillmark::ExportService {

namespace fs = std::filesystem;

namespace {

Failure failure(Failure::Kind kind, std::string text) { return Failure{kind, std::move(text)}; }

fs::path resolved(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

// Whether `inner` is `outer` or lies below it; both resolved.
bool within(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty() && std::next(o) == outer.end()) break;  // a trailing slash
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

Failure intoHistory(const fs::path& place) {
    return failure(Failure::Kind::destination, "Quillmark doesn't write into the Messages history. Choose a folder "
                                               "outside " + place.string() + ".");
}

// Reports progress; false once the front-end asked to stop.
class Steps {
public:
    Steps(const ProgressHandler& handler, int count) : handler_(handler), count_(count) {}

    // The conversation now at work, from 0.
    void begin(int index, std::string title) {
        index_ = index;
        conversation_ = std::move(title);
    }
    bool report(double fraction, std::string step, int pages = 0) {
        if (stopped_ || !handler_) return !stopped_;
        Progress progress{std::min(1.0, std::max(0.0, fraction)), std::move(step), conversation_, index_ + 1, count_,
                          pages};
        stopped_ = !handler_(progress);
        return !stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    const ProgressHandler& handler_;
    int count_;
    int index_ = 0;
    std::string conversation_;
    bool stopped_ = false;
};

Failure cancelledFailure() { return failure(Failure::Kind::cancelled, "The export was cancelled."); }

tl::expected<File, Failure> writePDF(const MessageThread& thread, const ExportOptions& options, const fs::path& path,
                                     Steps& steps, double from, double span) {
    const auto rendered = PDFRenderer::render(thread, options, AttachmentMedia::shared(), [&](double done, int pages) {
        return steps.report(from + span * done * 0.95, done < 0.5 ? "Laying out pages" : "Drawing pages", pages);
    });
    if (!rendered && rendered.error().kind == PDFRenderer::Failure::Kind::cancelled)
        return tl::unexpected(cancelledFailure());
    if (!rendered)
        return tl::unexpected(failure(Failure::Kind::write, "Could not make the PDF for \u201c" + path.string() +
                                                                "\u201d. " + rendered.error().description()));
    const PDFRenderer::Output& pdf = *rendered;
    const std::string_view bytes(reinterpret_cast<const char*>(pdf.data.data()), pdf.data.size());
    if (auto written = AtomicFile::write(path, bytes); !written)
        return tl::unexpected(failure(Failure::Kind::write, written.error().description()));
    File file;
    file.url = path;
    file.pages = pdf.pages;
    file.fingerprint = pdf.fingerprint;
    file.fileSHA256 = SHA256::ofPath(path.string());
    return file;
}

tl::expected<File, Failure> writeCSV(const MessageThread& thread, const ExportOptions& options, const fs::path& path) {
    File file;
    file.url = path;
    const CSVExporter::Output csv = CSVExporter::exportThread(thread, options, AttachmentMedia::shared());
    file.fingerprint = csv.fingerprint;
    if (auto written = AtomicFile::write(path, csv.bytes); !written)
        return tl::unexpected(failure(Failure::Kind::write, written.error().description()));
    file.fileSHA256 = SHA256::ofPath(path.string());
    return file;
}

tl::expected<File, Failure> writeHTML(const MessageThread& thread, const ExportOptions& options, const fs::path& path) {
    if (auto replaceable = checkReplaceable(path); !replaceable) return tl::unexpected(replaceable.error());
    File file;
    file.url = path;
    auto replaced = AtomicFile::replaceFolder(path, [&](const fs::path& temporary) -> tl::expected<void, AtomicFile::Failure> {
        auto exported = HTMLExporter::exportThread(thread, options, temporary, AttachmentMedia::shared());
        if (!exported) return tl::unexpected(exported.error());
        file.fingerprint = exported->fingerprint;
        return {};
    });
    if (!replaced) return tl::unexpected(failure(Failure::Kind::write, replaced.error().description()));
    return file;
}

tl::expected<File, Failure> write(const MessageThread& thread, const Request& request, const fs::path& path,
                                  Steps& steps, double from, double span) {
    tl::expected<File, Failure> file;
    if (request.format == ExportFormat::pdf)
        file = writePDF(thread, request.options, path, steps, from, span);
    else if (request.format == ExportFormat::csv)
        file = writeCSV(thread, request.options, path);
    else
        file = writeHTML(thread, request.options, path);
    if (!file) return file;
    file->messages = static_cast<int64_t>(thread.messages.size());
    file->skippedFiles = skippedFiles(thread);
    return file;
}

}  // namespace

int64_t skippedFiles(const MessageThread& thread) {
    int64_t count = 0;
    for (const Message& m : thread.messages)
        for (const Attachment& a : m.attachments)
            if (!a.isAvailable) ++count;
    return count;
}

tl::expected<void, Failure> checkDestination(const History::Protected& places, const fs::path& path,
                                             bool replacesFolder) {
    const fs::path destination = resolved(path);
    for (const fs::path& folder : places.folders) {
        if (within(destination, folder)) return tl::unexpected(intoHistory(folder));
        if (replacesFolder && within(folder, destination)) return tl::unexpected(intoHistory(folder));
    }
    for (const fs::path& file : places.files) {
        if (destination == file) return tl::unexpected(intoHistory(file.parent_path()));
        if (replacesFolder && within(file, destination)) return tl::unexpected(intoHistory(file.parent_path()));
    }
    return {};
}

tl::expected<void, Failure> checkReplaceable(const fs::path& folder) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(folder, error);
    if (!fs::exists(status)) return {};
    const auto refused = [&] {
        return tl::unexpected(failure(Failure::Kind::destination,
                                      folder.string() + " isn't an export made by Quillmark, so it is left as it is. "
                                                        "Choose an empty or a new folder."));
    };
    if (!fs::is_directory(status)) return refused();
    if (fs::is_regular_file(fs::symlink_status(folder / HTMLExporter::markerName, error))) return {};
    fs::directory_iterator entries(folder, error);
    if (error) return tl::unexpected(failure(Failure::Kind::destination, "Could not look into \u201c" +
                                                                            folder.string() + "\u201d: " +
                                                                            error.message() + "."));
    if (entries != fs::directory_iterator()) return refused();
    return {};
}

tl::expected<Exported, Failure> run(History& history, const Request& request, const ProgressHandler& progress,
                                    const WrittenHandler& written) {
    const bool batch = request.folder.has_value();
    if (batch == request.file.has_value())
        return tl::unexpected(failure(Failure::Kind::destination, "An export goes to one file or into one folder."));
    const size_t total = request.thread ? 1 : request.conversations.size();
    if (!batch && total != 1)
        return tl::unexpected(failure(Failure::Kind::destination, "One file holds one conversation; export several "
                                                                  "into a folder."));

    const bool replacesFolder = request.format == ExportFormat::html;
    const fs::path place = batch ? *request.folder : *request.file;
    if (auto allowed = checkDestination(history.protectedPlaces(), place, !batch && replacesFolder); !allowed)
        return tl::unexpected(allowed.error());
    history.startIntegrityCheck();
    if (batch) {
        std::error_code error;
        fs::create_directories(*request.folder, error);
        if (error)
            return tl::unexpected(failure(Failure::Kind::destination, "Could not create the folder \u201c" +
                                                                          request.folder->string() + "\u201d: " +
                                                                          error.message() + "."));
    }

    const std::string& nameLocale = request.nameLocale.empty() ? request.options.localeID : request.nameLocale;
    Steps steps(progress, static_cast<int>(total));
    Exported exported;
    exported.url = place;
    std::vector<BatchIndex::Entry> index;
    for (size_t i = 0; i < total; ++i) {
        const double from = double(i) / double(total), span = 1.0 / double(total);
        std::optional<MessageThread> loaded;
        steps.begin(static_cast<int>(i), request.thread ? request.thread->conversation.title(nameLocale)
                                                        : request.conversations[i].title(nameLocale));
        if (!request.thread) {
            const Conversation& conversation = request.conversations[i];
            if (!steps.report(from, "Loading messages")) return tl::unexpected(cancelledFailure());
            auto thread = history.library().thread(conversation, request.range);
            if (!thread) return tl::unexpected(failure(Failure::Kind::history, thread.error().description()));
            loaded = std::move(*thread);
        }
        const MessageThread& thread = request.thread ? *request.thread : *loaded;
        if (i == 0) {
            if (auto whole = history.integrity(); !whole)
                return tl::unexpected(failure(Failure::Kind::damaged, whole.error().description()));
        }
        fs::path path = place;
        if (batch) {
            const std::string stem = ExportNames::stem(thread, request.options.timeZoneID, nameLocale);
            path = place / ExportNames::freeName(place, stem, ExportNames::extension(request.format));
            if (auto allowed = checkDestination(history.protectedPlaces(), path, replacesFolder); !allowed)
                return tl::unexpected(allowed.error());
        }
        if (!steps.report(from + span * 0.05, "Writing " + path.filename().string()))
            return tl::unexpected(cancelledFailure());
        auto file = write(thread, request, path, steps, from + span * 0.05, span * 0.95);
        if (!file) return tl::unexpected(file.error());
        exported.messages += file->messages;
        exported.skippedFiles += file->skippedFiles;
        ++exported.count;
        if (batch && request.format == ExportFormat::html)
            index.push_back({thread.conversation.title(nameLocale), file->url.filename().string(), file->messages,
                             thread.firstDate(), thread.lastDate()});
        if (written) written(*file);
        exported.files.push_back(std::move(*file));
    }
    // A batch of HTML folders opens as one: a page beside them lists and links them. It never replaces
    // anything of the user's: a taken name gets the next free one.
    if (!index.empty()) {
        const fs::path page = place / ExportNames::freeName(place, BatchIndex::stem, ".html");
        if (auto allowed = checkDestination(history.protectedPlaces(), page, false); !allowed)
            return tl::unexpected(allowed.error());
        if (auto saved = AtomicFile::write(page, BatchIndex::page(index, request.options)); !saved)
            return tl::unexpected(failure(Failure::Kind::write, saved.error().description()));
    }
    if (!batch) {
        const File& only = exported.files.front();
        exported.pages = only.pages;
        exported.fileSHA256 = only.fileSHA256;
        if (request.format == ExportFormat::pdf) exported.fingerprint = only.fingerprint;
    }
    steps.report(1.0, "Done");
    return exported;
}

}  // namespace quillmark::ExportService
