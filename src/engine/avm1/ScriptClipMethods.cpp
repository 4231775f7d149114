// MovieClip's methods on the display list (attachMovie, getBounds, hitTest ...), each turning
// what the script gives into a clip operation (ClipOperations.h) and the result back.

#include "engine/avm1/ClipOperations.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptDrawingMethods.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/Utf8.h"
#include "engine/definitions/Movie.h"
#include "engine/display/ButtonHitTest.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::ClipId;
using avm1::Object;
using avm1::Value;

namespace {

// The init object of attachMovie and duplicateMovieClip: its properties are copied to the new
// clip's object, those flagged for other movie versions too.
void copyProperties(avm1::Vm& vm, Object* to, const Value& from) {
    if (!from.isObject()) {
        return;
    }
    for (const std::string& key : vm.enumerate(from.asObject())) {
        const avm1::Property* own = from.asObject()->findOwn(key);
        const bool hidden = own && !own->getter && !avm1::visibleIn(*own, vm.version());
        vm.setMember(to, key, hidden ? own->value : vm.getMember(from, key));
    }
}

// getBounds gives an object without a prototype.
Value boundsObject(avm1::Vm& vm, double xMin, double xMax, double yMin, double yMax) {
    Object* o = vm.newObjectOfClass(avm1::ObjectClass::Object, nullptr);
    vm.setMember(o, "xMin", Value(xMin));
    vm.setMember(o, "xMax", Value(xMax));
    vm.setMember(o, "yMin", Value(yMin));
    vm.setMember(o, "yMax", Value(yMax));
    return Value(o);
}

// A drawing method, which needs only the script machine.
template <Value (*Draw)(avm1::Vm&, TimelineInstance&, Args)>
Value drawingMethod(ScriptRuntime& runtime, TimelineInstance& clip, Args args) {
    return Draw(runtime.vm(), clip, args);
}

// Pixels as the whole twips a 32-bit coordinate holds: not finite is 0, larger wraps around.
double wrappedTwips(double pixels) {
    if (!std::isfinite(pixels)) {
        return 0;
    }
    const double t = std::fmod(std::trunc(pixels * 20.0), 4294967296.0);
    const double u = t < 0 ? t + 4294967296.0 : t;
    return u >= 2147483648.0 ? u - 4294967296.0 : u;
}

bool holdsNumber(const avm1::Property* p) {
    return p != nullptr && p->getter == nullptr && p->value.isNumber();
}

} // namespace

// The methods, each given the clip it was called on.
struct ClipMethods {
    // attachMovie(linkage, name, depth, init) and createEmptyMovieClip(name, depth).
    static Value attach(ScriptRuntime& r, TimelineInstance& c, Args args, bool empty) {
        avm1::Vm& vm = *r.m_vm;
        const std::string name = vm.toString(arg(args, empty ? 0 : 1));
        std::int32_t depth = 0;
        if (!scriptDepthOf(vm.toNumber(arg(args, empty ? 1 : 2)), depth)) {
            return {};
        }
        const Character* character = r.m_emptySprite.get();
        std::string linkage;
        if (!empty) {
            linkage = vm.toString(arg(args, 0));
            character =
                r.m_movie.character(r.m_movie.exportedId(avm1::movieBytes(linkage, vm.version())));
            if (character == nullptr || character->kind != Character::Kind::Sprite) {
                return {};
            }
        }
        TimelineInstance* made = attachSprite(c, *character, name, depth);
        if (made == nullptr) {
            return {};
        }
        Object* o = vm.clipObject(made->clipId());
        if (!empty) {
            copyProperties(vm, o, arg(args, 3));
        }
        if (!linkage.empty()) {
            vm.initClipClass(made->clipId(), linkage);
        }
        return Value(o);
    }

    static Value attachMovie(ScriptRuntime& r, TimelineInstance& c, Args args) {
        return attach(r, c, args, false);
    }

    static Value createEmptyMovieClip(ScriptRuntime& r, TimelineInstance& c, Args args) {
        return attach(r, c, args, true);
    }

    // duplicateMovieClip(name, depth, init)
    static Value duplicateMovieClip(ScriptRuntime& r, TimelineInstance& c, Args args) {
        avm1::Vm& vm = *r.m_vm;
        const ClipId made = r.cloneClip(
            c.clipId(), vm.toString(arg(args, 0)),
            static_cast<int>(std::clamp(avm1::toInteger(vm.toNumber(arg(args, 1))), -1e9, 1e9)));
        if (made == 0) {
            return {};
        }
        Object* o = vm.clipObject(made);
        copyProperties(vm, o, arg(args, 2));
        return Value(o);
    }

