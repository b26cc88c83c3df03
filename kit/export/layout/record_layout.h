// RecordLayout: the documentary PDF layout: a cover with a panel of facts and the fingerprint, one table
// row per message under day headings with times to the second, and an appendix listing every attachment
// with its SHA-256. The renderer adds the running header and the footer.
//
//   BlockList blocks = RecordLayout::blocks(input, 504);
//
// `linked` marks the links of a message's text and is used by both layouts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/dates.h"
#include "export/graphics/attributed_text.h"
#include "export/layout/block.h"
#include "export/layout/render_input.h"

namespace quillmark::RecordLayout {

// The message table's geometry: time and sender columns, the space after each, and below each row.
inline constexpr double timeColumn = 62;
inline constexpr double senderColumn = 100;
inline constexpr double gutter = 10;
inline constexpr double rowBottom = 7;
inline constexpr double leftColumns = timeColumn + gutter + senderColumn + gutter;  // 182
// A message's text of at most this many bytes, sent with files, is their caption: it keeps with the first.
inline constexpr size_t captionLength = 200;

// blocks: the cover, a page break, the message rows and, when there are attachments, the appendix.
BlockList blocks(const RenderInput& input, double contentWidth);

// cover: the title, the date range, the panel of facts, the fingerprint and what it means.
BlockList cover(const RenderInput& input, const Dates& dates);

// attachment: the block for one attachment inside a message row: its picture with a caption (number,
// name, size, duration, SHA-256), the caption alone, or a sentence saying the file is not on this computer. A
// picture made already can be handed in.
BlockRef attachment(const Attachment& attachment, int number, const RenderInput& input, double width,
                    PictureRef prepared = nullptr);

// appendix: on a new page, every attachment of the export in order with its number, time, size, sender
// and SHA-256.
BlockList appendix(const RenderInput& input, const Dates& dates);

// sameDay: the two dates fall on the same calendar day in the export's zone.
bool sameDay(Date a, Date b, const Dates& dates);

// linked: the text in the font and colour (left aligned, 1.5 between lines), with the first occurrence of
// every link marked as a link and underlined: white on white text (the owner's bubbles), blue otherwise.
// A link that does not occur in the text is skipped.
graphics::AttributedText linked(const std::string& text, const std::vector<std::string>& links,
                                const graphics::Font& font, const graphics::Color& color);

// The name shown for who sent a message or made a reaction: the owner's name, "Unknown" without a
// sender, else the sender's name, else the formatted address.
std::string whoName(bool isFromMe, const std::optional<Participant>& sender, const ExportOptions& options);

}  // namespace quillmark::RecordLayout
