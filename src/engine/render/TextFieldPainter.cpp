#include "engine/render/TextFieldPainter.h"

#include "engine/definitions/Movie.h"
#include "engine/definitions/ShapeGeometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kinovex::flash {

namespace {

cairo_matrix_t toCairo(const Matrix& m) {
    cairo_matrix_t c;
    cairo_matrix_init(&c, m.a, m.b, m.c, m.d, m.tx, m.ty);
    return c;
}

void setColor(cairo_t* cr, Rgba c, const ColorTransform& cx, bool mask) {
    if (mask) {
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        return;
    }
    const Rgba t = cx.apply(c);
    cairo_set_source_rgba(cr, t.r / 255.0, t.g / 255.0, t.b / 255.0, t.a / 255.0);
}

} // namespace

TextFieldPainter::TextFieldPainter(const Movie& movie) : m_movie(movie), m_fonts(movie) {}

TextField& TextFieldPainter::definedField(const EditText& definition) {
    auto& slot = m_defined[&definition];
    if (!slot) {
        slot = std::make_unique<TextField>(
            definition, definition.hasFont ? m_fonts.movieFont(definition.fontId) : nullptr,
            m_movie.version());
    }
    return *slot;
}

const CairoPath& TextFieldPainter::glyphPath(const Font& font, std::uint32_t glyph) {
    const auto key = std::make_pair(&font, glyph);
    auto it = m_glyphs.find(key);
    if (it != m_glyphs.end()) {
        return it->second;
    }
    std::vector<Contour> contours;
    if (glyph < font.glyphs.size()) {
        const ShapeGeometry g = buildGeometry(font.glyphs[glyph]);
        for (const ShapeLayer& layer : g.layers) {
            for (const FillPath& f : layer.fills) {
                contours.insert(contours.end(), f.contours.begin(), f.contours.end());
            }
        }
    }
    return m_glyphs.emplace(key, toCairoPath(contours, true)).first->second;
}

// What drawing the lines of one field goes by.
struct TextFieldPainter::Pen {
    cairo_t* cr;
    const Matrix& matrix;  // the field's twips to device pixels
    cairo_matrix_t device; // the same for cairo
    const ColorTransform& cx;
    bool mask;
    const StyledText& content;
    double ox; // where lines start, in the field's twips

    const CharFormat& formatOf(std::uint32_t f) const {
        static const CharFormat kDefault;
        return f < content.formats.size() ? content.formats[f] : kDefault;
    }
};

namespace {

// The field's background and border, and the clip to its box: text never shows outside it.
void drawBox(cairo_t* cr, const TextField& field, const Rect& b, const ColorTransform& cx,
             bool mask) {
    cairo_rectangle(cr, b.xMin, b.yMin, b.width(), b.height());
    if (field.background() || mask) {
        setColor(cr, field.backgroundColor(), cx, mask);
        if (field.background()) {
            cairo_fill_preserve(cr);
        }
    }
    if (field.border() && !mask) {
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_set_line_width(cr, 1.0); // one pixel, whatever the scale
        setColor(cr, field.borderColor(), cx, false);
        cairo_stroke_preserve(cr);
        cairo_restore(cr);
    }
    cairo_clip(cr);
}

// System-font glyphs of one font and format, which go to cairo together.
struct GlyphRun {
    std::vector<cairo_glyph_t> glyphs;
    const LaidGlyph* first = nullptr;
};

void showRun(const TextFieldPainter::Pen& pen, GlyphRun& run) {
    if (run.glyphs.empty()) {
        return;
    }
    const CharFormat& f = pen.formatOf(run.first->format);
    setColor(pen.cr, f.color, pen.cx, pen.mask);
    cairo_set_matrix(pen.cr, &pen.device);
    cairo_set_font_face(pen.cr, static_cast<const DeviceFont*>(run.first->font)->face());
    cairo_set_font_size(pen.cr, f.size);
    cairo_show_glyphs(pen.cr, run.glyphs.data(), static_cast<int>(run.glyphs.size()));
    run.glyphs.clear();
}

void drawUnderline(const TextFieldPainter::Pen& pen, const Underline& u, double baseline) {
    const CharFormat& f = pen.formatOf(u.format);
    setColor(pen.cr, f.color, pen.cx, pen.mask);
    cairo_set_matrix(pen.cr, &pen.device);
    const double thickness = std::max(f.size / 18, 20.0);
    cairo_new_path(pen.cr);
    cairo_rectangle(pen.cr, pen.ox + u.x0, baseline + f.size / 10, u.x1 - u.x0, thickness);
    cairo_fill(pen.cr);
}

} // namespace

