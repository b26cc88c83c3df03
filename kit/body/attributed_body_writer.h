// AttributedBodyWriter: archives a message text with its attachment markers and links as an attributed
// string, in the form Messages stores in the `attributedBody` column; AttributedBody::decode reads it
// back to the same text and runs.
//
// The whole text is message part 0. The i-th U+FFFC (from the start, in order) is given the i-th
// attachment GUID and part i; GUIDs beyond the last marker are dropped and markers beyond the last GUID
// stay as they are. Each link's visible text is found (its first occurrence) and given the link as a
// URL object; links whose text does not occur or whose target is not a URL are skipped. Run lengths
// are UTF-16 code units.
//
//   auto bytes = AttributedBodyWriter::archive("a\uFFFCb", {"at_0_GUID"}, {});
//   AttributedBody::decode(bytes)->runs;
//     // {0, 1, part 0}, {1, 1, part 1, GUID "at_0_GUID"}, {2, 1, part 0}
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::AttributedBodyWriter {

// archive: the typedstream archive of `text` (invalid UTF-8 is replaced by U+FFFD) with the attachment
// GUIDs and links (visible text -> URL text, taken in the map's order). Never fails.
std::vector<uint8_t> archive(std::string_view text, std::span<const std::string> attachmentGUIDs = {},
                             const std::map<std::string, std::string>& links = {});

}  // namespace quillmark::AttributedBodyWriter
