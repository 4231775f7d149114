#pragma once
// What LoadVars and XML share: loading text from a file beside the movie (ASnative 301: load,
// send, sendAndLoad, decode, which work on any object), the loaded text handed to onData, the
// byte counts, and request headers kept for sending.

#include "engine/avm1/Vm.h"

#include <functional>
#include <optional>
#include <string>

namespace kinovex::flash::avm1 {

// Starts loading `url` for `target`; the player delivers it on a later frame.
using StartLoad = std::function<void(Object* target, std::string url)>;

// Registers load, send, sendAndLoad and decode as ASnative(301, 0 ... 3).
void installLoadNatives(Vm& vm, StartLoad start);

// A load `target` started has finished: the file's bytes, or nothing when it could not be read.
// Sets _bytesLoaded and _bytesTotal and calls target.onData(text), or onData(undefined).
void deliverLoad(Vm& vm, Object* target, const std::optional<std::string>& bytes);

// What onData does by default: text undefined (the load failed) calls onLoad(false); other
// text goes through self's method `apply` (decode, parseXML), then `markLoaded`, then
// onLoad(true).
Value finishLoadedText(Vm& vm, const Value& self, Args args, std::string_view apply,
                       void (*markLoaded)(Vm& vm, Object* self));

// The variables of URL-encoded `text` set on `target`.
void setFormVariables(Vm& vm, Object* target, std::string_view text);

// The methods the player writes as scripts of its own have a prototype object, as every script
// function has: gives holder.method one.
void giveScriptPrototype(Vm& vm, Object* holder, std::string_view method);

// getBytesLoaded, getBytesTotal and addRequestHeader on `proto`, with `flags`.
void defineLoadableMethods(Vm& vm, Object* proto, PropFlags flags);

// LoadVars on _global (after installLoadNatives).
void installLoadVarsClass(Vm& vm);

} // namespace kinovex::flash::avm1
