// flash.media.Sound and its kin. A Sound whose class is linked to a library sound (DefineSound)
// plays it through the runtime's mixer; one made with `new Sound()` has nothing to play. A
// channel keeps its transform in whole hundredths, as the player does, and follows its sound
// on the scripts' clock: once it has played out it completes (soundComplete).

#include "engine/avm2/SoundClasses.h"
#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/Geom.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Mixer.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

// SoundTransform's variables, by slot.
enum TransformSlot : std::size_t {
    kLeftToLeft,
    kLeftToRight,
    kRightToLeft,
    kRightToRight,
    kVolume
};
constexpr const char* kTransformNames[] = {"leftToLeft", "leftToRight", "rightToLeft",
                                           "rightToRight", "volume"};

Avm2Runtime& runtime(Machine& vm) {
    return *static_cast<Avm2Runtime*>(vm.host);
}

Object* selfOf(Machine& vm, const Value& v) {
    if (!v.isObject()) {
        vm.throwError("TypeError", 1009,
                      "Cannot access a property or method of a null object reference.");
    }
    return v.o;
}

// The library sound a Sound subclass is linked to (SymbolClass), 0 for none.
std::uint16_t linkedSound(Machine& vm, const ClassInfo* cls) {
    for (const ClassInfo* c = cls; c != nullptr; c = c->super) {
        std::string dotted = c->qualifiedName();
        if (auto colons = dotted.find("::"); colons != std::string::npos) {
            dotted.replace(colons, 2, ".");
        }
        for (const SymbolClass& sc : runtime(vm).movie().symbolClasses()) {
            if (sc.characterId != 0 && sc.className == dotted) {
                return sc.characterId;
            }
        }
    }
    return 0;
}

const SoundDefinition* definitionOf(Machine& vm, Object* sound) {
    const SoundMixer* mixer = runtime(vm).mixer();
    const auto id = static_cast<std::uint16_t>(vm.toUint(hidden(sound, "soundId")));
    return mixer != nullptr && id != 0 ? mixer->definition(id) : nullptr;
}

double lengthMs(const SoundDefinition* d) {
    if (d == nullptr || d->format.rateTimes2() == 0) {
        return 0;
    }
    return static_cast<double>(d->sampleCount) * 2000.0 / d->format.rateTimes2();
}

// The channels still playing, in the order they started (kept on SoundChannel's class).
Object* playingChannels(Machine& vm) {
    Object* holder = vm.builtin("flash.media.SoundChannel")->classObj;
    Value list = hidden(holder, "playing");
    if (!list.isObject()) {
        list = Value::obj(vm.newArray());
        setHidden(holder, "playing", list);
    }
    return list.o;
}

// ---- SoundTransform ----

Object* newTransform(Machine& vm) {
    return vm.constructClass(vm.builtin("flash.media.SoundTransform"), {});
}

// A copy of transform `from` (any object with its fields), each field cut to whole hundredths
// when `quantise`.
Object* copyTransform(Machine& vm, const Value& from, bool quantise) {
    Object* t = newTransform(vm);
    for (std::size_t i = 0; i < std::size(kTransformNames); ++i) {
        double v = vm.toNumber(vm.get(from, kTransformNames[i]));
        if (quantise) {
            v = std::trunc(v * 100) / 100;
        }
        setSlotNumber(t, i, v);
    }
    return t;
}

void setPan(Object* t, double pan) {
    setSlotNumber(t, kLeftToLeft, std::sqrt(1 - pan));
    setSlotNumber(t, kRightToRight, std::sqrt(1 + pan));
    setSlotNumber(t, kLeftToRight, 0);
    setSlotNumber(t, kRightToLeft, 0);
}

Value transformInit(Machine& vm, Value s, Args a) {
    Object* t = selfOf(vm, s);
    setSlotNumber(t, kVolume, a.empty() ? 1.0 : vm.toNumber(a[0]));
    setPan(t, a.size() < 2 ? 0.0 : vm.toNumber(a[1]));
    return Value();
}
// The pan a transform stands for: 0 when either channel crosses over.
Value transformPan(Machine& vm, Value s, Args) {
    const Object* t = selfOf(vm, s);
    if (slotNumber(t, kLeftToRight) != 0 || slotNumber(t, kRightToLeft) != 0) {
        return Value::number(0);
    }
    const double ll = slotNumber(t, kLeftToLeft);
    return Value::number(1 - ll * ll);
}
Value transformSetPan(Machine& vm, Value s, Args a) {
    setPan(selfOf(vm, s), vm.toNumber(arg(a, 0)));
    return Value();
}

