// PageContext: the drawing library's side of one PDF page, private to the graphics folder.
//
// The PDF writer makes one for every page and hands it to a Canvas; the text frame draws through it. It
// carries the page's Cairo context and the document's store of emoji pictures, so that an emoji drawn on
// many pages is embedded once.
#pragma once

#include <map>
#include <set>
#include <string>

#include <cairo.h>

namespace quillmark::graphics {

// EmojiPictures: colour emoji rendered into images, kept for the life of one document. Each picture is
// keyed by what it shows (the face, the size and the glyphs), and the same image surface is painted
// wherever that emoji appears, which Cairo writes as one image object.
class EmojiPictures {
public:
    struct Picture {
        cairo_surface_t* surface = nullptr;  // owned; null when the emoji has no ink
        double x = 0, y = 0;                 // the image's top-left corner from the cluster's origin, in points
        double scale = 1;                    // image pixels per point
    };

    EmojiPictures() = default;
    ~EmojiPictures();
    EmojiPictures(const EmojiPictures&) = delete;
    EmojiPictures& operator=(const EmojiPictures&) = delete;

    // The picture under the key, or nothing.
    const Picture* find(const std::string& key) const;
    // Stores the picture (taking over its surface) and returns it.
    const Picture& insert(const std::string& key, Picture picture);

private:
    std::map<std::string, Picture> pictures_;
};

class PageContext {
public:
    PageContext(cairo_t* cairo, EmojiPictures& emoji) : cairo_(cairo), emoji_(emoji) {}

    cairo_t* cairo() const { return cairo_; }
    EmojiPictures& emoji() const { return emoji_; }

    // Draws an image that the document shares between its uses (a photo under its JPEG identity, an
    // emoji picture) with `draw`. Cairo 1.16 names a shared image in the page's resources once for every
    // use, and PDF checkers report the repeated name as damage; so every use after the first on a page is
    // drawn inside a group of its own, which names the image in the group's resources instead.
    template <typename Draw>
    void drawShared(const std::string& identity, Draw&& draw) {
        const bool repeated = !usedOnPage_.insert(identity).second;
        if (repeated) cairo_push_group(cairo_);
        draw();
        if (repeated) {
            cairo_pop_group_to_source(cairo_);
            cairo_paint(cairo_);
        }
    }

private:
    cairo_t* cairo_;
    EmojiPictures& emoji_;
    std::set<std::string> usedOnPage_;
};

}  // namespace quillmark::graphics
