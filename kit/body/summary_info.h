// SummaryInfo: the edit history and the unsent parts of a message, read from the property list that
// Messages keeps in the `message_summary_info` column (binary or XML).
//
// The list holds, per message part ("ec": part number -> list of {"t": archived text, "d": date}), the
// earlier versions of the part, and the parts that were unsent ("rp"). The reader never reports an
// error: unreadable data gives nothing, and each malformed piece is skipped or left at its default.
// `encode` writes a binary property list that the reader reads back.
//
//   std::optional<SummaryInfo> info = SummaryInfo::decode(row.summaryInfo);
//   info->versions;         // {{"First message", <date>}, {"Edit 1", <date>}}
//   info->retractedParts;   // {3}
//
//   std::vector<uint8_t> blob = SummaryInfo::encode({{"Hello", date}}, {});
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/edit_version.h"

namespace quillmark {

struct SummaryInfo {
    // The earlier versions of the message, part by part in ascending part order, each part's versions
    // in stored order. Texts are the versions' plain texts.
    std::vector<EditVersion> versions;
    // The part numbers that were unsent, in stored order.
    std::vector<int64_t> retractedParts;

    // decode: nothing for empty data, data that is not a property list, or a list whose top level is
    // not a dictionary; otherwise the value, whose lists may be empty.
    static std::optional<SummaryInfo> decode(std::span<const uint8_t> data);

    // encode: a binary property list holding every version as part 0 (texts archived as attributed
    // strings, dates as nanoseconds since 2001) and the retracted parts. Empty bytes if the property
    // list cannot be written.
    static std::vector<uint8_t> encode(std::span<const EditVersion> versions, std::span<const int64_t> retracted);

    friend bool operator==(const SummaryInfo&, const SummaryInfo&) = default;
};

}  // namespace quillmark
