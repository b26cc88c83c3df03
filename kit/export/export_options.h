// ExportOptions: everything one export is made with, and the small choices it is made of.
//
// One value is made when an export starts and travels unchanged through the fingerprint, the layouts and
// the exporters. A PDF stores it in its verification record, so an export can be repeated later with
// exactly the same options; that is why every date and name an export prints comes from here and never
// from the machine it runs on.
//
//   auto options = ExportOptions::make(ExportLayout::record, Paper::a4, "Europe/Berlin", "de_DE", "Anna",
//                                      Date{1712345678.9876});
//   options.exportedAt.seconds == 1712345678.988      // whole milliseconds
//   options.me() == "Anna";  options.timeZone() == "Europe/Berlin"
//   options.encode().dump() == R"({"layout":"record","paper":"a4","timeZoneID":"Europe/Berlin",...})"
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>
#include <tl/expected.hpp>

#include "core/failure.h"

#include "core/date.h"

namespace quillmark {

// ExportLayout: the two PDF layouts. Raw values "record" and "book" are stored in records and settings.
class ExportLayout {
public:
    enum Value { record, book };
    static constexpr std::array<Value, 2> allCases = {record, book};

    constexpr ExportLayout() = default;
    constexpr ExportLayout(Value value) : value_(value) {}  // implicit, so cases read as values
    constexpr Value value() const { return value_; }

    std::string_view rawValue() const;
    // The layout card's title and description in the export sheet.
    std::string_view title() const;
    std::string_view description() const;
    // The layout stored as that text; absent for any other text.
    static std::optional<ExportLayout> fromRaw(std::string_view raw);

    friend constexpr bool operator==(ExportLayout, ExportLayout) = default;

private:
    Value value_ = record;
};

// ExportFormat: what an export is written as. The raw value is also the file extension.
class ExportFormat {
public:
    enum Value { pdf, html, csv };
    static constexpr std::array<Value, 3> allCases = {pdf, html, csv};

    constexpr ExportFormat() = default;
    constexpr ExportFormat(Value value) : value_(value) {}
    constexpr Value value() const { return value_; }

    std::string_view rawValue() const;  // "pdf", "html", "csv"
    std::string_view fileExtension() const { return rawValue(); }
    std::string_view label() const;     // "PDF", "HTML", "CSV"
    static std::optional<ExportFormat> fromRaw(std::string_view raw);

    friend constexpr bool operator==(ExportFormat, ExportFormat) = default;

private:
    Value value_ = pdf;
};

// Paper: the PDF's page size.
class Paper {
public:
    enum Value { letter, a4 };
    static constexpr std::array<Value, 2> allCases = {letter, a4};

    struct Size {
        double width;   // points
        double height;
        friend constexpr bool operator==(const Size&, const Size&) = default;
    };

    constexpr Paper() = default;
    constexpr Paper(Value value) : value_(value) {}
    constexpr Value value() const { return value_; }

    std::string_view rawValue() const;  // "letter", "a4"
    // letter 612 × 792, a4 595.28 × 841.89.
    Size size() const;
    static std::optional<Paper> fromRaw(std::string_view raw);

    // forRegion: letter in the Americas' letter-paper countries (US, CA, MX, PH, CL, CO, VE, CR, GT, DO, PR,
    // PA, SV, NI, HN, BZ) and for a locale without a region (read as US); a4 elsewhere.
    //   Paper::forRegion("en_GB") == Paper::a4;  Paper::forRegion("es_PR") == Paper::letter
    static Paper forRegion(const std::string& localeID);
    // forCurrentRegion: forRegion of the user's locale.
    static Paper forCurrentRegion();

    friend constexpr bool operator==(Paper, Paper) = default;

private:
    Value value_ = letter;
};

struct ExportOptions {
    // Why stored options do not decode: a sentence naming the key.
    using Failure = SentenceFailure;

    ExportLayout layout;
    Paper paper;
    std::string timeZoneID;  // the zone every date of the export is written in, such as "Europe/Berlin"
    std::string localeID;    // the ICU locale of the date formats, such as "en_US"
    std::string meName;      // the owner's name as the user set it
    Date exportedAt;         // whole milliseconds
    std::string appVersion;

    // make: the options with exportedAt rounded to the nearest millisecond, halves away from zero
    // (1.0625 s becomes 1.063 s), so that a stored and reread value is equal to the one exported with.
    static ExportOptions make(ExportLayout layout, Paper paper, std::string timeZoneID, std::string localeID,
                              std::string meName, Date exportedAt, std::string appVersion = currentAppVersion());

    // timeZone: timeZoneID when it names a zone; otherwise the machine's zone (TZ, else the system's).
    std::string timeZone() const;
    const std::string& locale() const { return localeID; }
    // me: "You" when meName holds nothing but blanks (space separators and tabs), else meName unchanged.
    std::string me() const;
    // ownName: the same rule for any name, for what is shown outside an export (a transcript).
    static std::string ownName(const std::string& meName);

    // The version this build was made as (the project's version), "1.0" when the build carries none.
    static std::string currentAppVersion();
    // The user's locale for dates: LC_ALL, then LC_TIME, then LANG; "C" and "POSIX" are en_US.
    static std::string currentLocale();

    // encode: an object with the keys layout, paper, timeZoneID, localeID, meName, exportedAt and
    // appVersion, in that order. exportedAt is written by `date`, the enclosing format's way of writing
    // dates; without one, as integer milliseconds since 1970.
    using DateEncoder = std::function<nlohmann::ordered_json(Date)>;
    nlohmann::ordered_json encode() const;
    nlohmann::ordered_json encode(const DateEncoder& date) const;

    // decode: the options of an encoded object. Every key is required and must hold a value of its kind
    // (layout and paper one of their raw values); other keys are ignored. The error is a sentence naming the
    // first key at fault. `date` reads exportedAt (nothing when the value is not a date); without one it
    // must be integer milliseconds.
    using DateDecoder = std::function<std::optional<Date>(const nlohmann::ordered_json&)>;
    [[nodiscard]] static tl::expected<ExportOptions, Failure> decode(const nlohmann::ordered_json& json);
    [[nodiscard]] static tl::expected<ExportOptions, Failure> decode(const nlohmann::ordered_json& json,
                                                                       const DateDecoder& date);

    friend bool operator==(const ExportOptions&, const ExportOptions&) = default;
};

}  // namespace quillmark
