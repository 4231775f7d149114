// Sound: sounds exported from the library, started and stopped by scripts, with a volume and a
// pan the Sound object keeps.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Mixer.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

// What the Sound object keeps: the attached sound's id, the volume and the pan.
double kept(const Object* self, const char* name, double fallback) {
    const avm1::Property* p = self->findOwn(name);
    return p != nullptr && p->value.isNumber() ? p->value.asNumber() : fallback;
}

void keep(Object* self, const char* name, double value) {
    self->define(name, Value(value), avm1::kDontEnum);
}

// start(offset in seconds, loops) at a volume (0-100) and pan (-100 left to 100 right).
void startSound(SoundMixer& mixer, std::uint16_t sound, double offset, double loops, double volume,
                double pan) {
    SoundInfo info;
    if (std::isfinite(offset) && offset > 0) {
        info.hasInPoint = true;
        info.inPoint = static_cast<std::uint32_t>(std::min(offset * 44100.0, 4e9));
    }
    info.loopCount =
        static_cast<std::uint16_t>(std::isfinite(loops) ? std::clamp(loops, 1.0, 65535.0) : 1.0);
    volume = std::clamp(volume, 0.0, 100.0);
    pan = std::clamp(pan, -100.0, 100.0);
    if (volume != 100 || pan != 0) {
        const double left = volume * (pan > 0 ? (100 - pan) / 100 : 1.0);
        const double right = volume * (pan < 0 ? (100 + pan) / 100 : 1.0);
        info.envelope.push_back(EnvelopePoint{0, static_cast<std::uint16_t>(left * 327.68),
                                              static_cast<std::uint16_t>(right * 327.68)});
    }
    mixer.startSound(sound, info);
}

} // namespace

void ScriptRuntime::installSoundClass() {
    avm1::Vm& vm = *m_vm;
    Object* proto = avm1::defineHostClass(vm, "Sound");
    // A method called on anything but an object gives undefined.
    using Method = Value (*)(ScriptRuntime&, avm1::Vm&, Object*, Args);
    auto method = [&](const char* name, Method m) {
        vm.setFunction(proto, name, [this, m](avm1::Vm& v, const Value& self, Args args) {
            Object* o = avm1::selfObject(self);
            return o != nullptr ? m(*this, v, o, args) : Value();
        });
    };
    const Method nothing = [](ScriptRuntime&, avm1::Vm&, Object*, Args) { return Value(); };
    method("attachSound", [](ScriptRuntime& r, avm1::Vm& v, Object* self, Args args) {
        keep(self, "__sound", r.m_movie.exportedId(v.toString(arg(args, 0))));
        return Value();
    });
    method("start", [](ScriptRuntime& r, avm1::Vm& v, Object* self, Args args) {
        const auto sound = static_cast<std::uint16_t>(kept(self, "__sound", 0));
        if (r.m_mixer == nullptr || sound == 0) {
            return Value();
        }
        const double offset = v.toNumber(arg(args, 0));
        const double loops = v.toNumber(arg(args, 1));
        startSound(*r.m_mixer, sound, offset, loops, kept(self, "__volume", 100),
                   kept(self, "__pan", 0));
        return Value();
    });
    method("stop", [](ScriptRuntime& r, avm1::Vm& v, Object* self, Args args) {
        if (r.m_mixer == nullptr) {
            return Value();
        }
        if (!args.empty()) {
            r.m_mixer->stopSound(r.m_movie.exportedId(v.toString(args[0])));
        } else if (const auto sound = static_cast<std::uint16_t>(kept(self, "__sound", 0))) {
            r.m_mixer->stopSound(sound);
        } else {
            r.m_mixer->stopAll();
        }
        return Value();
    });
    method("setVolume", [](ScriptRuntime&, avm1::Vm& v, Object* self, Args args) {
        keep(self, "__volume", v.toNumber(arg(args, 0)));
        return Value();
    });
    method("getVolume", [](ScriptRuntime&, avm1::Vm&, Object* self, Args) {
        return Value(kept(self, "__volume", 100));
    });
    method("setPan", [](ScriptRuntime&, avm1::Vm& v, Object* self, Args args) {
        keep(self, "__pan", v.toNumber(arg(args, 0)));
        return Value();
    });
    method("getPan", [](ScriptRuntime&, avm1::Vm&, Object* self, Args) {
        return Value(kept(self, "__pan", 0));
    });
    method("setTransform", nothing);
    method("getTransform", nothing);
    method("loadSound", [](ScriptRuntime& r, avm1::Vm& v, Object*, Args args) {
        r.getUrl(v.toString(arg(args, 0)), {}, 0);
        return Value();
    });
    method("getBytesLoaded", nothing);
    method("getBytesTotal", nothing);
}

} // namespace kinovex::flash
