#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/ClipScenes.h"
#include "engine/avm2/DisplayGeometry.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/TimerClasses.h"

#include "engine/definitions/Movie.h"
#include "engine/display/Bounds.h"
#include "engine/display/ButtonHitTest.h"
#include "engine/display/Timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kinovex::flash {

using avm2::Args;
using avm2::ClassInfo;
using avm2::Machine;
using avm2::Object;
using avm2::ObjKind;
using avm2::Value;

namespace {

constexpr std::uint64_t kDefaultBudget = 20'000'000;
// A frame calls at most this many timers; those still behind wait a period from then.
constexpr int kMaxTimerCalls = 1000;

Avm2Runtime& host(Machine& vm) {
    return *static_cast<Avm2Runtime*>(vm.host);
}

Object* self(Machine& vm, const Value& v) {
    if (!v.isObject()) {
        vm.throwError("TypeError", 1009,
                      "Cannot access a property or method of a null object reference.");
    }
    return v.o;
}

// ---- events ----

// An event's fields are hidden properties of the event object.
using avm2::hidden;
using avm2::setHidden;

Value eventInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    setHidden(o, "type", vm.str(vm.toString(avm2::arg(args, 0))));
    setHidden(o, "bubbles", Value::boolean(Machine::toBoolean(avm2::arg(args, 1))));
    setHidden(o, "cancelable", Value::boolean(Machine::toBoolean(avm2::arg(args, 2))));
    setHidden(o, "eventPhase", Value::integer(2));
    setHidden(o, "target", Value::null());
    setHidden(o, "currentTarget", Value::null());
    return Value();
}

#define EVENT_GETTER(FN, FIELD)                                                                    \
    Value FN(Machine& vm, Value s, Args) {                                                         \
        return hidden(self(vm, s), FIELD);                                                         \
    }
EVENT_GETTER(eventType, "type")
EVENT_GETTER(eventBubbles, "bubbles")
EVENT_GETTER(eventCancelable, "cancelable")
EVENT_GETTER(eventPhaseGet, "eventPhase")
EVENT_GETTER(eventTarget, "target")
EVENT_GETTER(eventCurrentTarget, "currentTarget")
EVENT_GETTER(eventDefaultPrevented, "prevented")
#undef EVENT_GETTER

Value eventStop(Machine& vm, Value s, Args) {
    setHidden(self(vm, s), "stop", Value::boolean(true));
    return Value();
}
Value eventStopNow(Machine& vm, Value s, Args) {
    setHidden(self(vm, s), "stop", Value::boolean(true));
    setHidden(self(vm, s), "stopNow", Value::boolean(true));
    return Value();
}
Value eventPrevent(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (Machine::toBoolean(hidden(o, "cancelable"))) {
        setHidden(o, "prevented", Value::boolean(true));
    }
    return Value();
}
// A clone is of the player's own event class the event's class derives from: a script's
// subclass that does not override clone gets that one.
Value eventClone(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    ClassInfo* cls = o->cls;
    while (cls->file != nullptr && cls->super != nullptr) {
        cls = cls->super;
    }
    Value a[3] = {hidden(o, "type"), hidden(o, "bubbles"), hidden(o, "cancelable")};
    return Value::obj(vm.constructClass(cls, Args(a, 3)));
}
Value eventToString(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    return vm.str("[" + o->cls->name + " type=\"" + vm.toString(hidden(o, "type")) +
                  "\" bubbles=" + vm.toString(hidden(o, "bubbles")) +
                  " cancelable=" + vm.toString(hidden(o, "cancelable")) +
                  " eventPhase=" + vm.toString(hidden(o, "eventPhase")) + "]");
}
Value eventFormatToString(Machine& vm, Value s, Args args) {
    std::string out = "[" + vm.toString(avm2::arg(args, 0));
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string name = vm.toString(args[i]);
        const Value v = vm.get(s, name);
        out += " " + name + "=" + (v.isString() ? "\"" + vm.toString(v) + "\"" : vm.toString(v));
    }
    return vm.str(out + "]");
}

Value addEventListener(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const std::string type = vm.toString(avm2::arg(args, 0));
    const Value fn = avm2::arg(args, 1);
    if (!fn.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter listener must be non-null.");
    }
    const bool capture = Machine::toBoolean(avm2::arg(args, 2));
    const int priority = vm.toInt(avm2::arg(args, 3));
    auto& list = o->listeners[type];
    for (const Object::Listener& l : list) {
        if (vm.strictEquals(Value::obj(l.fn), fn) && l.capture == capture) {
            return Value();
        }
    }
    auto at = std::find_if(list.begin(), list.end(),
                           [&](const Object::Listener& l) { return l.priority < priority; });
    list.insert(at, Object::Listener{fn.o, capture, priority});
    if (o->kind == ObjKind::Display) {
        host(vm).listening(o, type);
    }
    return Value();
}

Value removeEventListener(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const std::string type = vm.toString(avm2::arg(args, 0));
    const Value fn = avm2::arg(args, 1);
    const bool capture = Machine::toBoolean(avm2::arg(args, 2));
    auto it = o->listeners.find(type);
    if (it != o->listeners.end()) {
        std::erase_if(it->second, [&](const Object::Listener& l) {
            return l.capture == capture && vm.strictEquals(Value::obj(l.fn), fn);
        });
    }
    return Value();
}

Value hasEventListener(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    auto it = o->listeners.find(vm.toString(avm2::arg(args, 0)));
    return Value::boolean(it != o->listeners.end() && !it->second.empty());
}

Value willTrigger(Machine& vm, Value s, Args args) {
    const std::string type = vm.toString(avm2::arg(args, 0));
    for (Object* o = self(vm, s); o != nullptr; o = o->parentObj) {
        auto it = o->listeners.find(type);
        if (it != o->listeners.end() && !it->second.empty()) {
            return Value::boolean(true);
        }
    }
    return Value::boolean(false);
}

// new EventDispatcher(target): it dispatches on behalf of the target.
Value dispatcherInit(Machine&, Value s, Args args) {
    const Value target = avm2::arg(args, 0);
    if (s.isObject() && target.isObject() && target.o != s.o) {
        setHidden(s.o, "actsFor", target);
    }
    return Value();
}

Value dispatchEvent(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value ev = avm2::arg(args, 0);
    if (!ev.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter event must be non-null.");
    }
    Object* e = ev.o;
    if (!hidden(e, "target").isNull() && !hidden(e, "target").isUndefined()) {
        Value c = vm.callProperty(ev, vm.publicName("clone"), {});
        e = self(vm, c);
    }
    const Value actsFor = hidden(o, "actsFor");
    if (actsFor.isObject()) {
        host(vm).dispatch(actsFor.o, e, o);
    } else {
        host(vm).dispatch(o, e);
    }
    return Value::boolean(!Machine::toBoolean(hidden(e, "prevented")));
}

// ---- display objects ----

Value doName(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (const avm2::DynProp* p = o->findDyn("\x01name")) {
        return p->value;
    }
    if (o->clip != nullptr && o->clip->owner() != nullptr && !o->clip->owner()->name.empty()) {
        return vm.str(o->clip->owner()->name);
    }
    if (o->clip != nullptr && o->clip == host(vm).root()) {
        return vm.str("root1");
    }
    const Value numbered = hidden(o, "instance");
    return numbered.isUndefined() ? vm.str("instance0") : numbered;
}
// Display objects are numbered as they are made, the main timeline left out: "instanceN" is
// the name of one nobody named.
Value doInit(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (hidden(o, "instance").isUndefined() && (o->clip == nullptr || o->clip != host(vm).root())) {
        setHidden(o, "instance", vm.str(host(vm).nextInstanceName()));
    }
    return Value();
}
Value doSetName(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "name", vm.str(vm.toString(avm2::arg(args, 0))));
    return Value();
}

// The placement of a clip, or of a shape or text its parent's timeline shows.
DisplayObject* placed(Object* o) {
    if (o->clip != nullptr) {
        return o->clip->owner();
    }
    const Value depth = hidden(o, "depth");
    if (!depth.isNumeric() || o->parentObj == nullptr || o->parentObj->clip == nullptr) {
        return nullptr;
    }
    DisplayList& list = o->parentObj->clip->displayList();
    auto it = list.find(static_cast<std::int32_t>(depth.num()));
    return it != list.end() && !it->second.sprite ? &it->second : nullptr;
}

