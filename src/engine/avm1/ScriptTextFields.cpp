// Text fields as scripts see them: the script object standing for each field, and the
// properties and methods of TextField.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptConversions.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/ScriptStyleSheet.h"
#include "engine/avm1/ScriptTextFormat.h"
#include "engine/definitions/Movie.h"
#include "engine/display/TextField.h"
#include "engine/swf/AsciiCase.h"
#include "engine/text/TextFonts.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::ClipId;
using avm1::Object;
using avm1::Value;

namespace {

Value rgbValue(Rgba c) {
    return Value(static_cast<double>(c.r << 16 | c.g << 8 | c.b));
}

// A property of text fields, read and written on the field itself. A property without a getter
// reads as undefined; one without a setter ignores what is written. Each setter converts the
// value itself, once, the way its property needs it.
// The text properties of a field bound to a variable write it; setting the variable reads it.
enum class Binding { None, Text, Variable };

struct FieldProperty {
    const char* name;
    Value (*get)(const DisplayObject& obj, const TextField& f);
    void (*set)(avm1::Vm& vm, DisplayObject& obj, TextField& f, const Value& v);
    Binding binding = Binding::None;
    // A property read from the laid out text instead of `get`.
    Value (*measure)(TextField& f, TextFonts& fonts) = nullptr;
};

using Obj = DisplayObject;
using Vm = avm1::Vm;

const FieldProperty kFieldProperties[] = {
    {"text", [](const Obj&, const TextField& f) { return Value(f.text()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setText(vm.toString(v)); }, Binding::Text},
    {"htmlText", [](const Obj&, const TextField& f) { return Value(f.htmlText()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setHtmlText(vm.toString(v)); },
     Binding::Text},
    {"html", [](const Obj&, const TextField& f) { return Value(f.html()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setHtml(vm.toBoolean(v)); }},
    {"multiline", [](const Obj&, const TextField& f) { return Value(f.multiline()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setMultiline(vm.toBoolean(v)); }},
    {"wordWrap", [](const Obj&, const TextField& f) { return Value(f.wordWrap()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setWordWrap(vm.toBoolean(v)); }},
    {"border", [](const Obj&, const TextField& f) { return Value(f.border()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setBorder(vm.toBoolean(v)); }},
    {"borderColor", [](const Obj&, const TextField& f) { return rgbValue(f.borderColor()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         f.setBorderColor(colorOf(rgbOf(vm, v), 255));
     }},
    {"background", [](const Obj&, const TextField& f) { return Value(f.background()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setBackground(vm.toBoolean(v)); }},
    {"backgroundColor",
     [](const Obj&, const TextField& f) { return rgbValue(f.backgroundColor()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         f.setBackgroundColor(colorOf(rgbOf(vm, v), 255));
     }},
    {"textColor", [](const Obj&, const TextField& f) { return rgbValue(f.textColor()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         f.setTextColor(colorOf(rgbOf(vm, v), 255));
     }},
    {"autoSize",
     [](const Obj&, const TextField& f) { return f.autoSize() ? Value("left") : Value("none"); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         // true, "left", "center" and "right" all size the field to its text.
         f.setAutoSize(v.isString() ? v.asString() != "none" && !v.asString().empty()
                                    : vm.toBoolean(v));
     }},
    {"selectable", [](const Obj&, const TextField& f) { return Value(f.definition().selectable); },
     nullptr},
    {"variable",
     [](const Obj&, const TextField& f) {
         return f.variable().empty() ? Value::null() : Value(f.variable());
     },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         f.setVariable(v.isUndefined() || v.isNull() ? std::string() : vm.toString(v));
     },
     Binding::Variable},
    {"password", [](const Obj&, const TextField& f) { return Value(f.password()); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) { f.setPassword(vm.toBoolean(v)); }},
    {"type",
     [](const Obj&, const TextField& f) {
         return Value(f.definition().readOnly ? "dynamic" : "input");
     },
     nullptr},
    {"embedFonts", [](const Obj&, const TextField& f) { return Value(f.definition().useOutlines); },
     nullptr},
    {"textWidth", nullptr, nullptr},
    {"textHeight", nullptr, nullptr},
    {"length",
     [](const Obj&, const TextField& f) {
         return Value(static_cast<double>(f.content().text.size()));
     },
     nullptr},
    {"scroll",
     [](const Obj&, const TextField& f) { return Value(static_cast<double>(f.scroll())); },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n)) {
             f.setScroll(static_cast<int>(std::clamp(n, 1.0, 1e6)));
         }
     }},
    {.name = "maxscroll",
     .get = nullptr,
     .set = nullptr,
     .measure = [](TextField& f,
                   TextFonts& fonts) { return Value(static_cast<double>(f.maxScroll(fonts))); }},
    {.name = "bottomScroll",
     .get = nullptr,
     .set = nullptr,
     .measure = [](TextField& f,
                   TextFonts& fonts) { return Value(static_cast<double>(f.bottomScroll(fonts))); }},
    {"_x", [](const Obj& obj, const TextField&) { return Value(obj.matrix.tx / 20.0); },
     [](Vm& vm, Obj& obj, TextField&, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n)) {
             obj.matrix.tx = std::round(std::clamp(n, -1e7, 1e7) * 20);
         }
     }},
    {"_y", [](const Obj& obj, const TextField&) { return Value(obj.matrix.ty / 20.0); },
     [](Vm& vm, Obj& obj, TextField&, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n)) {
             obj.matrix.ty = std::round(std::clamp(n, -1e7, 1e7) * 20);
         }
     }},
    {"_width",
     [](const Obj& obj, const TextField& f) {
         return Value(f.box().width() * std::hypot(obj.matrix.a, obj.matrix.b) / 20.0);
     },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n) && n >= 0) {
             f.setSize(std::round(std::min(n, 1e7) * 20), f.box().height());
         }
     }},
    {"_height",
     [](const Obj& obj, const TextField& f) {
         return Value(f.box().height() * std::hypot(obj.matrix.c, obj.matrix.d) / 20.0);
     },
     [](Vm& vm, Obj&, TextField& f, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n) && n >= 0) {
             f.setSize(f.box().width(), std::round(std::min(n, 1e7) * 20));
         }
     }},
    {"_visible", [](const Obj& obj, const TextField&) { return Value(obj.visible); },
     [](Vm& vm, Obj& obj, TextField&, const Value& v) { obj.visible = vm.toBoolean(v); }},
    {"_alpha",
     [](const Obj& obj, const TextField&) { return Value(obj.colorTransform.aMult * 100.0); },
     [](Vm& vm, Obj& obj, TextField&, const Value& v) {
         const double n = vm.toNumber(v);
         if (std::isfinite(n)) {
             obj.colorTransform.aMult = std::trunc(n * 256.0 / 100.0) / 256.0;
         }
     }},
    {"_name", [](const Obj& obj, const TextField&) { return Value(obj.name); },
     [](Vm& vm, Obj& obj, TextField&, const Value& v) { obj.name = vm.toString(v); }},
};

} // namespace

