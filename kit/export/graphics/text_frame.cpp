#include "export/graphics/text_frame.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <string_view>

#include <pango/pangocairo.h>

#include "export/graphics/fonts.h"
#include "export/graphics/page_context.h"

namespace quillmark::graphics {

namespace {

// The Pango side shared by every frame of one thread: a font map at 72 dpi (one point is one unit, as in
// the PDF), metrics without hinting and glyph positions left unrounded, so that a width or height does not
// depend on where the text lands. Font maps and contexts are not thread-safe, so each thread has its own;
// every thread gets the same settings and therefore the same measurements.
class PangoEnvironment {
public:
    PangoEnvironment() {
        fontMap_ = pango_cairo_font_map_new();
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap_), 72);
        context_ = pango_font_map_create_context(fontMap_);
        pango_cairo_context_set_resolution(context_, 72);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context_, FALSE);
        // A fixed language rather than the process locale, which would change the faces picked for CJK
        // text and so the line breaks: the same export must lay out the same everywhere.
        pango_context_set_language(context_, pango_language_from_string("en-us"));
    }
    ~PangoEnvironment() {
        if (placeholderFont_) g_object_unref(placeholderFont_);
        g_object_unref(context_);
        g_object_unref(fontMap_);
    }
    PangoEnvironment(const PangoEnvironment&) = delete;
    PangoEnvironment& operator=(const PangoEnvironment&) = delete;

    PangoContext* context() const { return context_; }

    // The glyph that stands in for emoji in the PDF's text (an em dash: about as wide as an emoji, with
    // its ink in the middle where the emoji covers it): its face, its glyph index and its advance for a
    // font size of 1. Nothing (glyph 0) when no installed face has one.
    struct Placeholder {
        cairo_font_face_t* face = nullptr;
        unsigned long glyph = 0;
        double advance = 0;
    };
    const Placeholder& placeholder() {
        if (placeholderLoaded_) return placeholder_;
        placeholderLoaded_ = true;
        PangoFontDescription* description = pango_font_description_new();
        pango_font_description_set_family(description, Fonts::placeholderFamily);
        pango_font_description_set_absolute_size(description, 100 * PANGO_SCALE);
        placeholderFont_ = pango_font_map_load_font(fontMap_, context_, description);
        pango_font_description_free(description);
        if (!placeholderFont_) return placeholder_;
        cairo_scaled_font_t* font = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(placeholderFont_));
        if (!font || cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) return placeholder_;
        cairo_glyph_t* glyphs = nullptr;
        int count = 0;
        const cairo_status_t status =
            cairo_scaled_font_text_to_glyphs(font, 0, 0, "\u2014", -1, &glyphs, &count, nullptr, nullptr, nullptr);
        if (status == CAIRO_STATUS_SUCCESS && count == 1 && glyphs[0].index != 0) {
            cairo_text_extents_t extents;
            cairo_scaled_font_glyph_extents(font, glyphs, 1, &extents);
            if (extents.x_advance > 0) {
                placeholder_ = {cairo_scaled_font_get_font_face(font), glyphs[0].index, extents.x_advance / 100};
            }
        }
        cairo_glyph_free(glyphs);
        return placeholder_;
    }

private:
    PangoFontMap* fontMap_ = nullptr;
    PangoContext* context_ = nullptr;
    PangoFont* placeholderFont_ = nullptr;
    Placeholder placeholder_;
    bool placeholderLoaded_ = false;
};

PangoEnvironment& environment() {
    thread_local PangoEnvironment environment;
    return environment;
}

int toUnits(double points) {
    const double units = std::round(points * PANGO_SCALE);
    return static_cast<int>(std::clamp(units, double(INT_MIN / 4), double(INT_MAX / 4)));
}

double toPoints(int64_t units) {
    return static_cast<double>(units) / PANGO_SCALE;
}

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

