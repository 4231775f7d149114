// Which interactive object the pointer is over: the script side of the display tree is walked
// from the top child down, each object tested with the display layer's hit tests (the fills
// of shapes, the boxes of texts, a button's hit area, within the timeline's masks), and what is
// hit hands the mouse to its nearest ancestor that takes it.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/display/ButtonHitTest.h"

namespace kinovex::flash::display_natives {

namespace {

constexpr int kMaxPickNesting = 64;

struct Pick {
    Avm2Runtime& rt;
    Machine& vm;
    HitTester& hit;
    Point p;
    ClassInfo* button;
};

// A switch of InteractiveObject or DisplayObjectContainer that is on until a script sets it.
bool switchOn(Object* o, const char* field) {
    const Value v = hidden(o, field);
    return v.isUndefined() || Machine::toBoolean(v);
}

bool isMask(Object* o) {
    const DisplayObject* d = placed(o);
    return d != nullptr && d->clipDepth != 0;
}

Object* deepest(Pick& k, Object* o, const Matrix& parent, int nesting);

// A mask of `o`'s timeline covers the child and leaves the point out (`full` maps `o`'s space
// to the stage's).
bool maskedOut(Pick& k, Object* o, Object* child, const Matrix& full) {
    const DisplayObject* d = placed(child);
    if (o->clip == nullptr || d == nullptr) {
        return false;
    }
    for (const auto& [depth, mask] : o->clip->displayList()) {
        if (mask.clipDepth != 0 && depth < d->depth && d->depth <= mask.clipDepth) {
            return !k.hit.hitsObject(mask, full, k.p);
        }
    }
    return false;
}

// A button is hit on its hit area alone; `full` maps its space to the stage's.
bool hitsButton(Pick& k, Object* o, const Matrix& full, int nesting) {
    if (const DisplayObject* d = placed(o); d != nullptr && d->button) {
        return k.hit.hitsButtonArea(*d->button, full, k.p);
    }
    const Value area = hidden(o, "hitTestState");
    return area.isObject() && deepest(k, area.o, full, nesting + 1) != nullptr;
}

// What the object shows itself, beneath its children: a clip's or a script's drawing, or
// what the timeline placed for an object with no timeline of its own.
bool hitsOwn(Pick& k, Object* o, const Matrix& parent, const Matrix& full) {
    if (o->clip != nullptr) {
        return k.hit.hitsDrawing(*o->clip, full, k.p);
    }
    if (o->drawing && k.hit.hitsDrawing(o->drawing.get(), full, k.p)) {
        return true;
    }
    const DisplayObject* d = placed(o);
    return d != nullptr && k.hit.hitsObject(*d, parent, k.p);
}

// The deepest object of `o`'s subtree under the point, or `o` itself for a hit beneath a
// container whose children take no mouse; null for none. `parent` maps `o`'s parent's space
// to the stage's.
Object* deepest(Pick& k, Object* o, const Matrix& parent, int nesting) {
    if (nesting > kMaxPickNesting || isMask(o) ||
        !Machine::toBoolean(doVisible(k.vm, Value::obj(o), {}))) {
        return nullptr;
    }
    const Matrix full = parent * objectMatrix(o);
    if (k.vm.isInstance(Value::obj(o), k.button)) {
        return hitsButton(k, o, full, nesting) ? o : nullptr;
    }
    k.rt.syncTimelineObjects(o);
    const std::vector<Object*> children = o->children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (maskedOut(k, o, *it, full)) {
            continue;
        }
        if (Object* hit = deepest(k, *it, full, nesting + 1)) {
            return switchOn(o, "mouseChildren") ? hit : o;
        }
    }
    return hitsOwn(k, o, parent, full) ? o : nullptr;
}

} // namespace

Object* mouseTarget(Avm2Runtime& rt, Machine& vm, Point p) {
    Object* stage = rt.stageObject();
    if (!switchOn(stage, "mouseChildren")) {
        return stage;
    }
    Pick k{rt, vm, rt.hitTester(), p, vm.builtin("flash.display.SimpleButton")};
    Object* hit = nullptr;
    const std::vector<Object*> children = stage->children;
    for (auto it = children.rbegin(); it != children.rend() && hit == nullptr; ++it) {
        hit = deepest(k, *it, Matrix{}, 0);
    }
    ClassInfo* interactive = vm.builtin("flash.display.InteractiveObject");
    for (Object* o = hit; o != nullptr && o != stage; o = o->parentObj) {
        if (vm.isInstance(Value::obj(o), interactive) && switchOn(o, "mouseEnabled")) {
            return o;
        }
    }
    return stage;
}

} // namespace kinovex::flash::display_natives
