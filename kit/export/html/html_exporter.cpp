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

namespace quillmark::HTMLExporter {

namespace fs = std::filesystem;

const std::string_view styleSheet = R"css(:root{--bg:#fff;--fg:#1c1c1e;--muted:#6b6b70;--faint:#9a9aa0;--them:#e9e9eb;--me:#0a7aff;--rule:#e5e5ea}
@media (prefers-color-scheme:dark){:root{--bg:#000;--fg:#f2f2f7;--muted:#a1a1a6;--faint:#6e6e73;--them:#26252a;--rule:#2c2c2e}}
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
.me .b{background:var(--me);color:#fff}.me .b a{color:#fff}
.b.unsent{background:none;border:1px dashed var(--faint);color:var(--muted);font-style:italic}
.ph{max-width:62%;border-radius:16px;overflow:hidden;line-height:0}.ph img{max-width:100%;max-height:420px;display:block}
video,audio{max-width:62%;border-radius:16px}
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
};

Placement place(const Attachment& attachment, const fs::path& files, FileNames& names, AttachmentMedia& media,
                int& copied) {
    if (!attachment.isAvailable) return {};
    auto source = AttachmentMedia::open(attachment);
    if (!source) return {};
    const std::string chosen = names.claim(safeFileName(attachment.name));
    if (!AtomicFile::copy(*source, attachment.name, files / chosen)) return {std::nullopt, true};
    ++copied;

    if (attachment.kind() == AttachmentKind::image && !browsersShow(extension(chosen))) {
        if (const auto picture = media.picture(attachment, 2400)) {
            if (const auto jpeg = picture->encodeJPEG(0.88)) {
                // The JPEG copy takes a name of its own, so it never replaces another attachment's copy
                // (IMG_1.HEIC beside IMG_1.jpg).
                const std::string rendition = names.claim(std::string(stem(chosen)) + ".jpg");
                const std::string_view bytes(reinterpret_cast<const char*>(jpeg->data()), jpeg->size());
                if (AtomicFile::write(files / rendition, bytes)) return {"files/" + rendition};
            }
        }
    }
    return {"files/" + chosen};
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
        out += placement.copyFailed ? " \u00B7 could not be copied</span>" : " \u00B7 not on this Mac</span>";
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
            out += "<audio controls preload=\"none\" src=\"" + url + "\"></audio>";
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
    static constexpr std::string_view kept = "-._~!$'()*+,;=:@";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view piece = path.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        if (!out.empty()) out += '/';
        for (const char ch : piece) {
            const auto c = static_cast<unsigned char>(ch);
            const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (alphanumeric || kept.find(ch) != std::string_view::npos) {
                out += ch;
            } else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 0xF];
            }
        }
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

tl::expected<Result, Failure> exportThread(const MessageThread& thread, const ExportOptions& options,
                                               const fs::path& folder, AttachmentMedia& media) {
    const fs::path files = folder / "files";
    std::error_code error;
    fs::create_directories(files, error);
    if (error) return tl::unexpected(folderError(files, error));

    const Dates dates(options);
    const Fingerprint::Result fingerprint = Fingerprint::compute(thread, media);
    const std::string title = thread.conversation.title(options.localeID);
    const std::string me = options.me();
    const bool isGroup = thread.conversation.isGroup;
    const auto lastDate = thread.lastDate();

    std::string out;
    out.reserve(4096 + thread.messages.size() * 400);
    out += "<!doctype html><html lang=\"en\"><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">";
    out += "<meta name=\"generator\" content=\"Quillmark ";
    appendEscaped(out, options.appVersion);
    out += "\"><title>";
    appendEscaped(out, title);
    out += " \u2014 Messages</title><style>";
    out += styleSheet;
    out += "</style><main><header><h1>";
    appendEscaped(out, title);
    out += "</h1><p>";
    appendEscaped(out, dates.range(thread.firstDate(), lastDate));
    out += "</p><p>" + Formats::integer(static_cast<int64_t>(thread.messages.size()), options.localeID) +
           " messages \u00B7 times in ";
    appendEscaped(out, dates.zone(lastDate.value_or(Date{static_cast<double>(std::time(nullptr))})));
    out += "</p><p class=\"fp\">SHA-256 " + fingerprint.hex + "</p></header>";

    Result result{folder / "index.html", 0, fingerprint.hex};
    FileNames names;
    std::string lastMonth;
    std::optional<Date> lastTime;
    std::string lastSender;
    for (const Message& m : thread.messages) {
        std::string month = dates.month(m.date);
        if (month != lastMonth) {
            out += "<h2>";
            appendEscaped(out, month);
            out += "</h2>";
            lastMonth = std::move(month);
            lastTime.reset();
        }
        if (!lastTime || m.date.seconds - lastTime->seconds > 3600) {
            out += "<p class=\"t\"><b>";
            appendEscaped(out, dates.dayShort(m.date));
            out += "</b> ";
            appendEscaped(out, dates.shortTime(m.date));
            out += "</p>";
            lastSender.clear();
        }
        lastTime = m.date;

        if (m.event) {
            out += "<p class=\"ev\">";
            appendEscaped(out, *m.event);
            out += "</p>";
            lastSender.clear();
            continue;
        }

        std::string key = m.isFromMe ? "me" : m.sender ? m.sender->address : std::string();
        out += m.isFromMe ? "<div class=\"m me\" id=\"m" : "<div class=\"m\" id=\"m";
        out += std::to_string(m.id);
        out += "\" title=\"";
        appendEscaped(out, dates.full(m.date));
        out += "\">";

        if (isGroup && !m.isFromMe && key != lastSender) {
            out += "<div class=\"who\">";
            appendEscaped(out, m.sender ? m.sender->displayName() : std::string("Unknown"));
            out += "</div>";
        }
        if (m.replyToGUID) {
            if (const auto found = thread.replies.find(*m.replyToGUID); found != thread.replies.end()) {
                out += "<div class=\"rp\">";
                appendEscaped(out, found->second.sender);
                out += ": ";
                appendEscaped(out, replySnippet(found->second.text));
                out += "</div>";
            }
        }
        if (m.isUnsent()) {
            out += "<div class=\"b unsent\">Unsent message</div>";
        } else if (!m.text.empty()) {
            out += "<div class=\"b\">";
            out += linkify(m.text, m.links);
            out += "</div>";
        }
        if (m.appKind) {
            out += "<div class=\"b\"><i>";
            appendEscaped(out, *m.appKind);
            out += "</i></div>";
        }
        for (const Attachment& attachment : m.attachments)
            appendAttachment(out, attachment, place(attachment, files, names, media, result.files), options.localeID);

        if (!m.reactions.empty()) {
            out += "<div class=\"rx\">";
            for (size_t i = 0; i < m.reactions.size(); ++i) {
                const Reaction& r = m.reactions[i];
                if (i > 0) out += " \u00B7 ";
                // The emoji of an emoji reaction is whatever the reacting person sent, so it is escaped
                // like every other text from the history.
                appendEscaped(out, r.emoji);
                out += ' ';
                appendEscaped(out, r.isFromMe ? me : r.sender ? r.sender->displayName() : std::string());
            }
            out += "</div>";
        }

        out += "<div class=\"note\">";
        if (m.isEdited()) out += "Edited \u00B7 ";
        if (m.effect) {
            out += "Sent with ";
            appendEscaped(out, *m.effect);
            out += " \u00B7 ";
        }
        out += "<time>";
        appendEscaped(out, dates.time(m.date));
        out += "</time></div></div>";
        lastSender = std::move(key);
    }
    out += "</main></html>\n";

    if (auto written = AtomicFile::write(result.index, out); !written) return tl::unexpected(written.error());
    const std::string marker = "This folder is an HTML export made by Quillmark " + options.appVersion +
                               ". A new export of the same conversation may replace it.\n";
    if (auto written = AtomicFile::write(folder / markerName, marker); !written) return tl::unexpected(written.error());
    return result;
}

}  // namespace quillmark::HTMLExporter
