// System: what the player says about itself and the machine it runs on (System.capabilities,
// filled by the native Query, ASnative(11, 0)), and the switches a movie may set. The engine
// answers as a standard desktop player on a common screen; nothing here reaches the real
// machine, so a conversion comes out the same everywhere.

#include "engine/avm1/builtins/Builtins.h"

#include <string_view>

namespace kinovex::flash::avm1 {

namespace {

struct Capability {
    std::string_view name;
    Value value;
};

// The player's answers, with serverString summing them up as the player sends them to a server.
std::vector<Capability> capabilities() {
    return {
        {"avHardwareDisable", Value(false)},
        {"hasAccessibility", Value(false)},
        {"hasAudio", Value(true)},
        {"hasAudioEncoder", Value(false)},
        {"hasEmbeddedVideo", Value(true)},
        {"hasIME", Value(false)},
        {"hasMP3", Value(true)},
        {"hasPrinting", Value(false)},
        {"hasScreenBroadcast", Value(false)},
        {"hasScreenPlayback", Value(false)},
        {"hasStreamingAudio", Value(true)},
        {"hasStreamingVideo", Value(true)},
        {"hasTLS", Value(false)},
        {"hasVideoEncoder", Value(false)},
        {"isDebugger", Value(false)},
        {"language", Value("en")},
        {"localFileReadDisable", Value(false)},
        {"manufacturer", Value("Macromedia Windows")},
        {"os", Value("Windows XP")},
        {"pixelAspectRatio", Value(1.0)},
        {"playerType", Value("StandAlone")},
        {"screenColor", Value("color")},
        {"screenDPI", Value(96.0)},
        {"screenResolutionX", Value(1024.0)},
        {"screenResolutionY", Value(768.0)},
        {"serverString",
         Value(
             "A=t&SA=t&SV=t&EV=t&MP3=t&AE=f&VE=f&ACC=f&PR=f&SP=f&SB=f&DEB=f&V=WIN%209%2C0%2C999%2C0"
             "&M=Adobe%20Windows&R=1024x768&DP=96&COL=color&AR=1.0&OS=Windows%20XP&L=en&IME=f"
             "&PT=StandAlone&AVD=f&LFD=f&WD=f&TLS=f")},
        {"version", Value(std::string(kPlayerVersion))},
        {"windowlessDisable", Value(false)},
    };
}

// Query: the capabilities as plain members of the object it is called on.
Value query(Vm& vm, const Value& self, Args) {
    if (Object* o = selfObject(self)) {
        for (const Capability& c : capabilities()) {
            vm.setMember(o, c.name, c.value);
        }
    }
    return Value();
}

Value nothing(Vm&, const Value&, Args) {
    return Value();
}

} // namespace

void installSystemObject(Vm& vm) {
    Object* queryFunction = vm.newFunction(query, "Query");
    vm.keepAlive(queryFunction);
    vm.registerNative(11, 0, queryFunction);

    Object* system = vm.newObject();
    vm.global()->define("System", Value(system), kDontEnum);
    Object* caps = vm.newObject();
    vm.call(Value(queryFunction), Value(caps), {});
    system->define("capabilities", Value(caps), kDontEnum | kDontDelete);
    Object* security = vm.newObject();
    for (const char* name : {"allowDomain", "allowInsecureDomain", "loadPolicyFile"}) {
        vm.setFunction(security, name, nothing);
    }
    system->define("security", Value(security), kDontEnum | kDontDelete);
    vm.setFunction(system, "setClipboard", nothing);
    vm.setFunction(system, "showSettings", nothing);
    system->define("useCodepage", Value(false), kDontDelete);
    system->define("exactSettings", Value(true), kDontDelete);
}

} // namespace kinovex::flash::avm1
