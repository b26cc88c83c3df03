#include "export/graphics/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <string_view>

#include <cairo.h>

#include "core/text.h"
#include "export/graphics/page_context.h"
#include "export/graphics/text_frame.h"

namespace quillmark::graphics {

namespace {

// A NaN or infinite coordinate puts a Cairo context into an error state for good, and every later page
// of the document would be lost; such drawing is skipped instead.
bool finite(const Rect& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
}

double unit(double v) {
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0;
}

void setColor(cairo_t* cr, const Color& c) {
    cairo_set_source_rgba(cr, unit(c.red), unit(c.green), unit(c.blue), std::isfinite(c.alpha) ? unit(c.alpha) : 1);
}

// Adds the rectangle to the path, with corners of the radius (at most half the shorter side).
void addRect(cairo_t* cr, const Rect& r, double radius) {
    const double limit = std::min(r.width, r.height) / 2;
    const double rr = std::isfinite(radius) ? std::min(radius, limit) : 0;
    if (rr <= 0) {
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        return;
    }
    constexpr double pi = std::numbers::pi;
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.right() - rr, r.y + rr, rr, -pi / 2, 0);
    cairo_arc(cr, r.right() - rr, r.bottom() - rr, rr, 0, pi / 2);
    cairo_arc(cr, r.x + rr, r.bottom() - rr, rr, pi / 2, pi);
    cairo_arc(cr, r.x + rr, r.y + rr, rr, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

// Line width, colour and dash of a stroke. A dash that Cairo would refuse (a negative or non-finite
// length, or nothing but zeros) would break the document, so it draws a solid line instead.
void applyStroke(cairo_t* cr, const Stroke& stroke) {
    setColor(cr, stroke.color);
    cairo_set_line_width(cr, std::isfinite(stroke.lineWidth) ? std::max(stroke.lineWidth, 0.0) : 1);
    const bool usable =
        std::all_of(stroke.dash.begin(), stroke.dash.end(), [](double d) { return std::isfinite(d) && d >= 0; }) &&
        std::any_of(stroke.dash.begin(), stroke.dash.end(), [](double d) { return d > 0; });
    if (usable) {
        cairo_set_dash(cr, stroke.dash.data(), static_cast<int>(stroke.dash.size()),
                       std::isfinite(stroke.phase) ? stroke.phase : 0);
    } else {
        cairo_set_dash(cr, nullptr, 0, 0);
    }
}

bool isSchemeCharacter(char c, bool first) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return !first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.');
}

}  // namespace

std::optional<std::string> Canvas::linkURI(std::string_view url) {
    size_t colon = 0;
    while (colon < url.size() && isSchemeCharacter(url[colon], colon == 0)) ++colon;
    if (colon == 0 || colon >= url.size() || url[colon] != ':' || colon + 1 == url.size()) return std::nullopt;
    // Links come from message text that anyone could have sent. A link in the exported document must not
    // run a script, open a file on the reader's computer or smuggle in a document of its own.
    const std::string scheme = text::asciiLower(url.substr(0, colon));
    if (scheme == "javascript" || scheme == "vbscript" || scheme == "file" || scheme == "data") return std::nullopt;

    // Cairo writes the URI into the PDF as it is: parentheses and backslashes would end or escape the PDF
    // string, and the tag syntax quotes with apostrophes. Those, and everything a URI may not hold, are
    // percent-encoded.
    return text::percentEncoded(url, "-._~:/?#[]@!$&*+,;=", true);
}

void Canvas::text(const AttributedText& text, const Rect& rect) {
    if (text.empty() || !finite(rect)) return;
    cairo_t* cr = page_.cairo();
    const Rect frame{rect.x, rect.y, rect.width, rect.height + 2};
    cairo_save(cr);
    TextFrame::of(text, frame.width)->draw(page_, frame.x, frame.y, frame.height);
    cairo_restore(cr);

    // Each link gets an annotation over the whole text rectangle. Neighbouring runs that differ only in
    // colour or font still belong to one link, which gets one annotation.
    const std::string* previous = nullptr;
    for (const AttributedText::Run& run : text.runs()) {
        const std::optional<std::string>& link = run.attributes.link;
        if (!link) {
            previous = nullptr;
            continue;
        }
        if (previous && *previous == *link) continue;
        previous = &*link;
        const std::optional<std::string> uri = linkURI(*link);
        if (!uri) continue;
        char area[160];
        std::snprintf(area, sizeof area, " rect=[%.4f %.4f %.4f %.4f]", frame.x, frame.y, frame.width, frame.height);
        const std::string attributes = "uri='" + *uri + "'" + area;
        cairo_tag_begin(cr, CAIRO_TAG_LINK, attributes.c_str());
        cairo_tag_end(cr, CAIRO_TAG_LINK);
    }
}

void Canvas::fill(const Rect& rect, const Color& color, double radius) {
    if (!finite(rect) || rect.width <= 0 || rect.height <= 0) return;
    cairo_t* cr = page_.cairo();
    cairo_save(cr);
    setColor(cr, color);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    addRect(cr, rect, radius);
    cairo_fill(cr);
    cairo_restore(cr);
}

void Canvas::strokeRect(const Rect& rect, const Stroke& stroke, double radius) {
    if (!finite(rect) || rect.width <= 0 || rect.height <= 0) return;
    cairo_t* cr = page_.cairo();
    cairo_save(cr);
    applyStroke(cr, stroke);
    addRect(cr, rect, radius);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void Canvas::line(Point from, Point to, const Stroke& stroke) {
    if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) || !std::isfinite(to.y)) return;
    cairo_t* cr = page_.cairo();
    cairo_save(cr);
    applyStroke(cr, stroke);
    cairo_move_to(cr, from.x, from.y);
    cairo_line_to(cr, to.x, to.y);
    cairo_stroke(cr);
    cairo_restore(cr);
}

