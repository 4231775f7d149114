// flash.geom.Transform: a clip's matrix and colour transform as scripts see them. Reading gives
// copies; writing applies to the clip.

#include "engine/avm1/ClipOperations.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/builtins/Geom.h"

#include <cmath>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

constexpr const char* kHostClass = "Transform";

double fixed88(double v) {
    return static_cast<double>(std::lround(v * 256.0));
}

// `inner` seen through `outer`, in the player's 8.8 fixed point for the multipliers.
ColorTransform through(const ColorTransform& outer, const ColorTransform& inner) {
    const auto mult = [](double o, double i) {
        return std::floor(fixed88(o) * fixed88(i) / 256.0) / 256.0;
    };
    const auto add = [](double oMult, double oAdd, double iAdd) {
        return oAdd + std::floor(fixed88(oMult) * iAdd / 256.0);
    };
    return {mult(outer.rMult, inner.rMult),           mult(outer.gMult, inner.gMult),
            mult(outer.bMult, inner.bMult),           mult(outer.aMult, inner.aMult),
            add(outer.rMult, outer.rAdd, inner.rAdd), add(outer.gMult, outer.gAdd, inner.gAdd),
            add(outer.bMult, outer.bAdd, inner.bAdd), add(outer.aMult, outer.aAdd, inner.aAdd)};
}

Value matrixValue(avm1::Vm& vm, const Matrix& m) {
    const Value fields[] = {Value(m.a), Value(m.b),         Value(m.c),
                            Value(m.d), Value(m.tx / 20.0), Value(m.ty / 20.0)};
    return avm1::newGeom(vm, "Matrix", fields);
}

// A matrix from an object that has all six members; nothing when one is missing.
std::optional<Matrix> matrixFrom(avm1::Vm& vm, const Value& v) {
    if (!v.isObject()) {
        return std::nullopt;
    }
    double f[6];
    const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
    for (int i = 0; i < 6; ++i) {
        const Value m = vm.getMember(v, names[i]);
        if (m.isUndefined()) {
            return std::nullopt;
        }
        f[i] = vm.toNumber(m);
    }
    return Matrix{f[0], f[1], f[2], f[3], f[4] * 20.0, f[5] * 20.0};
}

} // namespace

ColorTransform* ScriptRuntime::colorOfClip(avm1::ClipId id) {
    if (id != 0 && id == rootClip()) {
        return &m_rootColor;
    }
    DisplayObject* obj = id != 0 ? objectOf(id) : nullptr;
    return obj != nullptr ? &obj->colorTransform : nullptr;
}

TimelineInstance* ScriptRuntime::transformTarget(const Value& self) const {
    Object* o = avm1::selfObject(self);
    if (o == nullptr || o->hostClass() != kHostClass) {
        return nullptr;
    }
    return clipOfValue(o->primitive());
}