    static Value removeMovieClip(ScriptRuntime& r, TimelineInstance& c, Args) {
        r.removeClip(c.clipId());
        return {};
    }

    // removeMovieClip borrowed by a text field removes the field, as removeTextField does.
    static Value removeField(ScriptRuntime& r, const Value& self) {
        TimelineInstance* parent = nullptr;
        const DisplayObject* field = r.fieldOf(avm1::selfObject(self), &parent);
        if (field != nullptr && field->depth >= kScriptDepthBase) {
            parent->removeObject(field->depth);
            r.dropGoneFields();
        }
        return {};
    }

    static Value createTextField(ScriptRuntime& r, TimelineInstance& c, Args args) {
        return r.createTextField(c, args);
    }

    // swapDepths(depth or clip): a clip to swap with stands on the same parent; a depth is a
    // number a script may place at, from -16384 to 2130690044. Anything else moves nothing.
    static Value swapDepths(ScriptRuntime& r, TimelineInstance& c, Args args) {
        TimelineInstance* parent = c.parent();
        if (parent == nullptr) {
            return {};
        }
        const Value target = arg(args, 0);
        std::int32_t other = 0;
        if (TimelineInstance* t = r.clipOfValue(target)) {
            if (t->parent() != parent) {
                return {};
            }
            other = t->depth();
        } else if (target.isNumber()) {
            const double depth = target.asNumber();
            if (!(depth >= -16384 && depth < 2130690045) || !scriptDepthOf(depth, other)) {
                return {};
            }
        } else {
            return {};
        }
        flash::swapDepths(*parent, c.depth(), other);
        return {};
    }

    static Value getNextHighestDepth(ScriptRuntime&, TimelineInstance& c, Args) {
        return Value(static_cast<double>(nextHighestDepth(c)));
    }

    // hitTest(clip), or hitTest(x, y, shapeFlag) with a point in stage pixels: within the box, or
    // with shapeFlag on what the clip draws.
    static Value hitTest(ScriptRuntime& r, TimelineInstance& c, Args args) {
        const std::optional<Box> box = stageBox(c);
        if (!box) {
            return Value(false);
        }
        if (TimelineInstance* other = r.clipOfValue(arg(args, 0))) {
            const std::optional<Box> otherBox = stageBox(*other);
            return Value(otherBox && overlap(*box, *otherBox));
        }
        avm1::Vm& vm = *r.m_vm;
        const Point p{vm.toNumber(arg(args, 0)) * 20.0, vm.toNumber(arg(args, 1)) * 20.0};
        const bool inBox = contains(*box, p);
        if (!inBox || !vm.toBoolean(arg(args, 2))) {
            return Value(inBox);
        }
        if (!r.m_hitTester) {
            r.m_hitTester = std::make_unique<HitTester>();
        }
        return Value(r.m_hitTester->hitsClip(c, stageMatrix(c), p));
    }

    // getBounds(target): in the coordinates of `target`; of the clip itself when none is given.
    static Value getBounds(ScriptRuntime& r, TimelineInstance& c, Args args) {
        Matrix toTarget = stageMatrix(c);
        if (TimelineInstance* t = r.clipOfValue(arg(args, 0))) {
            toTarget = matrixBetween(c, *t);
        } else if (args.empty()) {
            toTarget = Matrix{};
        }
        if (const std::optional<Box> b = boundsIn(c, toTarget)) {
            return boundsObject(*r.m_vm, std::round(b->xMin) / 20.0, std::round(b->xMax) / 20.0,
                                std::round(b->yMin) / 20.0, std::round(b->yMax) / 20.0);
        }
        // An empty clip reports the largest possible box turned inside out, as the player does.
        return boundsObject(*r.m_vm, 6710886.35, 6710886.35, 6710886.35, 6710886.35);
    }