// The matrix scripts move: the placement's for an object the timeline placed, else one kept
// on the script object (the main timeline's, one a script made).
constexpr const char* kMatrixFields[6] = {"ma", "mb", "mc", "md", "mtx", "mty"};
Matrix objectMatrix(Object* o) {
    if (DisplayObject* d = placed(o)) {
        return d->matrix;
    }
    Matrix m;
    double* fields[6] = {&m.a, &m.b, &m.c, &m.d, &m.tx, &m.ty};
    for (int i = 0; i < 6; ++i) {
        const Value v = hidden(o, kMatrixFields[i]);
        if (v.isNumeric()) {
            *fields[i] = v.num();
        }
    }
    return m;
}
// A script's move: the timeline no longer moves the object.
void setObjectMatrix(Object* o, const Matrix& m) {
    if (DisplayObject* d = placed(o)) {
        d->matrix = m;
        d->scriptTransformed = true;
        return;
    }
    const double fields[6] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
    for (int i = 0; i < 6; ++i) {
        setHidden(o, kMatrixFields[i], Value::number(fields[i]));
    }
}
// Scale and rotation as a script last set them, else as the matrix gives them.
avm2::ScaleRotation scaleRotation(Object* o) {
    const Value rotation = hidden(o, "rotation");
    if (!rotation.isNumeric()) {
        return avm2::scaleRotationOf(objectMatrix(o));
    }
    return {hidden(o, "scaleX").num(), hidden(o, "scaleY").num(), rotation.num()};
}
void setScaleRotation(Object* o, const avm2::ScaleRotation& sr) {
    setHidden(o, "scaleX", Value::number(sr.scaleX));
    setHidden(o, "scaleY", Value::number(sr.scaleY));
    setHidden(o, "rotation", Value::number(sr.rotation));
    setObjectMatrix(o, avm2::withScaleRotation(objectMatrix(o), sr));
}

Value doX(Machine& vm, Value s, Args) {
    return Value::number(objectMatrix(self(vm, s)).tx / 20.0);
}
Value doY(Machine& vm, Value s, Args) {
    return Value::number(objectMatrix(self(vm, s)).ty / 20.0);
}
Value doSetX(Machine& vm, Value s, Args args) {
    Matrix m = objectMatrix(self(vm, s));
    m.tx = avm2::twipsOf(vm.toNumber(avm2::arg(args, 0)));
    setObjectMatrix(s.o, m);
    return Value();
}
Value doSetY(Machine& vm, Value s, Args args) {
    Matrix m = objectMatrix(self(vm, s));
    m.ty = avm2::twipsOf(vm.toNumber(avm2::arg(args, 0)));
    setObjectMatrix(s.o, m);
    return Value();
}
Value doScaleX(Machine& vm, Value s, Args) {
    return Value::number(scaleRotation(self(vm, s)).scaleX);
}
Value doScaleY(Machine& vm, Value s, Args) {
    return Value::number(scaleRotation(self(vm, s)).scaleY);
}
Value doRotation(Machine& vm, Value s, Args) {
    return Value::number(scaleRotation(self(vm, s)).rotation);
}
Value doSetScaleX(Machine& vm, Value s, Args args) {
    avm2::ScaleRotation sr = scaleRotation(self(vm, s));
    sr.scaleX = vm.toNumber(avm2::arg(args, 0));
    setScaleRotation(s.o, sr);
    return Value();
}
Value doSetScaleY(Machine& vm, Value s, Args args) {
    avm2::ScaleRotation sr = scaleRotation(self(vm, s));
    sr.scaleY = vm.toNumber(avm2::arg(args, 0));
    setScaleRotation(s.o, sr);
    return Value();
}
Value doSetRotation(Machine& vm, Value s, Args args) {
    avm2::ScaleRotation sr = scaleRotation(self(vm, s));
    sr.rotation = avm2::normalizedRotation(vm.toNumber(avm2::arg(args, 0)));
    setScaleRotation(s.o, sr);
    return Value();
}
Value doVisible(Machine& vm, Value s, Args) {
    DisplayObject* d = placed(self(vm, s));
    return Value::boolean(d == nullptr || d->visible);
}
Value doSetVisible(Machine& vm, Value s, Args args) {
    if (DisplayObject* d = placed(self(vm, s))) {
        d->visible = Machine::toBoolean(avm2::arg(args, 0));
    }
    return Value();
}
Value doParent(Machine& vm, Value s, Args) {
    return Value::obj(self(vm, s)->parentObj);
}
bool onStage(Avm2Runtime& rt, Object* o) {
    for (; o != nullptr; o = o->parentObj) {
        if (o == rt.stageObject()) {
            return true;
        }
    }
    return false;
}
Value doRoot(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (!onStage(host(vm), o)) {
        return Value::null();
    }
    return Value::obj(host(vm).rootObject());
}
Value doStage(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    return onStage(host(vm), o) ? Value::obj(host(vm).stageObject()) : Value::null();
}
Value doOne(Machine&, Value, Args) {
    return Value::integer(1);
}
Value doZero(Machine&, Value, Args) {
    return Value::integer(0);
}
Value doNull(Machine&, Value, Args) {
    return Value::null();
}
Value doIgnore(Machine&, Value, Args) {
    return Value();
}

// Where a child stands among its timeline's depths; what a script added comes after them all.
std::int64_t timelineDepth(Object* o) {
    if (o->clip != nullptr) {
        return o->clip->depth();
    }
    const Value d = hidden(o, "depth");
    return d.isNumeric() ? static_cast<std::int64_t>(d.num())
                         : std::numeric_limits<std::int64_t>::max();
}

// ---- hit tests ----

// From an object's own space to the stage's, in twips, through the containers holding it.
Matrix stageMatrixOf(Object* o) {
    Matrix m = objectMatrix(o);
    for (Object* p = o->parentObj; p != nullptr && p->kind == ObjKind::Display; p = p->parentObj) {
        if (p->cls->name == "Stage") {
            break;
        }
        m = objectMatrix(p) * m;
    }
    return m;
}
// The box around what an object shows, on the stage; none for one that shows nothing.
std::optional<Rect> stageBoxOf(Object* o) {
    std::optional<Rect> own;
    if (o->clip != nullptr) {
        const Rect r = localBounds(*o->clip);
        if (!isEmpty(r)) {
            own = r;
        }
    } else if (DisplayObject* d = placed(o)) {
        own = contentBounds(*d);
    }
    if (!own) {
        return std::nullopt;
    }
    return transformRect(stageMatrixOf(o), *own);
}
// hitTestPoint(x, y, shapeFlag): the point, in stage pixels, within the box, or with shapeFlag
// on what the object draws.
Value hitTestPoint(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const std::optional<Rect> box = stageBoxOf(o);
    const Point p{vm.toNumber(avm2::arg(args, 0)) * 20, vm.toNumber(avm2::arg(args, 1)) * 20};
    const bool inBox =
        box && p.x >= box->xMin && p.x <= box->xMax && p.y >= box->yMin && p.y <= box->yMax;
    if (!inBox || !Machine::toBoolean(avm2::arg(args, 2))) {
        return Value::boolean(inBox);
    }
    // What the stage does not show, no point lies on.
    if (!onStage(host(vm), o)) {
        return Value::boolean(false);
    }
    HitTester& hit = host(vm).hitTester();
    if (o->clip != nullptr) {
        return Value::boolean(hit.hitsClip(*o->clip, stageMatrixOf(o), p));
    }
    const Matrix parent = o->parentObj != nullptr ? stageMatrixOf(o->parentObj) : Matrix{};
    return Value::boolean(hit.hitsObject(*placed(o), parent, p));
}
// hitTestObject(other): the two boxes on the stage meet.
Value hitTestObject(Machine& vm, Value s, Args args) {
    const Value other = avm2::arg(args, 0);
    if (!other.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter obj must be non-null.");
    }
    const std::optional<Rect> a = stageBoxOf(self(vm, s));
    const std::optional<Rect> b = stageBoxOf(other.o);
    return Value::boolean(a && b && a->xMin <= b->xMax && b->xMin <= a->xMax &&
                          a->yMin <= b->yMax && b->yMin <= a->yMax);
}

