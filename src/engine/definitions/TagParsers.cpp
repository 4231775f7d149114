#include "engine/definitions/TagParsers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace kinovex::flash {

namespace {

bool parseGradient(BitReader& r, bool alpha, Gradient& g) {
    const std::uint32_t spread = r.ub(2);
    const std::uint32_t interp = r.ub(2);
    const std::uint32_t count = r.ub(4);
    g.spread = spread == 1   ? SpreadMode::Reflect
               : spread == 2 ? SpreadMode::Repeat
                             : SpreadMode::Pad;
    g.interpolation = interp == 1 ? Interpolation::LinearRgb : Interpolation::Normal;
    g.stops.clear();
    for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
        GradientStop s;
        s.ratio = r.u8();
        s.color = alpha ? r.rgba() : r.rgb();
        g.stops.push_back(s);
    }
    return r.ok();
}

bool parseFillStyle(BitReader& r, int version, FillStyle& f) {
    const std::uint8_t type = r.u8();
    const bool alpha = version >= 3;
    switch (type) {
    case 0x00:
        f.type = FillStyle::Type::Solid;
        f.color = alpha ? r.rgba() : r.rgb();
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        f.type = type == 0x10   ? FillStyle::Type::Linear
                 : type == 0x12 ? FillStyle::Type::Radial
                                : FillStyle::Type::Focal;
        f.matrix = r.matrix();
        parseGradient(r, alpha, f.gradient);
        if (type == 0x13) {
            f.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
        }
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        f.type = FillStyle::Type::Bitmap;
        f.bitmapId = r.u16();
        f.matrix = r.matrix();
        f.bitmapRepeat = type == 0x40 || type == 0x42;
        f.bitmapSmooth = type == 0x40 || type == 0x41;
        break;
    default:
        return false;
    }
    return r.ok();
}

std::uint16_t styleCount(BitReader& r, int version) {
    std::uint16_t count = r.u8();
    if (count == 0xff && version >= 2) {
        count = r.u16();
    }
    return count;
}

CapStyle capStyle(std::uint32_t v) {
    return v == 1 ? CapStyle::None : v == 2 ? CapStyle::Square : CapStyle::Round;
}

// LINESTYLE2's flag bits, shared with the morph variant.
void parseLineFlags(BitReader& r, LineStyle& l) {
    l.startCap = capStyle(r.ub(2));
    const std::uint32_t join = r.ub(2);
    l.join = join == 1 ? JoinStyle::Bevel : join == 2 ? JoinStyle::Miter : JoinStyle::Round;
    l.hasFill = r.flag();
    l.noHScale = r.flag();
    l.noVScale = r.flag();
    r.ub(1); // pixel hinting
    r.ub(5);
    l.noClose = r.flag();
    l.endCap = capStyle(r.ub(2));
    if (l.join == JoinStyle::Miter) {
        l.miterLimit = r.u16() / 256.0;
    }
}

bool parseMorphFillStyle(BitReader& r, FillStyle& a, FillStyle& b) {
    const std::uint8_t type = r.u8();
    switch (type) {
    case 0x00:
        a.type = b.type = FillStyle::Type::Solid;
        a.color = r.rgba();
        b.color = r.rgba();
        break;
    case 0x10:
    case 0x12:
    case 0x13: {
        a.type = b.type = type == 0x10   ? FillStyle::Type::Linear
                          : type == 0x12 ? FillStyle::Type::Radial
                                         : FillStyle::Type::Focal;
        a.matrix = r.matrix();
        b.matrix = r.matrix();
        const std::uint32_t spread = r.ub(2);
        const std::uint32_t interp = r.ub(2);
        const std::uint32_t count = r.ub(4);
        for (Gradient* g : {&a.gradient, &b.gradient}) {
            g->spread = spread == 1   ? SpreadMode::Reflect
                        : spread == 2 ? SpreadMode::Repeat
                                      : SpreadMode::Pad;
            g->interpolation = interp == 1 ? Interpolation::LinearRgb : Interpolation::Normal;
        }
        for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
            GradientStop s;
            s.ratio = r.u8();
            s.color = r.rgba();
            a.gradient.stops.push_back(s);
            s.ratio = r.u8();
            s.color = r.rgba();
            b.gradient.stops.push_back(s);
        }
        if (type == 0x13) {
            a.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
            b.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
        }
        break;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        a.type = b.type = FillStyle::Type::Bitmap;
        a.bitmapId = b.bitmapId = r.u16();
        a.matrix = r.matrix();
        b.matrix = r.matrix();
        a.bitmapRepeat = b.bitmapRepeat = type == 0x40 || type == 0x42;
        a.bitmapSmooth = b.bitmapSmooth = type == 0x40 || type == 0x41;
        break;
    default:
        return false;
    }
    return r.ok();
}

