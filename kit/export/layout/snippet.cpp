#include "export/layout/snippet.h"

#include <vector>

#include "conversations/unicode_text.h"

namespace quillmark {

std::string snippet(std::string_view text, size_t limit) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\n') c = ' ';
    }
    std::vector<std::string_view> characters = unicode::characters(line);
    if (characters.size() <= limit || limit == 0) return line;
    std::string cut;
    for (size_t i = 0; i + 1 < limit; ++i) cut += characters[i];
    return cut + "\u2026";
}

std::string isolated(std::string_view text) {
    std::string out = "\u2068";
    out += text;
    out += "\u2069";
    return out;
}

}  // namespace quillmark
