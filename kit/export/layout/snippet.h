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

}  // namespace quillmark