guint16 colorComponent(double value) {
    return static_cast<guint16>(std::lround(std::clamp(finiteOr(value, 0), 0.0, 1.0) * 65535));
}

PangoFontDescription* fontDescription(const Font& font, bool emoji = false) {
    PangoFontDescription* description = pango_font_description_new();
    const std::string families = emoji ? Fonts::emojiFamily : Fonts::families(font.design);
    pango_font_description_set_family(description, families.c_str());
    pango_font_description_set_weight(description, static_cast<PangoWeight>(Fonts::cssWeight(font.weight)));
    pango_font_description_set_style(description, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    // A size that is not a usable number would put Pango's arithmetic out of range.
    const double size = std::clamp(finiteOr(font.size, 10), 0.25, 4000.0);
    pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
    return description;
}

void insert(PangoAttrList* list, PangoAttribute* attribute, size_t start, size_t end) {
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(end);
    pango_attr_list_insert(list, attribute);
}

using Ranges = std::vector<std::pair<size_t, size_t>>;

// The attributes of one run over bytes [start, end) of the paragraph; `emoji` are the paragraph's emoji
// ranges, which get the emoji face instead of the run's families.
void addAttributes(PangoAttrList* list, const TextAttributes& attributes, size_t start, size_t end,
                   const Ranges& emoji) {
    PangoFontDescription* text = fontDescription(attributes.font);
    PangoFontDescription* pictures = fontDescription(attributes.font, true);
    size_t at = start;
    for (const auto& [emojiStart, emojiEnd] : emoji) {
        if (emojiEnd <= at) continue;
        if (emojiStart >= end) break;
        if (emojiStart > at) insert(list, pango_attr_font_desc_new(text), at, emojiStart);
        at = std::min(emojiEnd, end);
        insert(list, pango_attr_font_desc_new(pictures), std::max(emojiStart, start), at);
    }
    if (at < end) insert(list, pango_attr_font_desc_new(text), at, end);
    pango_font_description_free(pictures);
    pango_font_description_free(text);
    const std::string features = Fonts::features(attributes.font.design);
    if (!features.empty()) insert(list, pango_attr_font_features_new(features.c_str()), start, end);
    const Color& c = attributes.color;
    insert(list, pango_attr_foreground_new(colorComponent(c.red), colorComponent(c.green), colorComponent(c.blue)),
           start, end);
    if (finiteOr(c.alpha, 1) < 1) insert(list, pango_attr_foreground_alpha_new(colorComponent(c.alpha)), start, end);
    if (attributes.underline) insert(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), start, end);
}

// The length of the paragraph separator at byte i (\n, \r, \r\n, U+2029), or 0.
size_t separatorLength(std::string_view s, size_t i) {
    if (s[i] == '\n') return 1;
    if (s[i] == '\r') return i + 1 < s.size() && s[i + 1] == '\n' ? 2 : 1;
    if (s.substr(i, 3) == "\xE2\x80\xA9") return 3;
    return 0;
}

// Converts increasing byte offsets of valid UTF-8 into UTF-16 positions, walking the text once.
class UTF16Counter {
public:
    explicit UTF16Counter(std::string_view text) : text_(text) {}
    size_t at(size_t byteOffset) {
        while (byte_ < byteOffset && byte_ < text_.size()) {
            const auto lead = static_cast<unsigned char>(text_[byte_]);
            const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            byte_ += n;
            unit_ += n == 4 ? 2 : 1;
        }
        return unit_;
    }

private:
    std::string_view text_;
    size_t byte_ = 0;
    size_t unit_ = 0;
};

struct RunBytes {
    size_t start = 0, end = 0;
    const TextAttributes* attributes = nullptr;
};