void TextFieldPainter::draw(cairo_t* cr, const EditText& definition, TextField* state,
                            const Matrix& matrix, const ColorTransform& cx, bool mask) {
    TextField& field = state != nullptr ? *state : definedField(definition);
    const Rect b = field.bounds(m_fonts);
    if (b.xMax <= b.xMin || b.yMax <= b.yMin || !invertible(matrix)) {
        return;
    }
    cairo_save(cr);
    const cairo_matrix_t m = toCairo(matrix);
    cairo_set_matrix(cr, &m);
    drawBox(cr, field, b, cx, mask);
    const TextLayout& layout = field.layout(m_fonts);
    if (!layout.lines.empty()) {
        drawLines(Pen{cr, matrix, m, cx, mask, field.content(), b.xMin + TextField::kGutter}, field,
                  layout, b);
    }
    cairo_restore(cr);
}

void TextFieldPainter::drawLines(const Pen& pen, TextField& field, const TextLayout& layout,
                                 const Rect& b) {
    const int first = std::clamp(field.scroll(), 1, field.maxScroll(m_fonts)) - 1;
    const double shift = layout.lines[static_cast<std::size_t>(first)].top;
    const double oy = b.yMin + TextField::kGutter - shift;

    cairo_set_fill_rule(pen.cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(pen.cr, options);
    cairo_font_options_destroy(options);

    for (std::size_t n = static_cast<std::size_t>(first); n < layout.lines.size(); ++n) {
        const LaidLine& line = layout.lines[n];
        if (oy + line.top >= b.yMax) {
            break; // below the field
        }
        drawLine(pen, line, oy + line.baseline());
    }
}

void TextFieldPainter::drawLine(const Pen& pen, const LaidLine& line, double baseline) {
    // System-font glyphs of one format go to cairo together; outlines one by one.
    GlyphRun run;
    for (const LaidGlyph& g : line.glyphs) {
        if (g.font->isEmbedded() || pen.formatOf(g.format).size <= 0) {
            showRun(pen, run);
            drawGlyph(pen, g, baseline);
            continue;
        }
        if (!run.glyphs.empty() && (run.first->font != g.font || run.first->format != g.format)) {
            showRun(pen, run);
        }
        if (run.glyphs.empty()) {
            run.first = &g;
        }
        run.glyphs.push_back(cairo_glyph_t{g.glyph, pen.ox + g.x, baseline});
    }
    showRun(pen, run);
    if (line.hasBullet) {
        drawGlyph(pen, line.bullet, baseline);
    }
    for (const Underline& u : line.underlines) {
        drawUnderline(pen, u, baseline);
    }
}

void TextFieldPainter::drawGlyph(const Pen& pen, const LaidGlyph& g, double baseline) {
    const CharFormat& f = pen.formatOf(g.format);
    setColor(pen.cr, f.color, pen.cx, pen.mask);
    if (g.font->isEmbedded()) {
        const Font& font = static_cast<const EmbeddedFont*>(g.font)->font();
        const CairoPath& path = glyphPath(font, g.glyph);
        const double scale = f.size / font.unitsPerEm;
        const Matrix gm =
            pen.matrix * Matrix::translate(pen.ox + g.x, baseline) * Matrix::scale(scale, scale);
        if (path.empty() || !invertible(gm)) {
            return;
        }
        // Each glyph is filled by itself: glyphs that overlap (italics, tight kerning) must not
        // cut holes into each other.
        const cairo_matrix_t cm = toCairo(gm);
        cairo_set_matrix(pen.cr, &cm);
        const cairo_path_t view = path.view();
        cairo_new_path(pen.cr);
        cairo_append_path(pen.cr, &view);
        cairo_fill(pen.cr);
        return;
    }
    if (f.size <= 0) {
        return;
    }
    cairo_set_matrix(pen.cr, &pen.device);
    cairo_set_font_face(pen.cr, static_cast<const DeviceFont*>(g.font)->face());
    cairo_set_font_size(pen.cr, f.size);
    cairo_glyph_t cg{g.glyph, pen.ox + g.x, baseline};
    cairo_show_glyphs(pen.cr, &cg, 1);
}

} // namespace kinovex::flash
