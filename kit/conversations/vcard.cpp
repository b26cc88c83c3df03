#include "conversations/vcard.h"

#include <algorithm>
#include <optional>

#include "core/text.h"

namespace quillmark::VCard {

namespace {

// The logical lines: physical lines joined where a line starts with a space or a tab.
std::vector<std::string> unfoldedLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at = end + 1;
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back().append(line.substr(1));
        else
            lines.emplace_back(line);
    }
    return lines;
}

// A value's components split at unescaped `separator`, each with its escapes undone.
std::vector<std::string> components(std::string_view value, char separator) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            parts.back() += (next == 'n' || next == 'N') ? '\n' : next;
        } else if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string unescaped(std::string_view value) { return components(value, '\0').front(); }

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

struct Line {
    std::string name;  // upper case, without its group
    std::string value;
};

// "item1.EMAIL;type=INTERNET;type=pref:anna@example.com" -> EMAIL, "anna@example.com". The colon that ends
// the name and parameters is the first one outside double quotes.
std::optional<Line> contentLine(const std::string& line) {
    bool quoted = false;
    size_t colon = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos) return std::nullopt;
    std::string name = line.substr(0, std::min(colon, line.find(';')));
    if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(0, dot + 1);
    return Line{upper(name), line.substr(colon + 1)};
}

std::string trimmed(std::string s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.back())) s.pop_back();
    size_t start = 0;
    while (start < s.size() && blank(s[start])) ++start;
    return s.substr(start);
}

}  // namespace

std::vector<Card> parse(std::string_view text) {
    std::vector<Card> cards;
    std::optional<Card> card;
    std::string first, last, formatted, organization, nickname;
    for (const std::string& raw : unfoldedLines(text)) {
        const auto line = contentLine(raw);
        if (!line) continue;
        if (line->name == "BEGIN" && upper(trimmed(line->value)) == "VCARD") {
            card.emplace();
            first.clear(), last.clear(), formatted.clear(), organization.clear(), nickname.clear();
            continue;
        }
        if (!card) continue;
        if (line->name == "END") {
            // First and last name, else the formatted name, the organization, the nickname.
            std::string name = first;
            if (!last.empty()) name += name.empty() ? last : " " + last;
            for (const std::string* fallback : {&formatted, &organization, &nickname})
                if (name.empty()) name = *fallback;
            card->name = std::move(name);
            cards.push_back(std::move(*card));
            card.reset();
        } else if (line->name == "N") {
            const auto parts = components(line->value, ';');
            last = trimmed(parts[0]);
            first = parts.size() > 1 ? trimmed(parts[1]) : std::string();
        } else if (line->name == "FN") {
            formatted = trimmed(unescaped(line->value));
        } else if (line->name == "ORG") {
            organization = trimmed(components(line->value, ';').front());
        } else if (line->name == "NICKNAME") {
            nickname = trimmed(components(line->value, ',').front());
        } else if (line->name == "TEL") {
            std::string number = trimmed(unescaped(line->value));
            if (text::asciiLower(number.substr(0, 4)) == "tel:") number.erase(0, 4);
            if (!number.empty()) card->phones.push_back(std::move(number));
        } else if (line->name == "EMAIL") {
            std::string address = trimmed(unescaped(line->value));
            if (text::asciiLower(address.substr(0, 7)) == "mailto:") address.erase(0, 7);
            if (!address.empty()) card->emails.push_back(std::move(address));
        }
    }
    return cards;
}

}  // namespace quillmark::VCard
