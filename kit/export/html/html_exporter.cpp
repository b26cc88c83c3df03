#include "export/html/html_exporter.h"

#include <algorithm>
#include <ctime>
#include <system_error>
#include <unordered_set>

#include "conversations/unicode_text.h"
#include "core/atomic_file.h"
#include "core/text.h"
#include "export/dates.h"
#include "export/fingerprint.h"
#include "export/formats.h"
#include "export/graphics/playable_audio.h"
#include "export/rhythm.h"

namespace quillmark::HTMLExporter {

namespace fs = std::filesystem;

const std::string_view styleSheet = R"css(:root{color-scheme:light dark;--bg:#fff;--fg:#1c1c1e;--muted:#6b6b70;--faint:#9a9aa0;--them:#e9e9eb;--me:#0a6cf0;--rule:#e5e5ea;--link:#0050c8}
@media (prefers-color-scheme:dark){:root{--bg:#000;--fg:#f2f2f7;--muted:#a1a1a6;--faint:#6e6e73;--them:#26252a;--rule:#2c2c2e;--link:#6cb8ff}}
*{box-sizing:border-box}body{margin:0;background:var(--bg);color:var(--fg);font:15px/1.4 -apple-system,BlinkMacSystemFont,"Segoe UI",Roboto,sans-serif}
main{max-width:760px;margin:0 auto;padding:40px 16px 80px}
header{text-align:center;margin-bottom:28px}h1{font:600 30px/1.2 "New York",ui-serif,Georgia,serif;margin:0 0 6px}
header p{color:var(--muted);margin:2px 0}.fp{font:12px ui-monospace,Menlo,monospace;color:var(--faint);word-break:break-all}
h2{font:600 21px "New York",ui-serif,Georgia,serif;margin:34px 0 10px}
.t{text-align:center;color:var(--faint);font-size:12px;margin:16px 0 6px}.t b{color:var(--muted)}
.ev{text-align:center;color:var(--muted);font-style:italic;font-size:12px;margin:8px 0}
.m{display:flex;flex-direction:column;align-items:flex-start;margin:3px 0}.m.me{align-items:flex-end}
.who{font-size:11px;color:var(--muted);margin:6px 12px 2px}
.b{position:relative;max-width:72%;padding:7px 12px;border-radius:18px;background:var(--them);white-space:normal;overflow-wrap:anywhere}
a{color:var(--link);overflow-wrap:anywhere}.me .b{background:var(--me);color:#fff}.me .b a{color:#fff}
.b.unsent{background:none;border:1px dashed var(--faint);color:var(--muted);font-style:italic}
.ph{max-width:62%;border-radius:16px;overflow:hidden;line-height:0}.ph img{max-width:100%;max-height:420px;display:block}
video,audio{max-width:62%;border-radius:16px}.dl{font-size:12px;margin:3px 12px 0}
.file{display:inline-block;padding:7px 12px;border-radius:14px;background:var(--them);color:inherit;text-decoration:none}
.me .file{background:var(--me);color:#fff}
.rx{font-size:12px;color:var(--muted);margin:2px 12px}.note{font-size:11px;color:var(--faint);margin:1px 12px}
.rp{font-size:12px;color:var(--muted);border-left:2px solid var(--rule);padding-left:8px;margin:4px 12px 2px;font-style:italic}
time{white-space:nowrap}
@media print{body{background:#fff;color:#000}.b{break-inside:avoid}h2{break-after:avoid}})css";

namespace {

void appendEscaped(std::string& out, std::string_view raw) {
    std::string cleaned;
    const std::string_view text = text::forDocument(raw, cleaned);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
            case '&': entity = "&amp;"; break;
            case '<': entity = "&lt;"; break;
            case '>': entity = "&gt;"; break;
            case '"': entity = "&quot;"; break;
            default: continue;
        }
        out.append(text.data() + start, i - start);
        out += entity;
        start = i + 1;
    }
    out.append(text.data() + start, text.size() - start);
}

// The name's extension: what follows its last point, when that point is neither its first nor its last
// character (".profile" and "notes." have none).
std::string_view extension(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    return name.substr(dot + 1);
}

std::string_view stem(std::string_view name) {
    const std::string_view ext = extension(name);
    return ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1);
}

// The names given out under "files", compared without regard to case, so that the folder stays intact
// when it is copied to a file system that ignores case.
class FileNames {
public:
    // The name itself when it is free, otherwise the first of "stem 1.ext", "stem 2.ext" … that is.
    std::string claim(std::string_view name) {
        if (used_.insert(unicode::lowerCased(name)).second) return std::string(name);
        const std::string_view ext = extension(name);
        const std::string base(stem(name));
        for (int n = 1;; ++n) {
            std::string candidate = base + " " + std::to_string(n);
            if (!ext.empty()) {
                candidate += '.';
                candidate += ext;
            }
            if (used_.insert(unicode::lowerCased(candidate)).second) return candidate;
        }
    }

private:
    std::unordered_set<std::string> used_;
};

bool browsersShow(std::string_view ext) {
    const std::string lower = unicode::lowerCased(ext);
    return lower == "jpg" || lower == "jpeg" || lower == "png" || lower == "gif";
}

// Copies the attachment into "files" and gives the path the page refers to, relative to the page;
// nothing when it is not on this computer or could not be copied.
struct Placement {
    std::optional<std::string> path;
    bool copyFailed = false;
    std::optional<std::string> original;  // the attachment's own copy, when `path` is a copy browsers play
    bool unplayable = false;              // a recording browsers cannot play and that could not be converted

    static Placement at(std::string path) { return {std::move(path), false, std::nullopt, false}; }
};

// A recording browsers cannot play as it is (no browser plays a voice message's .caf) gets a copy they play
// beside the attachment's own copy, which the page offers for download. One that cannot be converted is
// still kept, and offered for download only.
Placement placeRecording(const ReadableFile& source, const Attachment& attachment, const std::string& chosen,
                         const fs::path& files, FileNames& names) {
    const auto copy = graphics::playableAudio(source.procPath(), attachment.name);
    if (!copy) return {"files/" + chosen, false, std::nullopt, true};
    if (!*copy) return Placement::at("files/" + chosen);
    const std::string playable = names.claim(std::string(stem(chosen)) + "." + (*copy)->extension);
    if (!AtomicFile::write(files / playable, (*copy)->bytes)) return {"files/" + chosen, false, std::nullopt, true};
    return {"files/" + playable, false, "files/" + chosen, false};
}

Placement place(const Attachment& attachment, const fs::path& files, FileNames& names, AttachmentMedia& media,
                int& copied) {
    if (!attachment.isAvailable) return {};
    auto source = AttachmentMedia::open(attachment);
    if (!source) return {};
    const std::string chosen = names.claim(safeFileName(attachment.name));
    if (!AtomicFile::copy(*source, attachment.name, files / chosen)) return {std::nullopt, true, std::nullopt, false};
    ++copied;

    if (attachment.kind() == AttachmentKind::audio) return placeRecording(*source, attachment, chosen, files, names);
    if (attachment.kind() == AttachmentKind::image && !browsersShow(extension(chosen))) {
        if (const auto picture = media.picture(attachment, 2400)) {
            if (const auto jpeg = picture->encodeJPEG(0.88)) {
                // The JPEG copy takes a name of its own, so it never replaces another attachment's copy
                // (IMG_1.HEIC beside IMG_1.jpg).
                const std::string rendition = names.claim(std::string(stem(chosen)) + ".jpg");
                const std::string_view bytes(reinterpret_cast<const char*>(jpeg->data()), jpeg->size());
                if (AtomicFile::write(files / rendition, bytes)) return Placement::at("files/" + rendition);
            }
        }
    }
    return Placement::at("files/" + chosen);
}

// The replied-to text on one line, cut to 90 characters.
std::string replySnippet(const std::string& text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    const auto characters = unicode::characters(line);
    if (characters.size() <= 90) return line;
    const std::string_view& last = characters[88];
    return std::string(line.data(), static_cast<size_t>(last.data() + last.size() - line.data())) + "\u2026";
}

void appendAttachment(std::string& out, const Attachment& attachment, const Placement& placement,
                      const std::string& locale) {
    if (!placement.path) {
        out += "<span class=\"file\">\U0001F4CE ";
        appendEscaped(out, attachment.name);
        out += placement.copyFailed ? " \u00B7 could not be copied</span>" : " \u00B7 not in this history</span>";
        return;
    }
    const std::string url = urlPath(*placement.path);
    switch (attachment.kind().value()) {
        case AttachmentKind::image:
            out += "<a class=\"ph\" href=\"" + url + "\"><img src=\"" + url + "\" alt=\"";
            appendEscaped(out, attachment.name);
            out += "\" loading=\"lazy\"></a>";
            return;
        case AttachmentKind::video:
            out += "<video controls preload=\"metadata\" src=\"" + url + "\"></video>";
            return;
        case AttachmentKind::audio:
            if (placement.unplayable) {
                out += "<span class=\"file\">\U0001F4CE ";
                appendEscaped(out, attachment.name);
                out += " \u00B7 couldn't be converted to play in a browser</span>";
            } else {
                out += "<audio controls preload=\"none\" src=\"" + url + "\"></audio>";
            }
            if (placement.unplayable || placement.original) {
                out += "<a class=\"dl\" href=\"" + (placement.original ? urlPath(*placement.original) : url) +
                       "\" download>Download the original recording</a>";
            }
            return;
        case AttachmentKind::file:
            out += "<a class=\"file\" href=\"" + url + "\">\U0001F4CE ";
            appendEscaped(out, attachment.name);
            out += " \u00B7 ";
            appendEscaped(out, Formats::bytes(attachment.byteCount, locale));
            out += "</a>";
            return;
    }
}

Failure folderError(const fs::path& path, const std::error_code& error) {
    return {"Could not create the folder \u201c" + path.string() + "\u201d: " + error.message() + "."};
}

}  // namespace

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    appendEscaped(out, text);
    return out;
}

std::string linkify(std::string_view text, const std::vector<std::string>& links) {
    const std::string escaped = escape(text);
    std::vector<std::string> candidates;
    for (const std::string& link : links) {
        if (link.rfind("http", 0) != 0) continue;
        std::string e = escape(link);
        if (std::find(candidates.begin(), candidates.end(), e) == candidates.end()) candidates.push_back(std::move(e));
    }
    // Longest first, so that at each place the longest link that starts there wins.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });

    std::string out;
    out.reserve(escaped.size() + 16);
    const std::string_view rest(escaped);
    size_t i = 0;
    while (i < rest.size()) {
        const std::string* found = nullptr;
        if (rest[i] == 'h') {
            for (const std::string& candidate : candidates) {
                if (rest.substr(i, candidate.size()) == candidate) {
                    found = &candidate;
                    break;
                }
            }
        }
        if (found) {
            out += "<a href=\"" + *found + "\">" + *found + "</a>";
            i += found->size();
            continue;
        }
        if (rest[i] == '\n')
            out += "<br>";
        else
            out += rest[i];
        ++i;
    }
    return out;
}

std::string urlPath(std::string_view path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view piece = path.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        if (!out.empty()) out += '/';
        out += text::percentEncoded(piece, "-._~!$'()*+,;=:@");
    }
    return out;
}

std::string safeFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return "Attachment";
    std::string out(name);
    for (char& c : out)
        if (c == '/' || c == '\0') c = '-';
    return out;
}

namespace {

// The page of one export, written from the top: the head, then each message with what stands before it.
class Page {
public:
    Page(const MessageThread& thread, const ExportOptions& options, const fs::path& folder, AttachmentMedia& media)
        : thread_(thread), options_(options), dates_(options), rhythm_(dates_), media_(media), files_(folder / "files"),
          me_(options.me()), fingerprint_(Fingerprint::compute(thread, media)) {
        out_.reserve(4096 + thread.messages.size() * 400);
    }

