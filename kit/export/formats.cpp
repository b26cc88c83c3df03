#include "export/formats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <vector>

#include <unicode/numberformatter.h>
#include <unicode/rbnf.h>

namespace quillmark::Formats {

namespace {

namespace number = icu::number;

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// The SI symbol "kB" is what CLDR gives English; file browsers write "KB".
std::string withFileBrowserKilobytes(std::string text) {
    if (const auto at = text.find("kB"); at != std::string::npos) text[at] = 'K';
    return text;
}

struct Unit {
    icu::MeasureUnit (*measure)();
    int decimalExponent;  // the unit is 10^decimalExponent bytes
    int fractionDigits;   // at most this many digits after the point
};

constexpr Unit units[] = {{icu::MeasureUnit::getKilobyte, 3, 0},
                          {icu::MeasureUnit::getMegabyte, 6, 1},
                          {icu::MeasureUnit::getGigabyte, 9, 2},
                          {icu::MeasureUnit::getTerabyte, 12, 2},
                          {icu::MeasureUnit::getPetabyte, 15, 2}};

// The integer nearest to n / 10^exponent, halves to the even neighbour; exact for every 64-bit count.
uint64_t roundHalfEven(uint64_t n, int exponent) {
    if (exponent == 0) return n;
    uint64_t divisor = 1;
    for (int i = 0; i < exponent; ++i) divisor *= 10;
    const uint64_t quotient = n / divisor, remainder = n % divisor;
    const uint64_t half = divisor / 2;
    if (remainder > half || (remainder == half && quotient % 2 == 1)) return quotient + 1;
    return quotient;
}

std::string formatDecimal(const number::LocalizedNumberFormatter& formatter, const std::string& decimal) {
    UErrorCode status = U_ZERO_ERROR;
    const number::FormattedNumber formatted = formatter.formatDecimal(decimal.c_str(), status);
    if (U_FAILURE(status)) return decimal;
    icu::UnicodeString text = formatted.toString(status);
    return U_SUCCESS(status) ? utf8(text) : decimal;
}

std::string zeroKilobytes(const icu::Locale& locale) {
    const auto formatter = number::NumberFormatter::withLocale(locale)
                               .unit(icu::MeasureUnit::getKilobyte())
                               .unitWidth(UNUM_UNIT_WIDTH_SHORT);
    UErrorCode status = U_ZERO_ERROR;
    const number::FormattedNumber formatted = formatter.formatInt(0, status);
    icu::UnicodeString text = formatted.toString(status);
    if (U_FAILURE(status)) return "Zero KB";

    // The digit is replaced by the word, so the unit keeps the place and spacing the locale gives it.
    icu::RuleBasedNumberFormat spellout(icu::URBNF_SPELLOUT, locale, status);
    icu::UnicodeString word;
    if (U_SUCCESS(status)) {
        spellout.setContext(UDISPCTX_CAPITALIZATION_FOR_BEGINNING_OF_SENTENCE, status);
        spellout.format(int32_t{0}, word);
    }
    icu::ConstrainedFieldPosition position;
    position.constrainField(UFIELD_CATEGORY_NUMBER, UNUM_INTEGER_FIELD);
    if (U_SUCCESS(status) && !word.isEmpty() && formatted.nextPosition(position, status) && U_SUCCESS(status))
        text.replace(position.getStart(), position.getLimit() - position.getStart(), word);
    return withFileBrowserKilobytes(utf8(text));
}

// The number formats of one locale, made once per thread: making an ICU number format costs far more
// than using one, and an export writes a size for every file it links.
struct LocaleFormats {
    number::LocalizedNumberFormatter integer;
    number::LocalizedNumberFormatter bytes;
    std::vector<number::LocalizedNumberFormatter> units;
    std::string zero;

    explicit LocaleFormats(const icu::Locale& locale)
        : integer(number::NumberFormatter::withLocale(locale)),
          bytes(number::NumberFormatter::withLocale(locale)
                    .unit(icu::MeasureUnit::getByte())
                    .unitWidth(UNUM_UNIT_WIDTH_FULL_NAME)),
          zero(zeroKilobytes(locale)) {
        for (const Unit& unit : Formats::units)
            this->units.push_back(number::NumberFormatter::withLocale(locale)
                                      .unit(unit.measure())
                                      .unitWidth(UNUM_UNIT_WIDTH_SHORT)
                                      .precision(number::Precision::maxFraction(unit.fractionDigits)));
    }

    static const LocaleFormats& of(const std::string& localeID) {
        thread_local std::unordered_map<std::string, std::unique_ptr<LocaleFormats>> made;
        auto& formats = made[localeID];
        if (!formats) formats = std::make_unique<LocaleFormats>(icu::Locale(localeID.c_str()));
        return *formats;
    }
};

}  // namespace

std::string bytes(int64_t count, const std::string& localeID) {
    const LocaleFormats& formats = LocaleFormats::of(localeID);
    if (count == 0) return formats.zero;

    const bool negative = count < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
    const std::string sign = negative ? "-" : "";
    if (magnitude < 1000) return formatDecimal(formats.bytes, sign + std::to_string(magnitude));

    for (size_t i = 0; i < std::size(units); ++i) {
        const Unit& unit = units[i];
        // The count in hundredths (or tenths, or wholes) of the unit, rounded as it will be written.
        const uint64_t scaled = roundHalfEven(magnitude, unit.decimalExponent - unit.fractionDigits);
        uint64_t limit = 1000;
        for (int d = 0; d < unit.fractionDigits; ++d) limit *= 10;
        if (scaled >= limit && i + 1 < std::size(units)) continue;

        std::string decimal = std::to_string(scaled);
        if (unit.fractionDigits > 0) {
            if (decimal.size() <= static_cast<size_t>(unit.fractionDigits))
                decimal.insert(0, static_cast<size_t>(unit.fractionDigits) + 1 - decimal.size(), '0');
            decimal.insert(decimal.end() - unit.fractionDigits, '.');
        }
        return withFileBrowserKilobytes(formatDecimal(formats.units[i], sign + decimal));
    }
    return {};
}

std::string grouped(std::string_view text, int every) {
    if (every < 1) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / static_cast<size_t>(every));
    int64_t position = 0;
    for (const char c : text) {
        const bool startsCharacter = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (startsCharacter) {
            if (position > 0 && position % every == 0) out += ' ';
            ++position;
        }
        out += c;
    }
    return out;
}

std::string duration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "0:00";
    // Beyond any real recording, but kept within the range of the integer the text is made from.
    const auto total = static_cast<long long>(std::round(std::min(seconds, 1e15)));
    char out[48];
    if (total < 3600)
        std::snprintf(out, sizeof out, "%lld:%02lld", total / 60, total % 60);
    else
        std::snprintf(out, sizeof out, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return out;
}

std::string integer(int64_t value, const std::string& localeID) {
    UErrorCode status = U_ZERO_ERROR;
    const auto formatted = LocaleFormats::of(localeID).integer.formatInt(value, status);
    icu::UnicodeString text = formatted.toString(status);
    return U_SUCCESS(status) ? utf8(text) : std::to_string(value);
}

}  // namespace quillmark::Formats