// The byte range of every run, in one walk over the text.
std::vector<RunBytes> runBytes(const AttributedText& text) {
    const std::string& s = text.string();
    std::vector<RunBytes> result;
    result.reserve(text.runs().size());
    size_t byte = 0;
    for (const AttributedText::Run& run : text.runs()) {
        const size_t start = byte;
        for (size_t units = 0; units < run.length && byte < s.size();) {
            const auto lead = static_cast<unsigned char>(s[byte]);
            const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            byte += n;
            units += n == 4 ? 2 : 1;
        }
        result.push_back({start, byte, &run.attributes});
    }
    return result;
}

PangoAlignment alignment(Alignment a, std::string_view paragraph) {
    // Pango mirrors left and right for a right-to-left paragraph; the layouts mean the page's left and
    // right, so they are mirrored back for such paragraphs.
    // pango_find_base_dir is the rule Pango itself applies to each paragraph; it is marked deprecated in
    // favour of calling FriBidi directly, which would give the same answer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool rightToLeft =
        pango_find_base_dir(paragraph.data(), static_cast<int>(paragraph.size())) == PANGO_DIRECTION_RTL;
#pragma GCC diagnostic pop
    switch (a) {
    case Alignment::center: return PANGO_ALIGN_CENTER;
    case Alignment::right: return rightToLeft ? PANGO_ALIGN_LEFT : PANGO_ALIGN_RIGHT;
    case Alignment::left: break;
    }
    return rightToLeft ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT;
}

bool isEmojiFont(PangoFont* font) {
    if (!font) return false;
    PangoFontDescription* description = pango_font_describe(font);
    const char* family = pango_font_description_get_family(description);
    const bool emoji = family && std::string_view(family) == Fonts::emojiFamily;
    pango_font_description_free(description);
    return emoji;
}

// The size at which the font draws, from its Cairo font matrix. (Pango describes a bitmap face by the
// size of its bitmaps, not by the size asked for.)
double fontSize(PangoFont* font) {
    cairo_scaled_font_t* scaled = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(font));
    if (!scaled || cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) return 0;
    cairo_matrix_t matrix;
    cairo_scaled_font_get_font_matrix(scaled, &matrix);
    return std::hypot(matrix.xy, matrix.yy);
}

// One emoji cluster of a line, taken out of Pango's drawing to be drawn as a picture.
struct EmojiCluster {
    PangoFont* font = nullptr;  // not owned; the layout keeps it alive
    std::string text;
    std::vector<cairo_glyph_t> glyphs;  // relative to the cluster's origin on the baseline
    double x = 0;                       // the cluster's left edge from the line's origin
    double width = 0;
    double size = 0;                    // the font size
    std::vector<std::pair<PangoGlyphInfo*, PangoGlyph>> hidden;  // the line's glyphs it emptied
};

std::string emojiKey(const EmojiCluster& cluster) {
    PangoFontDescription* description = pango_font_describe(cluster.font);
    const char* family = pango_font_description_get_family(description);
    std::string key = family ? family : "";
    pango_font_description_free(description);
    key += ' ' + std::to_string(std::lround(cluster.size * 1024));
    const std::vector<cairo_glyph_t>& glyphs = cluster.glyphs;
    for (const cairo_glyph_t& g : glyphs) {
        key += ' ' + std::to_string(g.index) + '@' + std::to_string(std::lround(g.x * 1024)) + ',' +
               std::to_string(std::lround(g.y * 1024));
    }
    return key;
}