// ---- containers ----

// A container with its timeline's objects brought up to date among its children.
Object* container(Machine& vm, const Value& s) {
    Object* o = self(vm, s);
    host(vm).syncTimelineObjects(o);
    return o;
}
Value numChildren(Machine& vm, Value s, Args) {
    return Value::integer(static_cast<std::int32_t>(container(vm, s)->children.size()));
}
Value getChildAt(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const std::int32_t i = vm.toInt(avm2::arg(args, 0));
    if (i < 0 || static_cast<std::size_t>(i) >= o->children.size()) {
        vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
    }
    return Value::obj(o->children[static_cast<std::size_t>(i)]);
}
Value getChildByName(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const std::string name = vm.toString(avm2::arg(args, 0));
    for (Object* c : o->children) {
        if (vm.toString(doName(vm, Value::obj(c), {})) == name) {
            return Value::obj(c);
        }
    }
    return Value::null();
}
Value getChildIndex(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const Value c = avm2::arg(args, 0);
    for (std::size_t i = 0; i < o->children.size(); ++i) {
        if (c.isObject() && o->children[i] == c.o) {
            return Value::integer(static_cast<std::int32_t>(i));
        }
    }
    vm.throwError("ArgumentError", 2025,
                  "The supplied DisplayObject must be a child of the caller.");
}
void detach(Object* child) {
    if (child->parentObj != nullptr) {
        std::erase(child->parentObj->children, child);
        child->parentObj = nullptr;
    }
}
Value addChildAt(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const Value c = avm2::arg(args, 0);
    if (!c.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter child must be non-null.");
    }
    if (c.o == o) {
        vm.throwError("ArgumentError", 2024, "An object cannot be added as a child of itself.");
    }
    // A child of another container leaves it first, with its events; one already here only
    // moves, and hears nothing.
    const bool moving = c.o->parentObj == o;
    if (!moving && c.o->parentObj != nullptr) {
        host(vm).dispatchRemoved(c.o);
    }
    detach(c.o);
    std::size_t at = args.size() > 1 ? static_cast<std::size_t>(std::max(0, vm.toInt(args[1])))
                                     : o->children.size();
    if (at > o->children.size()) {
        vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
    }
    o->children.insert(o->children.begin() + static_cast<std::ptrdiff_t>(at), c.o);
    c.o->parentObj = o;
    if (!moving) {
        host(vm).dispatchAdded(c.o);
    }
    return c;
}
Value addChild(Machine& vm, Value s, Args args) {
    Value a[1] = {avm2::arg(args, 0)};
    return addChildAt(vm, s, Args(a, 1));
}
Value removeChild(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const Value c = avm2::arg(args, 0);
    if (!c.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter child must be non-null.");
    }
    if (c.o->parentObj != o) {
        vm.throwError("ArgumentError", 2025,
                      "The supplied DisplayObject must be a child of the caller.");
    }
    host(vm).dispatchRemoved(c.o);
    detach(c.o);
    return c;
}
Value removeChildAt(Machine& vm, Value s, Args args) {
    Value c = getChildAt(vm, s, args);
    Value a[1] = {c};
    return removeChild(vm, s, Args(a, 1));
}
// The index of `c` among `o`'s children; an error for what is not one of them.
std::size_t indexOfChild(Machine& vm, Object* o, const Value& c) {
    if (!c.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter child must be non-null.");
    }
    auto it = std::find(o->children.begin(), o->children.end(), c.o);
    if (it == o->children.end()) {
        vm.throwError("ArgumentError", 2025,
                      "The supplied DisplayObject must be a child of the caller.");
    }
    return static_cast<std::size_t>(it - o->children.begin());
}
std::size_t childIndexArg(Machine& vm, Object* o, const Value& v) {
    const std::int32_t i = vm.toInt(v);
    if (i < 0 || static_cast<std::size_t>(i) >= o->children.size()) {
        vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
    }
    return static_cast<std::size_t>(i);
}
// The child moves to `index`; those between close up behind it.
Value setChildIndex(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const std::size_t from = indexOfChild(vm, o, avm2::arg(args, 0));
    const std::size_t to = childIndexArg(vm, o, avm2::arg(args, 1));
    auto first = o->children.begin();
    if (from < to) {
        std::rotate(first + static_cast<std::ptrdiff_t>(from),
                    first + static_cast<std::ptrdiff_t>(from) + 1,
                    first + static_cast<std::ptrdiff_t>(to) + 1);
    } else {
        std::rotate(first + static_cast<std::ptrdiff_t>(to),
                    first + static_cast<std::ptrdiff_t>(from),
                    first + static_cast<std::ptrdiff_t>(from) + 1);
    }
    return Value();
}
Value swapChildren(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const std::size_t a = indexOfChild(vm, o, avm2::arg(args, 0));
    const std::size_t b = indexOfChild(vm, o, avm2::arg(args, 1));
    std::swap(o->children[a], o->children[b]);
    return Value();
}
Value swapChildrenAt(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const std::size_t a = childIndexArg(vm, o, avm2::arg(args, 0));
    const std::size_t b = childIndexArg(vm, o, avm2::arg(args, 1));
    std::swap(o->children[a], o->children[b]);
    return Value();
}
// Stops the container's own timeline and every one beneath it.
Value stopAllMovieClips(Machine& vm, Value s, Args) {
    std::vector<Object*> todo{self(vm, s)};
    while (!todo.empty()) {
        Object* o = todo.back();
        todo.pop_back();
        if (o->clip != nullptr) {
            o->clip->setPlaying(false);
        }
        todo.insert(todo.end(), o->children.begin(), o->children.end());
    }
    return Value();
}
Value contains(Machine& vm, Value s, Args args) {
    container(vm, s);
    const Value c = avm2::arg(args, 0);
    for (Object* o = c.isObject() ? c.o : nullptr; o != nullptr; o = o->parentObj) {
        if (o == s.o) {
            return Value::boolean(true);
        }
    }
    (void)vm;
    return Value::boolean(false);
}

// ---- movie clips ----

// The scenes and labels of a clip; one a script made has one frame and no labels.
std::vector<avm2::ClipScene> clipScenes(Machine& vm, const TimelineInstance* c) {
    if (c == nullptr) {
        return avm2::scenesOf({}, 1);
    }
    const bool main = c == host(vm).root();
    return avm2::scenesOf(main ? host(vm).sceneData().scenes : std::vector<SceneDef>{},
                          c->frameCount());
}
// In frame order; the main timeline's as the scene tag gives them, when it has one.
std::vector<FrameLabelDef> clipLabels(Machine& vm, const TimelineInstance* c) {
    std::vector<FrameLabelDef> out;
    if (c == nullptr) {
        return out;
    }
    const SceneData& data = host(vm).sceneData();
    if (c == host(vm).root() && !data.scenes.empty()) {
        out = data.labels;
    } else {
        for (const auto& [name, frame] : c->definition().labels) {
            out.push_back({frame, name});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const FrameLabelDef& a, const FrameLabelDef& b) {
        return a.frame < b.frame;
    });
    return out;
}
const avm2::ClipScene& currentSceneOf(const std::vector<avm2::ClipScene>& scenes,
                                      const TimelineInstance* c) {
    return avm2::sceneAt(scenes, c != nullptr ? c->currentFrame() : 0);
}

