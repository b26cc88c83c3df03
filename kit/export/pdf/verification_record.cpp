#include "export/pdf/verification_record.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>

namespace quillmark {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0}) out += base64Alphabet[(v >> shift) & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (rest == 2) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        out += base64Alphabet[(v >> 18) & 63];
        out += base64Alphabet[(v >> 12) & 63];
        out += rest == 2 ? base64Alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Standard Base64, strictly: a length that is a multiple of 4, only alphabet characters, and at most two
// "=" at the very end. Anything else is not ours and gives nothing.
std::optional<std::string> unbase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    size_t padding = 0;
    while (padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    if (padding > 2) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t accumulator = 0;
    int bits = 0;
    for (size_t i = 0; i < text.size() - padding; ++i) {
        int v = base64Value(text[i]);
        if (v < 0) return std::nullopt;
        accumulator = (accumulator << 6) | uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((accumulator >> bits) & 0xFF);
        }
    }
    return out;
}

std::optional<int64_t> integer(const json& value) {
    if (value.is_number_unsigned()) {
        uint64_t u = value.get<uint64_t>();
        if (u > uint64_t(INT64_MAX)) return std::nullopt;
        return static_cast<int64_t>(u);
    }
    if (value.is_number_integer()) return value.get<int64_t>();
    if (value.is_number_float()) {
        double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 9.2e18) return static_cast<int64_t>(d);
    }
    return std::nullopt;
}

// A timestamp in milliseconds since 1970; null reads as absent, like a missing key.
std::optional<std::optional<Date>> timestamp(const json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) return std::optional<Date>();
    if (!found->is_number()) return std::nullopt;
    double ms = found->get<double>();
    if (!std::isfinite(ms)) return std::nullopt;
    if (auto whole = integer(*found)) return std::optional<Date>(Date::fromMilliseconds(*whole));
    return std::optional<Date>(Date{ms / 1000});
}

// The payload: from just after the prefix to the first white space or comma.
std::string_view payload(std::string_view text, size_t start) {
    size_t i = start;
    while (i < text.size()) {
        UChar32 c = 0;
        int32_t next = static_cast<int32_t>(i);
        U8_NEXT(text.data(), next, static_cast<int32_t>(text.size()), c);
        if (c == ',' || (c >= 0 && u_isUWhiteSpace(c))) break;
        i = static_cast<size_t>(next);
    }
    return text.substr(start, i - start);
}

}  // namespace

std::string VerificationRecord::encoded() const {
    json object = json::object();
    object["version"] = version;
    object["chats"] = chats;
    if (start) object["start"] = start->milliseconds();
    if (end) object["end"] = end->milliseconds();
    object["options"] = json(options.encode());
    object["names"] = json(names);
    object["fingerprint"] = fingerprint;
    object["messages"] = messages;
    object["pages"] = pages;
    if (origin) {
        json where = json::object();
        where["device"] = origin->device;
        if (origin->backupDate) where["backupDate"] = origin->backupDate->milliseconds();
        object["origin"] = std::move(where);
    }

    std::string text;
    try {
        text = object.dump(-1, ' ', false, json::error_handler_t::replace);
    } catch (const json::exception&) {
        return std::string(prefix);
    }
    std::string encoded = base64(text);
    while (!encoded.empty() && encoded.back() == '=') encoded.pop_back();
    for (char& c : encoded) {
        if (c == '+') c = '-';
        if (c == '/') c = '_';
    }
    return std::string(prefix) + encoded;
}

std::optional<VerificationRecord> VerificationRecord::decode(std::string_view text) {
    size_t at = text.find(prefix);
    if (at == std::string_view::npos) return std::nullopt;
    std::string base(payload(text, at + prefix.size()));
    for (char& c : base) {
        if (c == '-') c = '+';
        else if (c == '_') c = '/';
    }
    while (base.size() % 4 != 0) base += '=';
    auto bytes = unbase64(base);
    if (!bytes) return std::nullopt;

    json object = json::parse(*bytes, nullptr, false);
    if (!object.is_object()) return std::nullopt;

    VerificationRecord record;
    auto get = [&](const char* key) -> const json* {
        auto found = object.find(key);
        return found == object.end() ? nullptr : &*found;
    };

    const json* version = get("version");
    auto versionValue = version ? integer(*version) : std::nullopt;
    if (!versionValue) return std::nullopt;
    record.version = *versionValue;

    const json* chats = get("chats");
    if (!chats || !chats->is_array()) return std::nullopt;
    for (const json& chat : *chats) {
        if (!chat.is_string()) return std::nullopt;
        record.chats.push_back(chat.get<std::string>());
    }

    auto start = timestamp(object, "start");
    auto end = timestamp(object, "end");
    if (!start || !end) return std::nullopt;
    record.start = *start;
    record.end = *end;

    const json* options = get("options");
    if (!options) return std::nullopt;
    auto decodedOptions = ExportOptions::decode(ordered_json(*options));
    if (!decodedOptions) return std::nullopt;
    record.options = std::move(*decodedOptions);

    const json* names = get("names");
    if (!names || !names->is_object()) return std::nullopt;
    for (const auto& [address, name] : names->items()) {
        if (!name.is_string()) return std::nullopt;
        record.names[address] = name.get<std::string>();
    }

    const json* fingerprint = get("fingerprint");
    if (!fingerprint || !fingerprint->is_string()) return std::nullopt;
    record.fingerprint = fingerprint->get<std::string>();

    const json* messages = get("messages");
    auto messagesValue = messages ? integer(*messages) : std::nullopt;
    const json* pages = get("pages");
    auto pagesValue = pages ? integer(*pages) : std::nullopt;
    if (!messagesValue || !pagesValue) return std::nullopt;
    record.messages = *messagesValue;
    record.pages = *pagesValue;

    if (const json* origin = get("origin")) {
        if (!origin->is_object()) return std::nullopt;
        const auto device = origin->find("device");
        if (device == origin->end() || !device->is_string()) return std::nullopt;
        HistoryOrigin where;
        where.device = device->get<std::string>();
        auto backupDate = timestamp(*origin, "backupDate");
        if (!backupDate) return std::nullopt;
        where.backupDate = *backupDate;
        record.origin = std::move(where);
    }
    return record;
}

std::optional<VerificationRecord> VerificationRecord::record(const std::vector<std::string>& keywords) {
    for (const std::string& keyword : keywords) {
        if (auto found = decode(keyword)) return found;
    }
    std::string joined;
    for (const std::string& keyword : keywords) joined += keyword;
    return decode(joined);
}

std::optional<VerificationRecord> VerificationRecord::read(const graphics::PDFDocument& document) {
    return record(document.keywords());
}

std::optional<VerificationRecord> VerificationRecord::record(const std::string& pdfPath) {
    auto document = graphics::PDFDocument::open(pdfPath);
    if (!document) return std::nullopt;
    return read(*document);
}

}  // namespace quillmark
