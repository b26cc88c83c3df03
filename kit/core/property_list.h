// PropertyList: reads a property list (binary or XML) out of bytes that may be damaged or crafted.
//
// libplist does the reading; this guards it against the inputs it cannot survive, so that a damaged list
// gives nothing instead of ending the program. The result is libplist's own tree, freed with its owner.
//
//   PropertyList::Node root = PropertyList::parse(bytes);
//   if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
//   PropertyList::string(plist_dict_get_item(root.get(), "Device Name"))   // "Anna's iPhone"
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/date.h"

// libplist's node handle, as <plist/plist.h> declares it.
typedef void* plist_t;  // NOLINT: the library's own name

namespace quillmark::PropertyList {

struct Free {
    void operator()(void* node) const;
};
using Node = std::unique_ptr<void, Free>;

// parse: the root of the list, or nothing when the bytes are not a list that can be read safely.
Node parse(std::span<const uint8_t> bytes);

// The value of a node of the named kind; nothing for an absent node or one of another kind.
std::optional<std::string> string(plist_t node);
std::optional<std::vector<uint8_t>> data(plist_t node);
std::optional<bool> boolean(plist_t node);
// An integer as stored (libplist keeps the bit pattern of negative ones).
std::optional<uint64_t> integer(plist_t node);
std::optional<Date> date(plist_t node);

}  // namespace quillmark::PropertyList
