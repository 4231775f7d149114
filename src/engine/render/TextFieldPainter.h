#pragma once
// Draws text fields with cairo: background and border, then each line's glyphs (embedded
// outlines as paths, system fonts through cairo's FreeType backend), underlines and bullets,
// all clipped to the field.

#include "engine/definitions/Characters.h"
#include "engine/display/TextField.h"
#include "engine/render/Renderer.h"
#include "engine/text/TextFonts.h"

#include <cairo.h>
#include <map>
#include <memory>

namespace kinovex::flash {

class Movie;

class TextFieldPainter {
public:
    explicit TextFieldPainter(const Movie& movie);

    // `state` is the placed field's state; without one (a field inside a button) the field
    // is drawn as the movie defines it. `matrix` maps the field's twips to device pixels.
    void draw(cairo_t* cr, const EditText& definition, TextField* state, const Matrix& matrix,
              const ColorTransform& cx, bool mask);

    TextFonts& fonts() { return m_fonts; }

    // Where and how one field's lines are being drawn (TextFieldPainter.cpp).
    struct Pen;

private:
    // The lines that show, from the field's scroll position down to its bottom.
    void drawLines(const Pen& pen, TextField& field, const TextLayout& layout, const Rect& box);
    void drawLine(const Pen& pen, const LaidLine& line, double baseline);
    // One glyph by itself: an embedded outline, or a system font's glyph.
    void drawGlyph(const Pen& pen, const LaidGlyph& glyph, double baseline);
    TextField& definedField(const EditText& definition);
    const CairoPath& glyphPath(const Font& font, std::uint32_t glyph);

    const Movie& m_movie;
    TextFonts m_fonts;
    std::map<const EditText*, std::unique_ptr<TextField>> m_defined;
    std::map<std::pair<const Font*, std::uint32_t>, CairoPath> m_glyphs;
};

} // namespace kinovex::flash