    // localToGlobal(point) and globalToLocal(point) change the point object's own x and y, only
    // when both hold numbers (not getters, not inherited; hidden ones too). The player takes
    // them as whole twips that wrap around at 32 bits.
    static Value convertPoint(TimelineInstance& c, Args args, bool toStage) {
        const Value point = arg(args, 0);
        avm1::Property* px = point.isObject() ? point.asObject()->findOwn("x") : nullptr;
        avm1::Property* py = point.isObject() ? point.asObject()->findOwn("y") : nullptr;
        if (!holdsNumber(px) || !holdsNumber(py)) {
            return {};
        }
        const Point from{wrappedTwips(px->value.asNumber()), wrappedTwips(py->value.asNumber())};
        const std::optional<Point> to =
            toStage ? std::optional(clipToStage(c, from)) : stageToClip(c, from);
        if (!to) {
            return {};
        }
        px->value = Value(to->x / 20.0);
        py->value = Value(to->y / 20.0);
        return {};
    }

    static Value localToGlobal(ScriptRuntime&, TimelineInstance& c, Args args) {
        return convertPoint(c, args, true);
    }

    static Value globalToLocal(ScriptRuntime&, TimelineInstance& c, Args args) {
        return convertPoint(c, args, false);
    }

    // startDrag(lockCenter, left, top, right, bottom)
    static Value startDrag(ScriptRuntime& r, TimelineInstance& c, Args args) {
        avm1::Vm& vm = *r.m_vm;
        if (args.size() >= 5) {
            const double rect[4] = {vm.toNumber(args[1]), vm.toNumber(args[2]),
                                    vm.toNumber(args[3]), vm.toNumber(args[4])};
            r.startDrag(c.clipId(), vm.toBoolean(arg(args, 0)), rect);
        } else {
            r.startDrag(c.clipId(), vm.toBoolean(arg(args, 0)), nullptr);
        }
        return {};
    }

    static Value stopDrag(ScriptRuntime& r, TimelineInstance&, Args) {
        r.stopDrag();
        return {};
    }

    static Value setMask(ScriptRuntime& r, TimelineInstance& c, Args args) {
        flash::setMask(c, r.clipOfValue(arg(args, 0)));
        return Value(true);
    }

    // getBytesLoaded() and getBytesTotal(): the whole movie is loaded before it starts.
    static Value movieBytes(ScriptRuntime& r, TimelineInstance& c, Args) {
        return Value(r.clipBytes(c));
    }

    // loadMovie and getURL: no movie is loaded from outside the movie.
    static Value load(ScriptRuntime& r, TimelineInstance&, Args args) {
        r.getUrl(r.m_vm->toString(arg(args, 0)), {}, 0);
        return {};
    }

    // loadMovie with no address unloads the clip's movie.
    static Value loadMovie(ScriptRuntime& r, TimelineInstance& c, Args args) {
        if (r.m_vm->toString(arg(args, 0)).empty()) {
            r.unloadMovieLater(c.clipId());
            return {};
        }
        return load(r, c, args);
    }

    // loadVariables(url): the file's variables come onto the clip on a later frame.
    static Value loadVariables(ScriptRuntime& r, TimelineInstance& c, Args args) {
        r.loadVariables(r.m_vm->toString(arg(args, 0)), r.m_vm->clipObject(c.clipId()));
        return {};
    }

    static Value unloadMovie(ScriptRuntime& r, TimelineInstance& c, Args) {
        r.removeClip(c.clipId());
        return {};
    }

    // Sounds attached to clips are not played (Sound.attachSound is).
    static Value attachSound(ScriptRuntime& r, TimelineInstance&, Args) {
        const std::string key = "method attachSound";
        if (r.m_reported.size() < 64 && r.m_reported.insert(key).second) {
            r.report("MovieClip.attachSound is not supported");
        }
        return {};
    }

    // getInstanceAtDepth(depth): a depth that is not a finite number (null, a word) is 0.
    static Value getInstanceAtDepth(ScriptRuntime& r, TimelineInstance& c, Args args) {
        if (arg(args, 0).isUndefined()) {
            return {};
        }
        const double n = r.m_vm->toNumber(arg(args, 0));
        std::int32_t depth = 0;
        if (!scriptDepthOf(std::isfinite(n) ? n : 0.0, depth)) {
            return {};
        }
        TimelineInstance* found = clipAtDepth(c, depth);
        return found != nullptr ? Value(r.m_vm->clipObject(found->clipId())) : Value();
    }
};

