// flash.display.DisplayObject and the classes beneath it: geometry, names, visibility,
// parent, root and stage, hit tests, and DisplayObjectContainer's children.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/DisplayGeometry.h"

#include "engine/display/Bounds.h"
#include "engine/display/ButtonHitTest.h"
#include "engine/display/Timeline.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace kinovex::flash::display_natives {

// ---- display objects ----

// Display objects are numbered as they are made, the main timeline and those the timeline named
// left out: "instanceN" is the name of one nobody named.
Value doInit(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    const bool named =
        o->clip != nullptr && o->clip->owner() != nullptr && !o->clip->owner()->name.empty();
    if (hidden(o, "instance").isUndefined() && !named &&
        (o->clip == nullptr || o->clip != host(vm).root())) {
        setHidden(o, "instance", vm.str(host(vm).nextInstanceName()));
    }
    host(vm).bindSymbol(o);
    return Value();
}

namespace {

Value doSetName(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "name", vm.str(vm.toString(avm2::arg(args, 0))));
    return Value();
}

} // namespace

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

namespace {
constexpr const char* kMatrixFields[6] = {"ma", "mb", "mc", "md", "mtx", "mty"};
} // namespace

// The matrix scripts move: the placement's for an object the timeline placed, else one kept
// on the script object (the main timeline's, one a script made).
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

namespace {
constexpr const char* kColorFields[8] = {"rMult", "gMult", "bMult", "aMult",
                                         "rAdd",  "gAdd",  "bAdd",  "aAdd"};
std::array<double*, 8> colorFields(ColorTransform& cx) {
    return {&cx.rMult, &cx.gMult, &cx.bMult, &cx.aMult, &cx.rAdd, &cx.gAdd, &cx.bAdd, &cx.aAdd};
}
} // namespace

