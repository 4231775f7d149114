// The event classes of input and errors: MouseEvent, KeyboardEvent, FocusEvent, TextEvent,
// ErrorEvent, IOErrorEvent and SecurityErrorEvent. Each takes (type, bubbles, cancelable)
// and then its own fields, in the order of a table below, which also gives toString's fields.

#include "engine/avm2/DisplayNatives.h"

#include <cmath>
#include <limits>
#include <string_view>

namespace kinovex::flash::display_natives {

namespace {

enum class Kind { Number, NaNNumber, Boolean, Int, Uint, Object, String };

Value coerce(Machine& vm, Kind kind, const Value& v) {
    switch (kind) {
    case Kind::Number:
    case Kind::NaNNumber:
        return Value::number(vm.toNumber(v));
    case Kind::Boolean:
        return Value::boolean(Machine::toBoolean(v));
    case Kind::Int:
        return Value::integer(vm.toInt(v));
    case Kind::Uint:
        return Value::number(vm.toUint(v));
    case Kind::Object:
        return v.isNullish() ? Value::null() : v;
    case Kind::String:
        return v.isNullish() ? Value::null() : vm.str(vm.toString(v));
    }
    return v;
}

Value byDefault(Machine& vm, Kind kind) {
    switch (kind) {
    case Kind::NaNNumber:
        return Value::number(std::numeric_limits<double>::quiet_NaN());
    case Kind::Boolean:
        return Value::boolean(false);
    case Kind::Object:
        return Value::null();
    case Kind::String:
        return vm.str("");
    default:
        return Value::integer(0);
    }
}

struct Field {
    const char* name;
    Kind kind;
};

struct EventClass {
    const char* name;
    const char* base; // null: Event
    bool bubbles;     // when the constructor is not told
    std::vector<Field> fields;
    std::vector<const char*> shown; // toString's fields after eventPhase
    std::vector<std::pair<const char*, const char*>> constants;
};

const std::vector<Field> kMouseFields = {
    {"localX", Kind::NaNNumber},   {"localY", Kind::NaNNumber}, {"relatedObject", Kind::Object},
    {"ctrlKey", Kind::Boolean},    {"altKey", Kind::Boolean},   {"shiftKey", Kind::Boolean},
    {"buttonDown", Kind::Boolean}, {"delta", Kind::Int}};
const std::vector<Field> kErrorFields = {{"text", Kind::String}, {"errorID", Kind::Int}};

// Parents before their subclasses.
const std::vector<EventClass>& eventClasses() {
    static const std::vector<EventClass> classes = {
        {"MouseEvent",
         nullptr,
         true,
         kMouseFields,
         {"localX", "localY", "stageX", "stageY", "relatedObject", "ctrlKey", "altKey", "shiftKey",
          "buttonDown", "delta"},
         {{"CLICK", "click"},
          {"DOUBLE_CLICK", "doubleClick"},
          {"MOUSE_DOWN", "mouseDown"},
          {"MOUSE_UP", "mouseUp"},
          {"MOUSE_MOVE", "mouseMove"},
          {"MOUSE_OVER", "mouseOver"},
          {"MOUSE_OUT", "mouseOut"},
          {"ROLL_OVER", "rollOver"},
          {"ROLL_OUT", "rollOut"},
          {"MOUSE_WHEEL", "mouseWheel"},
          {"MIDDLE_CLICK", "middleClick"},
          {"MIDDLE_MOUSE_DOWN", "middleMouseDown"},
          {"MIDDLE_MOUSE_UP", "middleMouseUp"},
          {"RIGHT_CLICK", "rightClick"},
          {"RIGHT_MOUSE_DOWN", "rightMouseDown"},
          {"RIGHT_MOUSE_UP", "rightMouseUp"},
          {"CONTEXT_MENU", "contextMenu"},
          {"RELEASE_OUTSIDE", "releaseOutside"}}},
        {"KeyboardEvent",
         nullptr,
         true,
         {{"charCode", Kind::Uint},
          {"keyCode", Kind::Uint},
          {"keyLocation", Kind::Uint},
          {"ctrlKey", Kind::Boolean},
          {"altKey", Kind::Boolean},
          {"shiftKey", Kind::Boolean}},
         {"charCode", "keyCode", "keyLocation", "ctrlKey", "altKey", "shiftKey"},
         {{"KEY_DOWN", "keyDown"}, {"KEY_UP", "keyUp"}}},
        {"FocusEvent",
         nullptr,
         true,
         {{"relatedObject", Kind::Object}, {"shiftKey", Kind::Boolean}, {"keyCode", Kind::Uint}},
         {"relatedObject", "shiftKey", "keyCode"},
         {{"FOCUS_IN", "focusIn"},
          {"FOCUS_OUT", "focusOut"},
          {"KEY_FOCUS_CHANGE", "keyFocusChange"},
          {"MOUSE_FOCUS_CHANGE", "mouseFocusChange"}}},
        {"TextEvent",
         nullptr,
         false,
         {{"text", Kind::String}},
         {"text"},
         {{"LINK", "link"}, {"TEXT_INPUT", "textInput"}}},
        {"ErrorEvent", "TextEvent", false, kErrorFields, {"text"}, {{"ERROR", "error"}}},
        {"IOErrorEvent",
         "ErrorEvent",
         false,
         kErrorFields,
         {"text"},
         {{"IO_ERROR", "ioError"},
          {"NETWORK_ERROR", "networkError"},
          {"DISK_ERROR", "diskError"},
          {"VERIFY_ERROR", "verifyError"}}},
        {"SecurityErrorEvent",
         "ErrorEvent",
         false,
         kErrorFields,
         {"text"},
         {{"SECURITY_ERROR", "securityError"}}},
    };
    return classes;
}

// The table row of the player's class `o` is of or derives from.
const EventClass& eventClassOf(Machine& vm, Object* o) {
    for (ClassInfo* c = o->cls; c != nullptr; c = c->super) {
        if (c->file != nullptr) {
            continue;
        }
        for (const EventClass& e : eventClasses()) {
            if (c->name == e.name) {
                return e;
            }
        }
    }
    vm.throwError("TypeError", 1034, "Type Coercion failed: not an input event.");
}

const Field* fieldNamed(const EventClass& e, std::string_view name) {
    for (const Field& f : e.fields) {
        if (name == f.name) {
            return &f;
        }
    }
    return nullptr;
}

Value inputEventInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const EventClass& e = eventClassOf(vm, o);
    Value base[3] = {avm2::arg(args, 0), args.size() > 1 ? args[1] : Value::boolean(e.bubbles),
                     avm2::arg(args, 2)};
    vm.builtin("flash.events.Event")->nativeInit(vm, s, Args(base, 3));
    for (std::size_t i = 0; i < e.fields.size(); ++i) {
        const Field& f = e.fields[i];
        const std::size_t at = i + 3;
        setHidden(o, f.name,
                  at < args.size() ? coerce(vm, f.kind, args[at]) : byDefault(vm, f.kind));
    }
    return Value();
}

// The field's getter and setter, by the name of the field.
#define INPUT_EVENT_FIELD(NAME)                                                                    \
    Value get_##NAME(Machine& vm, Value s, Args) {                                                 \
        return hidden(self(vm, s), #NAME);                                                         \
    }                                                                                              \
    Value set_##NAME(Machine& vm, Value s, Args args) {                                            \
        Object* o = self(vm, s);                                                                   \
        const Field* f = fieldNamed(eventClassOf(vm, o), #NAME);                                   \
        setHidden(o, #NAME, f != nullptr ? coerce(vm, f->kind, avm2::arg(args, 0)) : Value());     \
        return Value();                                                                            \
    }
INPUT_EVENT_FIELD(localX)
INPUT_EVENT_FIELD(localY)
INPUT_EVENT_FIELD(relatedObject)
INPUT_EVENT_FIELD(ctrlKey)
INPUT_EVENT_FIELD(altKey)
INPUT_EVENT_FIELD(shiftKey)
INPUT_EVENT_FIELD(buttonDown)
INPUT_EVENT_FIELD(delta)
INPUT_EVENT_FIELD(charCode)
INPUT_EVENT_FIELD(keyCode)
INPUT_EVENT_FIELD(keyLocation)
INPUT_EVENT_FIELD(text)
#undef INPUT_EVENT_FIELD

// Where on the stage: set by the runtime for the events it makes; an event a script made has
// its local position there.
template <int axis> Value stagePosition(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    const Value v = hidden(o, axis == 0 ? "stageX" : "stageY");
    return v.isUndefined() ? hidden(o, axis == 0 ? "localX" : "localY") : v;
}

Value errorId(Machine& vm, Value s, Args) {
    return hidden(self(vm, s), "errorID");
}

Value inputEventToString(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    const EventClass& e = eventClassOf(vm, o);
    std::string out = std::string("[") + e.name + " type=\"" + vm.toString(hidden(o, "type")) +
                      "\" bubbles=" + vm.toString(hidden(o, "bubbles")) +
                      " cancelable=" + vm.toString(hidden(o, "cancelable")) +
                      " eventPhase=" + vm.toString(hidden(o, "eventPhase"));
    for (const char* name : e.shown) {
        const Value v = vm.get(s, name);
        out += std::string(" ") + name + "=" +
               (v.isString() ? "\"" + vm.toString(v) + "\"" : vm.toString(v));
    }
    return vm.str(out + "]");
}

Value inputEventClone(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    const EventClass& e = eventClassOf(vm, o);
    std::vector<Value> a = {hidden(o, "type"), hidden(o, "bubbles"), hidden(o, "cancelable")};
    for (const Field& f : e.fields) {
        a.push_back(hidden(o, f.name));
    }
    ClassInfo* cls = vm.builtin(std::string("flash.events.") + e.name);
    return Value::obj(vm.constructClass(cls, Args(a)));
}

Value updateAfterEvent(Machine&, Value, Args) {
    return Value();
}

struct Accessor {
    const char* name;
    avm2::NativeFn get;
    avm2::NativeFn set;
};
const Accessor kAccessors[] = {
    {"localX", get_localX, set_localX},
    {"localY", get_localY, set_localY},
    {"relatedObject", get_relatedObject, set_relatedObject},
    {"ctrlKey", get_ctrlKey, set_ctrlKey},
    {"altKey", get_altKey, set_altKey},
    {"shiftKey", get_shiftKey, set_shiftKey},
    {"buttonDown", get_buttonDown, set_buttonDown},
    {"delta", get_delta, set_delta},
    {"charCode", get_charCode, set_charCode},
    {"keyCode", get_keyCode, set_keyCode},
    {"keyLocation", get_keyLocation, set_keyLocation},
    {"text", get_text, set_text},
};

void installEventClass(Machine& m, const EventClass& e) {
    ClassInfo* base = m.builtin(std::string("flash.events.") + (e.base ? e.base : "Event"));
    ClassInfo* cls = m.defineNativeClass("flash.events", e.name, base, ObjKind::Event);
    cls->nativeInit = inputEventInit;
    for (const Field& f : e.fields) {
        for (const Accessor& a : kAccessors) {
            if (std::string_view(a.name) == f.name && fieldNamed(e, a.name) != nullptr) {
                m.defineGetter(cls, a.name, a.get, a.set);
            }
        }
    }
    m.defineMethod(cls, "toString", inputEventToString);
    m.defineMethod(cls, "clone", inputEventClone);
    for (const auto& [name, value] : e.constants) {
        m.defineConstant(cls, name, m.str(value));
    }
}

} // namespace

void installInputEventClasses(Machine& m) {
    for (const EventClass& e : eventClasses()) {
        installEventClass(m, e);
    }
    ClassInfo* mouse = m.builtin("flash.events.MouseEvent");
    m.defineGetter(mouse, "stageX", stagePosition<0>);
    m.defineGetter(mouse, "stageY", stagePosition<1>);
    m.defineMethod(mouse, "updateAfterEvent", updateAfterEvent);
    m.defineMethod(m.builtin("flash.events.KeyboardEvent"), "updateAfterEvent", updateAfterEvent);
    m.defineGetter(m.builtin("flash.events.ErrorEvent"), "errorID", errorId);
}

} // namespace kinovex::flash::display_natives
