#include "engine/render/LayerFingerprint.h"

#include "engine/definitions/Characters.h"
#include "engine/display/ScriptDrawing.h"
#include "engine/render/KeyHasher.h"

#include <cstdint>

namespace kinovex::flash {

namespace {

// One walk serves both questions: with `h` it sums up everything drawing depends on and refuses
// what a fingerprint does not follow; without it, it only asks whether all inside is drawn
// within its definitions' bounds (text is then refused, a device font may run past them).
bool walkContent(const DisplayObject& obj, KeyHasher* h, int nesting);

void addPlacement(std::int32_t depth, const DisplayObject& child, KeyHasher& h) {
    h.add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(depth)));
    for (double v : {child.matrix.a, child.matrix.b, child.matrix.c, child.matrix.d,
                     child.matrix.tx, child.matrix.ty}) {
        h.add(v);
    }
    h.add(child.colorTransform);
    h.add(static_cast<std::uint64_t>(child.ratio) << 32 |
          static_cast<std::uint64_t>(child.clipDepth) << 8 |
          static_cast<std::uint64_t>(child.visible));
}

bool walkClip(const TimelineInstance& clip, KeyHasher* h, int nesting) {
    if (nesting > TimelineInstance::kMaxNesting || (clip.drawing() && !clip.drawing()->empty())) {
        return false;
    }
    if (h != nullptr) {
        if (clip.scriptMask() != nullptr || clip.maskedClip() != nullptr) {
            return false;
        }
        h->add(static_cast<std::uint64_t>(clip.displayList().size()));
    }
    for (const auto& [depth, child] : clip.displayList()) {
        if (h != nullptr) {
            if (!child.filters.empty() || child.blendMode != BlendMode::Normal) {
                return false;
            }
            addPlacement(depth, child, *h);
        }
        if (!walkContent(child, h, nesting + 1)) {
            return false;
        }
    }
    return true;
}

bool walkContent(const DisplayObject& obj, KeyHasher* h, int nesting) {
    if (h != nullptr) {
        h->add(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(obj.character)));
    }
    if (obj.character == nullptr) {
        return true;
    }
    switch (obj.character->kind) {
    case Character::Kind::Shape:
    case Character::Kind::MorphShape:
    case Character::Kind::Bitmap:
        return true;
    case Character::Kind::Text:
        return h != nullptr;
    case Character::Kind::Sprite:
        return obj.sprite == nullptr || walkClip(*obj.sprite, h, nesting);
    default:
        return false; // text fields, buttons, video, fonts
    }
}

} // namespace

bool drawnWithinBounds(const DisplayObject& obj) {
    return walkContent(obj, nullptr, 0);
}

std::optional<std::uint64_t> contentFingerprint(const DisplayObject& obj) {
    KeyHasher h{0x6c617965722d6670ull};
    if (!walkContent(obj, &h, 0)) {
        return std::nullopt;
    }
    return h.h;
}

} // namespace kinovex::flash