Value ScriptRuntime::createTextField(TimelineInstance& c, Args args) {
    avm1::Vm& vm = *m_vm;
    std::int32_t depth = 0;
    if (args.size() < 6 || !scriptDepthOf(vm.toNumber(args[1]), depth)) {
        return {};
    }
    if (!m_fieldDef) {
        // Flash's default format: 12-point Times New Roman in black, as a device font.
        m_fieldDef = std::make_unique<EditText>();
        m_fieldDef->height = 240;
        m_fieldDef->readOnly = false;
    }
    auto twips = [&](std::size_t i) {
        return std::round(std::clamp(finiteOr(vm.toNumber(args[i]), 0), -1e7, 1e7) * 20);
    };
    DisplayObject& obj = c.addObject(depth, *m_fieldDef, vm.toString(args[0]));
    obj.dynamic = true;
    obj.matrix = Matrix::translate(twips(2), twips(3));
    obj.textField = makeTextField(*m_fieldDef, m_movie);
    obj.textField->setSize(std::max(twips(4), 0.0), std::max(twips(5), 0.0));
    // The new field is the result from version 8 on; before, there is none.
    Object* made = fieldObject(c, obj);
    return vm.version() >= 8 ? Value(made) : Value();
}

Object* ScriptRuntime::fieldObject(TimelineInstance& parent, DisplayObject& obj) {
    if (!obj.textField) {
        return nullptr;
    }
    auto known = m_objectOfField.find(obj.textField.get());
    if (known != m_objectOfField.end()) {
        // A new field may stand where one that went stood, before the gone ones are dropped.
        auto ref = m_fieldObjects.find(known->second);
        if (ref != m_fieldObjects.end() && ref->second.field.lock() == obj.textField) {
            return known->second;
        }
        if (ref != m_fieldObjects.end()) {
            m_vm->release(ref->first);
            m_fieldObjects.erase(ref);
        }
        m_objectOfField.erase(known);
    }
    avm1::Vm& vm = *m_vm;
    Object* proto = avm1::currentPrototype(vm, "TextField");
    Object* o = vm.newObject(proto);
    o->setHostClass("TextField");
    installFieldProperties(proto);
    vm.keepAlive(o);
    m_fieldObjects.emplace(o, FieldRef{parent.clipId(), obj.textField});
    m_objectOfField.emplace(obj.textField.get(), o);
    return o;
}