// Renders the cluster's glyphs into an image several times finer than the page's 72 units per inch, so
// that the emoji stays sharp when printed or zoomed; Cairo by itself would embed it at 72 dpi.
EmojiPictures::Picture renderEmoji(const EmojiCluster& cluster) {
    EmojiPictures::Picture picture;
    cairo_scaled_font_t* font = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(cluster.font));
    if (!font || cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) return picture;
    cairo_text_extents_t ink;
    cairo_scaled_font_glyph_extents(font, cluster.glyphs.data(), static_cast<int>(cluster.glyphs.size()), &ink);
    if (!(ink.width > 0 && ink.height > 0)) return picture;
    // The colour face's bitmaps are 128 pixels high; finer than that adds bytes, not detail.
    const double scale = std::clamp(128 / std::max(cluster.size, 1.0), 4.0, 8.0);
    const double margin = 1 / scale;
    const int width = static_cast<int>(std::ceil((ink.width + 2 * margin) * scale));
    const int height = static_cast<int>(std::ceil((ink.height + 2 * margin) * scale));
    if (width > 4096 || height > 4096) return picture;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, margin - ink.x_bearing, margin - ink.y_bearing);
    cairo_set_scaled_font(cr, font);
    cairo_show_glyphs(cr, cluster.glyphs.data(), static_cast<int>(cluster.glyphs.size()));
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (!drawn || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return picture;
    }
    picture.surface = surface;
    picture.x = ink.x_bearing - margin;
    picture.y = ink.y_bearing - margin;
    picture.scale = scale;
    return picture;
}

// Draws one emoji at (x, baseline): a placeholder glyph as wide as the emoji carrying the emoji's
// characters as its text, so that text extraction reads the emoji back where it stands, then the picture
// over it. The placeholder is all but transparent. It cannot be a blank glyph: Cairo drops text without
// ink, and its text with it.
void drawEmoji(PageContext& page, const EmojiCluster& cluster, double x, double baseline) {
    cairo_t* cr = page.cairo();
    const PangoEnvironment::Placeholder& placeholder = environment().placeholder();
    if (placeholder.face && cluster.width > 0 && !cluster.text.empty()) {
        cairo_save(cr);
        cairo_set_font_face(cr, placeholder.face);
        // As wide as the emoji and as tall as the text around it, so that extraction keeps it on the line
        // and in its word.
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, cluster.width / placeholder.advance, std::max(cluster.size, 1.0));
        cairo_set_font_matrix(cr, &matrix);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
        // Just above the alpha that Cairo treats as nothing to draw.
        cairo_set_source_rgba(cr, 0, 0, 0, 0.01);
        const cairo_glyph_t glyph{placeholder.glyph, x + cluster.x, baseline};
        const cairo_text_cluster_t textCluster{static_cast<int>(cluster.text.size()), 1};
        cairo_show_text_glyphs(cr, cluster.text.data(), static_cast<int>(cluster.text.size()), &glyph, 1,
                               &textCluster, 1, cairo_text_cluster_flags_t(0));
        cairo_restore(cr);
    }

    const std::string key = emojiKey(cluster);
    const EmojiPictures::Picture* picture = page.emoji().find(key);
    if (!picture) picture = &page.emoji().insert(key, renderEmoji(cluster));
    if (!picture->surface) return;
    page.drawShared(key, [&] {
        cairo_save(cr);
        cairo_translate(cr, x + cluster.x + picture->x, baseline + picture->y);
        cairo_scale(cr, 1 / picture->scale, 1 / picture->scale);
        cairo_set_source_surface(cr, picture->surface, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_rectangle(cr, 0, 0, cairo_image_surface_get_width(picture->surface),
                        cairo_image_surface_get_height(picture->surface));
        cairo_fill(cr);
        cairo_restore(cr);
    });
}

