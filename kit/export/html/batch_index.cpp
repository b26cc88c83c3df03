#include "export/html/batch_index.h"

#include "core/text.h"
#include "export/dates.h"
#include "export/formats.h"
#include "export/html/html_exporter.h"

namespace quillmark::BatchIndex {

std::string page(const std::vector<Entry>& entries, const ExportOptions& options) {
    Dates dates(options);
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"" + HTMLExporter::escape(options.localeID.substr(0, options.localeID.find('_'))) +
        "\">\n<head>\n<meta charset=\"utf-8\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Exported conversations</title>\n<style>" + std::string(HTMLExporter::styleSheet) +
        "\n.batch{list-style:none;padding:0}.batch li{margin:0 0 14px}.batch span{color:var(--muted)}</style>\n"
        "</head>\n<body>\n<main><header><h1>Exported conversations</h1><p>" +
        Formats::integer(static_cast<int64_t>(entries.size()), options.localeID) +
        (entries.size() == 1 ? " conversation" : " conversations") + "</p></header>\n<ul class=\"batch\">\n";
    std::string storage;
    for (const Entry& entry : entries) {
        html += "<li><a dir=\"auto\" href=\"" + HTMLExporter::urlPath(entry.folder + "/index.html") + "\">" +
                HTMLExporter::escape(text::forDocument(entry.title, storage)) + "</a><br><span>" +
                Formats::integer(entry.messages, options.localeID) + (entry.messages == 1 ? " message" : " messages");
        if (entry.first || entry.last) html += " \u00b7 " + HTMLExporter::escape(dates.range(entry.first, entry.last));
        html += "</span></li>\n";
    }
    html += "</ul></main>\n</body>\n</html>\n";
    return html;
}

}  // namespace quillmark::BatchIndex
