#pragma once
// What the runtime's display classes share between their files: the runtime and the object a
// native is called on, the natives more than one class installs, where an object stands among
// its parent's children, and the installers the runtime calls when it is made.

#include "engine/avm2/DisplayGeometry.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/Machine.h"
#include "engine/definitions/ShapeGeometry.h"

#include <cstdint>
#include <optional>

namespace kinovex::flash {

class Avm2Runtime;
struct DisplayObject;
class TextField;
struct Filter;

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

// The placement of a clip, or of a shape or text its parent's timeline shows; null for others.
DisplayObject* placed(Object* o);
// The matrix scripts move, and a script's move of it (the timeline no longer moves the object).
Matrix objectMatrix(Object* o);
void setObjectMatrix(Object* o, const Matrix& m);
// The part of the object a script's scrollRect shows (twips), if it set one.
std::optional<Rect> scrollRectOf(Object* o);
// The colour transform scripts set, and a script's change of it.
ColorTransform colorTransformOf(Object* o);
void setColorTransformOf(Object* o, ColorTransform cx);
// From an object's own space to the stage's, in twips, through the containers holding it.
Matrix stageMatrixOf(Object* o);
// The interactive object a press or move at `p` (stage twips) reaches: the topmost that takes
// the mouse, else the stage.
Object* mouseTarget(Avm2Runtime& rt, Machine& vm, Point p);
// Scale and rotation as a script last set them, else as the matrix gives them; and a change.
avm2::ScaleRotation scaleRotation(Object* o);
void setScaleRotation(Object* o, const avm2::ScaleRotation& sr);
// The box around what an object shows, its children's included, in its own space (twips; all
// zero when it shows nothing).
Rect localBoxOf(Object* o);

// DisplayObject's constructor: the object's "instanceN" name, and what a linked symbol shows.
Value doInit(Machine& vm, Value s, Args);

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
// MouseEvent, KeyboardEvent, FocusEvent, TextEvent and the error events.
void installInputEventClasses(Machine& m);
// DisplayObject and the classes beneath it up to MovieClip; the container class is returned.
ClassInfo* installDisplayClasses(Machine& m, ClassInfo* dispatcher);
// MovieClip, with FrameLabel and Scene.
void installMovieClipClasses(Machine& m, ClassInfo* sprite, ClassInfo* dispatcher);
ClassInfo* installStageClass(Machine& m, ClassInfo* container);
// The stage's size, scaleMode, align, quality and displayState, and the classes of their values.
void installStageSettings(Machine& m, ClassInfo* stage);
void installLoaderInfoClass(Machine& m, ClassInfo* dispatcher);
// DisplayObject's width and height.
void installSizeProperties(Machine& m, ClassInfo* display);
// DisplayObject's mask and opaqueBackground.
void installLookProperties(Machine& m, ClassInfo* display);
// flash.geom.Transform and DisplayObject.transform.
void installTransformClass(Machine& m, ClassInfo* display);
// localToGlobal, globalToLocal, mouseX and mouseY.
void installPointConversions(Machine& m, ClassInfo* display);
void installBoundsRects(Machine& m, ClassInfo* display); // getBounds, getRect
// The filter classes (BitmapFilter is returned), and DisplayObject's filters.
ClassInfo* installFilterClasses(Machine& m);
void installFiltersProperty(Machine& m, ClassInfo* display);
// A filter as scripts see it (null for a kind they get no object of), and a filter object as
// the display layer draws it.
Value scriptFilter(Machine& vm, const Filter& f);
std::optional<Filter> displayFilter(Machine& vm, Object* o);
// BitmapData and Bitmap.
ClassInfo* installBitmapDataClass(Machine& m);
void installBitmapClass(Machine& m, ClassInfo* display);
// A BitmapData of the pixels of the bitmap symbol `linked`'s class is linked to; null for none.
Value symbolBitmapData(Machine& vm, Object* linked);
// Loader, URLRequest and ProgressEvent.
void installLoaderClasses(Machine& m, ClassInfo* container);
void installUrlLoaderClasses(Machine& m); // URLLoader, URLVariables, navigateToURL
// Graphics, and the graphics property of Shape and Sprite.
void installGraphicsClass(Machine& m, ClassInfo* shape, ClassInfo* sprite);
// InteractiveObject's mouseEnabled, doubleClickEnabled and tab switches; SimpleButton.
void installInteractiveProperties(Machine& m, ClassInfo* interactive);
void installSpriteSwitches(Machine& m, ClassInfo* sprite);
void installSimpleButtonClass(Machine& m, ClassInfo* interactive);
void installTextFormatClass(Machine& m);
void installTextFieldClass(Machine& m, ClassInfo* interactive);
void installTextFieldFormats(Machine& m, ClassInfo* textField);
void installTextLineMetrics(Machine& m, ClassInfo* textField); // and getLineMetrics
// The field a TextField object speaks for.
TextField& textFieldOf(Machine& vm, const Value& s);

} // namespace display_natives

} // namespace kinovex::flash
