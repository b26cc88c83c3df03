// BatchIndex: the page a batch of HTML exports leaves in its folder, listing each conversation with its
// message count and dates and linking to its folder, so that the batch opens as one thing in a browser.
//
//   BatchIndex::Entry anna{"Anna Berg", "Messages with Anna Berg (2024-01-05 to 2025-06-27)", 122, first, last};
//   std::string page = BatchIndex::page({anna}, options);   // <!DOCTYPE html>… <a href="Messages%20with…/index.html">
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/date.h"
#include "export/export_options.h"

namespace quillmark::BatchIndex {

struct Entry {
    std::string title;    // the conversation's title
    std::string folder;   // the name of its export folder inside the batch folder
    int64_t messages = 0;
    std::optional<Date> first;
    std::optional<Date> last;
};

// page: the whole page, in the options' locale and time zone; every text from the history escaped.
std::string page(const std::vector<Entry>& entries, const ExportOptions& options);

// The page's name when the batch folder holds none; otherwise the batch naming rule picks "index 2.html", …
inline constexpr std::string_view stem = "index";

}  // namespace quillmark::BatchIndex
