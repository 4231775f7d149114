// flash.text.TextField: a field the timeline placed speaks for its placement's field, one a
// script made for a field of its own. Text reads back with "\r" line breaks; htmlText is
// always read as HTML.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

#include "engine/display/TextField.h"
#include "engine/display/Timeline.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::display_natives {

TextField& textFieldOf(Machine& vm, const Value& s) {
    Object* o = self(vm, s);
    if (DisplayObject* d = placed(o); d != nullptr && d->textField) {
        return *d->textField;
    }
    if (!o->textField) {
        o->textField = makeTextField(host(vm).scriptFieldDefinition(), host(vm).movie());
    }
    return *o->textField;
}

namespace {

TextField& fieldOf(Machine& vm, const Value& s) {
    return textFieldOf(vm, s);
}

Value tfInit(Machine& vm, Value s, Args) {
    doInit(vm, s, {});
    fieldOf(vm, s);
    return Value();
}

std::uint32_t rgbOf(Rgba c) {
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}
Rgba colorOf(Machine& vm, const Value& v) {
    const std::uint32_t c = vm.toUint(v);
    return Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                static_cast<std::uint8_t>(c), 255};
}

Value tfText(Machine& vm, Value s, Args) {
    return vm.str(fieldOf(vm, s).text());
}
Value tfSetText(Machine& vm, Value s, Args args) {
    TextField& f = fieldOf(vm, s);
    f.setText(vm.toString(avm2::arg(args, 0)));
    return Value();
}
Value tfAppendText(Machine& vm, Value s, Args args) {
    TextField& f = fieldOf(vm, s);
    f.setText(f.text() + vm.toString(avm2::arg(args, 0)));
    return Value();
}
Value tfHtmlText(Machine& vm, Value s, Args) {
    TextField& f = fieldOf(vm, s);
    f.setHtml(true);
    return vm.str(f.htmlText());
}
Value tfSetHtmlText(Machine& vm, Value s, Args args) {
    TextField& f = fieldOf(vm, s);
    f.setHtml(true);
    f.setHtmlText(vm.toString(avm2::arg(args, 0)));
    return Value();
}
Value tfLength(Machine& vm, Value s, Args) {
    return Value::number(static_cast<double>(fieldOf(vm, s).content().text.size()));
}

// The field's switches: read with `get`, set with `set`.
template <bool (TextField::*get)() const, void (TextField::*set)(bool)>
Value tfFlag(Machine& vm, Value s, Args) {
    return Value::boolean((fieldOf(vm, s).*get)());
}
template <bool (TextField::*get)() const, void (TextField::*set)(bool)>
Value tfSetFlag(Machine& vm, Value s, Args args) {
    (fieldOf(vm, s).*set)(Machine::toBoolean(avm2::arg(args, 0)));
    return Value();
}
#define TF_FLAG(NAME, GET, SET)                                                                    \
    m.defineGetter(cls, NAME, tfFlag<&TextField::GET, &TextField::SET>,                            \
                   tfSetFlag<&TextField::GET, &TextField::SET>)

template <Rgba (TextField::*get)() const, void (TextField::*set)(Rgba)>
Value tfColor(Machine& vm, Value s, Args) {
    return Value::number(rgbOf((fieldOf(vm, s).*get)()));
}
template <Rgba (TextField::*get)() const, void (TextField::*set)(Rgba)>
Value tfSetColor(Machine& vm, Value s, Args args) {
    (fieldOf(vm, s).*set)(colorOf(vm, avm2::arg(args, 0)));
    return Value();
}
#define TF_COLOR(NAME, GET, SET)                                                                   \
    m.defineGetter(cls, NAME, tfColor<&TextField::GET, &TextField::SET>,                           \
                   tfSetColor<&TextField::GET, &TextField::SET>)