Value mcCurrentFrame(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    if (c == nullptr) {
        return Value::integer(0);
    }
    const avm2::ClipScene& scene = currentSceneOf(clipScenes(vm, c), c);
    return Value::integer(static_cast<std::int32_t>(c->currentFrame() - scene.start + 1));
}
Value mcTotalFrames(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    return Value::integer(o->clip != nullptr ? static_cast<std::int32_t>(o->clip->frameCount())
                                             : 1);
}
// The labels of a scene as FrameLabel objects, their frames counted from the scene's start.
Value sceneLabels(Machine& vm, const avm2::ClipScene& scene,
                  const std::vector<FrameLabelDef>& labels) {
    std::vector<Value> out;
    ClassInfo* cls = vm.builtin("flash.display.FrameLabel");
    for (const FrameLabelDef& l : labels) {
        if (l.frame >= scene.start && l.frame - scene.start < scene.length) {
            Value a[2] = {vm.str(l.name),
                          Value::integer(static_cast<std::int32_t>(l.frame - scene.start + 1))};
            out.push_back(Value::obj(vm.constructClass(cls, Args(a, 2))));
        }
    }
    return Value::obj(vm.newArray(std::move(out)));
}
Value sceneObject(Machine& vm, const avm2::ClipScene& scene,
                  const std::vector<FrameLabelDef>& labels) {
    Value a[3] = {vm.str(scene.name), sceneLabels(vm, scene, labels),
                  Value::integer(static_cast<std::int32_t>(scene.length))};
    return Value::obj(vm.constructClass(vm.builtin("flash.display.Scene"), Args(a, 3)));
}
Value mcCurrentLabels(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto scenes = clipScenes(vm, c);
    return sceneLabels(vm, currentSceneOf(scenes, c), clipLabels(vm, c));
}
Value mcCurrentScene(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto scenes = clipScenes(vm, c);
    return sceneObject(vm, currentSceneOf(scenes, c), clipLabels(vm, c));
}
Value mcScenes(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto labels = clipLabels(vm, c);
    std::vector<Value> out;
    for (const avm2::ClipScene& scene : clipScenes(vm, c)) {
        out.push_back(sceneObject(vm, scene, labels));
    }
    return Value::obj(vm.newArray(std::move(out)));
}
// The last label at or before the current frame, in the current scene.
Value mcCurrentLabel(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto scenes = clipScenes(vm, c);
    const avm2::ClipScene& scene = currentSceneOf(scenes, c);
    const std::vector<FrameLabelDef> labels = clipLabels(vm, c);
    const FrameLabelDef* best = nullptr;
    for (const FrameLabelDef& l : labels) {
        if (l.frame >= scene.start && l.frame <= c->currentFrame()) {
            best = &l;
        }
    }
    return best != nullptr ? vm.str(best->name) : Value::null();
}
Value mcCurrentFrameLabel(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    for (const FrameLabelDef& l : clipLabels(vm, c)) {
        if (l.frame == c->currentFrame()) {
            return vm.str(l.name);
        }
    }
    return Value::null();
}
Value mcStop(Machine& vm, Value s, Args) {
    if (TimelineInstance* c = self(vm, s)->clip) {
        c->setPlaying(false);
    }
    return Value();
}
Value mcPlay(Machine& vm, Value s, Args) {
    if (TimelineInstance* c = self(vm, s)->clip) {
        c->setPlaying(true);
    }
    return Value();
}
Value mcIsPlaying(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    return Value::boolean(c != nullptr && c->playing());
}
// The frame (0-based) a goto names. A label that is not there is an error, or the first frame
// in movies before version 11.
std::int64_t gotoTarget(Machine& vm, TimelineInstance* c, const Value& frame,
                        const avm2::ClipScene& scene, bool sceneNamed) {
    std::string text;
    double number = 0;
    if (frame.isNumeric() || frame.isNullish() || frame.kind == avm2::Kind::Boolean) {
        number = vm.toNumber(frame);
        text = std::trunc(number) == number ? std::string() : vm.toString(frame);
    } else {
        text = vm.toString(frame);
        number = vm.toNumber(vm.str(text));
    }
    const std::optional<std::int64_t> target =
        avm2::gotoFrameIndex(number, text, clipLabels(vm, c), scene, sceneNamed);
    if (!target && host(vm).swfVersion() >= 11) {
        const std::string sceneName = scene.name.empty() ? "Scene 1" : scene.name;
        vm.throwError("ArgumentError", 2109,
                      "Frame label " + text + " not found in scene " + sceneName + ".");
    }
    return target.value_or(0);
}
// gotoAndStop and gotoAndPlay: `sceneArg`, when given, names the scene the frame is in.
void gotoFrame(Machine& vm, Object* o, const Value& frame, const Value& sceneArg, bool play) {
    TimelineInstance* c = o->clip;
    if (c == nullptr) {
        return;
    }
    const auto scenes = clipScenes(vm, c);
    const avm2::ClipScene* scene = &currentSceneOf(scenes, c);
    if (!sceneArg.isNullish()) {
        const std::string name = vm.toString(sceneArg);
        auto it = std::find_if(scenes.begin(), scenes.end(),
                               [&](const avm2::ClipScene& sc) { return sc.name == name; });
        if (it == scenes.end()) {
            vm.throwError("ArgumentError", 2108, "Scene " + name + " was not found.");
        }
        scene = &*it;
    }
    std::int64_t target = gotoTarget(vm, c, frame, *scene, !sceneArg.isNullish());
    target = std::clamp<std::int64_t>(target, 0, static_cast<std::int64_t>(c->frameCount()) - 1);
    host(vm).gotoFrameOf(*c, static_cast<std::uint32_t>(target), play);
}
Value mcGotoAndStop(Machine& vm, Value s, Args args) {
    gotoFrame(vm, self(vm, s), avm2::arg(args, 0), avm2::arg(args, 1), false);
    return Value();
}
Value mcGotoAndPlay(Machine& vm, Value s, Args args) {
    gotoFrame(vm, self(vm, s), avm2::arg(args, 0), avm2::arg(args, 1), true);
    return Value();
}
Value mcNextFrame(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (o->clip != nullptr) {
        o->clip->setPlaying(false);
        if (o->clip->currentFrame() + 1 < o->clip->frameCount()) {
            o->clip->jumpTo(o->clip->currentFrame() + 1);
            host(vm).afterGoto();
        }
    }
    return Value();
}
Value mcPrevFrame(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (o->clip != nullptr) {
        o->clip->setPlaying(false);
        if (o->clip->currentFrame() > 0) {
            o->clip->jumpTo(o->clip->currentFrame() - 1);
            host(vm).afterGoto();
        }
    }
    return Value();
}
Value mcAddFrameScript(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::int32_t frame = vm.toInt(args[i]);
        if (frame < 0) {
            continue;
        }
        if (args[i + 1].isObject()) {
            o->frameScripts[static_cast<std::uint32_t>(frame)] = args[i + 1].o;
        } else {
            o->frameScripts.erase(static_cast<std::uint32_t>(frame));
        }
    }
    return Value();
}

// FrameLabel(name, frame) and Scene(name, labels, numFrames) keep what they are made with.
Value frameLabelInit(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "name", vm.str(vm.toString(avm2::arg(args, 0))));
    setHidden(s.o, "frame", Value::integer(vm.toInt(avm2::arg(args, 1))));
    return Value();
}
Value sceneInit(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "name", vm.str(vm.toString(avm2::arg(args, 0))));
    setHidden(s.o, "labels", avm2::arg(args, 1));
    setHidden(s.o, "numFrames", Value::integer(vm.toInt(avm2::arg(args, 2))));
    return Value();
}
#define HIDDEN_GETTER(FN, FIELD)                                                                   \
    Value FN(Machine& vm, Value s, Args) {                                                         \
        return hidden(self(vm, s), FIELD);                                                         \
    }
HIDDEN_GETTER(hiddenName, "name")
HIDDEN_GETTER(hiddenFrame, "frame")
HIDDEN_GETTER(hiddenLabels, "labels")
HIDDEN_GETTER(hiddenNumFrames, "numFrames")
#undef HIDDEN_GETTER

// ---- the movie's LoaderInfo ----