DisplayObject* ScriptRuntime::fieldOf(Object* self, TimelineInstance** parentOut) const {
    auto it = m_fieldObjects.find(self);
    if (it == m_fieldObjects.end()) {
        return nullptr;
    }
    const std::shared_ptr<TextField> field = it->second.field.lock();
    TimelineInstance* parent = clip(it->second.parent);
    if (!field || parent == nullptr) {
        return nullptr;
    }
    for (auto& [depth, obj] : parent->displayList()) {
        if (obj.textField == field) {
            if (parentOut != nullptr) {
                *parentOut = parent;
            }
            return &obj;
        }
    }
    return nullptr;
}

void ScriptRuntime::dropGoneFields() {
    for (auto it = m_fieldObjects.begin(); it != m_fieldObjects.end();) {
        // The display object holds the only reference to its field: expired means it went.
        if (it->second.field.expired()) {
            std::erase_if(m_objectOfField, [&](const auto& e) { return e.second == it->first; });
            m_vm->release(it->first);
            it = m_fieldObjects.erase(it);
        } else {
            ++it;
        }
    }
}

Object* ScriptRuntime::childObject(ClipId parentId, std::string_view name, bool caseSensitive) {
    TimelineInstance* parent = clip(parentId);
    if (parent == nullptr) {
        return nullptr;
    }
    for (auto& [depth, obj] : parent->displayList()) {
        if (!obj.textField) {
            continue;
        }
        if (caseSensitive ? obj.name == name : equalsIgnoringAsciiCase(obj.name, name)) {
            return fieldObject(*parent, obj);
        }
    }
    return nullptr;
}

std::optional<int> ScriptRuntime::fieldDepth(Object* field) {
    const DisplayObject* obj = fieldOf(field);
    if (obj == nullptr) {
        return std::nullopt;
    }
    return obj->depth - kScriptDepthBase;
}

std::string ScriptRuntime::fieldPath(Object* field, bool withName) {
    TimelineInstance* parent = nullptr;
    const DisplayObject* obj = fieldOf(field, &parent);
    if (obj == nullptr || parent == nullptr) {
        return {};
    }
    const std::string path = m_vm->targetPath(parent->clipId());
    return withName ? path + "." + obj->name : path;
}