double fixed16(BitReader& r) {
    return r.fixed16();
}

// What bevels and gradient glows and bevels share after their colours.
void readBevelParameters(BitReader& r, Filter& f) {
    f.blurX = fixed16(r);
    f.blurY = fixed16(r);
    f.angle = fixed16(r);
    f.distance = fixed16(r);
    f.strength = r.fixed8();
    f.inner = r.flag();
    f.knockout = r.flag();
    f.compositeSource = r.flag();
    f.onTop = r.flag();
    f.passes = static_cast<int>(r.ub(4));
}

} // namespace

bool parseFillStyles(BitReader& r, int version, std::vector<FillStyle>& out) {
    const std::uint16_t count = styleCount(r, version);
    out.clear();
    for (std::uint16_t i = 0; i < count; ++i) {
        FillStyle f;
        if (!parseFillStyle(r, version, f)) {
            return false;
        }
        out.push_back(std::move(f));
    }
    return r.ok();
}

bool parseLineStyles(BitReader& r, int version, std::vector<LineStyle>& out) {
    const std::uint16_t count = styleCount(r, version);
    out.clear();
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        LineStyle l;
        l.width = r.u16();
        if (version >= 4) {
            parseLineFlags(r, l);
            if (l.hasFill) {
                if (!parseFillStyle(r, version, l.fill)) {
                    return false;
                }
            } else {
                l.color = r.rgba();
            }
        } else {
            l.color = version >= 3 ? r.rgba() : r.rgb();
        }
        out.push_back(std::move(l));
    }
    return r.ok();
}

bool parseShapeRecords(BitReader& r, int version, std::vector<ShapeRecord>& out,
                       std::vector<StyleTable>* styles) {
    r.align();
    unsigned fillBits = r.ub(4);
    unsigned lineBits = r.ub(4);
    while (r.ok()) {
        ShapeRecord rec;
        if (r.flag()) {
            const bool straight = r.flag();
            const unsigned bits = r.ub(4) + 2;
            if (straight) {
                rec.type = ShapeRecord::Type::Line;
                if (r.flag()) {
                    rec.anchorDx = r.sb(bits);
                    rec.anchorDy = r.sb(bits);
                } else if (r.flag()) {
                    rec.anchorDy = r.sb(bits);
                } else {
                    rec.anchorDx = r.sb(bits);
                }
            } else {
                rec.type = ShapeRecord::Type::Curve;
                rec.controlDx = r.sb(bits);
                rec.controlDy = r.sb(bits);
                rec.anchorDx = r.sb(bits);
                rec.anchorDy = r.sb(bits);
            }
            out.push_back(rec);
            continue;
        }
        const std::uint32_t flags = r.ub(5);
        if (flags == 0) {
            r.align();
            return r.ok(); // end of shape
        }
        rec.hasNewStyles = (flags & 0x10) != 0;
        rec.hasLine = (flags & 0x08) != 0;
        rec.hasFill1 = (flags & 0x04) != 0;
        rec.hasFill0 = (flags & 0x02) != 0;
        rec.hasMove = (flags & 0x01) != 0;
        if (rec.hasMove) {
            const unsigned bits = r.ub(5);
            rec.moveX = r.sb(bits);
            rec.moveY = r.sb(bits);
        }
        if (rec.hasFill0) {
            rec.fill0 = r.ub(fillBits);
        }
        if (rec.hasFill1) {
            rec.fill1 = r.ub(fillBits);
        }
        if (rec.hasLine) {
            rec.line = r.ub(lineBits);
        }
        if (rec.hasNewStyles) {
            if (styles == nullptr) {
                return false;
            }
            StyleTable table;
            if (!parseFillStyles(r, version, table.fills) ||
                !parseLineStyles(r, version, table.lines)) {
                return false;
            }
            fillBits = r.ub(4);
            lineBits = r.ub(4);
            rec.styleTable = static_cast<std::uint32_t>(styles->size());
            styles->push_back(std::move(table));
        }
        out.push_back(rec);
    }
    return false;
}