    const std::string& fingerprint() const { return fingerprint_.hex; }
    int copiedFiles() const { return copied_; }

    // The document's head and the header with the title, the dates, the count, the zone and the fingerprint.
    void head() {
        const std::string title = thread_.conversation.title(options_.localeID);
        const auto lastDate = thread_.lastDate();
        out_ += "<!doctype html><html lang=\"en\"><meta charset=\"utf-8\">"
                "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">";
        out_ += "<meta name=\"generator\" content=\"Quillmark ";
        appendEscaped(out_, options_.appVersion);
        out_ += "\"><title>";
        appendEscaped(out_, title);
        out_ += " \u2014 Messages</title><style>";
        out_ += styleSheet;
        out_ += "</style><main><header><h1>";
        appendEscaped(out_, title);
        out_ += "</h1><p>";
        appendEscaped(out_, dates_.range(thread_.firstDate(), lastDate));
        out_ += "</p><p>" + Formats::integer(static_cast<int64_t>(thread_.messages.size()), options_.localeID) +
                " messages \u00B7 times in ";
        appendEscaped(out_, dates_.zone(lastDate.value_or(Date{static_cast<double>(std::time(nullptr))})));
        out_ += "</p><p class=\"fp\">SHA-256 " + fingerprint_.hex + "</p></header>";
    }

