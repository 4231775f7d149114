// flash.display.Stage and the movie's flash.display.LoaderInfo.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

#include "engine/definitions/Movie.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::display_natives {

// ---- the movie's LoaderInfo ----

Value doLoaderInfo(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    Avm2Runtime& rt = host(vm);
    const bool ofMovie = o == rt.stageObject() || o == rt.rootObject() || o->clip != nullptr;
    return ofMovie ? Value::obj(rt.loaderInfo()) : Value::null();
}

namespace {

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

// What a script sets is kept between 0.01 and 1000.
Value stageSetFrameRate(Machine& vm, Value s, Args args) {
    const double rate = vm.toNumber(avm2::arg(args, 0));
    setHidden(self(vm, s), "frameRate",
              Value::number(std::isnan(rate) ? 0.01 : std::clamp(rate, 0.01, 1000.0)));
    return Value();
}

// The interactive object the keys go to; null: the stage itself.
Value stageFocus(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "focus");
    return v.isObject() ? v : Value::null();
}
Value stageSetFocus(Machine& vm, Value s, Args args) {
    const Value v = avm2::arg(args, 0);
    setHidden(self(vm, s), "focus",
              v.isNullish() ? Value::null() : vm.coerceTo(v, "flash.display.InteractiveObject"));
    return Value();
}
Value stageInvalidate(Machine& vm, Value, Args) {
    host(vm).invalidateStage();
    return Value();
}

} // namespace

ClassInfo* installStageClass(Machine& m, ClassInfo* container) {
    ClassInfo* stage = m.defineNativeClass("flash.display", "Stage", container);
    m.defineGetter(stage, "frameRate", stageFrameRate, stageSetFrameRate);
    installStageSettings(m, stage);
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
    m.defineGetter(stage, "focus", stageFocus, stageSetFocus);
    m.defineMethod(stage, "invalidate", stageInvalidate);
    return stage;
}

namespace {

// A LoaderInfo other than the movie's answers from what its load has filled in: until then,
// the answers a loaded file gives are refused, the others are empty.
Value loadedField(Machine& vm, const Value& s, const char* field, bool refused) {
    const Value v = hidden(self(vm, s), field);
    if (!v.isUndefined()) {
        return v;
    }
    if (refused) {
        vm.throwError("Error", 2099,
                      "The loading object is not sufficiently loaded to provide this information.");
    }
    return Value::null();
}
template <avm2::NativeFn ofMovie, const char* field, bool refused>
Value liGet(Machine& vm, Value s, Args args) {
    if (self(vm, s) == host(vm).loaderInfo()) {
        return ofMovie(vm, s, args);
    }
    return loadedField(vm, s, field, refused);
}

constexpr char kBytesLoaded[] = "bytesLoaded";
constexpr char kBytesTotal[] = "bytesTotal";
constexpr char kContent[] = "content";
constexpr char kContentType[] = "contentType";
constexpr char kVersion[] = "actionScriptVersion";
constexpr char kFrameRate[] = "frameRate";
constexpr char kWidth[] = "width";
constexpr char kHeight[] = "height";
constexpr char kSwfVersion[] = "swfVersion";
constexpr char kChildAllows[] = "childAllowsParent";
constexpr char kParentAllows[] = "parentAllowsChild";
constexpr char kSameDomain[] = "sameDomain";
constexpr char kLoader[] = "loader";
constexpr char kUrl[] = "url";

Value liBytesNone(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "bytesTotal");
    return v.isUndefined() ? Value::integer(0) : v;
}
template <const char* field> Value liCount(Machine& vm, Value s, Args args) {
    if (self(vm, s) == host(vm).loaderInfo()) {
        return liBytes(vm, s, args);
    }
    const Value v = hidden(s.o, field);
    return v.isUndefined() ? liBytesNone(vm, s, args) : v;
}
// The movie's parameters (FlashVars and the address's query): none here, an empty object, the
// same one each time.
Value liParameters(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    Value kept = hidden(o, "parameters");
    if (!kept.isObject()) {
        kept = Value::obj(vm.newPlainObject());
        setHidden(o, "parameters", kept);
    }
    return kept;
}

} // namespace

void installLoaderInfoClass(Machine& m, ClassInfo* dispatcher) {
    ClassInfo* loaderInfo = m.defineNativeClass("flash.display", "LoaderInfo", dispatcher);
    m.defineGetter(loaderInfo, "bytesLoaded", liCount<kBytesLoaded>);
    m.defineGetter(loaderInfo, "parameters", liParameters);
    m.defineGetter(loaderInfo, "bytesTotal", liCount<kBytesTotal>);
    m.defineGetter(loaderInfo, "content", liGet<liContent, kContent, false>);
    m.defineGetter(loaderInfo, "contentType", liGet<liContentType, kContentType, false>);
    m.defineGetter(loaderInfo, "actionScriptVersion", liGet<liActionScriptVersion, kVersion, true>);
    m.defineGetter(loaderInfo, "frameRate", liGet<liFrameRate, kFrameRate, true>);
    m.defineGetter(loaderInfo, "width", liGet<liWidth, kWidth, true>);
    m.defineGetter(loaderInfo, "height", liGet<liHeight, kHeight, true>);
    m.defineGetter(loaderInfo, "swfVersion", liGet<liSwfVersion, kSwfVersion, true>);
    m.defineGetter(loaderInfo, "childAllowsParent", liGet<doTrue, kChildAllows, true>);
    m.defineGetter(loaderInfo, "parentAllowsChild", liGet<doTrue, kParentAllows, true>);
    m.defineGetter(loaderInfo, "sameDomain", liGet<doTrue, kSameDomain, true>);
    m.defineGetter(loaderInfo, "loader", liGet<doNull, kLoader, false>);
}

} // namespace kinovex::flash::display_natives