Value doLoaderInfo(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    Avm2Runtime& rt = host(vm);
    const bool ofMovie = o == rt.stageObject() || o == rt.rootObject() || o->clip != nullptr;
    return ofMovie ? Value::obj(rt.loaderInfo()) : Value::null();
}
const Movie& movieOf(Machine& vm) {
    return host(vm).movie();
}
Value liBytes(Machine& vm, Value, Args) {
    return Value::number(static_cast<double>(movieOf(vm).fileLength()));
}
Value liContent(Machine& vm, Value, Args) {
    return Value::obj(host(vm).rootObject());
}
Value liContentType(Machine& vm, Value, Args) {
    return vm.str("application/x-shockwave-flash");
}
Value liActionScriptVersion(Machine&, Value, Args) {
    return Value::integer(3);
}
Value liFrameRate(Machine& vm, Value, Args) {
    return Value::number(host(vm).frameRate());
}
Value liWidth(Machine& vm, Value, Args) {
    const Rect& r = movieOf(vm).frameSize();
    return Value::integer(static_cast<std::int32_t>((r.xMax - r.xMin) / 20));
}
Value liHeight(Machine& vm, Value, Args) {
    const Rect& r = movieOf(vm).frameSize();
    return Value::integer(static_cast<std::int32_t>((r.yMax - r.yMin) / 20));
}
Value liSwfVersion(Machine& vm, Value, Args) {
    return Value::integer(movieOf(vm).version());
}
Value doTrue(Machine&, Value, Args) {
    return Value::boolean(true);
}

Value stageFrameRate(Machine& vm, Value s, Args) {
    const Value set = hidden(self(vm, s), "frameRate");
    return set.isUndefined() ? Value::number(host(vm).frameRate()) : set;
}
// The stage refuses what it inherits as a display object but does not have.
Value stageRefuses(Machine& vm, Value, Args) {
    vm.throwError("flash.errors.IllegalOperationError", 2071,
                  "The Stage class does not implement this property or method.");
}
Value containerMouseChildren(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "mouseChildren");
    return v.isUndefined() ? Value::boolean(true) : v;
}
Value containerSetMouseChildren(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "mouseChildren", Value::boolean(Machine::toBoolean(avm2::arg(args, 0))));
    return Value();
}

// What a script sets is kept between 0.01 and 1000.
Value stageSetFrameRate(Machine& vm, Value s, Args args) {
    const double rate = vm.toNumber(avm2::arg(args, 0));
    setHidden(self(vm, s), "frameRate",
              Value::number(std::isnan(rate) ? 0.01 : std::clamp(rate, 0.01, 1000.0)));
    return Value();
}

} // namespace

namespace {

// EventDispatcher and Event; the dispatcher class is returned.
ClassInfo* installEventClasses(Machine& m) {
    ClassInfo* dispatcher = m.defineNativeClass("flash.events", "EventDispatcher", m.objectClass);
    dispatcher->nativeInit = dispatcherInit;
    m.defineMethod(dispatcher, "addEventListener", addEventListener, 2);
    m.defineMethod(dispatcher, "removeEventListener", removeEventListener, 2);
    m.defineMethod(dispatcher, "hasEventListener", hasEventListener, 1);
    m.defineMethod(dispatcher, "willTrigger", willTrigger, 1);
    m.defineMethod(dispatcher, "dispatchEvent", dispatchEvent, 1);

    ClassInfo* event = m.defineNativeClass("flash.events", "Event", m.objectClass, ObjKind::Event);
    event->nativeInit = eventInit;
    m.defineGetter(event, "type", eventType);
    m.defineGetter(event, "bubbles", eventBubbles);
    m.defineGetter(event, "cancelable", eventCancelable);
    m.defineGetter(event, "eventPhase", eventPhaseGet);
    m.defineGetter(event, "target", eventTarget);
    m.defineGetter(event, "currentTarget", eventCurrentTarget);
    m.defineMethod(event, "isDefaultPrevented", eventDefaultPrevented);
    m.defineMethod(event, "stopPropagation", eventStop);
    m.defineMethod(event, "stopImmediatePropagation", eventStopNow);
    m.defineMethod(event, "preventDefault", eventPrevent);
    m.defineMethod(event, "clone", eventClone);
    m.defineMethod(event, "toString", eventToString);
    m.defineMethod(event, "formatToString", eventFormatToString);
    const std::pair<const char*, const char*> eventTypes[] = {
        {"ENTER_FRAME", "enterFrame"},
        {"EXIT_FRAME", "exitFrame"},
        {"FRAME_CONSTRUCTED", "frameConstructed"},
        {"ADDED", "added"},
        {"ADDED_TO_STAGE", "addedToStage"},
        {"REMOVED", "removed"},
        {"REMOVED_FROM_STAGE", "removedFromStage"},
        {"COMPLETE", "complete"},
        {"INIT", "init"},
        {"CHANGE", "change"},
        {"RENDER", "render"},
        {"RESIZE", "resize"},
        {"ACTIVATE", "activate"},
        {"DEACTIVATE", "deactivate"},
        {"OPEN", "open"},
        {"CLOSE", "close"},
        {"SELECT", "select"},
        {"CANCEL", "cancel"},
        {"SCROLL", "scroll"},
        {"UNLOAD", "unload"},
        {"CONNECT", "connect"}};
    for (const auto& [name, value] : eventTypes) {
        m.defineConstant(event, name, m.str(value));
    }

    return dispatcher;
}

// MovieClip, with FrameLabel and Scene.
void installMovieClipClasses(Machine& m, ClassInfo* sprite, ClassInfo* dispatcher) {
    ClassInfo* clip = m.defineNativeClass("flash.display", "MovieClip", sprite);
    clip->sealed = false;
    m.defineGetter(clip, "currentFrame", mcCurrentFrame);
    m.defineGetter(clip, "totalFrames", mcTotalFrames);
    m.defineGetter(clip, "framesLoaded", mcTotalFrames);
    m.defineGetter(clip, "currentLabel", mcCurrentLabel);
    m.defineGetter(clip, "currentFrameLabel", mcCurrentFrameLabel);
    m.defineGetter(clip, "isPlaying", mcIsPlaying);
    m.defineMethod(clip, "stop", mcStop);
    m.defineMethod(clip, "play", mcPlay);
    m.defineMethod(clip, "gotoAndStop", mcGotoAndStop, 1);
    m.defineMethod(clip, "gotoAndPlay", mcGotoAndPlay, 1);
    m.defineMethod(clip, "nextFrame", mcNextFrame);
    m.defineMethod(clip, "prevFrame", mcPrevFrame);
    m.defineMethod(clip, "addFrameScript", mcAddFrameScript, 2);
    m.defineGetter(clip, "currentLabels", mcCurrentLabels);
    m.defineGetter(clip, "currentScene", mcCurrentScene);
    m.defineGetter(clip, "scenes", mcScenes);
    ClassInfo* frameLabel = m.defineNativeClass("flash.display", "FrameLabel", dispatcher);
    frameLabel->nativeInit = frameLabelInit;
    m.defineGetter(frameLabel, "name", hiddenName);
    m.defineGetter(frameLabel, "frame", hiddenFrame);
    ClassInfo* scene = m.defineNativeClass("flash.display", "Scene", m.objectClass);
    scene->nativeInit = sceneInit;
    m.defineGetter(scene, "name", hiddenName);
    m.defineGetter(scene, "labels", hiddenLabels);
    m.defineGetter(scene, "numFrames", hiddenNumFrames);
}

// DisplayObject and the classes beneath it up to MovieClip; the container class is returned.
ClassInfo* installDisplayClasses(Machine& m, ClassInfo* dispatcher) {
    ClassInfo* display =
        m.defineNativeClass("flash.display", "DisplayObject", dispatcher, ObjKind::Display);
    display->nativeInit = doInit;
    m.defineGetter(display, "name", doName, doSetName);
    m.defineGetter(display, "x", doX, doSetX);
    m.defineGetter(display, "y", doY, doSetY);
    m.defineGetter(display, "visible", doVisible, doSetVisible);
    m.defineGetter(display, "parent", doParent);
    m.defineGetter(display, "root", doRoot);
    m.defineGetter(display, "stage", doStage);
    m.defineGetter(display, "alpha", doOne, doIgnore);
    m.defineGetter(display, "scaleX", doScaleX, doSetScaleX);
    m.defineGetter(display, "scaleY", doScaleY, doSetScaleY);
    m.defineGetter(display, "rotation", doRotation, doSetRotation);
    m.defineGetter(display, "width", doZero, doIgnore);
    m.defineGetter(display, "height", doZero, doIgnore);
    m.defineGetter(display, "mouseX", doZero);
    m.defineGetter(display, "mouseY", doZero);
    m.defineGetter(display, "loaderInfo", doLoaderInfo);
    m.defineGetter(display, "mask", doNull, doIgnore);
    m.defineMethod(display, "hitTestPoint", hitTestPoint, 2);
    m.defineMethod(display, "hitTestObject", hitTestObject, 1);
    ClassInfo* interactive = m.defineNativeClass("flash.display", "InteractiveObject", display);
    ClassInfo* container =
        m.defineNativeClass("flash.display", "DisplayObjectContainer", interactive);
    m.defineGetter(container, "numChildren", numChildren);
    m.defineMethod(container, "getChildAt", getChildAt, 1);
    m.defineMethod(container, "getChildByName", getChildByName, 1);
    m.defineMethod(container, "getChildIndex", getChildIndex, 1);
    m.defineMethod(container, "addChild", addChild, 1);
    m.defineMethod(container, "addChildAt", addChildAt, 2);
    m.defineMethod(container, "removeChild", removeChild, 1);
    m.defineMethod(container, "removeChildAt", removeChildAt, 1);
    m.defineMethod(container, "contains", contains, 1);
    m.defineMethod(container, "setChildIndex", setChildIndex, 2);
    m.defineMethod(container, "swapChildren", swapChildren, 2);
    m.defineMethod(container, "swapChildrenAt", swapChildrenAt, 2);
    m.defineMethod(container, "stopAllMovieClips", stopAllMovieClips);
    m.defineGetter(container, "mouseChildren", containerMouseChildren, containerSetMouseChildren);
    ClassInfo* shape = m.defineNativeClass("flash.display", "Shape", display);
    m.defineGetter(shape, "graphics", doNull);
    m.defineNativeClass("flash.display", "MorphShape", display);
    m.defineNativeClass("flash.text", "StaticText", display);
    m.defineNativeClass("flash.text", "TextField", interactive);
    ClassInfo* sprite = m.defineNativeClass("flash.display", "Sprite", container);
    m.defineGetter(sprite, "buttonMode", doZero, doIgnore);
    m.defineGetter(sprite, "graphics", doNull);
    installMovieClipClasses(m, sprite, dispatcher);
    return container;
}

ClassInfo* installStageClass(Machine& m, ClassInfo* container) {
    ClassInfo* stage = m.defineNativeClass("flash.display", "Stage", container);
    m.defineGetter(stage, "frameRate", stageFrameRate, stageSetFrameRate);
    m.defineGetter(stage, "stageWidth", doZero, doIgnore);
    m.defineGetter(stage, "stageHeight", doZero, doIgnore);
    const std::pair<const char*, avm2::NativeFn> refusedSetters[] = {
        {"accessibilityImplementation", doNull},
        {"accessibilityProperties", doNull},
        {"alpha", doOne},
        {"blendMode", doNull},
        {"cacheAsBitmap", doZero},
        {"contextMenu", doNull},
        {"filters", doNull},
        {"focusRect", doNull},
        {"height", doZero},
        {"mask", doNull},
        {"name", doName},
        {"opaqueBackground", doNull},
        {"rotation", doRotation},
        {"rotationX", doZero},
        {"rotationY", doZero},
        {"rotationZ", doZero},
        {"scale9Grid", doNull},
        {"scaleX", doScaleX},
        {"scaleY", doScaleY},
        {"scaleZ", doOne},
        {"scrollRect", doNull},
        {"tabEnabled", doZero},
        {"tabIndex", doZero},
        {"transform", doNull},
        {"visible", doVisible},
        {"width", doZero},
        {"x", doX},
        {"y", doY},
        {"z", doZero}};
    for (const auto& [name, getter] : refusedSetters) {
        m.defineGetter(stage, name, getter, stageRefuses);
    }
    m.defineGetter(stage, "textSnapshot", stageRefuses);
    return stage;
}

void installLoaderInfoClass(Machine& m, ClassInfo* dispatcher) {
    ClassInfo* loaderInfo = m.defineNativeClass("flash.display", "LoaderInfo", dispatcher);
    m.defineGetter(loaderInfo, "bytesLoaded", liBytes);
    m.defineGetter(loaderInfo, "bytesTotal", liBytes);
    m.defineGetter(loaderInfo, "content", liContent);
    m.defineGetter(loaderInfo, "contentType", liContentType);
    m.defineGetter(loaderInfo, "actionScriptVersion", liActionScriptVersion);
    m.defineGetter(loaderInfo, "frameRate", liFrameRate);
    m.defineGetter(loaderInfo, "width", liWidth);
    m.defineGetter(loaderInfo, "height", liHeight);
    m.defineGetter(loaderInfo, "swfVersion", liSwfVersion);
    m.defineGetter(loaderInfo, "childAllowsParent", doTrue);
    m.defineGetter(loaderInfo, "parentAllowsChild", doTrue);
    m.defineGetter(loaderInfo, "loader", doNull);
}

} // namespace