// Takes the emoji clusters out of a line: their glyphs become empty so that Pango draws the rest of the
// line (colours, underlines, positions) unchanged, and the clusters are returned to be drawn as pictures.
// The glyphs are given back afterwards (restoreEmoji): a frame may be drawn again.
std::vector<EmojiCluster> takeEmoji(PangoLayoutLine* line, const char* text) {
    std::vector<EmojiCluster> clusters;
    int runX = 0;
    for (GSList* l = line->runs; l; l = l->next) {
        auto* run = static_cast<PangoGlyphItem*>(l->data);
        PangoGlyphString* glyphs = run->glyphs;
        const int runWidth = pango_glyph_string_get_width(glyphs);
        if (!isEmojiFont(run->item->analysis.font)) {
            runX += runWidth;
            continue;
        }
        // The glyphs' left edges in visual order.
        std::vector<int> left(static_cast<size_t>(glyphs->num_glyphs) + 1, 0);
        for (int i = 0; i < glyphs->num_glyphs; ++i) left[i + 1] = left[i] + glyphs->glyphs[i].geometry.width;
        PangoGlyphItemIter iter;
        for (gboolean more = pango_glyph_item_iter_init_start(&iter, run, text); more;
             more = pango_glyph_item_iter_next_cluster(&iter)) {
            const int first = std::min(iter.start_glyph, iter.end_glyph + 1);
            const int last = std::max(iter.start_glyph + 1, iter.end_glyph);  // exclusive
            EmojiCluster cluster;
            cluster.font = run->item->analysis.font;
            cluster.text.assign(text + iter.start_index, static_cast<size_t>(iter.end_index - iter.start_index));
            cluster.x = toPoints(runX + left[first]);
            cluster.width = toPoints(left[last] - left[first]);
            cluster.size = fontSize(cluster.font);
            for (int i = first; i < last; ++i) {
                PangoGlyphInfo& g = glyphs->glyphs[i];
                if (g.glyph != PANGO_GLYPH_EMPTY && !(g.glyph & PANGO_GLYPH_UNKNOWN_FLAG)) {
                    cluster.glyphs.push_back({g.glyph, toPoints(left[i] - left[first] + g.geometry.x_offset),
                                              toPoints(g.geometry.y_offset)});
                }
                cluster.hidden.emplace_back(&g, g.glyph);
                g.glyph = PANGO_GLYPH_EMPTY;
            }
            clusters.push_back(std::move(cluster));
        }
        runX += runWidth;
    }
    return clusters;
}

}  // namespace

struct TextFrame::Paragraph {
    PangoLayout* layout = nullptr;
    std::string text;
    size_t startByte = 0, endByte = 0;  // in the frame's string, without the line break after it
    size_t firstLine = 0;
    int64_t top = 0;
    // What the paragraph's first run sets for the whole paragraph.
    Font font;
    PangoAlignment alignment = PANGO_ALIGN_LEFT;
    int spacing = 0, after = 0;
    int width = 0;
    ~Paragraph() {
        if (layout) g_object_unref(layout);
    }
};

namespace {

// A paragraph longer than this many bytes is not laid out again from a cut inside it when the cut starts
// one of its lines: its lines from there are used as they are.
constexpr size_t longParagraph = 4096;

// The index of the run whose bytes hold `byte` (the last run for the end of the text).
template <typename Runs>
size_t runAt(const Runs& runs, size_t byte) {
    size_t index = 0;
    while (index + 1 < runs.size() && runs[index].end <= byte) ++index;
    return index;
}

}  // namespace