void ScriptRuntime::installTextFieldClass() {
    avm1::Vm& vm = *m_vm;
    // The properties go on the prototype a field is made with, when the first one is made.
    Object* proto = avm1::defineHostClass(vm, "TextField", [this](avm1::Vm&, Object* self, Args) {
        installFieldProperties(self->proto());
    });
    avm1::installStyleSheetClass(vm, proto->findOwn("constructor")->value.asObject());
    // A method runs on the field its object stands for; on anything else it gives undefined.
    // It gets the timeline the field stands on and the field.
    using Method = Value (*)(ScriptRuntime&, TimelineInstance&, DisplayObject&, Args);
    auto method = [&](const char* name, Method m) {
        vm.setFunction(proto, name, [this, m](avm1::Vm&, const Value& self, Args args) {
            TimelineInstance* parent = nullptr;
            DisplayObject* obj = fieldOf(avm1::selfObject(self), &parent);
            return obj != nullptr && obj->textField ? m(*this, *parent, *obj, args) : Value();
        });
    };
    method("setTextFormat", [](ScriptRuntime& r, TimelineInstance&, DisplayObject& obj, Args a) {
        return setTextFormat(*r.m_vm, *obj.textField, a, false);
    });
    method("getTextFormat", [](ScriptRuntime& r, TimelineInstance&, DisplayObject& obj, Args a) {
        return getTextFormat(*r.m_vm, *obj.textField, a);
    });
    method("replaceSel",
           [](ScriptRuntime&, TimelineInstance&, DisplayObject&, Args) { return Value(); });
    method("removeTextField",
           [](ScriptRuntime& r, TimelineInstance& parent, DisplayObject& obj, Args) {
               if (obj.depth >= kScriptDepthBase) {
                   parent.removeObject(obj.depth);
                   r.dropGoneFields();
               }
               return Value();
           });
    method("getDepth", [](ScriptRuntime&, TimelineInstance&, DisplayObject& obj, Args) {
        return Value(static_cast<double>(obj.depth - kScriptDepthBase));
    });
    method("setNewTextFormat", [](ScriptRuntime& r, TimelineInstance&, DisplayObject& obj, Args a) {
        return setTextFormat(*r.m_vm, *obj.textField, a, true);
    });
    method("getNewTextFormat", [](ScriptRuntime& r, TimelineInstance&, DisplayObject& obj, Args) {
        const TextField& f = *obj.textField;
        return formatObject(*r.m_vm, f.newTextFormat(), f.newParagraphFormat());
    });
}

namespace {

bool holdsField(const TimelineInstance& timeline, int nesting) {
    for (const auto& [depth, obj] : timeline.displayList()) {
        if (obj.textField || (obj.sprite && nesting < TimelineInstance::kMaxNesting &&
                              holdsField(*obj.sprite, nesting + 1))) {
            return true;
        }
    }
    return false;
}

} // namespace

TextFonts& ScriptRuntime::textFonts() {
    if (!m_textFonts) {
        m_textFonts = std::make_unique<TextFonts>(m_movie);
    }
    return *m_textFonts;
}

void ScriptRuntime::fieldsPlaced(TimelineInstance& root) {
    const Value ctor = m_vm->getMember(Value(m_vm->global()), "TextField");
    const Value proto = ctor.isObject() ? m_vm->getMember(ctor, "prototype") : Value();
    if (proto.isObject() && proto.asObject()->findOwn(kFieldProperties[0].name) == nullptr &&
        holdsField(root, 0)) {
        installFieldProperties(proto.asObject());
    }
}

// A property reads and writes the field the object stands for; on anything else it reads as
// undefined and ignores what is written.
void ScriptRuntime::installFieldProperties(Object* proto) {
    if (proto == nullptr || proto->findOwn(kFieldProperties[0].name) != nullptr) {
        return;
    }
    avm1::Vm& vm = *m_vm;
    for (const FieldProperty& property : kFieldProperties) {
        avm1::Property& p =
            proto->define(property.name, Value(), avm1::kDontEnum | avm1::kDontDelete);
        p.getter = vm.newFunction([this, &property](avm1::Vm&, const Value& self, Args) {
            TimelineInstance* parent = nullptr;
            DisplayObject* obj = fieldOf(avm1::selfObject(self), &parent);
            if (obj != nullptr && obj->textField && property.measure != nullptr) {
                return property.measure(*obj->textField, textFonts());
            }
            if (obj == nullptr || !obj->textField || property.get == nullptr) {
                return Value();
            }
            if (property.binding == Binding::Text) {
                showClipVariable(*parent, *obj->textField);
            }
            return property.get(*obj, *obj->textField);
        });
        p.setter = vm.newFunction([this, &property](avm1::Vm& v, const Value& self, Args args) {
            TimelineInstance* parent = nullptr;
            DisplayObject* obj = fieldOf(avm1::selfObject(self), &parent);
            if (obj == nullptr || !obj->textField || property.set == nullptr) {
                return Value();
            }
            property.set(v, *obj, *obj->textField, arg(args, 0));
            if (property.binding == Binding::Text) {
                writeFieldVariable(*parent, *obj->textField);
            } else if (property.binding == Binding::Variable) {
                readFieldVariable(*parent, *obj->textField);
            }
            return Value();
        });
    }
}

} // namespace kinovex::flash