bool parseShape(BitReader& r, int version, Shape& shape) {
    shape.id = r.u16();
    shape.bounds = r.rect();
    if (version >= 4) {
        r.rect(); // edge bounds
        shape.nonZeroWinding = (r.u8() & 0x04) != 0;
    }
    shape.styles.assign(1, StyleTable{});
    if (!parseFillStyles(r, version, shape.styles[0].fills) ||
        !parseLineStyles(r, version, shape.styles[0].lines)) {
        return false;
    }
    return parseShapeRecords(r, version, shape.records, &shape.styles);
}

bool parseMorphShape(BitReader& r, int version, MorphShape& morph) {
    morph.id = r.u16();
    morph.startBounds = r.rect();
    morph.endBounds = r.rect();
    if (version >= 2) {
        r.rect();
        r.rect();
        r.u8();
    }
    const std::uint32_t endOffset = r.u32();
    const std::size_t endEdgesAt = r.position() + endOffset;
    const std::uint16_t fillCount = styleCount(r, 2);
    for (std::uint16_t i = 0; i < fillCount && r.ok(); ++i) {
        FillStyle a, b;
        if (!parseMorphFillStyle(r, a, b)) {
            return false;
        }
        morph.startStyles.fills.push_back(std::move(a));
        morph.endStyles.fills.push_back(std::move(b));
    }
    const std::uint16_t lineCount = styleCount(r, 2);
    for (std::uint16_t i = 0; i < lineCount && r.ok(); ++i) {
        LineStyle a, b;
        a.width = r.u16();
        b.width = r.u16();
        if (version >= 2) {
            parseLineFlags(r, a);
            const std::uint16_t endWidth = b.width;
            b = a;
            b.width = endWidth;
            if (a.hasFill) {
                if (!parseMorphFillStyle(r, a.fill, b.fill)) {
                    return false;
                }
            } else {
                a.color = r.rgba();
                b.color = r.rgba();
            }
        } else {
            a.color = r.rgba();
            b.color = r.rgba();
        }
        morph.startStyles.lines.push_back(std::move(a));
        morph.endStyles.lines.push_back(std::move(b));
    }
    if (!parseShapeRecords(r, 3, morph.startRecords, nullptr)) {
        return false;
    }
    // The offset is authoritative for where the end edges begin; an empty end shape (a morph
    // that never changes) is allowed.
    if (endOffset != 0 && endEdgesAt <= r.size()) {
        r.seek(endEdgesAt);
    }
    if (r.atEnd()) {
        morph.endRecords = morph.startRecords;
        return true;
    }
    return parseShapeRecords(r, 3, morph.endRecords, nullptr);
}