int64_t TextFrame::layParagraph(const AttributedText& text, const std::vector<Run>& runs, size_t start, size_t end,
                                size_t unitBase, int64_t top) {
    PangoContext* context = environment().context();
    const std::string& s = text.string();
    // The paragraph's settings come from the run at its start (for an empty paragraph, the run of its
    // line break).
    size_t runIndex = 0;
    {
        auto it = std::upper_bound(runs.begin(), runs.end(), start, [](size_t b, const Run& r) { return b < r.end; });
        runIndex = it == runs.end() ? runs.size() - 1 : static_cast<size_t>(it - runs.begin());
    }
    const TextAttributes& first = text.runs()[runIndex].attributes;

    auto paragraph = std::make_unique<Paragraph>();
    paragraph->text = s.substr(start, end - start);
    paragraph->startByte = start;
    paragraph->endByte = end;
    paragraph->firstLine = lines_.size();
    paragraph->top = top;
    // Pango reads its text as a C string: a NUL would cut the paragraph short and shift every index.
    std::replace(paragraph->text.begin(), paragraph->text.end(), '\0', ' ');
    PangoLayout* layout = pango_layout_new(context);
    paragraph->layout = layout;
    pango_layout_set_text(layout, paragraph->text.data(), static_cast<int>(paragraph->text.size()));
    PangoAttrList* attributes = pango_attr_list_new();
    const Ranges emoji = Fonts::emojiRanges(paragraph->text);
    for (size_t r = runIndex; r < runs.size() && runs[r].start < end; ++r) {
        const size_t a = std::max(runs[r].start, start) - start;
        const size_t b = std::min(runs[r].end, end) - start;
        if (a < b) addAttributes(attributes, text.runs()[r].attributes, a, b, emoji);
    }
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    PangoFontDescription* description = fontDescription(first.font);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    // Lines break between words; a word longer than the line breaks between characters rather than
    // running past the edge.
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, widthUnits_);
    paragraph->font = first.font;
    paragraph->alignment = alignment(first.paragraph.alignment, paragraph->text);
    pango_layout_set_alignment(layout, paragraph->alignment);
    paragraph->spacing = std::max(toUnits(finiteOr(first.paragraph.lineSpacing, 0)), 0);
    paragraph->after = std::max(toUnits(finiteOr(first.paragraph.after, 0)), 0);
    pango_layout_set_spacing(layout, paragraph->spacing);

    UTF16Counter units(paragraph->text);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        Line placed;
        placed.line = line;
        placed.paragraph = paragraphs_.size();
        placed.top = top + logical.y;
        placed.bottom = top + logical.y + logical.height;
        placed.baseline = top + pango_layout_iter_get_baseline(iter);
        placed.x = logical.x;
        placed.startUnit = unitBase + units.at(static_cast<size_t>(line->start_index));
        placed.startByte = start + static_cast<size_t>(line->start_index);
        lines_.push_back(placed);
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);

    PangoRectangle extents;
    pango_layout_get_extents(layout, nullptr, &extents);
    paragraph->width = extents.width;
    naturalWidth_ = std::max(naturalWidth_, extents.width);
    paragraphs_.push_back(std::move(paragraph));
    return extents.height;
}

TextFrame::TextFrame(const AttributedText& text, double width) : length_(text.length()), bytes_(text.string().size()) {
    if (text.empty()) return;
    const std::string& s = text.string();
    const bool bounded = std::isfinite(width) && width * PANGO_SCALE < INT_MAX / 4;
    widthUnits_ = bounded ? std::max(toUnits(width), 0) : -1;
    for (const RunBytes& run : runBytes(text)) runs_.push_back({run.start, run.end});

    UTF16Counter units(s);
    size_t start = 0;
    int64_t top = 0;
    while (start < s.size()) {
        size_t end = start;
        size_t separator = 0;
        while (end < s.size() && (separator = separatorLength(s, end)) == 0) ++end;
        top += layParagraph(text, runs_, start, end, units.at(start), top);
        start = end + separator;
        // Space between this paragraph and the next; none below the last.
        if (start < s.size()) top += paragraphs_.back()->spacing + paragraphs_.back()->after;
    }
    widestFrom_.assign(paragraphs_.size() + 1, 0);
    for (size_t p = paragraphs_.size(); p-- > 0;) widestFrom_[p] = std::max(widestFrom_[p + 1], paragraphs_[p]->width);
}

