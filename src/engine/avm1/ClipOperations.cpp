#include "engine/avm1/ClipOperations.h"

#include "engine/definitions/Characters.h"
#include "engine/display/ScriptDrawing.h"
#include "engine/display/TextField.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

Matrix stageMatrix(const TimelineInstance& clip) {
    Matrix m;
    for (const TimelineInstance* c = &clip; c != nullptr; c = c->parent()) {
        if (const DisplayObject* obj = c->owner()) {
            m = obj->matrix * m;
        }
    }
    return m;
}

Box boxOf(const Matrix& m, const Rect& r) {
    const double xs[4] = {double(r.xMin), double(r.xMax), double(r.xMin), double(r.xMax)};
    const double ys[4] = {double(r.yMin), double(r.yMin), double(r.yMax), double(r.yMax)};
    Box box{1e300, 1e300, -1e300, -1e300};
    for (int i = 0; i < 4; ++i) {
        const double x = m.a * xs[i] + m.c * ys[i] + m.tx;
        const double y = m.b * xs[i] + m.d * ys[i] + m.ty;
        box.xMin = std::min(box.xMin, x);
        box.yMin = std::min(box.yMin, y);
        box.xMax = std::max(box.xMax, x);
        box.yMax = std::max(box.yMax, y);
    }
    return box;
}

Matrix matrixBetween(const TimelineInstance& clip, const TimelineInstance& target) {
    const Matrix toStage = stageMatrix(clip);
    const Matrix s = stageMatrix(target);
    const double det = s.a * s.d - s.b * s.c;
    if (det == 0) {
        return toStage;
    }
    const Matrix inv{s.d / det,
                     -s.b / det,
                     -s.c / det,
                     s.a / det,
                     (s.c * s.ty - s.d * s.tx) / det,
                     (s.b * s.tx - s.a * s.ty) / det};
    return inv * toStage;
}

std::optional<Box> boundsIn(const TimelineInstance& clip, const Matrix& toTarget) {
    const Rect local = localBounds(clip);
    if (isEmpty(local)) {
        return std::nullopt;
    }
    return boxOf(toTarget, local);
}

std::optional<Box> stageBox(const TimelineInstance& clip) {
    return boundsIn(clip, stageMatrix(clip));
}

bool overlap(const Box& a, const Box& b) {
    return a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax;
}

bool contains(const Box& box, Point p) {
    return p.x >= box.xMin && p.x <= box.xMax && p.y >= box.yMin && p.y <= box.yMax;
}

Point clipToStage(const TimelineInstance& clip, Point local) {
    const Matrix s = stageMatrix(clip);
    return Point{s.a * local.x + s.c * local.y + s.tx, s.b * local.x + s.d * local.y + s.ty};
}

std::optional<Point> stageToClip(const TimelineInstance& clip, Point stage) {
    const Matrix s = stageMatrix(clip);
    const double det = s.a * s.d - s.b * s.c;
    if (det == 0) {
        return std::nullopt;
    }
    const double px = stage.x - s.tx;
    const double py = stage.y - s.ty;
    return Point{(s.d * px - s.c * py) / det, (-s.b * px + s.a * py) / det};
}

TimelineInstance* attachSprite(TimelineInstance& parent, const Character& character,
                               std::string name, std::int32_t depth) {
    DisplayObject& obj = parent.addObject(depth, character, std::move(name));
    return obj.sprite.get();
}

std::int64_t nextHighestDepth(const TimelineInstance& clip) {
    std::int64_t highest = -1;
    for (const auto& [depth, obj] : clip.displayList()) {
        highest = std::max<std::int64_t>(highest, depth - kScriptDepthBase);
    }
    return highest + 1;
}

TimelineInstance* clipAtDepth(TimelineInstance& clip, std::int32_t depth) {
    auto it = clip.displayList().find(depth);
    return it != clip.displayList().end() ? it->second.sprite.get() : nullptr;
}

void setMask(TimelineInstance& clip, TimelineInstance* mask) {
    if (TimelineInstance* old = clip.scriptMask()) {
        old->setMaskedClip(nullptr);
        clip.setScriptMask(nullptr);
    }
    if (mask == nullptr || mask == &clip) {
        return;
    }
    if (TimelineInstance* before = mask->maskedClip()) {
        before->setScriptMask(nullptr);
    }
    clip.setScriptMask(mask);
    mask->setMaskedClip(&clip);
}

void swapDepths(TimelineInstance& parent, std::int32_t a, std::int32_t b) {
    parent.swapDepths(a, b);
    for (const std::int32_t d : {a, b}) {
        auto it = parent.displayList().find(d);
        if (it != parent.displayList().end()) {
            it->second.scriptTransformed = true;
        }
    }
}

} // namespace kinovex::flash
