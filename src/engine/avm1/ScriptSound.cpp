// Sound: sounds exported from the library, started and stopped by scripts. The volume and the
// channel levels belong to the Sound's target (a clip or a text field, or the whole movie for a
// Sound made without one): every Sound of the same target sees the same levels. The target is
// kept as a path and looked up at each call, so a Sound whose clip was renamed or removed finds
// nothing, and its methods give undefined.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/XmlNodeClass.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

// What the Sound object keeps: the attached sound's id.
double kept(const Object* self, const char* name, double fallback) {
    const avm1::Property* p = self->findOwn(name);
    return p != nullptr && p->value.isNumber() ? p->value.asNumber() : fallback;
}

void keep(Object* self, const char* name, double value) {
    self->define(name, Value(value), avm1::kDontEnum);
}

// The levels of a target, in percent: ll, lr, rl, rr send the left and right inputs to the
// left and right outputs. Scripts may set any whole number.
struct SoundLevels final : avm1::HostData {
    std::int32_t ll = 100;
    std::int32_t lr = 0;
    std::int32_t rl = 0;
    std::int32_t rr = 100;
    std::int32_t volume = 100;
    void references(std::vector<Object*>&) const override {}

    // The pan is read from the side turned down: the right one when the left is whole.
    std::int64_t pan() const {
        return ll == 100 ? std::abs(std::int64_t{rr}) - 100 : 100 - std::abs(std::int64_t{ll});
    }
    void setPan(std::int32_t p) {
        ll = p > 0 ? static_cast<std::int32_t>(100 - std::int64_t{p}) : 100;
        rr = p < 0 ? static_cast<std::int32_t>(100 + std::int64_t{p}) : 100;
        lr = rl = 0;
    }
};

// The levels kept on a holder object, made at first use; null when it holds something else.
SoundLevels* levelsOf(Object* holder) {
    if (holder->hostData() == nullptr) {
        holder->setHostData(std::make_unique<SoundLevels>());
    }
    return dynamic_cast<SoundLevels*>(holder->hostData());
}

std::int32_t wholeNumber(avm1::Vm& vm, const Value& v) {
    return avm1::toInt32(vm.toNumber(v));
}

// setTransform reads only the object's own levels, in this order; a getter counts as nothing.
void setLevels(avm1::Vm& vm, SoundLevels& levels, Object* from) {
    const std::pair<const char*, std::int32_t SoundLevels::*> fields[] = {
        {"ll", &SoundLevels::ll},
        {"lr", &SoundLevels::lr},
        {"rr", &SoundLevels::rr},
        {"rl", &SoundLevels::rl},
    };
    for (const auto& [name, member] : fields) {
        if (const avm1::Property* p = from->findOwn(name)) {
            levels.*member = p->getter != nullptr ? 0 : wholeNumber(vm, p->value);
        }
    }
}

