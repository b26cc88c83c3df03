// BookLayout: the keepsake PDF layout: a cover page with the last photo, then the conversation as chat
// bubbles in month chapters, with time lines, sender names in groups, reply quotes, photos, attachment
// lines, notes on edits and effects, and group events.
//
//   BlockList blocks = BookLayout::blocks(input, 504, 679.6);
#pragma once

#include <vector>

#include "export/graphics/attributed_text.h"
#include "export/layout/block.h"
#include "export/layout/picture_ref.h"
#include "export/layout/render_input.h"

namespace quillmark::BookLayout {

// The pictures of the book are at most this many pixels on their longer side.
inline constexpr int pictureSize = 1400;

// The body font of the bubbles.
graphics::Font body();

// blocks: the cover, a page break, then every message's blocks.
BlockList blocks(const RenderInput& input, double contentWidth, double contentHeight);

// A message's text of at most this many bytes, sent with files, is their caption: it keeps with the first.
inline constexpr size_t captionLength = 200;

// attachment: a photo bubble for a picture of an image or video, otherwise a text bubble naming the file. A
// captioned attachment keeps with the block before it. A picture made already can be handed in.
BlockRef attachment(const Attachment& attachment, bool fromMe, const std::vector<std::string>& reactions,
                    const RenderInput& input, double width, bool captioned = false, PictureRef prepared = nullptr);

// title: the cover's title: the group name; for one other person and a named owner, "Anna & Ben" from
// their first names; otherwise the conversation's title.
std::string title(const MessageThread& thread, const ExportOptions& options);

}  // namespace quillmark::BookLayout
