// MovieClipLoader: loadClip(url, target) asks for a movie to load into a clip and tells the
// loader's listeners (the loader itself first) how it went; getProgress(target) gives the bytes
// of the movie a clip shows. Scripts of movies before version 7 see the class but none of its
// methods. Movies are not loaded into clips: a load that finds its file is reported, one that
// cannot gives onLoadError with the player's reason.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/definitions/Movie.h"
#include "engine/swf/MovieFolder.h"

#include <algorithm>

namespace kinovex::flash {

using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

constexpr avm1::PropFlags kLoaderMember = avm1::kDontEnum | avm1::kDontDelete;
constexpr const char* kLoaderClass = "MovieClipLoader";

Object* loaderOf(const Value& self) {
    Object* o = avm1::selfObject(self);
    return o != nullptr && o->hostClass() == kLoaderClass ? o : nullptr;
}

} // namespace

void ScriptRuntime::installClipLoaderClass() {
    avm1::Vm& vm = *m_vm;
    Object* proto = vm.newObject();
    // The prototype broadcasts: it gets AsBroadcaster's members, and every loader a listener
    // list of its own that holds the loader.
    avm1::makeBroadcaster(vm, proto);
    Object* ctor = vm.newFunction(
        [](avm1::Vm& v, const Value& self, Args) -> Value {
            Object* o = avm1::selfObject(self);
            if (o != nullptr && v.constructing()) {
                o->setHostClass(kLoaderClass);
                o->define("_listeners", Value(v.newArray({self})), kLoaderMember);
            }
            return Value();
        },
        kLoaderClass, true);
    ctor->define("prototype", Value(proto), kLoaderMember);
    proto->define("constructor", Value(ctor), kLoaderMember);
    vm.global()->define(kLoaderClass, Value(ctor), avm1::kDontEnum);
    vm.setFunction(proto, "loadClip", [this](avm1::Vm& v, const Value& self, Args args) {
        Object* loader = loaderOf(self);
        if (loader == nullptr) {
            return Value();
        }
        const Value target = avm1::arg(args, 1);
        v.keepAlive(loader);
        m_clipLoads.push_back({loader, v.toString(avm1::arg(args, 0)), target, 2});
        if (target.isObject()) {
            v.keepAlive(target.asObject());
        }
        return Value(true);
    });
    vm.setFunction(proto, "getProgress", [this](avm1::Vm&, const Value& self, Args args) {
        return loaderOf(self) != nullptr ? clipProgress(avm1::arg(args, 0)) : Value();
    });
    vm.setFunction(proto, "unloadClip", [this](avm1::Vm& v, const Value& self, Args args) {
        const Value target = loadTarget(avm1::arg(args, 0));
        if (loaderOf(self) == nullptr || !target.isObject()) {
            return Value(false);
        }
        v.callMethod(target.asObject(), "unloadMovie");
        return Value(true);
    });
    for (avm1::Property& p : proto->properties()) {
        p.flags |= avm1::kFromVersion7;
    }
}

Value ScriptRuntime::loadTarget(const Value& target) {
    if (TimelineInstance* c = clipOfValue(target)) {
        return Value(m_vm->clipObject(c->clipId()));
    }
    if (target.isString() && m_root != nullptr) {
        const avm1::ClipId id = m_vm->resolveTarget(m_root->clipId(), target.asString());
        if (id != 0 && clip(id) != nullptr) {
            return Value(m_vm->clipObject(id));
        }
    }
    return Value();
}

// The object the player gives has no prototype.
Value ScriptRuntime::clipProgress(const Value& target) {
    const Value found = loadTarget(target);
    TimelineInstance* c = clipOfValue(found);
    if (c == nullptr) {
        return Value();
    }
    const double bytes = clipBytes(*c);
    Object* progress = m_vm->newObjectOfClass(avm1::ObjectClass::Object, nullptr);
    m_vm->setMember(progress, "bytesLoaded", Value(bytes));
    m_vm->setMember(progress, "bytesTotal", Value(bytes));
    return Value(progress);
}

// The main timeline has the movie's bytes; a clip a script made has none of its own, and one
// the timeline placed comes with the movie.
double ScriptRuntime::clipBytes(const TimelineInstance& c) const {
    const DisplayObject* obj = c.owner();
    const bool ownBytes = c.parent() == nullptr || (obj != nullptr && !obj->dynamic);
    return ownBytes ? static_cast<double>(std::max<std::uint32_t>(m_movie.declaredLength(), 1))
                    : 0.0;
}

namespace {

// What a clip can show: a movie (plain or compressed) or a JPEG, PNG or GIF image.
bool isMovieOrImage(std::string_view bytes) {
    for (const std::string_view start : {"FWS", "CWS", "ZWS", "\xFF\xD8", "\x89PNG", "GIF8"}) {
        if (bytes.substr(0, start.size()) == start) {
            return true;
        }
    }
    return false;
}

} // namespace

// A file that is neither movie nor image loads as an empty movie: the target is replaced by an
// empty clip, and the listeners hear of the start, the progress, the end and the new clip.
void ScriptRuntime::loadAsNothing(const ClipLoad& load) {
    Value target = loadTarget(load.target);
    const auto tell = [this, &load, &target](const char* event, std::vector<Value> extra) {
        std::vector<Value> args{Value(std::string(event)), target};
        args.insert(args.end(), extra.begin(), extra.end());
        m_vm->callMethod(load.loader, "broadcastMessage", args);
        drain();
    };
    tell("onLoadStart", {});
    if (TimelineInstance* c = clipOfValue(loadTarget(load.target))) {
        const avm1::ClipId made = replaceWithEmptyClip(c->clipId());
        target = made != 0 ? Value(m_vm->clipObject(made)) : Value();
    }
    tell("onLoadProgress", {Value(0.0), Value(0.0)});
    tell("onLoadProgress", {Value(0.0), Value(0.0)});
    tell("onLoadComplete", {Value(0.0)});
    tell("onLoadInit", {});
}

// A load learns whether its file is there on the second frame after the call: a name outside
// the movie's folder is an IllegalRequest, a file that is not there URLNotFound.
void ScriptRuntime::finishClipLoads() {
    for (std::size_t n = m_clipLoads.size(); n > 0 && !m_clipLoads.empty(); --n) {
        ClipLoad load = std::move(m_clipLoads.front());
        m_clipLoads.pop_front();
        if (--load.framesLeft > 0) {
            m_clipLoads.push_back(std::move(load));
            continue;
        }
        const bool inFolder = fileInMovieFolder(load.url).has_value();
        const std::optional<std::string> bytes = m_folder.read(load.url, m_log); // logs refusals
        const char* error = !inFolder ? "IllegalRequest" : !bytes ? "URLNotFound" : nullptr;
        if (error != nullptr) {
            const Value args[] = {Value(std::string("onLoadError")), loadTarget(load.target),
                                  Value(std::string(error)), Value(0.0)};
            m_vm->callMethod(load.loader, "broadcastMessage", args);
            drain();
        } else if (!isMovieOrImage(*bytes)) {
            loadAsNothing(load);
        } else if (m_reported.size() < 64 && m_reported.insert("loadClip " + load.url).second) {
            report("Loading the movie \"" + load.url + "\" into a clip is unavailable");
        }
        m_vm->release(load.loader);
        if (load.target.isObject()) {
            m_vm->release(load.target.asObject());
        }
    }
}

} // namespace kinovex::flash