Avm2Runtime::Avm2Runtime(const Movie& movie, Log& log) : m_movie(movie), m_log(log) {
    m_vm = std::make_unique<Machine>();
    m_vm->host = this;
    m_budget = kDefaultBudget;
    Machine& m = *m_vm;

    ClassInfo* dispatcher = installEventClasses(m);
    ClassInfo* container = installDisplayClasses(m, dispatcher);
    m_stage = m.newObject(installStageClass(m, container));
    installLoaderInfoClass(m, dispatcher);
    avm2::installTimerClasses(m);
    ClassInfo* system = m.defineNativeClass("flash.system", "System", m.objectClass);
    m.defineStatic(system, "gc", doIgnore);

    m.extraRoots = [this](std::vector<Object*>& out) {
        out.push_back(m_stage);
        out.push_back(m_rootObject);
        out.push_back(m_loaderInfo);
        out.insert(out.end(), m_listening.begin(), m_listening.end());
        for (const auto& [key, obj] : m_timelineObjects) {
            out.push_back(obj);
        }
        for (const auto& [timeline, obj] : m_objects) {
            out.push_back(obj);
        }
        m_timers.roots(out);
    };
}

// The player destroys the main timeline before its script machine: the timelines are not
// touched here.
Avm2Runtime::~Avm2Runtime() = default;

double Avm2Runtime::frameRate() const {
    // The stage reads the header's 8.8 fixed-point rate unsigned: 0 stays 0, and what the
    // header means as negative reads as above 128.
    return m_movie.frameRate256() / 256.0;
}

Object* Avm2Runtime::loaderInfo() {
    if (m_loaderInfo == nullptr) {
        m_loaderInfo = m_vm->newObject(m_vm->builtin("flash.display.LoaderInfo"));
    }
    return m_loaderInfo;
}

HitTester& Avm2Runtime::hitTester() {
    if (!m_hitTester) {
        m_hitTester = std::make_unique<HitTester>();
    }
    return *m_hitTester;
}

std::string Avm2Runtime::nextInstanceName() {
    return "instance" + std::to_string(++m_instances);
}

std::uint8_t Avm2Runtime::swfVersion() const {
    return m_movie.version();
}

const SceneData& Avm2Runtime::sceneData() const {
    return m_movie.sceneData();
}

void Avm2Runtime::setTraceSink(std::function<void(std::string_view)> sink) {
    m_vm->setTraceSink(std::move(sink));
}

void Avm2Runtime::setInstructionBudget(std::uint64_t actions) {
    m_budget = actions;
}

template <class F> void Avm2Runtime::guarded(F&& body) {
    if (m_stopped) {
        return;
    }
    try {
        body();
    } catch (const avm2::ScriptException& e) {
        try {
            m_vm->reportUncaught(e.value);
        } catch (...) {
        }
    } catch (const avm2::BudgetExhausted&) {
        m_stopped = true;
        m_vm->traceLine("Error: Error #1502: A script has executed for longer than the default "
                        "timeout period of 15 seconds.");
    }
}

void Avm2Runtime::loadBlocksOfFrame(std::uint32_t frame) {
    for (const AbcBlock& block : m_movie.abcBlocks()) {
        if (block.frame != frame || !block.file) {
            continue;
        }
        std::vector<std::uint32_t> refused;
        std::vector<int> why;
        for (const abc::VerifyError& e : block.refusedBodies) {
            refused.push_back(e.method);
            why.push_back(e.playerError);
        }
        m_vm->loadAbc(*block.file, refused, why);
    }
}