    // One message, or one group event, with the month heading and the time label that come before it.
    void message(const Message& m) {
        timeline(m.date);
        if (m.event) {
            out_ += "<p class=\"ev\">";
            appendEscaped(out_, *m.event);
            out_ += "</p>";
            lastSender_.clear();
            return;
        }
        std::string key = m.isFromMe ? "me" : m.sender ? m.sender->address : std::string();
        out_ += m.isFromMe ? "<div class=\"m me\" id=\"m" : "<div class=\"m\" id=\"m";
        out_ += std::to_string(m.id);
        out_ += "\" title=\"";
        appendEscaped(out_, dates_.full(m.date));
        out_ += "\">";
        if (thread_.conversation.isGroup && !m.isFromMe && key != lastSender_) {
            out_ += "<div class=\"who\" dir=\"auto\">";
            appendEscaped(out_, m.sender ? m.sender->displayName() : std::string("Unknown"));
            out_ += "</div>";
        }
        reply(m);
        body(m);
        for (const Attachment& attachment : m.attachments)
            appendAttachment(out_, attachment, place(attachment, files_, names_, media_, copied_), options_.localeID);
        reactions(m);
        note(m);
        out_ += "</div>";
        lastSender_ = std::move(key);
    }

    // Writes the page and the marker file into the folder.
    tl::expected<void, Failure> write(const fs::path& folder) {
        out_ += "</main></html>\n";
        if (auto written = AtomicFile::write(folder / "index.html", out_); !written) return written;
        const std::string marker = "This folder is an HTML export made by Quillmark " + options_.appVersion +
                                   ". A new export of the same conversation may replace it.\n";
        return AtomicFile::write(folder / markerName, marker);
    }

private:
    void timeline(Date date) {
        const Rhythm::Step step = rhythm_.next(date);
        if (step.month) {
            out_ += "<h2>";
            appendEscaped(out_, *step.month);
            out_ += "</h2>";
        }
        if (!step.showsTime) return;
        out_ += "<p class=\"t\"><b>";
        appendEscaped(out_, dates_.dayShort(date));
        out_ += "</b> ";
        appendEscaped(out_, dates_.shortTime(date));
        out_ += "</p>";
        lastSender_.clear();
    }

