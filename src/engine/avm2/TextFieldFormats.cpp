// TextField's formats as TextFormat objects: defaultTextFormat, getTextFormat and
// setTextFormat. Lengths are pixels to scripts and twips to the field.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

#include "engine/display/TextField.h"

#include <algorithm>

namespace kinovex::flash::display_natives {

namespace {

constexpr const char* kAlignNames[4] = {"left", "right", "center", "justify"};

Value pixels(double twips) {
    return Value::number(twips / 20.0);
}

Object* formatObject(Machine& vm, const CharFormat& c, const ParagraphFormat& p) {
    const std::uint32_t rgb =
        (std::uint32_t{c.color.r} << 16) | (std::uint32_t{c.color.g} << 8) | c.color.b;
    Value a[13] = {vm.str(c.face),
                   pixels(c.size),
                   Value::number(rgb),
                   Value::boolean(c.bold),
                   Value::boolean(c.italic),
                   Value::boolean(c.underline),
                   vm.str(""),
                   vm.str(""),
                   vm.str(kAlignNames[static_cast<int>(p.align) & 3]),
                   pixels(p.leftMargin),
                   pixels(p.rightMargin),
                   pixels(p.indent),
                   pixels(p.leading)};
    Object* f = vm.constructClass(vm.builtin("flash.text.TextFormat"), Args(a, 13));
    vm.set(Value::obj(f), "blockIndent", pixels(p.blockIndent));
    vm.set(Value::obj(f), "bullet", Value::boolean(p.bullet));
    vm.set(Value::obj(f), "kerning", Value::boolean(c.kerning));
    vm.set(Value::obj(f), "letterSpacing", pixels(c.letterSpacing));
    return f;
}

// What a TextFormat sets: its properties that are not null.
TextFormatChange changeOf(Machine& vm, const Value& format) {
    if (!format.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter format must be non-null.");
    }
    TextFormatChange change;
    const auto given = [&](const char* name, Value& out) {
        out = vm.get(format, name);
        return !out.isNullish();
    };
    Value v;
    if (given("font", v)) {
        change.face = vm.toString(v);
    }
    if (given("size", v)) {
        change.size = vm.toNumber(v) * 20;
    }
    if (given("color", v)) {
        const std::uint32_t c = vm.toUint(v);
        change.color = Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                            static_cast<std::uint8_t>(c), 255};
    }
    if (given("bold", v)) {
        change.bold = Machine::toBoolean(v);
    }
    if (given("italic", v)) {
        change.italic = Machine::toBoolean(v);
    }
    if (given("underline", v)) {
        change.underline = Machine::toBoolean(v);
    }
    if (given("align", v)) {
        const std::string align = vm.toString(v);
        for (int i = 0; i < 4; ++i) {
            if (align == kAlignNames[i]) {
                change.align = static_cast<TextAlign>(i);
            }
        }
    }
    return change;
}

TextField& field(Machine& vm, const Value& s) {
    return textFieldOf(vm, s);
}

Value tfDefaultFormat(Machine& vm, Value s, Args) {
    TextField& f = field(vm, s);
    return Value::obj(formatObject(vm, f.newTextFormat(), f.newParagraphFormat()));
}
Value tfSetDefaultFormat(Machine& vm, Value s, Args args) {
    field(vm, s).setNewTextFormat(changeOf(vm, avm2::arg(args, 0)));
    return Value();
}

// The characters from `begin` to `end` as scripts give them: both -1 for all of the text, an
// end of -1 for the one character at `begin`.
std::pair<std::size_t, std::size_t> rangeOf(Machine& vm, Args args, std::size_t length) {
    const std::int32_t begin = args.size() > 0 ? vm.toInt(args[0]) : -1;
    const std::int32_t end = args.size() > 1 ? vm.toInt(args[1]) : -1;
    if (begin < 0) {
        return {0, length};
    }
    const std::size_t from = std::min<std::size_t>(static_cast<std::size_t>(begin), length);
    if (end < 0) {
        return {from, std::min(from + 1, length)};
    }
    return {from, std::clamp<std::size_t>(static_cast<std::size_t>(end), from, length)};
}

// The format of the characters in range: a setting they do not share is null.
Value tfGetTextFormat(Machine& vm, Value s, Args args) {
    TextField& f = field(vm, s);
    const StyledText& t = f.content();
    const auto [begin, end] = rangeOf(vm, args, t.text.size());
    if (begin >= end || t.formats.empty()) {
        return Value::obj(formatObject(vm, f.newTextFormat(), f.newParagraphFormat()));
    }
    std::size_t paragraph = static_cast<std::size_t>(
        std::count(t.text.begin(), t.text.begin() + static_cast<std::ptrdiff_t>(begin), U'\n'));
    paragraph = std::min(paragraph, t.paragraphs.size() - 1);
    const CharFormat& first =
        t.formats[std::min<std::size_t>(t.formatOf[begin], t.formats.size() - 1)];
    Object* out = formatObject(vm, first, t.paragraphs[paragraph]);
    for (std::size_t i = begin; i < end; ++i) {
        const CharFormat& c = t.formats[std::min<std::size_t>(t.formatOf[i], t.formats.size() - 1)];
        const std::pair<const char*, bool> same[] = {
            {"font", c.face == first.face},       {"size", c.size == first.size},
            {"color", c.color == first.color},    {"bold", c.bold == first.bold},
            {"italic", c.italic == first.italic}, {"underline", c.underline == first.underline}};
        for (const auto& [name, equal] : same) {
            if (!equal) {
                vm.set(Value::obj(out), name, Value::null());
            }
        }
    }
    return Value::obj(out);
}

Value tfSetTextFormat(Machine& vm, Value s, Args args) {
    TextField& f = field(vm, s);
    const TextFormatChange change = changeOf(vm, avm2::arg(args, 0));
    const auto [begin, end] =
        rangeOf(vm, args.size() > 1 ? args.subspan(1) : Args(), f.content().text.size());
    f.setTextFormat(change, begin, end);
    return Value();
}

} // namespace

void installTextFieldFormats(Machine& m, ClassInfo* textField) {
    m.defineGetter(textField, "defaultTextFormat", tfDefaultFormat, tfSetDefaultFormat);
    m.defineMethod(textField, "getTextFormat", tfGetTextFormat, 2);
    m.defineMethod(textField, "setTextFormat", tfSetTextFormat, 3);
}

} // namespace kinovex::flash::display_natives
