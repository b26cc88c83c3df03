#include "export/graphics/fonts.h"

#include <fontconfig/fontconfig.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace quillmark::graphics::Fonts {

namespace {

// Scripts that the design's own face does not cover, one Noto family each, then symbols.
constexpr const char* scriptFamilies =
    "Noto Sans Arabic, Noto Sans Hebrew, Noto Sans Devanagari, Noto Sans Bengali, Noto Sans Gurmukhi, "
    "Noto Sans Gujarati, Noto Sans Tamil, Noto Sans Telugu, Noto Sans Kannada, Noto Sans Malayalam, "
    "Noto Sans Sinhala, Noto Sans Thai, Noto Sans Lao, Noto Sans Khmer, Noto Sans Myanmar, "
    "Noto Sans Georgian, Noto Sans Armenian, Noto Sans Ethiopic, Noto Sans Syriac, Noto Sans Thaana, "
    "Noto Sans CJK SC, Noto Sans, Noto Sans Symbols, Noto Sans Symbols2, Noto Sans Math, DejaVu Sans";

constexpr const char* sansFamily = "Inter";
constexpr const char* serifFamily = "Noto Serif";
constexpr const char* monospacedFamily = "Noto Sans Mono";

UChar32 codePointAt(std::string_view s, size_t at, size_t& next) {
    int32_t i = static_cast<int32_t>(at);
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, static_cast<int32_t>(s.size()), c);
    next = static_cast<size_t>(i);
    return c;
}

bool has(UChar32 c, UProperty property) {
    return c >= 0 && u_hasBinaryProperty(c, property);
}

constexpr UChar32 textSelector = 0xFE0E;
constexpr UChar32 emojiSelector = 0xFE0F;
constexpr UChar32 keycap = 0x20E3;
constexpr UChar32 joiner = 0x200D;
constexpr UChar32 cancelTag = 0xE007F;

bool isTag(UChar32 c) {
    return c >= 0xE0020 && c <= 0xE007E;
}

// One emoji element at `at`: a base character with its selector, skin tone or tags. Returns its end, or
// `at` when no element starts there; `emoji` tells whether it presents as an emoji.
size_t element(std::string_view s, size_t at, bool& emoji) {
    size_t next = at;
    const UChar32 base = codePointAt(s, at, next);
    if (!has(base, UCHAR_EMOJI) && !has(base, UCHAR_EXTENDED_PICTOGRAPHIC)) return at;
    emoji = has(base, UCHAR_EMOJI_PRESENTATION);
    if (has(base, UCHAR_REGIONAL_INDICATOR)) {
        size_t after = next;
        if (next < s.size() && has(codePointAt(s, next, after), UCHAR_REGIONAL_INDICATOR)) {
            emoji = true;
            return after;
        }
        return next;
    }
    size_t end = next;
    if (end < s.size()) {
        size_t after = end;
        const UChar32 c = codePointAt(s, end, after);
        if (c == emojiSelector) {
            emoji = true;
            end = after;
        } else if (c == textSelector) {
            emoji = false;
            return after;
        }
    }
    if (end < s.size()) {
        size_t after = end;
        const UChar32 c = codePointAt(s, end, after);
        if (c == keycap) {
            emoji = true;
            return after;
        }
        if (has(c, UCHAR_EMOJI_MODIFIER) && has(base, UCHAR_EMOJI_MODIFIER_BASE)) {
            emoji = true;
            end = after;
        }
    }
    // A tag sequence (the flags of England, Scotland, Wales): tags closed by the cancel tag.
    size_t tags = end;
    bool tagged = false;
    while (tags < s.size()) {
        size_t after = tags;
        const UChar32 c = codePointAt(s, tags, after);
        if (isTag(c)) {
            tags = after;
            tagged = true;
            continue;
        }
        if (c == cancelTag && tagged) {
            emoji = true;
            end = after;
        }
        break;
    }
    return end;
}

}  // namespace

std::vector<std::pair<size_t, size_t>> emojiRanges(std::string_view utf8) {
    std::vector<std::pair<size_t, size_t>> ranges;
    size_t at = 0;
    while (at < utf8.size()) {
        bool emoji = false;
        size_t end = element(utf8, at, emoji);
        if (end == at) {
            codePointAt(utf8, at, at);
            continue;
        }
        // Elements joined by U+200D form one sequence (a family, a rainbow flag).
        while (end < utf8.size()) {
            size_t afterJoiner = end;
            if (codePointAt(utf8, end, afterJoiner) != joiner || afterJoiner >= utf8.size()) break;
            bool joinedEmoji = false;
            const size_t joinedEnd = element(utf8, afterJoiner, joinedEmoji);
            if (joinedEnd == afterJoiner) break;
            emoji = emoji || joinedEmoji;
            end = joinedEnd;
        }
        if (emoji) {
            if (!ranges.empty() && ranges.back().second == at) {
                ranges.back().second = end;
            } else {
                ranges.emplace_back(at, end);
            }
        }
        at = end;
    }
    return ranges;
}

std::string families(FontDesign design) {
    switch (design) {
    case FontDesign::serif:
        return std::string(serifFamily) + ", Noto Serif CJK SC, " + scriptFamilies;
    case FontDesign::monospaced:
        return std::string(monospacedFamily) + ", DejaVu Sans Mono, " + scriptFamilies;
    case FontDesign::sans:
    case FontDesign::monospacedDigits:
        break;
    }
    return std::string(sansFamily) + ", " + scriptFamilies;
}

std::string features(FontDesign design) {
    return design == FontDesign::monospacedDigits ? "tnum 1" : "";
}

int cssWeight(FontWeight weight) {
    switch (weight) {
    case FontWeight::medium: return 500;
    case FontWeight::semibold: return 600;
    case FontWeight::bold: return 700;
    case FontWeight::regular: break;
    }
    return 400;
}

std::vector<std::string> missingFamilies() {
    static constexpr const char* required[] = {
        sansFamily, serifFamily, monospacedFamily, emojiFamily, "Noto Sans Arabic", "Noto Sans Hebrew",
        "Noto Sans Devanagari", "Noto Sans CJK SC",
    };
    std::vector<std::string> missing;
    if (!FcInit()) return {required, required + std::size(required)};
    for (const char* family : required) {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
        FcFontSet* found = FcFontList(nullptr, pattern, objects);
        if (!found || found->nfont == 0) missing.emplace_back(family);
        if (found) FcFontSetDestroy(found);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
    }
    return missing;
}

}  // namespace quillmark::graphics::Fonts