void ScriptRuntime::installTransformClass() {
    avm1::Vm& vm = *m_vm;
    Object* proto = vm.newObject();
    // Before version 8 a Transform is an object with nothing behind it.
    avm1::defineGeomClass(
        vm, "Transform",
        [](avm1::Vm& v, const Value& self, Args args) {
            Object* o = avm1::selfObject(self);
            if (o != nullptr && v.version() >= 8) {
                o->setHostClass(kHostClass);
                o->primitive() = arg(args, 0);
            }
            return Value();
        },
        proto);
    avm1::setGeomProperty(
        vm, proto, "matrix",
        [this](avm1::Vm& v, const Value& self, Args) {
            TimelineInstance* c = transformTarget(self);
            if (c == nullptr) {
                return Value();
            }
            DisplayObject* obj = c->owner();
            return matrixValue(v, obj != nullptr ? obj->matrix : Matrix{});
        },
        [this](avm1::Vm& v, const Value& self, Args args) {
            TimelineInstance* c = transformTarget(self);
            DisplayObject* obj = c != nullptr ? c->owner() : nullptr;
            if (obj != nullptr) {
                if (std::optional<Matrix> m = matrixFrom(v, arg(args, 0))) {
                    obj->matrix = *m;
                    obj->scriptTransformed = true;
                }
            }
            return Value();
        });
    avm1::setGeomProperty(
        vm, proto, "colorTransform",
        [this](avm1::Vm& v, const Value& self, Args) {
            TimelineInstance* c = transformTarget(self);
            ColorTransform* cx = c != nullptr ? colorOfClip(c->clipId()) : nullptr;
            return cx != nullptr ? avm1::newColorTransform(v, *cx) : Value();
        },
        [this](avm1::Vm&, const Value& self, Args args) {
            TimelineInstance* c = transformTarget(self);
            ColorTransform* cx = c != nullptr ? colorOfClip(c->clipId()) : nullptr;
            const std::optional<ColorTransform> given = avm1::colorTransformOf(arg(args, 0));
            if (cx != nullptr && given) {
                *cx = {fixedMultiplier(given->rMult * 100),
                       fixedMultiplier(given->gMult * 100),
                       fixedMultiplier(given->bMult * 100),
                       fixedMultiplier(given->aMult * 100),
                       std::trunc(given->rAdd),
                       std::trunc(given->gAdd),
                       std::trunc(given->bAdd),
                       std::trunc(given->aAdd)};
            }
            return Value();
        });
    installConcatenatedTransforms(proto);
    installClipTransform();
}

// MovieClip's transform: a new Transform of the clip each time; setting one copies its matrix
// and colour transform onto the clip.
void ScriptRuntime::installClipTransform() {
    avm1::Vm& vm = *m_vm;
    avm1::setGeomProperty(
        vm, vm.clipPrototype(), "transform",
        [](avm1::Vm& v, const Value& self, Args) {
            const Value clip[] = {self};
            return avm1::newGeom(v, "Transform", clip);
        },
        [](avm1::Vm& v, const Value& self, Args args) {
            const Value clip[] = {self};
            const Value own = avm1::newGeom(v, "Transform", clip);
            for (const char* name : {"matrix", "colorTransform"}) {
                v.setMember(own, name, v.getMember(arg(args, 0), name));
            }
            return Value();
        });
    if (avm1::Property* p = vm.clipPrototype()->findOwn("transform")) {
        p->flags = avm1::kDontEnum | avm1::kDontDelete | avm1::kFromVersion8;
    }
}

void ScriptRuntime::installConcatenatedTransforms(Object* proto) {
    avm1::Vm& vm = *m_vm;
    avm1::setGeomProperty(vm, proto, "concatenatedMatrix",
                          [this](avm1::Vm& v, const Value& self, Args) {
                              TimelineInstance* c = transformTarget(self);
                              return c != nullptr ? matrixValue(v, stageMatrix(*c)) : Value();
                          });
    avm1::setGeomProperty(vm, proto, "concatenatedColorTransform",
                          [this](avm1::Vm& v, const Value& self, Args) {
                              TimelineInstance* c = transformTarget(self);
                              if (c == nullptr) {
                                  return Value();
                              }
                              std::vector<TimelineInstance*> chain;
                              for (TimelineInstance* at = c; at != nullptr; at = at->parent()) {
                                  chain.push_back(at);
                              }
                              ColorTransform total;
                              for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                                  if (ColorTransform* cx = colorOfClip((*it)->clipId())) {
                                      total = through(total, *cx);
                                  }
                              }
                              return avm1::newColorTransform(v, total);
                          });
    avm1::setGeomProperty(vm, proto, "pixelBounds", [this](avm1::Vm& v, const Value& self, Args) {
        TimelineInstance* c = transformTarget(self);
        if (c == nullptr) {
            return Value();
        }
        const Box b = boxOf(stageMatrix(*c), localBounds(*c));
        const Value xywh[] = {Value(std::floor(b.xMin / 20.0)), Value(std::floor(b.yMin / 20.0)),
                              Value(std::ceil((b.xMax - b.xMin) / 20.0)),
                              Value(std::ceil((b.yMax - b.yMin) / 20.0))};
        return avm1::newGeom(v, "Rectangle", xywh);
    });
}

} // namespace kinovex::flash