Value levelsObject(avm1::Vm& vm, const SoundLevels& levels) {
    Object* o = vm.newObject();
    vm.setMember(o, "ll", Value(static_cast<double>(levels.ll)));
    vm.setMember(o, "lr", Value(static_cast<double>(levels.lr)));
    vm.setMember(o, "rl", Value(static_cast<double>(levels.rl)));
    vm.setMember(o, "rr", Value(static_cast<double>(levels.rr)));
    return Value(o);
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

avm1::Object* ScriptRuntime::soundHolder(Object* self) {
    const Value target = avm1::constructorArg(self, 0);
    if (target.isUndefined()) {
        return m_movieSound;
    }
    const avm1::ClipId root = rootClip();
    Object* o = m_vm->resolvePath(m_vm->clipObject(root), root, m_vm->toString(target));
    if (o == nullptr) {
        return nullptr;
    }
    const bool isClip = o->objectClass() == avm1::ObjectClass::Clip && clip(o->clip()) != nullptr;
    return isClip || fieldOf(o) != nullptr ? o : nullptr;
}

void ScriptRuntime::installSoundClass() {
    avm1::Vm& vm = *m_vm;
    m_movieSound = vm.newObject();
    vm.keepAlive(m_movieSound);
    // A clip or text field given as the target is kept as its path.
    Object* proto = avm1::defineHostClass(vm, "Sound", [this](avm1::Vm&, Object* self, Args) {
        std::string path = pathOf(avm1::constructorArg(self, 0));
        if (!path.empty()) {
            self->primitive().asObject()->elements()[0] = Value(std::move(path));
        }
    });
    // A method called on anything but an object gives undefined.
    using Method = Value (*)(ScriptRuntime&, avm1::Vm&, Object*, Args);
    auto method = [&](const char* name, Method m) {
        vm.setFunction(proto, name, [this, m](avm1::Vm& v, const Value& self, Args args) {
            Object* o = avm1::selfObject(self);
            return o != nullptr ? m(*this, v, o, args) : Value();
        });
    };
    // One that reads or sets the target's levels gives undefined when the target is not there.
    // A sound object that loaded a sound has levels of its own, for that sound.
    using LevelsMethod = Value (*)(avm1::Vm&, SoundLevels&, Args);
    auto levelsMethod = [&](const char* name, LevelsMethod m) {
        vm.setFunction(proto, name, [this, m](avm1::Vm& v, const Value& self, Args args) {
            Object* o = avm1::selfObject(self);
            SoundLevels* own = o != nullptr ? dynamic_cast<SoundLevels*>(o->hostData()) : nullptr;
            Object* holder = o != nullptr && own == nullptr ? soundHolder(o) : nullptr;
            SoundLevels* levels = own != nullptr      ? own
                                  : holder != nullptr ? levelsOf(holder)
                                                      : nullptr;
            return levels != nullptr ? m(v, *levels, args) : Value();
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
        Object* holder = r.soundHolder(self);
        const SoundLevels* levels = holder != nullptr ? levelsOf(holder) : nullptr;
        const SoundLevels whole;
        const SoundLevels& l = levels != nullptr ? *levels : whole;
        startSound(*r.m_mixer, sound, offset, loops, l.volume, static_cast<double>(l.pan()));
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
    levelsMethod("setVolume", [](avm1::Vm& v, SoundLevels& l, Args args) {
        l.volume = wholeNumber(v, arg(args, 0));
        return Value();
    });
    levelsMethod("getVolume", [](avm1::Vm&, SoundLevels& l, Args) {
        return Value(static_cast<double>(l.volume));
    });
    levelsMethod("setPan", [](avm1::Vm& v, SoundLevels& l, Args args) {
        l.setPan(wholeNumber(v, arg(args, 0)));
        return Value();
    });
    levelsMethod("getPan", [](avm1::Vm&, SoundLevels& l, Args) {
        return Value(static_cast<double>(l.pan()));
    });
    levelsMethod("setTransform", [](avm1::Vm& v, SoundLevels& l, Args args) {
        if (Object* from = avm1::selfObject(arg(args, 0))) {
            setLevels(v, l, from);
        }
        return Value();
    });
    levelsMethod("getTransform",
                 [](avm1::Vm& v, SoundLevels& l, Args) { return levelsObject(v, l); });
    // From version 6, each load with the target there starts the object's own levels afresh:
    // whole volume, no pan.
    method("loadSound", [](ScriptRuntime& r, avm1::Vm& v, Object* self, Args args) {
        if (v.version() >= 6 && r.soundHolder(self) != nullptr) {
            self->setHostData(std::make_unique<SoundLevels>());
        }
        r.getUrl(v.toString(arg(args, 0)), {}, 0);
        return Value();
    });
    for (const char* name : {"getBytesLoaded", "getBytesTotal", "getDuration", "setDuration",
                             "getPosition", "setPosition"}) {
        method(name, nothing);
    }
    sealSoundPrototype(vm, proto);
}

// Sound's prototype is sealed: every member hidden, permanent and read-only. It also has
// checkPolicyFile, a switch that only matters for loads from servers, and, from version 9,
// areSoundsInaccessible: no sound here is another domain's.
void ScriptRuntime::sealSoundPrototype(avm1::Vm& vm, Object* proto) {
    avm1::defineAccessor(vm, proto, "checkPolicyFile",
                         [](avm1::Vm&, const Value&, Args) { return Value(); });
    const avm1::PropFlags hidden = avm1::kDontEnum | avm1::kDontDelete;
    proto->findOwn("checkPolicyFile")->flags = hidden;
    vm.setFunction(
        proto, "areSoundsInaccessible", [](avm1::Vm&, const Value&, Args) { return Value(false); },
        hidden | avm1::kFromVersion9);
    for (avm1::Property& p : proto->properties()) {
        if (!p.getter) {
            p.flags |= avm1::kReadOnly;
        }
    }
}

} // namespace kinovex::flash