bool parseFilters(BitReader& r, std::vector<Filter>& out) {
    const std::uint8_t count = r.u8();
    for (std::uint8_t i = 0; i < count && r.ok(); ++i) {
        Filter f;
        const std::uint8_t id = r.u8();
        switch (id) {
        case 0: // drop shadow
        case 2: // glow
            f.type = id == 0 ? Filter::Type::DropShadow : Filter::Type::Glow;
            f.color = r.rgba();
            f.blurX = fixed16(r);
            f.blurY = fixed16(r);
            if (id == 0) {
                f.angle = fixed16(r);
                f.distance = fixed16(r);
            }
            f.strength = r.fixed8();
            f.inner = r.flag();
            f.knockout = r.flag();
            f.compositeSource = r.flag();
            f.passes = static_cast<int>(r.ub(5));
            break;
        case 1:
            f.type = Filter::Type::Blur;
            f.blurX = fixed16(r);
            f.blurY = fixed16(r);
            f.passes = static_cast<int>(r.ub(5));
            r.ub(3);
            break;
        case 3:
            f.type = Filter::Type::Bevel;
            // Files store the highlight first, whatever the published layout says.
            f.highlight = r.rgba();
            f.color = r.rgba(); // shadow
            readBevelParameters(r, f);
            break;
        case 4:
        case 7: {
            f.type = id == 4 ? Filter::Type::GradientGlow : Filter::Type::GradientBevel;
            const std::uint8_t n = r.u8();
            f.gradient.resize(n);
            for (auto& s : f.gradient) {
                s.color = r.rgba();
            }
            for (auto& s : f.gradient) {
                s.ratio = r.u8();
            }
            readBevelParameters(r, f);
            break;
        }
        case 5: {
            f.type = Filter::Type::Convolution;
            f.matrixX = r.u8();
            f.matrixY = r.u8();
            f.divisor = r.f32();
            f.bias = r.f32();
            const int n = f.matrixX * f.matrixY;
            if (static_cast<std::size_t>(n) * 4 > r.remaining()) {
                return false;
            }
            f.matrix.resize(static_cast<std::size_t>(n));
            for (float& v : f.matrix) {
                v = r.f32();
            }
            f.color = r.rgba();
            r.ub(6);
            f.clamp = r.flag();
            f.preserveAlpha = r.flag();
            break;
        }
        case 6:
            f.type = Filter::Type::ColorMatrix;
            f.matrix.resize(20);
            for (float& v : f.matrix) {
                v = r.f32();
            }
            break;
        default:
            return false;
        }
        out.push_back(std::move(f));
    }
    return r.ok();
}

bool parsePlaceObject(BitReader& r, int code, PlaceCommand& p, int swfVersion) {
    if (code == 4) {
        p.hasCharacter = true;
        p.characterId = r.u16();
        p.depth = r.u16();
        p.hasMatrix = true;
        p.matrix = r.matrix();
        if (!r.atEnd()) {
            p.hasColorTransform = true;
            p.colorTransform = r.cxform(false);
        }
        return r.ok();
    }
    const std::uint8_t f1 = r.u8();
    std::uint8_t f2 = 0;
    if (code == 70) {
        f2 = r.u8();
    }
    p.move = (f1 & 0x01) != 0;
    p.hasCharacter = (f1 & 0x02) != 0;
    p.hasMatrix = (f1 & 0x04) != 0;
    p.hasColorTransform = (f1 & 0x08) != 0;
    p.hasRatio = (f1 & 0x10) != 0;
    p.hasName = (f1 & 0x20) != 0;
    p.hasClipDepth = (f1 & 0x40) != 0;
    p.hasFilters = (f2 & 0x01) != 0;
    p.hasBlendMode = (f2 & 0x02) != 0;
    p.hasCacheAsBitmap = (f2 & 0x04) != 0;
    const bool hasClassName = (f2 & 0x08) != 0;
    const bool hasImage = (f2 & 0x10) != 0;
    p.hasVisible = (f2 & 0x20) != 0;
    p.depth = r.u16();
    if (hasClassName || (hasImage && p.hasCharacter)) {
        r.string();
    }
    if (p.hasCharacter) {
        p.characterId = r.u16();
    }
    if (p.hasMatrix) {
        p.matrix = r.matrix();
    }
    if (p.hasColorTransform) {
        p.colorTransform = r.cxform(true);
    }
    if (p.hasRatio) {
        p.ratio = r.u16();
    }
    if (p.hasName) {
        p.name = r.string();
    }
    if (p.hasClipDepth) {
        p.clipDepth = r.u16();
    }
    if (p.hasFilters && !parseFilters(r, p.filters)) {
        return false;
    }
    if (p.hasBlendMode) {
        const std::uint8_t mode = r.u8();
        p.blendMode = mode >= 2 && mode <= 14 ? static_cast<BlendMode>(mode) : BlendMode::Normal;
    }
    if (p.hasCacheAsBitmap) {
        // Older writers set the flag and leave the byte out.
        p.cacheAsBitmap = r.atEnd() ? true : r.u8() != 0;
    }
    if (p.hasVisible && !r.atEnd()) {
        p.visible = r.u8() != 0;
    }
    if ((f1 & 0x80) != 0 && r.ok() && !parseClipActions(r, swfVersion, p)) {
        return false;
    }
    return r.ok();
}

