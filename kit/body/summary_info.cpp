#include "body/summary_info.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include <plist/plist.h>

#include "body/attributed_body.h"
#include "body/attributed_body_writer.h"
#include "core/apple_time.h"
#include "core/property_list.h"

namespace quillmark {

namespace {

using Plist = PropertyList::Node;

// libplist keeps every integer as an unsigned 64-bit number; a signed value read from a list (or
// written for one) keeps its bit pattern, so values from 2^63 up are negative numbers.
int64_t signedValue(plist_t node) {
    uint64_t v = 0;
    plist_get_uint_val(node, &v);
    return static_cast<int64_t>(v);
}

bool isNumber(plist_t node) {
    const plist_type t = plist_get_node_type(node);
    return t == PLIST_UINT || t == PLIST_REAL;
}

// A number's integer value: integers as they are, reals truncated toward zero; nothing for a real that
// is not finite or does not fit.
std::optional<int64_t> integerValue(plist_t node) {
    if (plist_get_node_type(node) == PLIST_UINT) return signedValue(node);
    double d = 0;
    plist_get_real_val(node, &d);
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return std::nullopt;
    return static_cast<int64_t>(d);
}

// A part key's number: optional sign, then digits only, within the 64-bit range; any other key is 0.
int64_t partNumber(std::string_view key) {
    size_t i = 0;
    const bool negative = !key.empty() && key[0] == '-';
    if (!key.empty() && (key[0] == '+' || key[0] == '-')) i = 1;
    if (i == key.size()) return 0;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') return 0;
        const auto digit = static_cast<uint64_t>(key[i] - '0');
        if (magnitude > (limit - digit) / 10) return 0;
        magnitude = magnitude * 10 + digit;
    }
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

std::string versionText(plist_t t) {
    if (!t) return {};
    if (plist_get_node_type(t) == PLIST_STRING) {
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(t, &length);
        return s ? std::string(s, length) : std::string();
    }
    if (plist_get_node_type(t) != PLIST_DATA) return {};
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(t, &length);
    if (!bytes) return {};
    auto body = AttributedBody::decode({reinterpret_cast<const uint8_t*>(bytes), static_cast<size_t>(length)});
    return body ? body->plainText() : std::string();
}

std::optional<Date> versionDate(plist_t d) {
    if (!d) return std::nullopt;
    switch (plist_get_node_type(d)) {
        case PLIST_UINT: return AppleTime::date(signedValue(d));
        case PLIST_REAL: {
            // Messages writes these dates as seconds with a fraction. The fraction is kept, with the
            // same reading as integer stamps: 0 is no date, and a magnitude above 1e11 is nanoseconds.
            double v = 0;
            plist_get_real_val(d, &v);
            if (!std::isfinite(v) || v == 0) return std::nullopt;
            if (std::fabs(v) > 100'000'000'000.0) v /= 1e9;
            return Date{AppleTime::referenceDate + v};
        }
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(d, &seconds, &microseconds);
            return Date{AppleTime::referenceDate + seconds + microseconds / 1e6};
        }
        default: return std::nullopt;
    }
}

std::vector<EditVersion> readVersions(plist_t ec) {
    std::vector<EditVersion> out;
    if (!ec || plist_get_node_type(ec) != PLIST_DICT) return out;
    std::vector<std::pair<int64_t, plist_t>> parts;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(ec, &it);
    if (!it) return out;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(ec, it, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        parts.emplace_back(partNumber(key ? std::string_view(key) : std::string_view()), value);
        std::free(key);
    }
    std::free(it);
    std::stable_sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    for (const auto& [number, list] : parts) {
        if (plist_get_node_type(list) != PLIST_ARRAY) continue;
        const uint32_t count = plist_array_get_size(list);
        for (uint32_t i = 0; i < count; ++i) {
            plist_t version = plist_array_get_item(list, i);
            if (!version || plist_get_node_type(version) != PLIST_DICT) continue;
            out.push_back(EditVersion{versionText(plist_dict_get_item(version, "t")),
                                      versionDate(plist_dict_get_item(version, "d"))});
        }
    }
    return out;
}

std::vector<int64_t> readRetracted(plist_t rp) {
    std::vector<int64_t> out;
    if (!rp || plist_get_node_type(rp) != PLIST_ARRAY) return out;
    const uint32_t count = plist_array_get_size(rp);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(rp, i);
        if (!item || !isNumber(item)) continue;
        if (auto n = integerValue(item)) out.push_back(*n);
    }
    return out;
}

}  // namespace

std::optional<SummaryInfo> SummaryInfo::decode(std::span<const uint8_t> data) {
    if (data.empty() || data.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    const PropertyList::Node root = PropertyList::parse(data);
    plist_t node = root.get();
    if (!root || plist_get_node_type(node) != PLIST_DICT) return std::nullopt;
    return SummaryInfo{readVersions(plist_dict_get_item(node, "ec")), readRetracted(plist_dict_get_item(node, "rp"))};
}

std::vector<uint8_t> SummaryInfo::encode(std::span<const EditVersion> versions, std::span<const int64_t> retracted) {
    const Plist root(plist_new_dict());
    if (!versions.empty()) {
        plist_t list = plist_new_array();
        for (const EditVersion& v : versions) {
            plist_t entry = plist_new_dict();
            const std::vector<uint8_t> archived = AttributedBodyWriter::archive(v.text);
            plist_dict_set_item(entry, "t", plist_new_data(reinterpret_cast<const char*>(archived.data()), archived.size()));
            if (v.date) plist_dict_set_item(entry, "d", plist_new_uint(static_cast<uint64_t>(AppleTime::raw(*v.date))));
            plist_array_append_item(list, entry);
        }
        plist_t parts = plist_new_dict();
        plist_dict_set_item(parts, "0", list);
        plist_dict_set_item(root.get(), "ec", parts);
    }
    if (!retracted.empty()) {
        plist_t list = plist_new_array();
        for (int64_t part : retracted) plist_array_append_item(list, plist_new_uint(static_cast<uint64_t>(part)));
        plist_dict_set_item(root.get(), "rp", list);
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    if (!bytes) return {};
    std::vector<uint8_t> out(reinterpret_cast<const uint8_t*>(bytes), reinterpret_cast<const uint8_t*>(bytes) + length);
    plist_to_bin_free(bytes);
    return out;
}

}  // namespace quillmark
