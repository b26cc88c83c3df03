#include "export/layout/book_cover.h"

#include <algorithm>

#include "export/layout/ink.h"
#include "export/layout/picture_block.h"

namespace quillmark {

using graphics::Alignment;
using graphics::AttributedText;
using graphics::Font;
using graphics::FontDesign;
using graphics::FontWeight;

AttributedText BookCover::titleText() const {
    return Styled::text(title, Font::system(34, FontWeight::semibold).withDesign(FontDesign::serif), Ink::text,
                        Styled::paragraph(Alignment::center, 2, 0));
}

AttributedText BookCover::subtitleText() const {
    return Styled::text(subtitle, Font::system(15).withDesign(FontDesign::serif), Ink::secondary,
                        Styled::paragraph(Alignment::center, 1.5, 0));
}

AttributedText BookCover::detailText() const {
    return Styled::text(detail, Font::system(10), Ink::tertiary, Styled::paragraph(Alignment::center, 1.5, 0));
}

BookCover::Frames BookCover::frames(graphics::Point at, double width) const {
    Frames f;
    double titleTop = at.y + pageHeight * 0.34;
    if (photo) {
        double side = std::min(pageHeight * 0.42, width * 0.62);
        graphics::Size size = PictureBlock::fit(photo.get(), side, side);
        f.photo = {at.x + (width - size.width) * 0.5, at.y + pageHeight * 0.16, size.width, size.height};
        titleTop = f.photo.bottom() + 40;
    }
    double titleHeight = measure(titleText(), width);
    f.title = {at.x, titleTop, width, titleHeight};
    double subtitleHeight = measure(subtitleText(), width);
    f.subtitle = {at.x, titleTop + titleHeight + 12, width, subtitleHeight};
    f.detail = {at.x, f.subtitle.y + subtitleHeight + 6, width, measure(detailText(), width)};
    return f;
}

void BookCover::draw(graphics::Canvas& canvas, graphics::Point at, double width) const {
    Frames f = frames(at, width);
    if (photo) canvas.image(*photo, f.photo, 10);
    canvas.text(titleText(), f.title);
    canvas.text(subtitleText(), f.subtitle);
    canvas.text(detailText(), f.detail);
}

}  // namespace quillmark