bool parseClipActions(BitReader& r, int swfVersion, PlaceCommand& p) {
    // Movies before version 6 store the event flags in 16 bits, later ones in 32.
    auto flags = [&]() -> std::uint32_t { return swfVersion <= 5 ? r.u16() : r.u32(); };
    r.u16(); // reserved
    flags(); // every event used below, again
    auto actions = std::make_shared<std::vector<ClipAction>>();
    while (r.ok()) {
        ClipAction action;
        action.events = flags();
        if (action.events == 0 || r.failed()) {
            break;
        }
        std::uint32_t size = r.u32();
        if ((action.events & ClipEventKeyPress) != 0 && size > 0) {
            action.keyCode = r.u8();
            --size;
        }
        if (r.failed() || size > r.remaining()) {
            return false;
        }
        auto code = r.bytes(size);
        action.code = std::make_shared<const std::vector<std::uint8_t>>(code.begin(), code.end());
        actions->push_back(std::move(action));
    }
    if (r.failed()) {
        return false;
    }
    if (!actions->empty()) {
        p.clipActions = std::move(actions);
    }
    return true;
}

bool parseFont(BitReader& r, int code, Font& font) {
    font.id = r.u16();
    if (code == 10) {
        const std::size_t tableStart = r.position();
        const std::uint16_t first = r.u16();
        const std::size_t count = first / 2;
        if (r.failed() || count * 2 > r.size() - tableStart) {
            return false;
        }
        std::vector<std::uint16_t> offsets{first};
        for (std::size_t i = 1; i < count; ++i) {
            offsets.push_back(r.u16());
        }
        for (std::size_t i = 0; i < count && r.ok(); ++i) {
            r.seek(tableStart + offsets[i]);
            std::vector<ShapeRecord> glyph;
            if (!parseShapeRecords(r, 1, glyph, nullptr)) {
                return false;
            }
            font.glyphs.push_back(std::move(glyph));
        }
        return r.ok();
    }
    const std::uint8_t flags = r.u8();
    const bool hasLayout = (flags & 0x80) != 0;
    const bool wideOffsets = (flags & 0x08) != 0;
    const bool wideCodes = (flags & 0x04) != 0;
    font.italic = (flags & 0x02) != 0;
    font.bold = (flags & 0x01) != 0;
    r.u8(); // language
    const std::uint8_t nameLength = r.u8();
    auto name = r.bytes(nameLength);
    font.name.assign(name.begin(), name.end());
    while (!font.name.empty() && font.name.back() == '\0') {
        font.name.pop_back();
    }
    const std::uint16_t count = r.u16();
    font.unitsPerEm = code == 75 ? 1024.0 * 20.0 : 1024.0;
    if (count == 0) {
        return r.ok(); // a device font: its name is all there is
    }
    const std::size_t tableStart = r.position();
    const std::size_t entry = wideOffsets ? 4 : 2;
    if (r.failed() || (static_cast<std::size_t>(count) + 1) * entry > r.remaining()) {
        return false;
    }
    std::vector<std::uint32_t> offsets(count);
    for (auto& o : offsets) {
        o = wideOffsets ? r.u32() : r.u16();
    }
    const std::uint32_t codeTableOffset = wideOffsets ? r.u32() : r.u16();
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        r.seek(tableStart + offsets[i]);
        std::vector<ShapeRecord> glyph;
        if (!parseShapeRecords(r, 1, glyph, nullptr)) {
            return false;
        }
        font.glyphs.push_back(std::move(glyph));
    }
    // The code table and the layout are only needed by text fields; a font whose code table
    // is damaged still draws static text.
    BitReader codes = r;
    codes.seek(tableStart + codeTableOffset);
    for (std::uint16_t i = 0; i < count; ++i) {
        font.codes.push_back(wideCodes ? codes.u16() : codes.u8());
    }
    if (codes.failed()) {
        font.codes.clear();
        return r.ok();
    }
    if (hasLayout) {
        font.ascent = codes.s16();
        font.descent = codes.s16();
        font.leading = codes.s16();
        for (std::uint16_t i = 0; i < count; ++i) {
            font.advances.push_back(codes.s16());
        }
        font.hasLayout = codes.ok();
        if (!font.hasLayout) {
            font.advances.clear();
        }
        // Each glyph's bounds, then the kerning pairs. Fonts written without them still lay out.
        for (std::uint16_t i = 0; i < count && codes.ok(); ++i) {
            codes.rect();
        }
        const std::uint16_t pairs = codes.u16();
        for (std::uint16_t i = 0; i < pairs && codes.ok(); ++i) {
            KerningPair k;
            k.left = wideCodes ? codes.u16() : codes.u8();
            k.right = wideCodes ? codes.u16() : codes.u8();
            k.adjustment = codes.s16();
            if (codes.ok()) {
                font.kerning.push_back(k);
            }
        }
    }
    return r.ok();
}

