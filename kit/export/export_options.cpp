#include "export/export_options.h"

#include <nlohmann/json.hpp>
#include <unicode/locid.h>

#include "conversations/unicode_text.h"
#include "core/calendar.h"
#include "core/locale.h"

#ifndef QUILLMARK_VERSION
#define QUILLMARK_VERSION ""
#endif

namespace quillmark {

using nlohmann::ordered_json;

std::string_view ExportLayout::rawValue() const { return value_ == book ? "book" : "record"; }

std::string_view ExportLayout::title() const { return value_ == book ? "Book" : "Record"; }

std::string_view ExportLayout::description() const {
    if (value_ == book) return "Bubbles and photos, a chapter for each month. For keeping and printing.";
    return "Exact times, page numbers and a fingerprint anyone can check. For lawyers, courts and records.";
}

std::optional<ExportLayout> ExportLayout::fromRaw(std::string_view raw) {
    for (const Value value : allCases)
        if (ExportLayout(value).rawValue() == raw) return ExportLayout(value);
    return std::nullopt;
}

std::string_view ExportFormat::rawValue() const {
    switch (value_) {
        case pdf: return "pdf";
        case html: return "html";
        case csv: return "csv";
    }
    return "pdf";
}

std::string_view ExportFormat::label() const {
    switch (value_) {
        case pdf: return "PDF";
        case html: return "HTML";
        case csv: return "CSV";
    }
    return "PDF";
}

std::optional<ExportFormat> ExportFormat::fromRaw(std::string_view raw) {
    for (const Value value : allCases)
        if (ExportFormat(value).rawValue() == raw) return ExportFormat(value);
    return std::nullopt;
}

std::string_view Paper::rawValue() const { return value_ == a4 ? "a4" : "letter"; }

Paper::Size Paper::size() const { return value_ == a4 ? Size{595.28, 841.89} : Size{612, 792}; }

std::optional<Paper> Paper::fromRaw(std::string_view raw) {
    for (const Value value : allCases)
        if (Paper(value).rawValue() == raw) return Paper(value);
    return std::nullopt;
}

Paper Paper::forRegion(const std::string& localeID) {
    static constexpr std::string_view letterRegions[] = {"US", "CA", "MX", "PH", "CL", "CO", "VE", "CR",
                                                         "GT", "DO", "PR", "PA", "SV", "NI", "HN", "BZ"};
    const icu::Locale locale(localeID.c_str());
    const std::string_view region = locale.getCountry();
    if (region.empty()) return letter;
    for (const std::string_view r : letterRegions)
        if (r == region) return letter;
    return a4;
}

Paper Paper::forCurrentRegion() { return forRegion(userLocale()); }

ExportOptions ExportOptions::make(ExportLayout layout, Paper paper, std::string timeZoneID, std::string localeID,
                                  std::string meName, Date exportedAt, std::string appVersion) {
    return ExportOptions{layout,
                         paper,
                         std::move(timeZoneID),
                         std::move(localeID),
                         std::move(meName),
                         Date::fromMilliseconds(exportedAt.milliseconds()),
                         std::move(appVersion)};
}

std::string ExportOptions::timeZone() const {
    if (auto zone = Calendar::timeZone(timeZoneID)) return *zone;
    return Calendar::defaultTimeZone();
}

std::string ExportOptions::me() const { return ownName(meName); }

std::string ExportOptions::ownName(const std::string& meName) {
    if (unicode::trimmedBlanks(meName).empty()) return "You";
    return meName;
}

std::string ExportOptions::currentAppVersion() {
    const std::string_view version = QUILLMARK_VERSION;
    return version.empty() ? "1.0" : std::string(version);
}

std::string ExportOptions::currentLocale() { return userLocale(LocaleCategory::time); }

ordered_json ExportOptions::encode() const {
    return encode([](Date date) { return ordered_json(date.milliseconds()); });
}

ordered_json ExportOptions::encode(const DateEncoder& date) const {
    ordered_json json = ordered_json::object();
    json["layout"] = layout.rawValue();
    json["paper"] = paper.rawValue();
    json["timeZoneID"] = timeZoneID;
    json["localeID"] = localeID;
    json["meName"] = meName;
    json["exportedAt"] = date(exportedAt);
    json["appVersion"] = appVersion;
    return json;
}

tl::expected<ExportOptions, ExportOptions::Failure> ExportOptions::decode(const ordered_json& json) {
    return decode(json, [](const ordered_json& value) -> std::optional<Date> {
        if (!value.is_number_integer()) return std::nullopt;
        return Date::fromMilliseconds(value.get<int64_t>());
    });
}

tl::expected<ExportOptions, ExportOptions::Failure> ExportOptions::decode(const ordered_json& json,
                                                                         const DateDecoder& date) {
    if (!json.is_object()) return tl::unexpected(Failure{"The export options are not an object."});
    auto missing = [](std::string_view key) {
        return tl::unexpected(Failure{"The export options have no valid \u201c" + std::string(key) + "\u201d."});
    };
    auto text = [&](const char* key) -> std::optional<std::string> {
        const auto found = json.find(key);
        if (found == json.end() || !found->is_string()) return std::nullopt;
        return found->get<std::string>();
    };

    ExportOptions options;
    const auto layout = text("layout");
    const auto layoutValue = layout ? ExportLayout::fromRaw(*layout) : std::nullopt;
    if (!layoutValue) return missing("layout");
    options.layout = *layoutValue;
    const auto paper = text("paper");
    const auto paperValue = paper ? Paper::fromRaw(*paper) : std::nullopt;
    if (!paperValue) return missing("paper");
    options.paper = *paperValue;

    const std::pair<const char*, std::string*> texts[] = {
        {"timeZoneID", &options.timeZoneID}, {"localeID", &options.localeID}, {"meName", &options.meName}};
    for (const auto& [key, field] : texts) {
        auto value = text(key);
        if (!value) return missing(key);
        *field = std::move(*value);
    }
    const auto exportedAt = json.find("exportedAt");
    const auto when = exportedAt == json.end() ? std::nullopt : date(*exportedAt);
    if (!when) return missing("exportedAt");
    options.exportedAt = Date::fromMilliseconds(when->milliseconds());
    auto version = text("appVersion");
    if (!version) return missing("appVersion");
    options.appVersion = std::move(*version);
    return options;
}

}  // namespace quillmark
