#include "engine/render/LayerFingerprint.h"

#include "engine/definitions/Characters.h"
#include "engine/display/ScriptDrawing.h"
#include "engine/render/KeyHasher.h"

#include <cstdint>

namespace kinovex::flash {

namespace {

bool addCharacter(const DisplayObject& obj, KeyHasher& h, int nesting);

bool addList(const DisplayList& list, KeyHasher& h, int nesting) {
    h.add(static_cast<std::uint64_t>(list.size()));
    for (const auto& [depth, child] : list) {
        if (!child.filters.empty() || child.blendMode != BlendMode::Normal) {
            return false;
        }
        h.add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(depth)));
        for (double v : {child.matrix.a, child.matrix.b, child.matrix.c, child.matrix.d,
                         child.matrix.tx, child.matrix.ty}) {
            h.add(v);
        }
        h.add(child.colorTransform);
        h.add(static_cast<std::uint64_t>(child.ratio) << 32 |
              static_cast<std::uint64_t>(child.clipDepth) << 8 |
              static_cast<std::uint64_t>(child.visible));
        if (!addCharacter(child, h, nesting + 1)) {
            return false;
        }
    }
    return true;
}

bool addCharacter(const DisplayObject& obj, KeyHasher& h, int nesting) {
    h.add(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(obj.character)));
    if (obj.character == nullptr) {
        return true;
    }
    switch (obj.character->kind) {
    case Character::Kind::Shape:
    case Character::Kind::MorphShape:
    case Character::Kind::Text:
    case Character::Kind::Bitmap:
        return true;
    case Character::Kind::Sprite: {
        const TimelineInstance* clip = obj.sprite.get();
        if (clip == nullptr) {
            return true;
        }
        if (nesting > TimelineInstance::kMaxNesting || clip->scriptMask() != nullptr ||
            clip->maskedClip() != nullptr || (clip->drawing() && !clip->drawing()->empty())) {
            return false;
        }
        return addList(clip->displayList(), h, nesting);
    }
    default:
        return false; // text fields, buttons, video, fonts
    }
}

} // namespace

bool drawnWithinBounds(const DisplayObject& obj) {
    if (obj.character == nullptr) {
        return true;
    }
    switch (obj.character->kind) {
    case Character::Kind::Shape:
    case Character::Kind::MorphShape:
    case Character::Kind::Bitmap:
        return true;
    case Character::Kind::Sprite: {
        const TimelineInstance* clip = obj.sprite.get();
        if (clip == nullptr) {
            return true;
        }
        if (clip->drawing() && !clip->drawing()->empty()) {
            return false;
        }
        for (const auto& [depth, child] : clip->displayList()) {
            if (!drawnWithinBounds(child)) {
                return false;
            }
        }
        return true;
    }
    default:
        return false;
    }
}

std::optional<std::uint64_t> contentFingerprint(const DisplayObject& obj) {
    KeyHasher h{0x6c617965722d6670ull};
    if (!addCharacter(obj, h, 0)) {
        return std::nullopt;
    }
    return h.h;
}

} // namespace kinovex::flash