// ---- Sound ----

// load(request): the MP3 file the request names, read from beside the movie before the next
// frame; the sound hears open, progress and complete, or ioError. A sound loads once.
Value soundLoad(Machine& vm, Value s, Args a) {
    Object* sound = selfOf(vm, s);
    const Value request = arg(a, 0);
    if (!request.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter stream must be non-null.");
    }
    if (!hidden(sound, "url").isUndefined() || vm.toUint(hidden(sound, "soundId")) != 0) {
        vm.throwError("flash.errors.IOError", 2037,
                      "Functions called in incorrect sequence, or earlier call was unsuccessful.");
    }
    const std::string url = vm.toString(vm.get(request, "url"));
    setHidden(sound, "url", vm.str(url));
    runtime(vm).queueLoad(sound, url);
    return Value();
}

// new Sound(request = null, context = null): a library sound for a linked class; else the
// file the request names, loaded as load() does.
Value soundInit(Machine& vm, Value s, Args a) {
    Object* sound = selfOf(vm, s);
    setHidden(sound, "soundId", Value::integer(linkedSound(vm, sound->cls)));
    if (arg(a, 0).isObject()) {
        soundLoad(vm, s, a);
    }
    return Value();
}
Value soundUrl(Machine& vm, Value s, Args) {
    const Value url = hidden(selfOf(vm, s), "url");
    return url.isUndefined() ? Value::null() : url;
}

Value soundLength(Machine& vm, Value s, Args) {
    return Value::number(lengthMs(definitionOf(vm, selfOf(vm, s))));
}
Value soundBytes(Machine& vm, Value s, Args) {
    const SoundMixer* mixer = runtime(vm).mixer();
    const auto id = static_cast<std::uint16_t>(vm.toUint(hidden(selfOf(vm, s), "soundId")));
    return Value::number(mixer != nullptr ? static_cast<double>(mixer->codedSize(id)) : 0.0);
}
Value soundFalse(Machine&, Value, Args) {
    return Value::boolean(false);
}

// The envelope that plays a sound at a transform's volume and pan (none at full and centre).
std::vector<EnvelopePoint> envelopeFor(Machine& vm, const Value& transform) {
    if (!transform.isObject()) {
        return {};
    }
    const double volume = vm.toNumber(vm.get(transform, "volume"));
    const double left = std::clamp(volume * vm.toNumber(vm.get(transform, "leftToLeft")), 0.0, 1.0);
    const double right =
        std::clamp(volume * vm.toNumber(vm.get(transform, "rightToRight")), 0.0, 1.0);
    if (left == 1 && right == 1) {
        return {};
    }
    return {EnvelopePoint{0, static_cast<std::uint16_t>(left * 32768),
                          static_cast<std::uint16_t>(right * 32768)}};
}

// play(startTime, loops, transform): a SoundChannel, or null when the start lies past the end
// or nothing could start.
Value soundPlay(Machine& vm, Value s, Args a) {
    Object* sound = selfOf(vm, s);
    const SoundDefinition* d = definitionOf(vm, sound);
    const double given = vm.toNumber(arg(a, 0));
    const double start = given > 0 ? given : 0.0;
    if (d == nullptr || !(start < lengthMs(d))) {
        return Value::null();
    }
    SoundInfo info;
    info.hasInPoint = start > 0;
    info.inPoint = static_cast<std::uint32_t>(start * 44.1);
    info.loopCount = static_cast<std::uint16_t>(std::clamp(vm.toInt(arg(a, 1)), 1, 65535));
    info.envelope = envelopeFor(vm, arg(a, 2));
    if (!runtime(vm).mixer()->startSound(d->id, info)) {
        return Value::null();
    }
    Object* channel = vm.constructClass(vm.builtin("flash.media.SoundChannel"), {});
    setHidden(channel, "soundId", Value::integer(d->id));
    setHidden(channel, "startTime", Value::number(start));
    setHidden(channel, "startedAt", Value::number(vm.nowMs));
    setHidden(channel, "soundLength", Value::number(lengthMs(d)));
    setHidden(channel, "endsAt", Value::number(vm.nowMs + (lengthMs(d) - start) * info.loopCount));
    const Value transform = arg(a, 2);
    setHidden(
        channel, "transform",
        Value::obj(transform.isObject() ? copyTransform(vm, transform, true) : newTransform(vm)));
    playingChannels(vm)->elems.push_back(Value::obj(channel));
    return Value::obj(channel);
}

