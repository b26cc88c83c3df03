#include "conversations/conversation.h"

#include <memory>

#include <unicode/listformatter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "conversations/unicode_text.h"

namespace quillmark {

namespace {

// The name a participant goes by among others: the first word of the name.
std::string shortName(const Participant& participant) {
    if (!participant.name) return Participant::format(participant.address);
    const std::string& name = *participant.name;
    const auto words = unicode::split(name, " ");
    return words.empty() ? name : std::string(words.front());
}

icu::UnicodeString unicodeString(const std::string& utf8) { return icu::UnicodeString::fromUTF8(utf8); }

// Two or three names joined the way the locale writes a list. A list formatter is costly to make and
// titles are asked for conversation after conversation, so the last one made is kept per thread.
std::string joinedAsList(const std::vector<std::string>& names, const std::string& locale) {
    thread_local std::string cachedLocale;
    thread_local std::unique_ptr<icu::ListFormatter> cachedFormatter;
    if (!cachedFormatter || cachedLocale != locale) {
        UErrorCode status = U_ZERO_ERROR;
        cachedFormatter.reset(icu::ListFormatter::createInstance(icu::Locale(locale.c_str()), ULISTFMT_TYPE_AND,
                                                                 ULISTFMT_WIDTH_WIDE, status));
        if (U_FAILURE(status)) cachedFormatter.reset();
        cachedLocale = locale;
    }

    std::vector<icu::UnicodeString> items;
    items.reserve(names.size());
    for (const auto& name : names) items.push_back(unicodeString(name));
    if (cachedFormatter) {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString joined;
        cachedFormatter->format(items.data(), static_cast<int32_t>(items.size()), joined, status);
        if (U_SUCCESS(status)) {
            std::string out;
            return joined.toUTF8String(out);
        }
    }
    // Without locale data the English form still names everyone.
    if (names.size() == 2) return names[0] + " and " + names[1];
    return names[0] + ", " + names[1] + ", and " + names[2];
}

}  // namespace

std::string Conversation::title(const std::string& locale) const {
    if (groupName && !groupName->empty()) return *groupName;
    if (participants.empty()) return "Unknown";
    if (participants.size() == 1) return participants.front().displayName();

    if (participants.size() <= 3) {
        std::vector<std::string> names;
        for (const auto& participant : participants) names.push_back(shortName(participant));
        return joinedAsList(names, locale);
    }
    return shortName(participants[0]) + ", " + shortName(participants[1]) + " and " +
           std::to_string(participants.size() - 2) + " others";
}

std::string Conversation::participantsLine() const {
    std::string line;
    for (const auto& participant : participants) {
        if (!line.empty()) line += "; ";
        const std::string address = Participant::format(participant.address);
        line += participant.name ? *participant.name + " (" + address + ")" : address;
    }
    return line;
}

}  // namespace quillmark
