// Output helpers shared by the commands: one-line text for terminals.
#pragma once

#include <string>
#include <string_view>

namespace quillmark::cli {

// oneLine: the text with every run of line breaks and tabs turned into one space, cut after `limit`
// code points with "…". Never splits a UTF-8 sequence.
//   oneLine("See you\n\nsoon", 80) == "See you soon"
std::string oneLine(std::string_view text, size_t limit);

// indented: every line of the text with `prefix` before it.
std::string indented(std::string_view text, std::string_view prefix);

}  // namespace quillmark::cli
