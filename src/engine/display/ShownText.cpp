#include "engine/display/ShownText.h"

#include "engine/definitions/Movie.h"
#include "engine/display/TextField.h"

namespace kinovex::flash {

namespace {

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendStaticText(std::string& out, const StaticText& text, const Movie& movie) {
    for (const TextRun& run : text.runs) {
        const Font* font = movie.characterAs<Font>(run.fontId, Character::Kind::Font);
        if (font == nullptr) {
            continue;
        }
        for (const TextGlyph& glyph : run.glyphs) {
            if (glyph.index < font->codes.size()) {
                appendUtf8(out, font->codes[glyph.index]);
            }
        }
        out += ' ';
    }
}

void appendShownText(std::string& out, const DisplayList& list, const Movie& movie, int nesting) {
    if (nesting > TimelineInstance::kMaxNesting) {
        return;
    }
    for (const auto& [depth, obj] : list) {
        if (!obj.visible) {
            continue;
        }
        if (obj.textField) {
            out += obj.textField->text();
            out += ' ';
        } else if (obj.character != nullptr && obj.character->kind == Character::Kind::Text) {
            appendStaticText(out, static_cast<const StaticText&>(*obj.character), movie);
        } else if (obj.sprite) {
            appendShownText(out, obj.sprite->displayList(), movie, nesting + 1);
        }
    }
}

} // namespace

std::string ShownText(const DisplayList& list, const Movie& movie) {
    std::string out;
    appendShownText(out, list, movie, 0);
    return out;
}

} // namespace kinovex::flash
