#include "export/csv/csv_exporter.h"

#include <string_view>
#include <vector>

#include "core/text.h"
#include "export/fingerprint.h"
#include "export/internet_date.h"

namespace quillmark::CSVExporter {

namespace {

constexpr std::string_view header[] = {
    "Date and time", "Time zone",   "From",             "From address", "To",          "Service",
    "Text",          "Attachments", "Attachment SHA-256", "Reactions",  "Edited",      "Earlier versions",
    "Unsent",        "In reply to", "Effect",           "Message ID"};

// Appends the cell, quoted (with inner quotes doubled) only when it holds a comma, a quote or a line break.
void appendCell(std::string& out, std::string_view value) {
    bool quote = false, hasQuote = false;
    for (const char c : value) {
        if (c == '"') hasQuote = true;
        if (c == '"' || c == ',' || c == '\n' || c == '\r') quote = true;
    }
    if (!quote) {
        out += value;
        return;
    }
    out += '"';
    if (!hasQuote) {
        out += value;
    } else {
        for (const char c : value) {
            if (c == '"') out += '"';
            out += c;
        }
    }
    out += '"';
}

// One record, cell by cell: the separators are written between cells and CR LF at the end.
class Row {
public:
    explicit Row(std::string& out) : out_(out) {}
    void cell(std::string_view value) {
        separate();
        std::string cleaned;
        appendCell(out_, text::forDocument(value, cleaned));
    }
    void date(const InternetDateFormat& format, const std::optional<Date>& date) {
        separate();
        if (date && !date->isDistantPast()) format.append(out_, *date);  // never needs quotes
    }
    void end() { out_ += "\r\n"; }

private:
    void separate() {
        if (!first_) out_ += ',';
        first_ = false;
    }
    std::string& out_;
    bool first_ = true;
};

template <typename Range, typename Piece>
std::string joined(const Range& items, std::string_view separator, Piece&& piece) {
    std::string out;
    bool first = true;
    for (const auto& item : items) {
        if (!first) out += separator;
        first = false;
        out += piece(item);
    }
    return out;
}

}  // namespace

Output exportThread(const MessageThread& thread, const ExportOptions& options, AttachmentMedia& media) {
    const std::string zone = options.timeZone();
    const InternetDateFormat dates(zone);
    const std::string me = options.me();
    const Fingerprint::Result fingerprint = Fingerprint::compute(thread, media);

    const std::vector<Participant>& participants = thread.conversation.participants;
    std::vector<std::string> names;
    names.reserve(participants.size());
    for (const Participant& p : participants) names.push_back(p.displayName());
    const std::string everyone = joined(names, "; ", [](const std::string& name) { return name; });

    std::string out = "\xEF\xBB\xBF";
    out.reserve(256 + thread.messages.size() * 200);
    Row head(out);
    for (const std::string_view title : header) head.cell(title);
    head.end();

    for (const Message& m : thread.messages) {
        const Participant* sender = m.isFromMe || !m.sender ? nullptr : &*m.sender;
        std::string from = m.isFromMe ? me : m.sender ? m.sender->displayName() : std::string();

        std::string to;
        if (m.isEvent()) {
            // A group event is addressed to nobody.
        } else if (m.isFromMe) {
            to = everyone;
        } else {
            to = me;
            for (size_t i = 0; i < participants.size(); ++i) {
                if (m.sender && participants[i].address == m.sender->address) continue;
                to += "; ";
                to += names[i];
            }
        }

        std::string text = m.event ? *m.event : m.text;
        if (m.appKind) {
            if (!text.empty()) text += ' ';
            text += "[" + *m.appKind + "]";
        }

        const std::string attachmentNames =
            joined(m.attachments, "; ", [](const Attachment& a) -> const std::string& { return a.name; });
        const std::string attachmentHashes = joined(m.attachments, "; ", [&](const Attachment& a) -> std::string {
            const auto found = fingerprint.attachmentHashes.find(a.guid);
            if (found == fingerprint.attachmentHashes.end() || found->second.empty()) return "not in this history";
            return found->second;
        });
        const std::string reactions = joined(m.reactions, "; ", [&](const Reaction& r) {
            const std::string who = r.isFromMe ? me : r.sender ? r.sender->displayName() : std::string();
            return r.emoji + " " + who;
        });
        const std::string earlier =
            joined(m.editHistory, " | ", [](const EditVersion& v) -> const std::string& { return v.text; });

        std::string reply;
        if (m.replyToGUID) {
            if (const auto found = thread.replies.find(*m.replyToGUID); found != thread.replies.end())
                reply = found->second.sender + ": " + found->second.text;
        }

        Row row(out);
        row.date(dates, m.date);
        row.cell(zone);
        row.cell(from);
        row.cell(sender ? std::string_view(sender->address) : std::string_view());
        row.cell(to);
        row.cell(m.service);
        row.cell(text);
        row.cell(attachmentNames);
        row.cell(attachmentHashes);
        row.cell(reactions);
        row.date(dates, m.editedAt);
        row.cell(earlier);
        row.date(dates, m.unsentAt);
        row.cell(reply);
        row.cell(m.effect ? std::string_view(*m.effect) : std::string_view());
        row.cell(m.guid);
        row.end();
    }
    return Output{std::move(out), fingerprint.hex};
}

}  // namespace quillmark::CSVExporter
