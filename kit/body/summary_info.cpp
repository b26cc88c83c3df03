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

namespace quillmark {

namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistFree>;

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

uint64_t bigEndian(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// libplist 2.2 stops the whole process (a failed assertion) when it is asked for a dictionary key that
// holds U+0000 written as UTF-16 in a binary list (it cuts 8-bit keys at the NUL itself). No Messages
// list has such a key, so a list that does is treated as unreadable before libplist reads it. The check
// walks the object table of the binary format: every dictionary's keys, each key string once. It is
// lenient about everything else (libplist judges the rest); a table so tangled that the walk runs out
// of its allowance counts as unreadable too.
bool hasKeyLibplistCannotRead(std::span<const uint8_t> d) {
    constexpr size_t trailerSize = 32;
    if (d.size() < 8 + trailerSize || std::memcmp(d.data(), "bplist00", 8) != 0) return false;
    const uint8_t* trailer = d.data() + d.size() - trailerSize;
    const size_t offsetSize = trailer[6];
    const size_t refSize = trailer[7];
    const uint64_t count = bigEndian(trailer + 8, 8);
    const uint64_t tableOffset = bigEndian(trailer + 24, 8);
    const uint64_t end = d.size() - trailerSize;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8) return false;
    if (tableOffset > end || count > (end - tableOffset) / offsetSize) return false;
    const uint8_t* table = d.data() + tableOffset;

    // An object's length: its marker's low nibble, or an integer object after it when that is 0xF.
    auto length = [&](uint64_t& pos, uint64_t& out) {
        const uint8_t low = d[pos++] & 0x0F;
        if (low != 0x0F) {
            out = low;
            return true;
        }
        if (pos >= end || (d[pos] & 0xF0) != 0x10 || (d[pos] & 0x0F) > 3) return false;
        const size_t n = size_t{1} << (d[pos] & 0x0F);
        if (n > end - ++pos) return false;
        out = bigEndian(d.data() + pos, n);
        pos += n;
        return true;
    };

    std::vector<bool> checked(count);
    size_t allowance = 4 * d.size() + 1024;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t pos = bigEndian(table + i * offsetSize, offsetSize);
        uint64_t keys = 0;
        if (pos >= end || (d[pos] & 0xF0) != 0xD0 || !length(pos, keys) || keys > (end - pos) / refSize) continue;
        for (uint64_t k = 0; k < keys; ++k) {
            if (allowance-- == 0) return true;
            const uint64_t ref = bigEndian(d.data() + pos + k * refSize, refSize);
            if (ref >= count || checked[ref]) continue;
            checked[ref] = true;
            uint64_t at = bigEndian(table + ref * offsetSize, offsetSize);
            if (at >= end) continue;
            uint64_t units = 0;
            if (d[at] >> 4 != 0x6 || !length(at, units) || units > (end - at) / 2) continue;
            for (uint64_t u = 0; u < units; ++u)
                if (d[at + 2 * u] == 0 && d[at + 2 * u + 1] == 0) return true;
        }
    }
    return false;
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
    if (hasKeyLibplistCannotRead(data)) return std::nullopt;
    plist_t node = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(data.data()), static_cast<uint32_t>(data.size()), &node);
    const Plist root(node);
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
