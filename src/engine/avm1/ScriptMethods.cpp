// The methods scripts call on clips (attachMovie, getBounds, hitTest ...).

#include "engine/avm1/ClipOperations.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/definitions/Movie.h"
#include "engine/display/ButtonHitTest.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace kinovex::flash {

using avm1::arg;
using avm1::ClipId;
using avm1::Object;
using avm1::Value;

TimelineInstance* ScriptRuntime::clipOfValue(const Value& v) const {
    if (v.isObject() && v.asObject()->objectClass() == avm1::ObjectClass::Clip) {
        return clip(v.asObject()->clip());
    }
    return nullptr;
}

TimelineInstance* ScriptRuntime::attach(TimelineInstance& parent, const Character& character,
                                        std::string name, std::int32_t depth) {
    DisplayObject& obj = parent.addObject(depth, character, std::move(name));
    return obj.sprite.get();
}

Value ScriptRuntime::callClipMethod(avm1::Vm&, ClipId id, std::string_view method,
                                    std::span<const Value> args) {
    TimelineInstance* c = clip(id);
    if (c == nullptr) {
        return {};
    }
    const Value result = clipMethod(*c, method, args);
    return result;
}

Value ScriptRuntime::clipMethod(TimelineInstance& c, std::string_view method,
                                std::span<const Value> args) {
    avm1::Vm& vm = *m_vm;
    const ClipId id = c.clipId();
    if (method == "attachMovie" || method == "createEmptyMovieClip") {
        const bool empty = method == "createEmptyMovieClip";
        const std::string name = vm.toString(arg(args, empty ? 0 : 1));
        std::int32_t depth = 0;
        if (!scriptDepthOf(vm.toNumber(arg(args, empty ? 1 : 2)), depth)) {
            return {};
        }
        const Character* character = m_emptySprite.get();
        std::string linkage;
        if (!empty) {
            linkage = vm.toString(arg(args, 0));
            character = m_movie.character(m_movie.exportedId(linkage));
            if (character == nullptr || character->kind != Character::Kind::Sprite) {
                return {};
            }
        }
        TimelineInstance* made = attach(c, *character, name, depth);
        if (made == nullptr) {
            return {};
        }
        Object* o = vm.clipObject(made->clipId());
        const Value init = arg(args, 3);
        if (!empty && init.isObject()) {
            for (const std::string& key : vm.enumerate(init.asObject())) {
                vm.setMember(o, key, vm.getMember(init, key));
            }
        }
        if (!linkage.empty()) {
            vm.initClipClass(made->clipId(), linkage);
        }
        return Value(o);
    }
    if (method == "duplicateMovieClip") {
        const ClipId made = cloneClip(
            id, vm.toString(arg(args, 0)),
            static_cast<int>(std::clamp(avm1::toInteger(vm.toNumber(arg(args, 1))), -1e9, 1e9)));
        if (made == 0) {
            return {};
        }
        Object* o = vm.clipObject(made);
        const Value init = arg(args, 2);
        if (init.isObject()) {
            for (const std::string& key : vm.enumerate(init.asObject())) {
                vm.setMember(o, key, vm.getMember(init, key));
            }
        }
        return Value(o);
    }
    if (method == "removeMovieClip") {
        removeClip(id);
        return {};
    }
    if (method == "getNextHighestDepth") {
        std::int64_t highest = -1;
        for (const auto& [depth, obj] : c.displayList()) {
            highest = std::max<std::int64_t>(highest, depth - kScriptDepthBase);
        }
        return Value(static_cast<double>(highest + 1));
    }
    if (method == "getInstanceAtDepth") {
        std::int32_t depth = 0;
        if (!scriptDepthOf(vm.toNumber(arg(args, 0)), depth)) {
            return {};
        }
        auto it = c.displayList().find(depth);
        if (it == c.displayList().end() || !it->second.sprite) {
            return {};
        }
        return Value(vm.clipObject(it->second.sprite->clipId()));
    }
    if (method == "swapDepths") {
        TimelineInstance* parent = c.parent();
        if (parent == nullptr) {
            return {};
        }
        const Value target = arg(args, 0);
        std::int32_t other = 0;
        if (TimelineInstance* t = clipOfValue(target)) {
            if (t->parent() != parent) {
                return {};
            }
            other = t->depth();
        } else if (!scriptDepthOf(vm.toNumber(target), other)) {
            return {};
        }
        const std::int32_t own = c.depth();
        parent->swapDepths(own, other);
        // Both moved by a script: the timeline's moves at their old depths are not about them.
        for (const std::int32_t d : {own, other}) {
            auto it = parent->displayList().find(d);
            if (it != parent->displayList().end()) {
                it->second.scriptTransformed = true;
            }
        }
        return {};
    }
    if (method == "getBounds") {
        // In the coordinates of `target` (the clip itself when none is given).
        const Rect local = localBounds(c);
        Matrix toTarget = stageMatrix(c);
        if (TimelineInstance* t = clipOfValue(arg(args, 0))) {
            const Matrix s = stageMatrix(*t);
            const double det = s.a * s.d - s.b * s.c;
            if (det != 0) {
                const Matrix inv{s.d / det,
                                 -s.b / det,
                                 -s.c / det,
                                 s.a / det,
                                 (s.c * s.ty - s.d * s.tx) / det,
                                 (s.b * s.tx - s.a * s.ty) / det};
                toTarget = inv * toTarget;
            }
        } else if (args.empty()) {
            toTarget = Matrix{};
        }
        Rect r = local;
        if (!(local.xMin == 0 && local.xMax == 0 && local.yMin == 0 && local.yMax == 0)) {
            const double xs[4] = {double(r.xMin), double(r.xMax), double(r.xMin), double(r.xMax)};
            const double ys[4] = {double(r.yMin), double(r.yMin), double(r.yMax), double(r.yMax)};
            double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
            for (int i = 0; i < 4; ++i) {
                const double x = toTarget.a * xs[i] + toTarget.c * ys[i] + toTarget.tx;
                const double y = toTarget.b * xs[i] + toTarget.d * ys[i] + toTarget.ty;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
            Object* o = vm.newObject();
            vm.setMember(o, "xMin", Value(std::round(x0) / 20.0));
            vm.setMember(o, "xMax", Value(std::round(x1) / 20.0));
            vm.setMember(o, "yMin", Value(std::round(y0) / 20.0));
            vm.setMember(o, "yMax", Value(std::round(y1) / 20.0));
            return Value(o);
        }
        // An empty clip reports the largest possible box turned inside out, as the player does.
        Object* o = vm.newObject();
        vm.setMember(o, "xMin", Value(6710886.35));
        vm.setMember(o, "xMax", Value(6710886.35));
        vm.setMember(o, "yMin", Value(6710886.35));
        vm.setMember(o, "yMax", Value(6710886.35));
        return Value(o);
    }
    if (method == "hitTest") {
        const Rect local = localBounds(c);
        const Matrix s = stageMatrix(c);
        auto stageBox = [&](const Rect& r, const Matrix& m) {
            const double xs[4] = {double(r.xMin), double(r.xMax), double(r.xMin), double(r.xMax)};
            const double ys[4] = {double(r.yMin), double(r.yMin), double(r.yMax), double(r.yMax)};
            double out[4] = {1e300, 1e300, -1e300, -1e300};
            for (int i = 0; i < 4; ++i) {
                const double x = m.a * xs[i] + m.c * ys[i] + m.tx;
                const double y = m.b * xs[i] + m.d * ys[i] + m.ty;
                out[0] = std::min(out[0], x);
                out[1] = std::min(out[1], y);
                out[2] = std::max(out[2], x);
                out[3] = std::max(out[3], y);
            }
            return std::array<double, 4>{out[0], out[1], out[2], out[3]};
        };
        if (local.xMin == 0 && local.xMax == 0 && local.yMin == 0 && local.yMax == 0) {
            return Value(false);
        }
        const auto box = stageBox(local, s);
        if (TimelineInstance* other = clipOfValue(arg(args, 0))) {
            const Rect o = localBounds(*other);
            if (o.xMin == 0 && o.xMax == 0 && o.yMin == 0 && o.yMax == 0) {
                return Value(false);
            }
            const auto ob = stageBox(o, stageMatrix(*other));
            return Value(box[0] <= ob[2] && ob[0] <= box[2] && box[1] <= ob[3] && ob[1] <= box[3]);
        }
        // A point in stage pixels: within the box, or with shapeFlag on what the clip draws.
        const double x = vm.toNumber(arg(args, 0)) * 20.0;
        const double y = vm.toNumber(arg(args, 1)) * 20.0;
        const bool inBox = x >= box[0] && x <= box[2] && y >= box[1] && y <= box[3];
        if (!inBox || !vm.toBoolean(arg(args, 2))) {
            return Value(inBox);
        }
        if (!m_hitTester) {
            m_hitTester = std::make_unique<HitTester>();
        }
        const Point p{x, y};
        return Value(m_hitTester->hitsClip(c, s, p));
    }
    if (method == "localToGlobal" || method == "globalToLocal") {
        const Value point = arg(args, 0);
        if (!point.isObject()) {
            return {};
        }
        const double x = vm.toNumber(vm.getMember(point, "x")) * 20.0;
        const double y = vm.toNumber(vm.getMember(point, "y")) * 20.0;
        const Matrix s = stageMatrix(c);
        double nx = 0, ny = 0;
        if (method == "localToGlobal") {
            nx = s.a * x + s.c * y + s.tx;
            ny = s.b * x + s.d * y + s.ty;
        } else {
            const double det = s.a * s.d - s.b * s.c;
            if (det == 0) {
                return {};
            }
            const double px = x - s.tx;
            const double py = y - s.ty;
            nx = (s.d * px - s.c * py) / det;
            ny = (-s.b * px + s.a * py) / det;
        }
        vm.setMember(point, "x", Value(nx / 20.0));
        vm.setMember(point, "y", Value(ny / 20.0));
        return {};
    }
    if (method == "startDrag") {
        if (args.size() >= 5) {
            const double rect[4] = {vm.toNumber(args[1]), vm.toNumber(args[2]),
                                    vm.toNumber(args[3]), vm.toNumber(args[4])};
            startDrag(id, vm.toBoolean(arg(args, 0)), rect);
        } else {
            startDrag(id, vm.toBoolean(arg(args, 0)), nullptr);
        }
        return {};
    }
    if (method == "stopDrag") {
        stopDrag();
        return {};
    }
    if (method == "getBytesLoaded" || method == "getBytesTotal") {
        // The whole movie is loaded before it starts.
        return Value(static_cast<double>(std::max<std::uint32_t>(m_movie.declaredLength(), 1)));
    }
    if (method == "loadMovie" || method == "loadVariables" || method == "getURL") {
        getUrl(vm.toString(arg(args, 0)), {}, 0);
        return {};
    }
    if (method == "unloadMovie") {
        removeClip(id);
        return {};
    }
    return contentMethod(c, method, args);
}

} // namespace kinovex::flash
