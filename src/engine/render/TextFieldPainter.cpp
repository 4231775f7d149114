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
    cairo_clip(cr); // text never shows outside its field

    const TextLayout& layout = field.layout(m_fonts);
    if (layout.lines.empty()) {
        cairo_restore(cr);
        return;
    }
    const int first = std::clamp(field.scroll(), 1, field.maxScroll(m_fonts)) - 1;
    const double shift = layout.lines[static_cast<std::size_t>(first)].top;
    const double ox = b.xMin + TextField::kGutter;
    const double oy = b.yMin + TextField::kGutter - shift;
    const double bottom = b.yMax;
    const StyledText& content = field.content();
    auto formatOf = [&](std::uint32_t f) -> const CharFormat& {
        static const CharFormat kDefault;
        return f < content.formats.size() ? content.formats[f] : kDefault;
    };

    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);

    auto drawGlyph = [&](const LaidGlyph& g, double baseline) {
        const CharFormat& f = formatOf(g.format);
        setColor(cr, f.color, cx, mask);
        if (g.font->isEmbedded()) {
            const Font& font = static_cast<const EmbeddedFont*>(g.font)->font();
            const CairoPath& path = glyphPath(font, g.glyph);
            const double scale = f.size / font.unitsPerEm;
            const Matrix gm =
                matrix * Matrix::translate(ox + g.x, baseline) * Matrix::scale(scale, scale);
            if (path.empty() || !invertible(gm)) {
                return;
            }
            // Each glyph is filled by itself: glyphs that overlap (italics, tight kerning)
            // must not cut holes into each other.
            const cairo_matrix_t cm = toCairo(gm);
            cairo_set_matrix(cr, &cm);
            const cairo_path_t view = path.view();
            cairo_new_path(cr);
            cairo_append_path(cr, &view);
            cairo_fill(cr);
            return;
        }
        if (f.size <= 0) {
            return;
        }
        cairo_set_matrix(cr, &m);
        cairo_set_font_face(cr, static_cast<const DeviceFont*>(g.font)->face());
        cairo_set_font_size(cr, f.size);
        cairo_glyph_t cg{g.glyph, ox + g.x, baseline};
        cairo_show_glyphs(cr, &cg, 1);
    };

    for (std::size_t n = static_cast<std::size_t>(first); n < layout.lines.size(); ++n) {
        const LaidLine& line = layout.lines[n];
        if (oy + line.top >= bottom) {
            break; // below the field
        }
        const double baseline = oy + line.baseline();
        // System-font glyphs of one format go to cairo together; outlines one by one.
        std::vector<cairo_glyph_t> run;
        const LaidGlyph* runStart = nullptr;
        auto flush = [&] {
            if (run.empty()) {
                return;
            }
            const CharFormat& f = formatOf(runStart->format);
            setColor(cr, f.color, cx, mask);
            cairo_set_matrix(cr, &m);
            cairo_set_font_face(cr, static_cast<const DeviceFont*>(runStart->font)->face());
            cairo_set_font_size(cr, f.size);
            cairo_show_glyphs(cr, run.data(), static_cast<int>(run.size()));
            run.clear();
        };
        for (const LaidGlyph& g : line.glyphs) {
            if (g.font->isEmbedded() || formatOf(g.format).size <= 0) {
                flush();
                drawGlyph(g, baseline);
                continue;
            }
            if (!run.empty() && (runStart->font != g.font || runStart->format != g.format)) {
                flush();
            }
            if (run.empty()) {
                runStart = &g;
            }
            run.push_back(cairo_glyph_t{g.glyph, ox + g.x, baseline});
        }
        flush();
        if (line.hasBullet) {
            drawGlyph(line.bullet, baseline);
        }
        for (const Underline& u : line.underlines) {
            const CharFormat& f = formatOf(u.format);
            setColor(cr, f.color, cx, mask);
            cairo_set_matrix(cr, &m);
            const double thickness = std::max(f.size / 18, 20.0);
            cairo_new_path(cr);
            cairo_rectangle(cr, ox + u.x0, baseline + f.size / 10, u.x1 - u.x0, thickness);
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);
}

} // namespace kinovex::flash
