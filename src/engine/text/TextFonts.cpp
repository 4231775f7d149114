#include "engine/text/TextFonts.h"

#include "engine/definitions/Movie.h"
#include "engine/swf/AsciiCase.h"

#include <algorithm>
#include <cairo-ft.h>
#include <cctype>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace kinovex::flash {

// ---- embedded fonts ----

EmbeddedFont::EmbeddedFont(const Font& font) : m_font(font) {
    for (std::size_t i = 0; i < font.codes.size() && i < font.glyphs.size(); ++i) {
        m_glyphOf.emplace(font.codes[i], static_cast<std::uint32_t>(i)); // the first one wins
    }
}

double EmbeddedFont::ascent(double size) const {
    return m_font.hasLayout ? m_font.ascent * size / m_font.unitsPerEm : size * 0.9;
}

double EmbeddedFont::descent(double size) const {
    return m_font.hasLayout ? m_font.descent * size / m_font.unitsPerEm : size * 0.22;
}

std::optional<std::uint32_t> EmbeddedFont::glyph(char32_t c) const {
    auto it = m_glyphOf.find(c);
    return it == m_glyphOf.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
}

double EmbeddedFont::advance(std::uint32_t glyph, double size) const {
    if (m_font.hasLayout && glyph < m_font.advances.size()) {
        return m_font.advances[glyph] * size / m_font.unitsPerEm;
    }
    return size * 0.6; // a font without layout says nothing; an average letter
}

double EmbeddedFont::kerning(char32_t a, char32_t b, double size) const {
    for (const KerningPair& k : m_font.kerning) {
        if (k.left == a && k.right == b) {
            return k.adjustment * size / m_font.unitsPerEm;
        }
    }
    return 0;
}

// ---- system fonts ----

std::string DeviceFont::systemFamily(const std::string& face) {
    if (face == "_sans" || face == "_ゴシック") {
        return "sans-serif";
    }
    if (face == "_serif" || face == "_明朝") {
        return "serif";
    }
    if (face == "_typewriter" || face == "_等幅") {
        return "monospace";
    }
    return face.empty() ? std::string("sans-serif") : face;
}

std::unique_ptr<DeviceFont> DeviceFont::open(const std::string& family, bool bold, bool italic) {
    cairo_font_face_t* face = cairo_toy_font_face_create(
        systemFamily(family).c_str(), italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face);
        return nullptr;
    }
    cairo_matrix_t size;
    cairo_matrix_init_scale(&size, kUnits, kUnits);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    // Advances must scale with the text, not snap to whole units of the measuring size.
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &size, &identity, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(scaled);
        cairo_font_face_destroy(face);
        return nullptr;
    }
    return std::unique_ptr<DeviceFont>(new DeviceFont(face, scaled));
}

DeviceFont::DeviceFont(cairo_font_face_t* face, cairo_scaled_font_t* scaled)
    : m_face(face), m_scaled(scaled) {
    cairo_font_extents_t e;
    cairo_scaled_font_extents(scaled, &e);
    m_ascent = e.ascent;
    m_descent = e.descent;
}

DeviceFont::~DeviceFont() {
    cairo_scaled_font_destroy(m_scaled);
    cairo_font_face_destroy(m_face);
}

double DeviceFont::ascent(double size) const {
    return m_ascent * size / kUnits;
}

double DeviceFont::descent(double size) const {
    return m_descent * size / kUnits;
}

std::optional<std::uint32_t> DeviceFont::glyph(char32_t c) const {
    auto it = m_glyphs.find(c);
    if (it != m_glyphs.end()) {
        return it->second;
    }
    std::optional<std::uint32_t> found;
    if (cairo_scaled_font_get_type(m_scaled) == CAIRO_FONT_TYPE_FT) {
        if (FT_Face ft = cairo_ft_scaled_font_lock_face(m_scaled); ft != nullptr) {
            const FT_UInt index = FT_Get_Char_Index(ft, c);
            cairo_ft_scaled_font_unlock_face(m_scaled);
            if (index != 0) {
                found = index;
            }
        }
    }
    m_glyphs.emplace(c, found);
    return found;
}

double DeviceFont::advance(std::uint32_t glyph, double size) const {
    auto it = m_advances.find(glyph);
    if (it == m_advances.end()) {
        cairo_glyph_t g{glyph, 0, 0};
        cairo_text_extents_t e;
        cairo_scaled_font_glyph_extents(m_scaled, &g, 1, &e);
        it = m_advances.emplace(glyph, e.x_advance).first;
    }
    return it->second * size / kUnits;
}

// ---- choosing ----

void TextFonts::indexFonts() {
    m_indexed = true;
    if (m_movie == nullptr) {
        return;
    }
    // The dictionary has no order of its own to walk; ids are 16 bits.
    for (std::uint32_t id = 0; id <= 0xffff; ++id) {
        const auto* f =
            m_movie->characterAs<Font>(static_cast<std::uint16_t>(id), Character::Kind::Font);
        if (f != nullptr && !f->glyphs.empty() && !f->codes.empty()) {
            m_movieFonts.push_back(f);
        }
    }
}

const Font* TextFonts::movieFont(std::uint16_t id) const {
    return m_movie != nullptr ? m_movie->characterAs<Font>(id, Character::Kind::Font) : nullptr;
}

const TextFont* TextFonts::embedded(const Font& font) {
    auto& slot = m_embedded[&font];
    if (!slot) {
        slot = std::make_unique<EmbeddedFont>(font);
    }
    return slot.get();
}

const TextFont* TextFonts::device(const std::string& face, bool bold, bool italic) {
    auto key = std::make_tuple(face, bold, italic);
    auto it = m_device.find(key);
    if (it == m_device.end()) {
        it = m_device.emplace(key, DeviceFont::open(face, bold, italic)).first;
    }
    return it->second.get();
}

const TextFont* TextFonts::resolve(const CharFormat& format, bool embeddedOutlines,
                                   const Font* preferred) {
    if (embeddedOutlines) {
        auto usable = [](const Font* f) {
            return f != nullptr && !f->glyphs.empty() && !f->codes.empty();
        };
        auto fits = [&](const Font* f, bool styleToo) {
            return usable(f) && equalsIgnoringAsciiCase(f->name, format.face) &&
                   (!styleToo || (f->bold == format.bold && f->italic == format.italic));
        };
        if (fits(preferred, true)) {
            return embedded(*preferred);
        }
        if (!m_indexed) {
            indexFonts();
        }
        for (const Font* f : m_movieFonts) {
            if (fits(f, true)) {
                return embedded(*f);
            }
        }
        if (fits(preferred, false)) {
            return embedded(*preferred);
        }
        for (const Font* f : m_movieFonts) {
            if (fits(f, false)) {
                return embedded(*f);
            }
        }
    }
    return device(format.face, format.bold, format.italic);
}

} // namespace kinovex::flash
