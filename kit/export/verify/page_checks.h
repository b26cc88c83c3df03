// PageChecks: what the verifier compares beyond the words: the file's tail, the pictures of the pages and
// the fields of the embedded record.
//
//   if (PageChecks::addedAfterMade(bytes)) ...                 // an incremental update, or data after %%EOF
//   if (PageChecks::looksDifferent(fileGrey, madeGrey)) ...    // a covered line, a mark, a changed photo
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "export/graphics/pdf_document.h"
#include "export/pdf/verification_record.h"

namespace quillmark::PageChecks {

// The pages are drawn at this resolution to compare them.
inline constexpr double dpi = 50;
// Blocks of this many pixels square are compared by their mean grey level, and differ by more than this.
inline constexpr int blockSize = 8;
inline constexpr double greyTolerance = 8;

// addedAfterMade: whether something was appended to the file after it was written whole: an incremental
// update (a further cross-reference section and end marker; a linearized file's first-page section is
// part of the file, not an update) or any bytes but white space after the last "%%EOF". A file without
// an end marker counts as added to.
bool addedAfterMade(std::span<const uint8_t> bytes);

// looksDifferent: whether two drawings of a page differ to a reader: another size, or any block of 8 × 8
// pixels (the last row and column of blocks may be smaller) whose mean grey levels differ by more than 8
// of 255. Smoothing and compression noise stay below that; a white box over a line of text does not.
bool looksDifferent(const graphics::PDFDocument::GreyPage& a, const graphics::PDFDocument::GreyPage& b);

// differingField: the name of the first field of the record in a file that differs from the record of the
// export made again, as the record spells it ("messages", "pages", "fingerprint", ...); nothing when equal.
std::optional<std::string> differingField(const VerificationRecord& file, const VerificationRecord& made);

}  // namespace quillmark::PageChecks