void ScriptRuntime::installClipMethods() {
    using Method = Value (*)(ScriptRuntime&, TimelineInstance&, Args);
    // Methods the player has from version 6 or 7 on are hidden from the scripts of older movies.
    constexpr avm1::PropFlags kSince5 = avm1::kDontEnum | avm1::kDontDelete;
    constexpr avm1::PropFlags kSince6 = kSince5 | avm1::kFromVersion6;
    constexpr avm1::PropFlags kSince7 = kSince5 | avm1::kFromVersion7;
    struct Entry {
        const char* name;
        Method method;
        avm1::PropFlags flags;
        Value (*onOther)(ScriptRuntime&, const Value& self) = nullptr; // called on a non-clip
    };
    static constexpr Entry kMethods[] = {
        {"attachMovie", ClipMethods::attachMovie, kSince5},
        {"duplicateMovieClip", ClipMethods::duplicateMovieClip, kSince5},
        {"removeMovieClip", ClipMethods::removeMovieClip, kSince5, ClipMethods::removeField},
        {"createEmptyMovieClip", ClipMethods::createEmptyMovieClip, kSince6},
        {"createTextField", ClipMethods::createTextField, kSince5},
        {"swapDepths", ClipMethods::swapDepths, kSince5},
        {"getNextHighestDepth", ClipMethods::getNextHighestDepth, kSince5},
        {"hitTest", ClipMethods::hitTest, kSince5},
        {"getBounds", ClipMethods::getBounds, kSince5},
        {"localToGlobal", ClipMethods::localToGlobal, kSince5},
        {"globalToLocal", ClipMethods::globalToLocal, kSince5},
        {"startDrag", ClipMethods::startDrag, kSince5},
        {"stopDrag", ClipMethods::stopDrag, kSince5},
        {"beginFill", drawingMethod<drawing::beginFill>, kSince6},
        {"beginGradientFill", drawingMethod<drawing::beginGradientFill>, kSince6},
        {"lineStyle", drawingMethod<drawing::lineStyle>, kSince6},
        {"moveTo", drawingMethod<drawing::moveTo>, kSince6},
        {"lineTo", drawingMethod<drawing::lineTo>, kSince6},
        {"curveTo", drawingMethod<drawing::curveTo>, kSince6},
        {"endFill", drawingMethod<drawing::endFill>, kSince6},
        {"clear", drawingMethod<drawing::clear>, kSince6},
        {"setMask", ClipMethods::setMask, kSince6},
        {"getBytesLoaded", ClipMethods::movieBytes, kSince5},
        {"getBytesTotal", ClipMethods::movieBytes, kSince5},
        {"loadMovie", ClipMethods::loadMovie, kSince5},
        {"unloadMovie", ClipMethods::unloadMovie, kSince5},
        {"loadVariables", ClipMethods::loadVariables, kSince5},
        {"getURL", ClipMethods::load, kSince5},
        {"attachSound", ClipMethods::attachSound, kSince5},
        {"getInstanceAtDepth", ClipMethods::getInstanceAtDepth, kSince7},
    };
    // A method runs on the clip its object stands for; on anything else (a clip that has gone,
    // a button, another object) it gives undefined, unless it has something to do there too.
    for (const Entry& e : kMethods) {
        m_vm->setFunction(
            m_vm->clipPrototype(), e.name,
            [this, run = e.method, other = e.onOther](avm1::Vm&, const Value& self,
                                                      Args args) -> Value {
                if (TimelineInstance* c = clipOfValue(self)) {
                    return run(*this, *c, args);
                }
                return other != nullptr ? other(*this, self) : Value();
            },
            e.flags);
    }
    // createTextField is also ASnative(104, 200).
    const avm1::Property* create = m_vm->clipPrototype()->findOwn("createTextField");
    m_vm->registerNative(104, 200, create->value.asObject());
    // getSWFVersion(): the version of the movie a clip or a text field comes from; -1 for
    // anything else.
    m_vm->setFunction(
        m_vm->clipPrototype(), "getSWFVersion",
        [this](avm1::Vm&, const Value& self, Args) {
            const bool ours = clipOfValue(self) != nullptr || fieldOf(avm1::selfObject(self));
            return Value(ours ? static_cast<double>(m_movie.version()) : -1.0);
        },
        kSince5);
}

TimelineInstance* ScriptRuntime::clipOfValue(const Value& v) const {
    if (v.isObject() && v.asObject()->objectClass() == avm1::ObjectClass::Clip) {
        return clip(v.asObject()->clip());
    }
    return nullptr;
}

} // namespace kinovex::flash