std::shared_ptr<const TextFrame> TextFrame::rest(const std::shared_ptr<const TextFrame>& whole,
                                                 const AttributedText& text, size_t from, size_t fromByte) {
    if (whole->base_) return rest(whole->base_, text, from + whole->unitShift_, fromByte);
    std::shared_ptr<TextFrame> frame(new TextFrame());
    frame->length_ = whole->length_ > from ? whole->length_ - from : 0;
    frame->bytes_ = whole->bytes_;
    frame->widthUnits_ = whole->widthUnits_;
    if (frame->length_ == 0 || fromByte >= whole->bytes_ || whole->paragraphs_.empty()) return frame;

    // The paragraph the rest starts in.
    const auto& paragraphs = whole->paragraphs_;
    const size_t p = static_cast<size_t>(std::upper_bound(paragraphs.begin(), paragraphs.end(), fromByte,
                                                          [](size_t b, const std::unique_ptr<Paragraph>& q) {
                                                              return b < q->startByte;
                                                          }) -
                                         paragraphs.begin()) -
                     1;
    const Paragraph& paragraph = *paragraphs[p];
    const size_t lineEnd = p + 1 < paragraphs.size() ? paragraphs[p + 1]->firstLine : whole->lines_.size();
    auto showFrom = [&](size_t line, int64_t top) {
        frame->base_ = whole;
        frame->baseLine_ = line;
        frame->baseShift_ = top - whole->lines_[line].top;
        frame->unitShift_ = from;
    };

    if (fromByte <= paragraph.startByte) {
        showFrom(paragraph.firstLine, 0);
        frame->naturalWidth_ = whole->widestFrom_[p];
        return frame;
    }
    if (paragraph.endByte - fromByte > longParagraph) {
        const std::string_view rest = std::string_view(text.string()).substr(fromByte, paragraph.endByte - fromByte);
        const size_t runIndex = runAt(whole->runs_, fromByte);
        const TextAttributes& first = text.runs()[runIndex].attributes;
        const auto line = std::lower_bound(whole->lines_.begin() + static_cast<std::ptrdiff_t>(paragraph.firstLine),
                                           whole->lines_.begin() + static_cast<std::ptrdiff_t>(lineEnd), fromByte,
                                           [](const Line& l, size_t b) { return l.startByte < b; });
        const bool sameSettings = first.font == paragraph.font &&
                                  alignment(first.paragraph.alignment, rest) == paragraph.alignment &&
                                  std::max(toUnits(finiteOr(first.paragraph.lineSpacing, 0)), 0) == paragraph.spacing &&
                                  std::max(toUnits(finiteOr(first.paragraph.after, 0)), 0) == paragraph.after;
        if (whole->widthUnits_ < 0) {
            // Unbounded, a long paragraph is one long line, and only its width is asked for.
            frame->naturalWidth_ = whole->widestFrom_[p];
            return frame;
        }
        if (sameSettings && line != whole->lines_.begin() + static_cast<std::ptrdiff_t>(lineEnd) &&
            line->startByte == fromByte) {
            showFrom(static_cast<size_t>(line - whole->lines_.begin()), 0);
            frame->naturalWidth_ = whole->widestFrom_[p];
            return frame;
        }
    }
    const int64_t height = frame->layParagraph(text, whole->runs_, fromByte, paragraph.endByte, 0, 0);
    if (p + 1 < paragraphs.size()) {
        showFrom(paragraphs[p + 1]->firstLine,
                 height + frame->paragraphs_.back()->spacing + frame->paragraphs_.back()->after);
        frame->naturalWidth_ = std::max(frame->naturalWidth_, whole->widestFrom_[p + 1]);
    }
    return frame;
}

TextFrame::TextFrame() = default;
TextFrame::~TextFrame() = default;

namespace {

// The last frames laid out on this thread. A frame depends on nothing but its text and width, so a
// frame found here is the frame that would be made again.
class FrameCache {
public:
    std::shared_ptr<const TextFrame> find(const AttributedText& text, double width, size_t hash) {
        for (Entry& entry : entries_) {
            if (entry.frame && entry.hash == hash && entry.width == width && entry.text == text) {
                entry.used = ++clock_;
                return entry.frame;
            }
        }
        return nullptr;
    }
    void insert(const AttributedText& text, double width, size_t hash, std::shared_ptr<const TextFrame> frame) {
        Entry* oldest = &entries_[0];
        for (Entry& entry : entries_) {
            if (entry.used < oldest->used) oldest = &entry;
        }
        *oldest = {text, width, hash, std::move(frame), ++clock_};
    }

private:
    struct Entry {
        AttributedText text;
        double width = 0;
        size_t hash = 0;
        std::shared_ptr<const TextFrame> frame;
        uint64_t used = 0;
    };
    std::array<Entry, 48> entries_;
    uint64_t clock_ = 0;
};

}  // namespace