Value tfTextWidth(Machine& vm, Value s, Args) {
    return Value::number(std::round(fieldOf(vm, s).textWidth(host(vm).textFonts())) / 20.0);
}
Value tfTextHeight(Machine& vm, Value s, Args) {
    return Value::number(std::round(fieldOf(vm, s).textHeight(host(vm).textFonts())) / 20.0);
}
Value tfNumLines(Machine& vm, Value s, Args) {
    return Value::integer(fieldOf(vm, s).lineCount(host(vm).textFonts()));
}
// Vertical scrolling by lines, 1-based, within the lines there are to show; no horizontal
// scrolling is measured, so it stays at 0.
Value tfScrollV(Machine& vm, Value s, Args) {
    TextField& f = fieldOf(vm, s);
    return Value::integer(std::clamp(f.scroll(), 1, f.maxScroll(host(vm).textFonts())));
}
Value tfSetScrollV(Machine& vm, Value s, Args args) {
    TextField& f = fieldOf(vm, s);
    f.setScroll(std::clamp(vm.toInt(avm2::arg(args, 0)), 1, f.maxScroll(host(vm).textFonts())));
    return Value();
}
Value tfMaxScrollV(Machine& vm, Value s, Args) {
    return Value::integer(fieldOf(vm, s).maxScroll(host(vm).textFonts()));
}
Value tfBottomScrollV(Machine& vm, Value s, Args) {
    return Value::integer(fieldOf(vm, s).bottomScroll(host(vm).textFonts()));
}
Value tfNoScrollH(Machine&, Value, Args) {
    return Value::integer(0);
}
Value tfIgnore(Machine&, Value, Args) {
    return Value();
}

// autoSize: "none", "left", "center" or "right"; anything else is refused.
Value tfAutoSize(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "autoSize");
    if (v.isString()) {
        return v;
    }
    return vm.str(fieldOf(vm, s).autoSize() ? "left" : "none");
}
Value tfSetAutoSize(Machine& vm, Value s, Args args) {
    const std::string mode = vm.toString(avm2::arg(args, 0));
    if (mode != "none" && mode != "left" && mode != "center" && mode != "right") {
        vm.throwError("ArgumentError", 2008,
                      "Parameter autoSize must be one of the accepted values.");
    }
    fieldOf(vm, s).setAutoSize(mode != "none");
    setHidden(s.o, "autoSize", vm.str(mode));
    return Value();
}

// type: "dynamic" or "input"; anything else is refused.
Value tfType(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "type");
    if (v.isString()) {
        return v;
    }
    return vm.str(fieldOf(vm, s).definition().readOnly ? "dynamic" : "input");
}
Value tfSetType(Machine& vm, Value s, Args args) {
    const std::string type = vm.toString(avm2::arg(args, 0));
    if (type != "dynamic" && type != "input") {
        vm.throwError("ArgumentError", 2008, "Parameter type must be one of the accepted values.");
    }
    setHidden(self(vm, s), "type", vm.str(type));
    return Value();
}

Value tfSelectable(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "selectable");
    return v.isUndefined() ? Value::boolean(fieldOf(vm, s).definition().selectable) : v;
}
Value tfSetSelectable(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "selectable", Value::boolean(Machine::toBoolean(avm2::arg(args, 0))));
    return Value();
}

} // namespace

void installTextFieldClass(Machine& m, ClassInfo* interactive) {
    ClassInfo* cls = m.defineNativeClass("flash.text", "TextField", interactive);
    cls->nativeInit = tfInit;
    m.defineGetter(cls, "text", tfText, tfSetText);
    m.defineGetter(cls, "htmlText", tfHtmlText, tfSetHtmlText);
    m.defineMethod(cls, "appendText", tfAppendText, 1);
    m.defineGetter(cls, "length", tfLength);
    TF_FLAG("multiline", multiline, setMultiline);
    TF_FLAG("wordWrap", wordWrap, setWordWrap);
    TF_FLAG("border", border, setBorder);
    TF_FLAG("background", background, setBackground);
    TF_FLAG("displayAsPassword", password, setPassword);
    TF_FLAG("embedFonts", embedFonts, setEmbedFonts);
    TF_COLOR("borderColor", borderColor, setBorderColor);
    TF_COLOR("backgroundColor", backgroundColor, setBackgroundColor);
    TF_COLOR("textColor", textColor, setTextColor);
    m.defineGetter(cls, "textWidth", tfTextWidth);
    m.defineGetter(cls, "textHeight", tfTextHeight);
    m.defineGetter(cls, "numLines", tfNumLines);
    m.defineGetter(cls, "scrollV", tfScrollV, tfSetScrollV);
    m.defineGetter(cls, "maxScrollV", tfMaxScrollV);
    m.defineGetter(cls, "bottomScrollV", tfBottomScrollV);
    m.defineGetter(cls, "scrollH", tfNoScrollH, tfIgnore);
    m.defineGetter(cls, "maxScrollH", tfNoScrollH);
    m.defineGetter(cls, "autoSize", tfAutoSize, tfSetAutoSize);
    m.defineGetter(cls, "type", tfType, tfSetType);
    m.defineGetter(cls, "selectable", tfSelectable, tfSetSelectable);
    installTextFieldFormats(m, cls);
    installTextLineMetrics(m, cls);
}

} // namespace kinovex::flash::display_natives