void Avm2Runtime::loadBlocksUpTo(std::uint32_t frame) {
    if (frame + 1 <= m_blocksLoadedUpTo) {
        return;
    }
    for (std::uint32_t f = m_blocksLoadedUpTo; f <= frame; ++f) {
        loadBlocksOfFrame(f);
    }
    m_blocksLoadedUpTo = frame + 1;
    guarded([&] { m_vm->runPendingScripts(); });
}

void Avm2Runtime::attachRoot(TimelineInstance& root) {
    m_root = &root;
    root.setHooks(this);
}

Object* Avm2Runtime::objectFor(TimelineInstance& clip) {
    auto it = m_objects.find(&clip);
    if (it != m_objects.end()) {
        return it->second;
    }
    Machine& m = *m_vm;
    const std::uint16_t id =
        &clip == m_root ? 0 : (clip.owner() != nullptr ? clip.owner()->characterId : 0);
    ClassInfo* cls = nullptr;
    for (const SymbolClass& sc : m_movie.symbolClasses()) {
        if (sc.characterId == id) {
            guarded([&] { cls = m.findClass(sc.className); });
        }
    }
    if (&clip == m_root && cls != nullptr &&
        !cls->isSubclassOf(m.builtin("flash.display.Sprite"))) {
        const std::string name = cls->qualifiedName();
        guarded([&] {
            m.throwError("TypeError", 2023,
                         "Class " + name + "$ must inherit from Sprite to link to the root.");
        });
        cls = nullptr;
    }
    if (cls == nullptr) {
        cls = m.builtin("flash.display.MovieClip");
    }
    Object* o = m.newObject(cls);
    o->clip = &clip;
    m_objects[&clip] = o;
    m_order.push_back(&clip);
    if (&clip == m_root) {
        o->parentObj = m_stage;
        m_stage->children.push_back(o);
    } else if (TimelineInstance* parent = clip.parent()) {
        Object* p = objectFor(*parent);
        o->parentObj = p;
        auto at = std::find_if(p->children.begin(), p->children.end(),
                               [&](Object* c) { return timelineDepth(c) > clip.depth(); });
        p->children.insert(at, o);
        if (clip.owner() != nullptr && !clip.owner()->name.empty()) {
            guarded([&] {
                try {
                    m.setProperty(Value::obj(p), m.publicName(clip.owner()->name), Value::obj(o));
                } catch (const avm2::ScriptException&) {
                }
            });
        }
    }
    // Children already placed get their objects before this one's constructor runs.
    for (auto& [depth, obj] : clip.displayList()) {
        if (obj.sprite) {
            objectFor(*obj.sprite);
        }
    }
    guarded([&] { m.initInstance(cls, o, {}); });
    if (&clip != m_root) {
        dispatchAdded(o);
    }
    return o;
}

namespace {

// The class of what the timeline shows without a timeline of its own; null for what gets no
// script object.
const char* timelineObjectClass(Character::Kind kind) {
    switch (kind) {
    case Character::Kind::Shape:
        return "flash.display.Shape";
    case Character::Kind::MorphShape:
        return "flash.display.MorphShape";
    case Character::Kind::Text:
        return "flash.text.StaticText";
    case Character::Kind::EditText:
        return "flash.text.TextField";
    default:
        return nullptr;
    }
}

} // namespace

void Avm2Runtime::syncTimelineObjects(Object* o) {
    TimelineInstance* c = o->clip;
    if (c == nullptr) {
        return;
    }
    // Objects whose placement went leave; one a script removed stays out.
    const TimelineKey from{c, INT32_MIN, 0};
    for (auto it = m_timelineObjects.lower_bound(from);
         it != m_timelineObjects.end() && std::get<0>(it->first) == c;) {
        auto at = c->displayList().find(std::get<1>(it->first));
        // A new character at the depth (a replacing PlaceObject) keeps the object.
        const bool stays = at != c->displayList().end() && !at->second.sprite &&
                           at->second.placedFrame == std::get<2>(it->first);
        if (stays) {
            ++it;
            continue;
        }
        if (it->second->parentObj == o) {
            detach(it->second);
        }
        it = m_timelineObjects.erase(it);
    }
    for (auto& [depth, entry] : c->displayList()) {
        if (entry.sprite || entry.character == nullptr) {
            continue;
        }
        const TimelineKey key{c, depth, entry.placedFrame};
        const char* cls = timelineObjectClass(entry.character->kind);
        if (cls == nullptr || m_timelineObjects.count(key) != 0) {
            continue;
        }
        Object* made = m_vm->newObject(m_vm->builtin(cls));
        m_timelineObjects[key] = made;
        setHidden(made, "depth", Value::integer(depth));
        if (!entry.name.empty()) {
            setHidden(made, "name", m_vm->str(entry.name));
        }
        setHidden(made, "instance", m_vm->str(nextInstanceName()));
        auto at = std::find_if(o->children.begin(), o->children.end(),
                               [&](Object* child) { return timelineDepth(child) > depth; });
        o->children.insert(at, made);
        made->parentObj = o;
    }
}

// Clips a frame's advance places are made after the enterFrame broadcast; those a jump places,
// at once.
void Avm2Runtime::clipCreated(TimelineInstance& clip) {
    if (!m_started) {
        return;
    }
    if (m_advancing) {
        m_pendingClips.push_back(&clip);
        return;
    }
    m_vm->refillBudget();
    objectFor(clip);
}

void Avm2Runtime::clipLeaving(TimelineInstance& clip) {
    auto it = m_objects.find(&clip);
    if (it != m_objects.end() && it->second->parentObj != nullptr) {
        dispatchRemoved(it->second);
    }
}

void Avm2Runtime::constructPendingClips() {
    const std::vector<TimelineInstance*> pending = std::move(m_pendingClips);
    m_pendingClips.clear();
    for (TimelineInstance* clip : pending) {
        objectFor(*clip);
    }
}

void Avm2Runtime::clipDestroyed(TimelineInstance& clip) {
    auto it = m_objects.find(&clip);
    if (it == m_objects.end()) {
        return;
    }
    Object* o = it->second;
    std::erase(m_pendingClips, &clip);
    m_queuedGotos.erase(&clip);
    const TimelineKey from{&clip, INT32_MIN, 0};
    auto first = m_timelineObjects.lower_bound(from);
    auto last = first;
    while (last != m_timelineObjects.end() && std::get<0>(last->first) == &clip) {
        ++last;
    }
    m_timelineObjects.erase(first, last);
    detach(o);
    o->clip = nullptr;
    m_objects.erase(it);
    std::erase(m_order, &clip);
}

void Avm2Runtime::dispatch(Object* target, Object* event, Object* dispatcher) {
    Machine& m = *m_vm;
    const std::string type = m.toString(hidden(event, "type"));
    std::vector<Object*> path;
    for (Object* p = target->parentObj; p != nullptr; p = p->parentObj) {
        path.push_back(p);
    }
    setHidden(event, "target", Value::obj(target));
    auto deliver = [&](Object* at, bool capture, int phase) {
        auto it = at->listeners.find(type);
        if (it == at->listeners.end()) {
            return;
        }
        const std::vector<Object::Listener> list = it->second;
        setHidden(event, "currentTarget", Value::obj(at));
        setHidden(event, "eventPhase", Value::integer(phase));
        for (const Object::Listener& l : list) {
            if (l.capture != capture) {
                continue;
            }
            Value a[1] = {Value::obj(event)};
            guarded([&] { m.call(Value::obj(l.fn), Value::null(), Args(a, 1)); });
            if (Machine::toBoolean(hidden(event, "stopNow"))) {
                return;
            }
        }
    };
    auto stopped = [&] { return Machine::toBoolean(hidden(event, "stop")); };
    for (std::size_t i = path.size(); i-- > 0 && !stopped();) {
        deliver(path[i], true, 1);
    }
    if (!stopped()) {
        deliver(dispatcher != nullptr ? dispatcher : target, false, 2);
    }
    if (Machine::toBoolean(hidden(event, "bubbles"))) {
        for (std::size_t i = 0; i < path.size() && !stopped(); ++i) {
            deliver(path[i], false, 3);
        }
    }
    setHidden(event, "currentTarget", Value::null());
    setHidden(event, "eventPhase", Value::integer(2));
}