    void reply(const Message& m) {
        if (!m.replyToGUID) return;
        const auto found = thread_.replies.find(*m.replyToGUID);
        if (found == thread_.replies.end()) return;
        out_ += "<div class=\"rp\" dir=\"auto\"><bdi>";
        appendEscaped(out_, found->second.sender);
        out_ += "</bdi>: <bdi>";
        appendEscaped(out_, replySnippet(found->second.text));
        out_ += "</bdi></div>";
    }

    void body(const Message& m) {
        if (m.isUnsent()) {
            out_ += "<div class=\"b unsent\">Unsent message</div>";
        } else if (!m.text.empty()) {
            out_ += "<div class=\"b\" dir=\"auto\">";
            out_ += linkify(m.text, m.links);
            out_ += "</div>";
        }
        if (m.appKind) {
            out_ += "<div class=\"b\" dir=\"auto\"><i>";
            appendEscaped(out_, *m.appKind);
            out_ += "</i></div>";
        }
    }

    void reactions(const Message& m) {
        if (m.reactions.empty()) return;
        out_ += "<div class=\"rx\">";
        for (size_t i = 0; i < m.reactions.size(); ++i) {
            const Reaction& r = m.reactions[i];
            if (i > 0) out_ += " \u00B7 ";
            // The emoji of an emoji reaction is whatever the reacting person sent, so it is escaped like
            // every other text from the history.
            appendEscaped(out_, r.emoji);
            out_ += ' ';
            appendEscaped(out_, r.isFromMe ? me_ : r.sender ? r.sender->displayName() : std::string());
        }
        out_ += "</div>";
    }

    void note(const Message& m) {
        out_ += "<div class=\"note\">";
        if (m.isEdited()) out_ += "Edited \u00B7 ";
        if (m.effect) {
            out_ += "Sent with ";
            appendEscaped(out_, *m.effect);
            out_ += " \u00B7 ";
        }
        out_ += "<time>";
        appendEscaped(out_, dates_.time(m.date));
        out_ += "</time></div>";
    }

    const MessageThread& thread_;
    const ExportOptions& options_;
    const Dates dates_;
    Rhythm rhythm_;
    AttachmentMedia& media_;
    const fs::path files_;
    const std::string me_;
    const Fingerprint::Result fingerprint_;
    std::string out_;
    FileNames names_;
    int copied_ = 0;
    std::string lastSender_;
};

}  // namespace

tl::expected<Result, Failure> exportThread(const MessageThread& thread, const ExportOptions& options,
                                           const fs::path& folder, AttachmentMedia& media) {
    const fs::path files = folder / "files";
    std::error_code error;
    fs::create_directories(files, error);
    if (error) return tl::unexpected(folderError(files, error));

    Page page(thread, options, folder, media);
    page.head();
    for (const Message& m : thread.messages) page.message(m);
    if (auto written = page.write(folder); !written) return tl::unexpected(written.error());
    return Result{folder / "index.html", page.copiedFiles(), page.fingerprint()};
}

}  // namespace quillmark::HTMLExporter
