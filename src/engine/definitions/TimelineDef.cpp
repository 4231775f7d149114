#include "engine/definitions/Characters.h"

#include <cmath>
#include <limits>

namespace kinovex::flash {

namespace {

// `value * scale` as an int32, when that is exact and divides back to the same double (a
// negative zero would come back positive, and NaN never compares equal).
bool toFixed(double value, double scale, std::int32_t& out) {
    const double scaled = value * scale;
    if (!(scaled >= std::numeric_limits<std::int32_t>::min() &&
          scaled <= std::numeric_limits<std::int32_t>::max()) ||
        std::trunc(scaled) != scaled || (value == 0.0 && std::signbit(value))) {
        return false;
    }
    const auto fixed = static_cast<std::int32_t>(scaled);
    if (fixed / scale != value) {
        return false;
    }
    out = fixed;
    return true;
}

} // namespace

bool PackedMatrix::pack(const Matrix& m, PackedMatrix& out) {
    PackedMatrix p;
    if (!toFixed(m.a, 65536.0, p.a) || !toFixed(m.b, 65536.0, p.b) || !toFixed(m.c, 65536.0, p.c) ||
        !toFixed(m.d, 65536.0, p.d) || !toFixed(m.tx, 1.0, p.tx) || !toFixed(m.ty, 1.0, p.ty)) {
        return false;
    }
    out = p;
    return true;
}

Matrix PackedMatrix::unpack() const {
    return Matrix{a / 65536.0,
                  b / 65536.0,
                  c / 65536.0,
                  d / 65536.0,
                  static_cast<double>(tx),
                  static_cast<double>(ty)};
}

PlaceRecord TimelineDef::recordPlace(PlaceCommand&& place) {
    PlaceRecord rec;
    rec.depth = place.depth;
    rec.characterId = place.characterId;
    rec.ratio = place.ratio;
    rec.clipDepth = place.clipDepth;
    rec.blendMode = place.blendMode;
    rec.flags = 0;
    const auto set = [&rec](bool on, PlaceRecord::Flag flag) {
        if (on) {
            rec.flags = static_cast<std::uint16_t>(rec.flags | flag);
        }
    };
    set(place.move, PlaceRecord::Move);
    set(place.hasCharacter, PlaceRecord::HasCharacter);
    set(place.hasMatrix, PlaceRecord::HasMatrix);
    set(place.hasColorTransform, PlaceRecord::HasColorTransform);
    set(place.hasRatio, PlaceRecord::HasRatio);
    set(place.hasName, PlaceRecord::HasName);
    set(place.hasClipDepth, PlaceRecord::HasClipDepth);
    set(place.hasFilters, PlaceRecord::HasFilters);
    set(place.hasBlendMode, PlaceRecord::HasBlendMode);
    set(place.hasCacheAsBitmap, PlaceRecord::HasCacheAsBitmap);
    set(place.hasVisible, PlaceRecord::HasVisible);
    set(place.cacheAsBitmap, PlaceRecord::CacheAsBitmap);
    set(place.visible, PlaceRecord::Visible);

    if (place.hasColorTransform || !place.colorTransform.isIdentity()) {
        rec.colorTransform = static_cast<std::uint32_t>(colorTransforms.size());
        colorTransforms.push_back(place.colorTransform);
    }
    const bool narrow = PackedMatrix::pack(place.matrix, rec.matrix);
    if (!narrow || !place.name.empty() || !place.filters.empty() || place.clipActions) {
        PlaceExtra extra;
        extra.name = std::move(place.name);
        extra.filters = std::move(place.filters);
        extra.clipActions = std::move(place.clipActions);
        extra.hasWideMatrix = !narrow;
        extra.wideMatrix = place.matrix;
        rec.extra = static_cast<std::uint32_t>(placeExtras.size());
        placeExtras.push_back(std::move(extra));
    }
    return rec;
}

PlaceCommand TimelineDef::placeCommand(const PlaceRecord& rec) const {
    PlaceCommand p;
    p.depth = rec.depth;
    p.move = rec.has(PlaceRecord::Move);
    p.hasCharacter = rec.has(PlaceRecord::HasCharacter);
    p.hasMatrix = rec.has(PlaceRecord::HasMatrix);
    p.hasColorTransform = rec.has(PlaceRecord::HasColorTransform);
    p.hasRatio = rec.has(PlaceRecord::HasRatio);
    p.hasName = rec.has(PlaceRecord::HasName);
    p.hasClipDepth = rec.has(PlaceRecord::HasClipDepth);
    p.hasFilters = rec.has(PlaceRecord::HasFilters);
    p.hasBlendMode = rec.has(PlaceRecord::HasBlendMode);
    p.hasCacheAsBitmap = rec.has(PlaceRecord::HasCacheAsBitmap);
    p.hasVisible = rec.has(PlaceRecord::HasVisible);
    p.characterId = rec.characterId;
    p.matrix = rec.matrix.unpack();
    if (rec.colorTransform < colorTransforms.size()) {
        p.colorTransform = colorTransforms[rec.colorTransform];
    }
    p.ratio = rec.ratio;
    p.clipDepth = rec.clipDepth;
    p.blendMode = rec.blendMode;
    p.cacheAsBitmap = rec.has(PlaceRecord::CacheAsBitmap);
    p.visible = rec.has(PlaceRecord::Visible);
    if (rec.extra < placeExtras.size()) {
        const PlaceExtra& extra = placeExtras[rec.extra];
        p.name = extra.name;
        p.filters = extra.filters;
        p.clipActions = extra.clipActions;
        if (extra.hasWideMatrix) {
            p.matrix = extra.wideMatrix;
        }
    }
    return p;
}

} // namespace kinovex::flash