// The colours scripts set: the placement's for an object the timeline placed, else kept on the
// script object.
ColorTransform colorTransformOf(Object* o) {
    if (DisplayObject* d = placed(o)) {
        return d->colorTransform;
    }
    ColorTransform cx;
    const std::array<double*, 8> fields = colorFields(cx);
    for (std::size_t i = 0; i < 8; ++i) {
        if (const Value v = hidden(o, kColorFields[i]); v.isNumeric()) {
            *fields[i] = v.num();
        }
    }
    return cx;
}
void setColorTransformOf(Object* o, ColorTransform cx) {
    if (DisplayObject* d = placed(o)) {
        d->colorTransform = cx;
        d->scriptTransformed = true;
        return;
    }
    const std::array<double*, 8> fields = colorFields(cx);
    for (std::size_t i = 0; i < 8; ++i) {
        setHidden(o, kColorFields[i], Value::number(*fields[i]));
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

Value doX(Machine& vm, Value s, Args) {
    return Value::number(objectMatrix(self(vm, s)).tx / 20.0);
}
Value doY(Machine& vm, Value s, Args) {
    return Value::number(objectMatrix(self(vm, s)).ty / 20.0);
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

Value doVisible(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (DisplayObject* d = placed(o)) {
        return Value::boolean(d->visible);
    }
    const Value kept = hidden(o, "visible");
    return kept.isUndefined() ? Value::boolean(true) : kept;
}
// Alpha multiplies the object's colours.
Value doAlpha(Machine& vm, Value s, Args) {
    return Value::number(colorTransformOf(self(vm, s)).aMult);
}

bool onStage(Avm2Runtime& rt, Object* o) {
    for (; o != nullptr; o = o->parentObj) {
        if (o == rt.stageObject()) {
            return true;
        }
    }
    return false;
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

void detach(Object* child) {
    if (child->parentObj != nullptr) {
        std::erase(child->parentObj->children, child);
        child->parentObj = nullptr;
    }
}

namespace {

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

Value doSetVisible(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const bool visible = Machine::toBoolean(avm2::arg(args, 0));
    if (DisplayObject* d = placed(o)) {
        d->visible = visible;
    } else {
        setHidden(o, "visible", Value::boolean(visible));
    }
    return Value();
}
Value doSetAlpha(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    ColorTransform cx = colorTransformOf(o);
    cx.aMult = vm.toNumber(avm2::arg(args, 0));
    setColorTransformOf(o, cx);
    return Value();
}
Value doParent(Machine& vm, Value s, Args) {
    return Value::obj(self(vm, s)->parentObj);
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

// ---- hit tests ----

} // namespace

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

namespace {
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

Value addChildAt(Machine& vm, Value s, Args args) {
    Object* o = container(vm, s);
    const Value c = avm2::arg(args, 0);
    if (!c.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter child must be non-null.");
    }
    if (c.o == o) {
        vm.throwError("ArgumentError", 2024, "An object cannot be added as a child of itself.");
    }
    for (const Object* up = o->parentObj; up != nullptr; up = up->parentObj) {
        if (up == c.o) {
            vm.throwError("ArgumentError", 2150,
                          "An object cannot be added as a child to one of it's children (or "
                          "children's children, etc.).");
        }
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
    // A clip its timeline placed is drawn by that timeline only while it stands there.
    if (DisplayObject* d = placed(c.o)) {
        d->takenByScript = c.o->clip != nullptr && c.o->clip->parent() != o->clip;
    }
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
    if (DisplayObject* d = placed(c.o)) {
        d->takenByScript = true;
    }
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

Value containerMouseChildren(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "mouseChildren");
    return v.isUndefined() ? Value::boolean(true) : v;
}
Value containerSetMouseChildren(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "mouseChildren", Value::boolean(Machine::toBoolean(avm2::arg(args, 0))));
    return Value();
}
Value containerTabChildren(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "tabChildren");
    return v.isUndefined() ? Value::boolean(true) : v;
}
Value containerSetTabChildren(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "tabChildren", Value::boolean(Machine::toBoolean(avm2::arg(args, 0))));
    return Value();
}

} // namespace

namespace {

// Only the timeline makes these.
Value notMadeByScripts(Machine& vm, Value s, Args) {
    vm.throwError("ArgumentError", 2012,
                  self(vm, s)->cls->name + "$ class cannot be instantiated.");
}

} // namespace

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
    m.defineGetter(display, "alpha", doAlpha, doSetAlpha);
    m.defineGetter(display, "scaleX", doScaleX, doSetScaleX);
    m.defineGetter(display, "scaleY", doScaleY, doSetScaleY);
    m.defineGetter(display, "rotation", doRotation, doSetRotation);
    installSizeProperties(m, display);
    m.defineGetter(display, "loaderInfo", doLoaderInfo);
    installLookProperties(m, display);
    installPointConversions(m, display);
    installBoundsRects(m, display);
    installTransformClass(m, display);
    installFiltersProperty(m, display);
    installBitmapClass(m, display);
    m.defineMethod(display, "hitTestPoint", hitTestPoint, 2);
    m.defineMethod(display, "hitTestObject", hitTestObject, 1);
    ClassInfo* interactive = m.defineNativeClass("flash.display", "InteractiveObject", display);
    installInteractiveProperties(m, interactive);
    installSimpleButtonClass(m, interactive);
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
    m.defineGetter(container, "tabChildren", containerTabChildren, containerSetTabChildren);
    ClassInfo* shape = m.defineNativeClass("flash.display", "Shape", display);
    m.defineNativeClass("flash.display", "MorphShape", display)->nativeInit = notMadeByScripts;
    m.defineNativeClass("flash.text", "StaticText", display)->nativeInit = notMadeByScripts;
    installTextFieldClass(m, interactive);
    installTextFormatClass(m);
    ClassInfo* sprite = m.defineNativeClass("flash.display", "Sprite", container);
    installSpriteSwitches(m, sprite);
    installGraphicsClass(m, shape, sprite);
    installMovieClipClasses(m, sprite, dispatcher);
    installLoaderClasses(m, container);
    return container;
}

} // namespace kinovex::flash::display_natives
