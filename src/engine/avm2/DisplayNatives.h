#pragma once
// What the runtime's display classes share between their files: the runtime and the object a
// native is called on, the natives more than one class installs, where an object stands among
// its parent's children, and the installers the runtime calls when it is made.

#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/Machine.h"

#include <cstdint>

namespace kinovex::flash {

class Avm2Runtime;

namespace display_natives {

using avm2::Args;
using avm2::ClassInfo;
using avm2::hidden;
using avm2::Machine;
using avm2::Object;
using avm2::ObjKind;
using avm2::setHidden;
using avm2::Value;

Avm2Runtime& host(Machine& vm);
// The object a native is called on; a TypeError for null.
Object* self(Machine& vm, const Value& v);

// A native getter named FN that reads the hidden field FIELD of its receiver.
#define DISPLAY_HIDDEN_GETTER(FN, FIELD)                                                           \
    Value FN(Machine& vm, Value s, Args) {                                                         \
        return hidden(self(vm, s), FIELD);                                                         \
    }

// Whether the object is on the stage's display list.
bool onStage(Avm2Runtime& rt, Object* o);
// Where a child stands among its timeline's depths; what a script added comes after them all.
std::int64_t timelineDepth(Object* o);
// The child leaves its parent's children, with no event.
void detach(Object* child);

// DisplayObject's getters the stage keeps, and the natives of fixed answers.
Value doName(Machine& vm, Value s, Args);
Value doX(Machine& vm, Value s, Args);
Value doY(Machine& vm, Value s, Args);
Value doScaleX(Machine& vm, Value s, Args);
Value doScaleY(Machine& vm, Value s, Args);
Value doRotation(Machine& vm, Value s, Args);
Value doVisible(Machine& vm, Value s, Args);
Value doLoaderInfo(Machine& vm, Value s, Args);
Value doOne(Machine&, Value, Args);
Value doZero(Machine&, Value, Args);
Value doNull(Machine&, Value, Args);
Value doIgnore(Machine&, Value, Args);

// EventDispatcher and Event; the dispatcher class is returned.
ClassInfo* installEventClasses(Machine& m);
// DisplayObject and the classes beneath it up to MovieClip; the container class is returned.
ClassInfo* installDisplayClasses(Machine& m, ClassInfo* dispatcher);
// MovieClip, with FrameLabel and Scene.
void installMovieClipClasses(Machine& m, ClassInfo* sprite, ClassInfo* dispatcher);
ClassInfo* installStageClass(Machine& m, ClassInfo* container);
void installLoaderInfoClass(Machine& m, ClassInfo* dispatcher);

} // namespace display_natives

} // namespace kinovex::flash
