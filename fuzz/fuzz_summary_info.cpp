// Feeds arbitrary bytes to the summary property-list reader, and writes back what it read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "body/summary_info.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto info = SummaryInfo::decode(std::span<const uint8_t>(data, size));
    if (!info) return 0;
    const auto encoded = SummaryInfo::encode(info->versions, info->retractedParts);
    auto again = SummaryInfo::decode(encoded);
    // What the writer wrote, the reader reads: same versions and parts (texts are plain texts already,
    // except text kept as is, which may carry white space at its ends).
    if (!again || again->retractedParts != info->retractedParts || again->versions.size() != info->versions.size())
        __builtin_trap();
    return 0;
}
