// PagePrints: a digest of everything that draws each page of a PDF: the page's own entries and, followed
// through every reference, its content, resources (fonts, pictures), annotations and inherited attributes,
// with every stream taken by its decoded data. Object numbers and how streams are compressed do not count,
// so a file that another program re-saved has the same prints as before, page for page; a box drawn over a
// line, a changed picture or added text changes the print of its page.
//
//   auto file = PagePrints::of(bytes);          // nothing when the file can't be read without repair
//   if (file && made && (*file)[i] == (*made)[i]) ...  // page i draws exactly as made: no need to draw it
#pragma once

#include <cstdint>
#include <optional>
#include <cstddef>
#include <string>
#include <vector>

namespace quillmark::PagePrints {

// One digest (SHA-256, hex) per page, in page order. Nothing for a file that can't be read, or one that
// needed repairs or gave warnings while read (another reader might see it differently): such a file is
// drawn page by page instead.
std::optional<std::vector<std::string>> of(const uint8_t* pdf, size_t size);

}  // namespace quillmark::PagePrints