// ---- SoundChannel ----

// Where in its sound a channel stands at `now`: from its start time, going round to it again
// for each loop, and at the end once it has played out.
double positionAt(Machine& vm, Object* channel, double now) {
    const double start = vm.toNumber(hidden(channel, "startTime"));
    const double length = vm.toNumber(hidden(channel, "soundLength"));
    const double endsAt = vm.toNumber(hidden(channel, "endsAt"));
    if (now >= endsAt) {
        return length;
    }
    const double played = std::max(now - vm.toNumber(hidden(channel, "startedAt")), 0.0);
    return start + std::fmod(played, length - start);
}

// Takes the channel off the playing list; false when it was not on it.
bool dropChannel(Machine& vm, Object* channel) {
    auto& list = playingChannels(vm)->elems;
    const auto it = std::find_if(list.begin(), list.end(),
                                 [channel](const Value& v) { return v.o == channel; });
    if (it == list.end()) {
        return false;
    }
    list.erase(it);
    return true;
}

Value channelStop(Machine& vm, Value s, Args) {
    Object* channel = selfOf(vm, s);
    const auto id = static_cast<std::uint16_t>(vm.toUint(hidden(channel, "soundId")));
    if (dropChannel(vm, channel)) {
        setHidden(channel, "stoppedAt", Value::number(positionAt(vm, channel, vm.nowMs)));
        if (id != 0 && runtime(vm).mixer() != nullptr) {
            runtime(vm).mixer()->stopSound(id);
        }
    }
    return Value();
}
Value channelPosition(Machine& vm, Value s, Args) {
    Object* channel = selfOf(vm, s);
    const Value stopped = hidden(channel, "stoppedAt");
    if (stopped.isNumeric()) {
        return stopped;
    }
    return Value::number(positionAt(vm, channel, vm.nowMs));
}
Value channelTransform(Machine& vm, Value s, Args) {
    const Value t = hidden(selfOf(vm, s), "transform");
    return Value::obj(t.isObject() ? copyTransform(vm, t, false) : newTransform(vm));
}
Value channelSetTransform(Machine& vm, Value s, Args a) {
    setHidden(selfOf(vm, s), "transform", Value::obj(copyTransform(vm, arg(a, 0), true)));
    return Value();
}
Value channelPeak(Machine&, Value, Args) {
    return Value::number(0);
}

// ---- SoundMixer ----

Object* mixerClassObject(Machine& vm) {
    return vm.builtin("flash.media.SoundMixer")->classObj;
}
// Every channel stops where it stands, and none of them completes.
Value mixerStopAll(Machine& vm, Value, Args) {
    if (SoundMixer* mixer = runtime(vm).mixer()) {
        mixer->stopAll();
    }
    auto& list = playingChannels(vm)->elems;
    for (const Value& c : list) {
        setHidden(c.o, "stoppedAt", Value::number(positionAt(vm, c.o, vm.nowMs)));
    }
    list.clear();
    return Value();
}
Value mixerBufferTime(Machine& vm, Value, Args) {
    return hidden(mixerClassObject(vm), "bufferTime");
}
Value mixerSetBufferTime(Machine& vm, Value, Args a) {
    setHidden(mixerClassObject(vm), "bufferTime", Value::integer(vm.toInt(arg(a, 0))));
    return Value();
}
Value mixerTransform(Machine& vm, Value, Args) {
    const Value t = hidden(mixerClassObject(vm), "transform");
    return Value::obj(t.isObject() ? copyTransform(vm, t, false) : newTransform(vm));
}
Value mixerSetTransform(Machine& vm, Value, Args a) {
    setHidden(mixerClassObject(vm), "transform", Value::obj(copyTransform(vm, arg(a, 0), true)));
    return Value();
}