bool parseEditText(BitReader& r, EditText& t) {
    t.id = r.u16();
    t.bounds = r.rect();
    const std::uint8_t f1 = r.u8();
    const std::uint8_t f2 = r.u8();
    const bool hasText = (f1 & 0x80) != 0;
    t.wordWrap = (f1 & 0x40) != 0;
    t.multiline = (f1 & 0x20) != 0;
    t.password = (f1 & 0x10) != 0;
    t.readOnly = (f1 & 0x08) != 0;
    const bool hasColor = (f1 & 0x04) != 0;
    const bool hasMaxLength = (f1 & 0x02) != 0;
    t.hasFont = (f1 & 0x01) != 0;
    const bool hasFontClass = (f2 & 0x80) != 0;
    t.autoSize = (f2 & 0x40) != 0;
    const bool hasLayout = (f2 & 0x20) != 0;
    t.selectable = (f2 & 0x10) == 0;
    t.border = (f2 & 0x08) != 0;
    t.html = (f2 & 0x02) != 0;
    t.useOutlines = (f2 & 0x01) != 0;
    if (t.hasFont) {
        t.fontId = r.u16();
    }
    if (hasFontClass) {
        t.fontClass = r.string();
    }
    if (t.hasFont || hasFontClass) {
        t.height = r.u16();
    }
    if (hasColor) {
        t.color = r.rgba();
    }
    if (hasMaxLength) {
        t.maxLength = r.u16();
    }
    if (hasLayout) {
        t.align = r.u8();
        t.leftMargin = r.u16();
        t.rightMargin = r.u16();
        t.indent = r.u16();
        t.leading = r.s16();
    }
    t.variableName = r.string();
    if (hasText) {
        t.text = r.string();
    }
    return r.ok();
}

bool parseText(BitReader& r, int version, StaticText& text) {
    text.id = r.u16();
    text.bounds = r.rect();
    text.matrix = r.matrix();
    const unsigned glyphBits = r.u8();
    const unsigned advanceBits = r.u8();
    TextRun current;
    bool haveFont = false;
    while (r.ok()) {
        const std::uint8_t flags = r.u8();
        if (flags == 0) {
            return r.ok();
        }
        TextRun run = current;
        run.glyphs.clear();
        if (flags & 0x08) {
            run.fontId = r.u16();
            haveFont = true;
        }
        if (flags & 0x04) {
            run.color = version >= 2 ? r.rgba() : r.rgb();
        }
        if (flags & 0x01) {
            run.x = r.s16();
        }
        if (flags & 0x02) {
            run.y = r.s16();
        }
        if (flags & 0x08) {
            run.height = r.u16();
        }
        const std::uint8_t count = r.u8();
        // Wide enough for 255 advances of any width a damaged movie may give.
        std::int64_t x = run.x;
        for (std::uint8_t i = 0; i < count && r.ok(); ++i) {
            TextGlyph g;
            g.index = r.ub(glyphBits);
            g.advance = r.sb(advanceBits);
            run.glyphs.push_back(g);
            x += g.advance;
        }
        r.align();
        if (haveFont) {
            text.runs.push_back(run);
        }
        // The next run starts where this one ended unless it gives its own position.
        current = run;
        current.x = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            x, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    }
    return false;
}

