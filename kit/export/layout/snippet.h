// snippet: a message text shortened to one line for quoting: every line feed becomes a space, and a text
// longer than `limit` characters (user-perceived) is cut to limit − 1 characters and "…".
//
//   snippet("Hello\nthere", 70) == "Hello there"
//   snippet(std::string(71, 'a'), 70) == std::string(69, 'a') + "…"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark {

std::string snippet(std::string_view text, size_t limit);

// isolated: the text between FIRST STRONG ISOLATE and POP DIRECTIONAL ISOLATE. A line composed of pieces
// (a name, a quoted text, a time) isolates each, so that an Arabic name before a time does not pull the
// time into its right-to-left run and reorder the line; each piece takes its direction from its own text.
//   isolated("Anna") == "\u2068Anna\u2069"
std::string isolated(std::string_view text);

}  // namespace quillmark
