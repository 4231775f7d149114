#pragma once
// The fonts text fields are set in: the movie's embedded fonts (DefineFont2/3 with their code
// table, advances and kerning) and system fonts found through fontconfig and drawn by cairo.

#include "engine/definitions/Characters.h"
#include "engine/text/StyledText.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

// cairo's font types, declared as cairo declares them: what measures and lays out text needs
// no drawing library, only what draws system fonts does.
typedef struct _cairo_font_face cairo_font_face_t;
typedef struct _cairo_scaled_font cairo_scaled_font_t;

namespace kinovex::flash {

class Movie;

class TextFont {
public:
    virtual ~TextFont() = default;
    // Lengths in twips for an em of `size` twips.
    virtual double ascent(double size) const = 0;
    virtual double descent(double size) const = 0;
    // The font's glyph for `c`; nothing when the font has none.
    virtual std::optional<std::uint32_t> glyph(char32_t c) const = 0;
    virtual double advance(std::uint32_t glyph, double size) const = 0;
    // Added between `a` and `b` when the text asks for kerning.
    virtual double kerning(char32_t /*a*/, char32_t /*b*/, double /*size*/) const { return 0; }
    virtual bool isEmbedded() const = 0;
};

// An embedded font. Glyph numbers are indices into Font::glyphs.
class EmbeddedFont final : public TextFont {
public:
    explicit EmbeddedFont(const Font& font);
    double ascent(double size) const override;
    double descent(double size) const override;
    std::optional<std::uint32_t> glyph(char32_t c) const override;
    double advance(std::uint32_t glyph, double size) const override;
    double kerning(char32_t a, char32_t b, double size) const override;
    bool isEmbedded() const override { return true; }
    const Font& font() const { return m_font; }

private:
    const Font& m_font;
    std::unordered_map<char32_t, std::uint32_t> m_glyphOf;
};

// A system font. Glyph numbers are the font file's; draw them with face() at the em size.
class DeviceFont final : public TextFont {
public:
    // `family` is a fontconfig family or one of Flash's _sans, _serif, _typewriter. Fontconfig
    // always finds something (its default face for unknown names); null only when cairo fails.
    static std::unique_ptr<DeviceFont> open(const std::string& family, bool bold, bool italic);
    ~DeviceFont() override;
    DeviceFont(const DeviceFont&) = delete;
    DeviceFont& operator=(const DeviceFont&) = delete;

    double ascent(double size) const override;
    double descent(double size) const override;
    std::optional<std::uint32_t> glyph(char32_t c) const override;
    double advance(std::uint32_t glyph, double size) const override;
    bool isEmbedded() const override { return false; }
    cairo_font_face_t* face() const { return m_face; }

    // The fontconfig family Flash's own names stand for.
    static std::string systemFamily(const std::string& face);

private:
    DeviceFont(cairo_font_face_t* face, cairo_scaled_font_t* scaled);
    static constexpr double kUnits = 1024; // size of the measuring font

    cairo_font_face_t* m_face;
    cairo_scaled_font_t* m_scaled;
    double m_ascent = 0;
    double m_descent = 0;
    mutable std::unordered_map<char32_t, std::optional<std::uint32_t>> m_glyphs;
    mutable std::unordered_map<std::uint32_t, double> m_advances;
};

// Finds the font for a run of text in one movie; owns every font it hands out.
class TextFonts {
public:
    explicit TextFonts(const Movie& movie) : m_movie(&movie) {}
    TextFonts() = default; // system fonts only

    // `embedded`: the field draws with embedded outlines. It gets the movie's font of that
    // name and style (`preferred`, the field's own font, first); a font embedded in another
    // style stands in for a missing style. Without an embedded font, and for fields that do
    // not use outlines, the system font of that name draws.
    const TextFont* resolve(const CharFormat& format, bool embedded, const Font* preferred);
    const TextFont* embedded(const Font& font);
    const TextFont* device(const std::string& face, bool bold, bool italic);
    // The movie's font character `id`, if there is one.
    const Font* movieFont(std::uint16_t id) const;

private:
    void indexFonts();

    const Movie* m_movie = nullptr;
    bool m_indexed = false;
    std::vector<const Font*> m_movieFonts; // with glyphs and a code table
    std::unordered_map<const Font*, std::unique_ptr<EmbeddedFont>> m_embedded;
    std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<DeviceFont>> m_device;
};

} // namespace kinovex::flash