// Sprite's soundTransform: kept as the mixer's is, for the sounds of the sprite and its
// children.
Value objectTransform(Machine& vm, Value s, Args) {
    const Value t = hidden(selfOf(vm, s), "soundTransform");
    return Value::obj(t.isObject() ? copyTransform(vm, t, false) : newTransform(vm));
}
Value objectSetTransform(Machine& vm, Value s, Args a) {
    setHidden(selfOf(vm, s), "soundTransform", Value::obj(copyTransform(vm, arg(a, 0), true)));
    return Value();
}

void installMixerClass(Machine& m) {
    ClassInfo* mixer = m.defineNativeClass("flash.media", "SoundMixer", m.objectClass);
    setHidden(mixer->classObj, "bufferTime", Value::integer(5));
    m.defineGetter(mixer, "bufferTime", mixerBufferTime, mixerSetBufferTime, true);
    m.defineGetter(mixer, "soundTransform", mixerTransform, mixerSetTransform, true);
    m.defineStatic(mixer, "stopAll", mixerStopAll);
    m.defineStatic(mixer, "areSoundsInaccessible", soundFalse);
}

} // namespace

void finishSounds(Machine& vm) {
    if (vm.builtin("flash.media.SoundChannel") == nullptr) {
        return;
    }
    const std::vector<Value> playing = playingChannels(vm)->elems;
    for (const Value& c : playing) {
        if (vm.nowMs < vm.toNumber(hidden(c.o, "endsAt")) || !dropChannel(vm, c.o)) {
            continue;
        }
        Value type[1] = {vm.str("soundComplete")};
        Object* e = vm.constructClass(vm.builtin("flash.events.Event"), Args(type, 1));
        runtime(vm).dispatch(c.o, e);
    }
}

void installSoundClasses(Machine& m) {
    ClassInfo* transform = m.defineNativeClass("flash.media", "SoundTransform", m.objectClass);
    transform->isFinal = true;
    for (const char* name : kTransformNames) {
        addNumberVariable(m, transform, name);
    }
    transform->nativeInit = transformInit;
    m.defineGetter(transform, "pan", transformPan, transformSetPan);

    ClassInfo* dispatcher = m.builtin("flash.events.EventDispatcher");
    ClassInfo* sound = m.defineNativeClass("flash.media", "Sound", dispatcher);
    sound->nativeInit = soundInit;
    m.defineGetter(sound, "length", soundLength);
    m.defineGetter(sound, "bytesLoaded", soundBytes);
    m.defineGetter(sound, "bytesTotal", soundBytes);
    m.defineGetter(sound, "isBuffering", soundFalse);
    m.defineGetter(sound, "isURLInaccessible", soundFalse);
    m.defineGetter(sound, "url", soundUrl);
    m.defineMethod(sound, "load", soundLoad, 2);
    m.defineMethod(sound, "play", soundPlay, 3);

    ClassInfo* channel = m.defineNativeClass("flash.media", "SoundChannel", dispatcher);
    channel->isFinal = true;
    m.defineMethod(channel, "stop", channelStop);
    m.defineGetter(channel, "position", channelPosition);
    m.defineGetter(channel, "soundTransform", channelTransform, channelSetTransform);
    m.defineGetter(channel, "leftPeak", channelPeak);
    m.defineGetter(channel, "rightPeak", channelPeak);
    installMixerClass(m);
    if (ClassInfo* sprite = m.builtin("flash.display.Sprite")) {
        m.defineGetter(sprite, "soundTransform", objectTransform, objectSetTransform);
    }
    // A button's transform is the mixer's: every button reads and changes that one.
    if (ClassInfo* button = m.builtin("flash.display.SimpleButton")) {
        m.defineGetter(button, "soundTransform", mixerTransform, mixerSetTransform);
    }
}

} // namespace kinovex::flash::avm2