void Avm2Runtime::dispatchNew(Object* target, const char* type, bool bubbles) {
    Machine& m = *m_vm;
    Value a[2] = {m.str(type), Value::boolean(bubbles)};
    Object* event = nullptr;
    guarded([&] { event = m.constructClass(m.builtin("flash.events.Event"), Args(a, 2)); });
    if (event != nullptr) {
        dispatch(target, event);
    }
}

// `type` to `top` and everything beneath it, each before its children.
void Avm2Runtime::dispatchToSubtree(Object* top, const char* type) {
    std::vector<Object*> todo{top};
    while (!todo.empty()) {
        Object* o = todo.back();
        todo.pop_back();
        dispatchNew(o, type, false);
        todo.insert(todo.end(), o->children.rbegin(), o->children.rend());
    }
}

void Avm2Runtime::dispatchAdded(Object* child) {
    dispatchNew(child, "added", true);
    if (onStage(*this, child)) {
        dispatchToSubtree(child, "addedToStage");
    }
}

void Avm2Runtime::dispatchRemoved(Object* child) {
    dispatchNew(child, "removed", true);
    if (onStage(*this, child)) {
        dispatchToSubtree(child, "removedFromStage");
    }
}

void Avm2Runtime::listening(Object* o, const std::string& type) {
    const bool broadcastType =
        type == "enterFrame" || type == "frameConstructed" || type == "exitFrame";
    if (broadcastType && o != m_stage &&
        std::find(m_listening.begin(), m_listening.end(), o) == m_listening.end()) {
        m_listening.push_back(o);
    }
}

// Every display object listening hears a frame's events, on the display list or not: the
// stage first, then the others in the order they began to listen.
void Avm2Runtime::broadcast(const char* type) {
    Machine& m = *m_vm;
    ClassInfo* ev = m.builtin("flash.events.Event");
    std::vector<Object*> targets;
    const auto hears = [type](const Object* o) {
        auto it = o->listeners.find(type);
        return it != o->listeners.end() && !it->second.empty();
    };
    if (hears(m_stage)) {
        targets.push_back(m_stage);
    }
    std::erase_if(m_listening, [](const Object* o) {
        return std::all_of(o->listeners.begin(), o->listeners.end(),
                           [](const auto& entry) { return entry.second.empty(); });
    });
    for (Object* o : m_listening) {
        if (hears(o)) {
            targets.push_back(o);
        }
    }
    for (Object* o : targets) {
        Value a[1] = {m.str(type)};
        Object* e = nullptr;
        guarded([&] { e = m.constructClass(ev, Args(a, 1)); });
        if (e != nullptr) {
            dispatch(o, e);
        }
    }
}

void Avm2Runtime::runTimers(double nowMs) {
    for (int calls = 0; calls < kMaxTimerCalls && !m_stopped; ++calls) {
        const std::optional<avm2::TimerEntry> due = m_timers.takeDue(nowMs);
        if (!due) {
            break;
        }
        // The callback runs at the time it came due, as it would between frames: what it
        // schedules counts from then.
        const avm2::TimerEntry entry = *due;
        m_vm->nowMs = entry.next;
        guarded([&] { avm2::fireTimer(*m_vm, entry); });
    }
    m_timers.skipOverdue(nowMs);
    m_vm->nowMs = nowMs;
}

void Avm2Runtime::gotoFrameOf(TimelineInstance& c, std::uint32_t target, bool play, bool queued) {
    if (std::find(m_scriptClips.begin(), m_scriptClips.end(), &c) != m_scriptClips.end()) {
        m_queuedGotos[&c] = {target, play};
        return;
    }
    c.setPlaying(play);
    if (target != c.currentFrame()) {
        if (&c == m_root) {
            // The blocks of the frames jumped to or over are loaded before it shows.
            loadBlocksUpTo(target);
        }
        c.jumpTo(target);
        c.setPlaying(play);
    }
    // A goto made from a frame script runs the scripts of the frames it reaches at once (one
    // kept for its clip's own script has none to wait for), and their frame goes round after
    // the calling script.
    if (m_inFrameScripts) {
        if (!queued) {
            runFrameScripts();
        }
        m_gotoQueued = true;
        return;
    }
    catchUpAfterGoto();
}

void Avm2Runtime::afterGoto() {
    if (m_inFrameScripts) {
        runFrameScripts();
        m_gotoQueued = true;
        return;
    }
    catchUpAfterGoto();
}

void Avm2Runtime::catchUpAfterGoto() {
    constexpr int kMaxNestedGotos = 16;
    if (m_gotoDepth >= kMaxNestedGotos) {
        return;
    }
    ++m_gotoDepth;
    broadcast("frameConstructed");
    runFrameScripts();
    broadcast("exitFrame");
    --m_gotoDepth;
}

void Avm2Runtime::runFrameScripts() {
    const bool outer = !m_inFrameScripts;
    m_inFrameScripts = true;
    runFrameScriptRounds();
    m_inFrameScripts = !outer;
}

void Avm2Runtime::runFrameScriptRounds() {
    for (int round = 0; round < 4; ++round) {
        bool ran = false;
        const std::vector<TimelineInstance*> order = m_order;
        for (TimelineInstance* clip : order) {
            auto it = m_objects.find(clip);
            if (it == m_objects.end()) {
                continue;
            }
            Object* o = it->second;
            const std::int64_t frame = clip->currentFrame();
            if (frame == o->lastFrame) {
                continue;
            }
            o->lastFrame = frame;
            auto fs = o->frameScripts.find(static_cast<std::uint32_t>(frame));
            if (fs != o->frameScripts.end()) {
                ran = true;
                Object* fn = fs->second;
                m_scriptClips.push_back(clip);
                guarded([&] { m_vm->call(Value::obj(fn), Value::obj(o), {}); });
                m_scriptClips.pop_back();
                // A goto of the clip from its own frame script waits for the script to end.
                auto queued = m_queuedGotos.find(clip);
                if (queued != m_queuedGotos.end() &&
                    std::find(m_scriptClips.begin(), m_scriptClips.end(), clip) ==
                        m_scriptClips.end()) {
                    const std::pair<std::uint32_t, bool> go = queued->second;
                    m_queuedGotos.erase(queued);
                    gotoFrameOf(*clip, go.first, go.second, true);
                }
                if (m_gotoQueued) {
                    // A goto in a frame script: the frame it reaches goes round once the
                    // script has ended.
                    m_gotoQueued = false;
                    m_inFrameScripts = false;
                    catchUpAfterGoto();
                    m_inFrameScripts = true;
                }
            }
        }
        if (!ran) {
            return;
        }
    }
}

void Avm2Runtime::runFrame(double nowMs) {
    if (m_root == nullptr || m_stopped) {
        return;
    }
    m_vm->nowMs = nowMs;
    m_vm->setInstructionBudget(m_budget);
    m_vm->refillBudget();
    runTimers(nowMs);
    const std::vector<TimelineInstance*> order = m_order;
    m_advancing = true;
    for (TimelineInstance* clip : order) {
        if (m_objects.count(clip) != 0) {
            clip->advanceOwn();
        }
    }
    m_advancing = false;
    loadBlocksUpTo(m_root->currentFrame());
    broadcast("enterFrame");
    constructPendingClips();
    broadcast("frameConstructed");
    runFrameScripts();
    broadcast("exitFrame");
    finishFrame();
}

void Avm2Runtime::finishFrame() {
    if (m_root == nullptr) {
        return;
    }
    if (!m_started) {
        m_started = true;
        m_vm->setInstructionBudget(m_budget);
        m_vm->refillBudget();
        loadBlocksOfFrame(0);
        m_blocksLoadedUpTo = 1;
        guarded([&] { m_vm->runPendingScripts(); });
        m_rootObject = objectFor(*m_root);
        // The main timeline joins the stage once made, and its first frame ends as every
        // later one does.
        dispatchNew(m_rootObject, "added", true);
        dispatchNew(m_rootObject, "addedToStage", false);
        broadcast("frameConstructed");
        runFrameScripts();
        broadcast("exitFrame");
    }
    m_vm->collectGarbage();
}

} // namespace kinovex::flash
