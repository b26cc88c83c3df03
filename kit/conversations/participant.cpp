#include "conversations/participant.h"

#include <vector>

#include "conversations/unicode_text.h"

namespace quillmark {

namespace {

bool startsWithLetter(std::string_view piece) {
    const auto first = unicode::firstCodePoint(piece);
    return first && unicode::isLetter(*first);
}

}  // namespace

std::string Participant::format(std::string_view address) {
    if (!address.starts_with("+1")) return std::string(address);
    std::vector<std::string_view> numbers;
    for (std::string_view character : unicode::characters(address)) {
        const auto first = unicode::firstCodePoint(character);
        if (first && unicode::isNumber(*first)) numbers.push_back(character);
    }
    if (numbers.size() != 11) return std::string(address);

    std::string out = "+1 (";
    for (size_t i = 1; i < 4; ++i) out += numbers[i];
    out += ") ";
    for (size_t i = 4; i < 7; ++i) out += numbers[i];
    out += '-';
    for (size_t i = 7; i < 11; ++i) out += numbers[i];
    return out;
}

std::string Participant::displayName() const { return name ? *name : format(address); }

std::string Participant::initials() const {
    if (!name || name->empty()) return {};
    std::string letters;
    int taken = 0;
    for (std::string_view piece : unicode::split(*name, " -")) {
        if (!startsWithLetter(piece)) continue;
        letters += unicode::characters(piece).front();
        if (++taken == 2) break;
    }
    return unicode::upperCased(letters);
}

}  // namespace quillmark
