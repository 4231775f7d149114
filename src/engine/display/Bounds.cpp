#include "engine/display/Bounds.h"

#include "engine/definitions/Characters.h"
#include "engine/display/Button.h"
#include "engine/display/ScriptDrawing.h"
#include "engine/display/TextField.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

namespace {

// The nearest whole twip, halves away from zero, within +-2e9, as std::round and a clamp give
// it, without a call into the maths library: within the clamp, the truncated value and what
// is left after it are exact. A box that is not a number (a broken matrix) is at 0.
std::int32_t clampTwips(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    const double c = std::clamp(v, -2e9, 2e9);
    auto whole = static_cast<std::int32_t>(c);
    const double rest = c - static_cast<double>(whole);
    if (rest >= 0.5) {
        ++whole;
    } else if (rest <= -0.5) {
        --whole;
    }
    return whole;
}

} // namespace

Rect transformRect(const Matrix& m, const Rect& r) {
    if (m.b == 0.0 && m.c == 0.0) {
        // Neither turned nor skewed (most objects): each side maps to a side.
        const double x0 = m.a * r.xMin + m.tx, x1 = m.a * r.xMax + m.tx;
        const double y0 = m.d * r.yMin + m.ty, y1 = m.d * r.yMax + m.ty;
        return Rect{clampTwips(std::min(x0, x1)), clampTwips(std::max(x0, x1)),
                    clampTwips(std::min(y0, y1)), clampTwips(std::max(y0, y1))};
    }
    const double xs[4] = {static_cast<double>(r.xMin), static_cast<double>(r.xMax),
                          static_cast<double>(r.xMin), static_cast<double>(r.xMax)};
    const double ys[4] = {static_cast<double>(r.yMin), static_cast<double>(r.yMin),
                          static_cast<double>(r.yMax), static_cast<double>(r.yMax)};
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (int i = 0; i < 4; ++i) {
        const double x = m.a * xs[i] + m.c * ys[i] + m.tx;
        const double y = m.b * xs[i] + m.d * ys[i] + m.ty;
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    return Rect{clampTwips(x0), clampTwips(x1), clampTwips(y0), clampTwips(y1)};
}

bool isEmpty(const Rect& r) {
    return r.xMin == 0 && r.xMax == 0 && r.yMin == 0 && r.yMax == 0;
}

void unite(Rect& into, const Rect& r, bool& any) {
    if (!any) {
        into = r;
        any = true;
        return;
    }
    into.xMin = std::min(into.xMin, r.xMin);
    into.yMin = std::min(into.yMin, r.yMin);
    into.xMax = std::max(into.xMax, r.xMax);
    into.yMax = std::max(into.yMax, r.yMax);
}

Rect localBounds(const TimelineInstance& clip) {
    Rect out = listBounds(clip.displayList());
    if (const auto& drawing = clip.drawing(); drawing && !drawing->empty()) {
        bool any = !isEmpty(out);
        unite(out, drawing->bounds(), any);
    }
    return out;
}

std::optional<Rect> contentBounds(const DisplayObject& obj) {
    if (obj.character == nullptr) {
        return std::nullopt;
    }
    Rect r;
    bool has = true;
    switch (obj.character->kind) {
    case Character::Kind::Shape:
        r = static_cast<const Shape*>(obj.character)->bounds;
        break;
    case Character::Kind::MorphShape: {
        const auto* m = static_cast<const MorphShape*>(obj.character);
        r = m->startBounds;
        bool one = true;
        unite(r, m->endBounds, one);
        break;
    }
    case Character::Kind::Text: {
        const auto* t = static_cast<const StaticText*>(obj.character);
        r = transformRect(t->matrix, t->bounds);
        break;
    }
    case Character::Kind::EditText:
        r = obj.textField ? obj.textField->box()
                          : static_cast<const EditText*>(obj.character)->bounds;
        break;
    case Character::Kind::Bitmap: {
        const auto* b = static_cast<const BitmapCharacter*>(obj.character);
        r = Rect{0, b->width * 20, 0, b->height * 20};
        break;
    }
    case Character::Kind::Sprite:
        if (obj.sprite) {
            r = localBounds(*obj.sprite);
            has = !isEmpty(r);
        } else {
            has = false;
        }
        break;
    case Character::Kind::Button:
        // The look the button shows now.
        r = obj.button ? listBounds(obj.button->displayList()) : Rect{};
        has = !isEmpty(r);
        break;
    default:
        has = false;
        break;
    }
    if (!has) {
        return std::nullopt;
    }
    return r;
}

Rect listBounds(const DisplayList& list) {
    Rect out;
    bool any = false;
    for (const auto& [depth, obj] : list) {
        if (const std::optional<Rect> r = contentBounds(obj)) {
            unite(out, transformRect(obj.matrix, *r), any);
        }
    }
    return out;
}
} // namespace kinovex::flash
