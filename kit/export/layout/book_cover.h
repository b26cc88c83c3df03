// BookCover: the first page of a book export: a photo, the title in a large serif face, a subtitle of
// counts and a detail line with the dates, centred. It is as tall as the page's content area, so it fills
// the first page alone.
//
//   makeBlock<BookCover>("Anna & Ben", "1,234 messages · 56 photos", "March 5, 2024 – April 2, 2025",
//                        lastPhoto, contentHeight);
#pragma once

#include <string>

#include "export/layout/block.h"
#include "export/layout/picture_ref.h"

namespace quillmark {

class BookCover final : public Block {
public:
    BookCover(std::string title, std::string subtitle, std::string detail, PictureRef photo, double pageHeight)
        : title(std::move(title)), subtitle(std::move(subtitle)), detail(std::move(detail)),
          photo(std::move(photo)), pageHeight(pageHeight) {}

    const std::string title;
    const std::string subtitle;
    const std::string detail;
    const PictureRef photo;  // may be null
    const double pageHeight;

    // The three texts in the cover's styles.
    graphics::AttributedText titleText() const;
    graphics::AttributedText subtitleText() const;
    graphics::AttributedText detailText() const;

    // Where the drawing goes when the cover is drawn at `at` with `width`: the photo (zero-sized without
    // one) and the top of the title, subtitle and detail.
    struct Frames {
        graphics::Rect photo;
        graphics::Rect title;
        graphics::Rect subtitle;
        graphics::Rect detail;
    };
    Frames frames(graphics::Point at, double width) const;

    double height(double) const override { return pageHeight; }
    void draw(graphics::Canvas& canvas, graphics::Point at, double width) const override;
};

}  // namespace quillmark