namespace {

struct OwnedBytes {
    std::vector<uint8_t> bytes;
};

void releaseBytes(void* closure) {
    delete static_cast<OwnedBytes*>(closure);
}

// The 64-bit FNV-1a hash of the bytes, in hexadecimal: the identity under which Cairo writes one image
// object for every drawing of the same JPEG.
std::string jpegIdentity(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    char text[64];
    std::snprintf(text, sizeof text, "quillmark-jpeg-%016llx-%zu", static_cast<unsigned long long>(hash), bytes.size());
    return text;
}

// A one-pixel surface that stands for the JPEG, scaled into place: the PDF surface embeds the JPEG bytes
// attached to it as they are, and a PDF image always fills the unit square it is drawn into. A full-size
// surface with the decoded pixels would only make Cairo copy them and compress them again.
cairo_surface_t* jpegSurface(const Picture& picture, const std::string& identity) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return surface;
    auto* owned = new OwnedBytes{*picture.jpeg};
    if (cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_JPEG, owned->bytes.data(), owned->bytes.size(),
                                    releaseBytes, owned) != CAIRO_STATUS_SUCCESS) {
        delete owned;
        cairo_surface_destroy(surface);
        return nullptr;
    }
    auto* id = new OwnedBytes{std::vector<uint8_t>(identity.begin(), identity.end())};
    if (cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_UNIQUE_ID, id->bytes.data(), id->bytes.size(),
                                    releaseBytes, id) != CAIRO_STATUS_SUCCESS) {
        delete id;
    }
    return surface;
}

cairo_surface_t* pixelSurface(const Picture& picture) {
    const size_t needed = size_t(picture.width) * size_t(picture.height) * 3;
    if (picture.rgb.size() < needed) return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return surface;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const uint8_t* source = picture.rgb.data();
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
        for (int x = 0; x < picture.width; ++x, source += 3) {
            row[x] = uint32_t(source[0]) << 16 | uint32_t(source[1]) << 8 | uint32_t(source[2]);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

}  // namespace

void Canvas::image(const Picture& picture, const Rect& rect, double radius, bool crop) {
    if (!finite(rect) || rect.width <= 0 || rect.height <= 0 || picture.width < 1 || picture.height < 1) return;
    const bool jpeg = picture.embedsAsJPEG();
    const std::string identity = jpeg ? jpegIdentity(*picture.jpeg) : std::string();
    cairo_surface_t* surface = jpeg ? jpegSurface(picture, identity) : pixelSurface(picture);
    if (!surface) return;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return;
    }
    const double width = cairo_image_surface_get_width(surface);
    const double height = cairo_image_surface_get_height(surface);
    cairo_t* cr = page_.cairo();
    auto draw = [&] {
        cairo_save(cr);
        if (radius > 0 || crop) {
            addRect(cr, rect, radius);
            cairo_clip(cr);
        }
        double sx = rect.width / width;
        double sy = rect.height / height;
        if (crop) sx = sy = std::max(sx, sy);
        cairo_translate(cr, rect.x + (rect.width - width * sx) / 2, rect.y + (rect.height - height * sy) / 2);
        cairo_scale(cr, sx, sy);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
        cairo_rectangle(cr, 0, 0, width, height);
        cairo_fill(cr);
        cairo_restore(cr);
    };
    if (jpeg) {
        page_.drawShared(identity, draw);
    } else {
        draw();  // a surface of its own: nothing shared
    }
    cairo_surface_destroy(surface);
}

}  // namespace quillmark::graphics