namespace {

std::shared_ptr<const std::vector<std::uint8_t>> actionBytes(std::span<const std::uint8_t> bytes) {
    return std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
}

} // namespace

bool parseButton(BitReader& r, int version, Button& button) {
    button.id = r.u16();
    std::size_t actionsAt = 0; // DefineButton2: where the first condition list starts, 0: none
    if (version >= 2) {
        button.trackAsMenu = (r.u8() & 0x01) != 0;
        const std::size_t field = r.position();
        const std::uint16_t offset = r.u16();
        actionsAt = offset == 0 ? 0 : field + offset;
    }
    for (;;) {
        const std::uint8_t flags = r.u8();
        if (!r.ok()) {
            return false;
        }
        if (flags == 0) {
            break;
        }
        ButtonRecord rec;
        rec.looks = flags & 0x0f;
        rec.characterId = r.u16();
        rec.depth = r.u16();
        rec.matrix = r.matrix();
        if (version >= 2) {
            rec.colorTransform = r.cxform(true);
            if (flags & 0x10) {
                if (!parseFilters(r, rec.filters)) {
                    return false;
                }
            }
            if (flags & 0x20) {
                const std::uint8_t mode = r.u8();
                rec.blendMode =
                    mode >= 2 && mode <= 14 ? static_cast<BlendMode>(mode) : BlendMode::Normal;
            }
        }
        if (!r.ok()) {
            return false;
        }
        button.records.push_back(std::move(rec));
    }
    if (version < 2) {
        // The rest of the tag is one action list, run when the button is clicked.
        ButtonAction action;
        action.conditions = ButtonOverDownToOverUp;
        action.code = actionBytes(r.rest());
        if (!action.code->empty() && action.code->front() != 0) {
            button.actions.push_back(std::move(action));
        }
        return r.ok();
    }
    if (actionsAt == 0) {
        return true;
    }
    if (actionsAt < r.position() || actionsAt > r.position() + r.remaining()) {
        return false;
    }
    r.seek(actionsAt);
    // Each list: the distance to the next one (0 for the last), the conditions, the actions.
    for (;;) {
        const std::size_t at = r.position();
        const std::uint16_t size = r.u16();
        const std::uint16_t conditions = r.u16();
        if (!r.ok() || (size != 0 && size < 4)) {
            return false;
        }
        ButtonAction action;
        action.conditions = conditions & 0x01ff;
        action.keyCode = static_cast<std::uint8_t>(conditions >> 9);
        if (size == 0) {
            action.code = actionBytes(r.rest());
        } else {
            if (size - 4u > r.remaining()) {
                return false;
            }
            action.code = actionBytes(r.bytes(size - 4u));
        }
        if (!r.ok()) {
            return false;
        }
        button.actions.push_back(std::move(action));
        if (size == 0) {
            return true;
        }
        r.seek(at + size);
    }
}

bool parseButtonCxform(BitReader& r, Button& button) {
    // One colour transform (without alpha) for every record of a DefineButton.
    const ColorTransform cx = r.cxform(false);
    if (!r.ok()) {
        return false;
    }
    for (ButtonRecord& rec : button.records) {
        rec.colorTransform = cx;
    }
    return true;
}

bool parseButtonSound(BitReader& r, Button& button) {
    for (ButtonSound& sound : button.sounds) {
        sound.soundId = r.u16();
        if (sound.soundId != 0 && !ReadSoundInfo(r, sound.info)) {
            return false;
        }
    }
    return r.ok();
}

} // namespace kinovex::flash