std::shared_ptr<const TextFrame> TextFrame::of(const AttributedText& text, double width) {
    thread_local FrameCache cache;
    // Widths that lay out alike (every unbounded one) share one entry.
    const bool bounded = std::isfinite(width) && width * PANGO_SCALE < INT_MAX / 4;
    const double key = bounded ? std::max(toUnits(width), 0) : -1.0;
    const size_t hash = std::hash<std::string>()(text.string()) ^ (text.runs().size() * 0x9E3779B97F4A7C15ull) ^
                        std::hash<double>()(key);
    if (auto frame = cache.find(text, key, hash)) return frame;
    auto frame = std::make_shared<const TextFrame>(text, width);
    cache.insert(text, key, hash, frame);
    return frame;
}

size_t TextFrame::lineCount() const {
    return lines_.size() + (base_ ? base_->lines_.size() - baseLine_ : 0);
}

TextFrame::Line TextFrame::lineAt(size_t i, const TextFrame** owner) const {
    if (i < lines_.size()) {
        if (owner) *owner = this;
        return lines_[i];
    }
    Line line = base_->lines_[baseLine_ + i - lines_.size()];
    line.top += baseShift_;
    line.bottom += baseShift_;
    line.baseline += baseShift_;
    line.startUnit -= unitShift_;
    if (owner) *owner = base_.get();
    return line;
}

double TextFrame::height() const {
    const size_t n = lineCount();
    return n == 0 ? 0 : toPoints(lineAt(n - 1, nullptr).bottom);
}

double TextFrame::naturalWidth() const {
    return toPoints(naturalWidth_);
}

size_t TextFrame::lineCountWithin(double height) const {
    if (std::isnan(height)) return 0;
    // Bottoms are whole Pango units; the tolerance absorbs the rounding of heights that callers computed
    // from them.
    const double limit = height * PANGO_SCALE + 1e-3;
    const size_t count = lineCount();
    size_t n = 0;
    while (n < count && lineAt(n, nullptr).bottom <= limit) ++n;
    return n;
}

TextFrame::Fit TextFrame::fit(double height) const {
    const size_t n = lineCountWithin(height);
    if (n == lineCount()) return {length_, bytes_};
    const Line line = lineAt(n, nullptr);
    return {line.startUnit, line.startByte};
}

size_t TextFrame::fitting(double height) const {
    return fit(height).units;
}

void TextFrame::draw(PageContext& page, double x, double y, double height) const {
    const size_t n = lineCountWithin(height);
    for (size_t i = 0; i < n; ++i) {
        const TextFrame* owner = this;
        const Line line = lineAt(i, &owner);
        drawLine(page, line, *owner, x, y);
    }
}

void TextFrame::drawLine(PageContext& page, const Line& line, const TextFrame& owner, double x, double y) const {
    cairo_t* cr = page.cairo();
    const double originX = x + toPoints(line.x);
    const double baseline = y + toPoints(line.baseline);
    const std::vector<EmojiCluster> emoji = takeEmoji(line.line, owner.paragraphs_[line.paragraph]->text.c_str());
    cairo_move_to(cr, originX, baseline);
    pango_cairo_show_layout_line(cr, line.line);
    for (const EmojiCluster& cluster : emoji) {
        if (!cluster.glyphs.empty()) drawEmoji(page, cluster, originX, baseline);
        for (const auto& [glyph, original] : cluster.hidden) glyph->glyph = original;
    }
}

}  // namespace quillmark::graphics
