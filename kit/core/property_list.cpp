#include "core/property_list.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include <plist/plist.h>

#include "core/apple_time.h"

namespace quillmark::PropertyList {

namespace {

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

}  // namespace

void Free::operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }

Node parse(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
    if (hasKeyLibplistCannotRead(bytes)) return nullptr;
    plist_t node = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &node);
    return Node(node);
}

std::optional<std::string> string(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text) return std::nullopt;
    return std::string(text, static_cast<size_t>(length));
}

std::optional<std::vector<uint8_t>> data(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_DATA) return std::nullopt;
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(node, &length);
    if (!bytes) return std::vector<uint8_t>{};
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(bytes), reinterpret_cast<const uint8_t*>(bytes) + length);
}

std::optional<bool> boolean(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_BOOLEAN) return std::nullopt;
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
}

std::optional<uint64_t> integer(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_UINT) return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return value;
}

std::optional<Date> date(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_DATE) return std::nullopt;
    int32_t seconds = 0, microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    return Date{AppleTime::referenceDate + seconds + microseconds / 1e6};
}

}  // namespace quillmark::PropertyList
