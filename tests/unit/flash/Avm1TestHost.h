#pragma once
// A pretend player for the interpreter's tests: a tree of named clips with stored properties,
// a clock the test sets, and the trace lines and reports scripts produced.

#include "Actions.h"
#include "engine/avm1/Vm.h"

#include <map>
#include <string>
#include <vector>

namespace kinovex::flash::test {

struct FakeClip {
    std::string name;
    avm1::ClipId parent = 0;
    std::map<int, avm1::Value> properties;
    std::uint32_t frame = 1;
    bool playing = true;
};

class FakeHost : public avm1::ScriptHost {
public:
    FakeHost() { m_clips[1] = FakeClip{"", 0, {}, 1, true}; }

    avm1::ClipId addClip(avm1::ClipId parent, const std::string& name) {
        const avm1::ClipId id = m_next++;
        m_clips[id] = FakeClip{name, parent, {}, 1, true};
        return id;
    }
    FakeClip& clip(avm1::ClipId id) { return m_clips.at(id); }
    void removeClip(avm1::ClipId id) { m_clips.erase(id); }

    avm1::ClipId rootClip() override { return 1; }
    avm1::ClipId parentClip(avm1::ClipId c) override {
        auto it = m_clips.find(c);
        return it == m_clips.end() ? 0 : it->second.parent;
    }
    avm1::ClipId childClip(avm1::ClipId parent, std::string_view name, bool) override {
        for (auto& [id, c] : m_clips) {
            if (c.parent == parent && c.name == name) {
                return id;
            }
        }
        return 0;
    }
    bool clipExists(avm1::ClipId c) override { return m_clips.count(c) != 0; }
    std::string clipName(avm1::ClipId c) override {
        return clipExists(c) ? m_clips[c].name : std::string();
    }
    avm1::Value getClipProperty(avm1::ClipId c, avm1::ClipProperty p) override {
        if (p == avm1::ClipProperty::CurrentFrame) {
            return avm1::Value(static_cast<double>(m_clips[c].frame));
        }
        if (p == avm1::ClipProperty::FramesLoaded) {
            return avm1::Value(static_cast<double>(framesLoaded));
        }
        auto& props = m_clips[c].properties;
        auto it = props.find(static_cast<int>(p));
        return it == props.end() ? avm1::Value(0.0) : it->second;
    }
    void setClipProperty(avm1::ClipId c, avm1::ClipProperty p, const avm1::Value& v) override {
        m_clips[c].properties[static_cast<int>(p)] = v;
    }
    void gotoFrame(avm1::ClipId c, std::uint32_t frame, bool play) override {
        m_clips[c].frame = frame;
        m_clips[c].playing = play;
    }
    bool gotoLabel(avm1::ClipId c, std::string_view label, bool play) override {
        if (label == "end") {
            gotoFrame(c, 10, play);
            return true;
        }
        return false;
    }
    void play(avm1::ClipId c) override { m_clips[c].playing = true; }
    void stop(avm1::ClipId c) override { m_clips[c].playing = false; }
    void nextFrame(avm1::ClipId c) override { ++m_clips[c].frame; }
    void prevFrame(avm1::ClipId c) override { --m_clips[c].frame; }
    void callFrame(avm1::ClipId c, std::uint32_t frame) override {
        auto it = frameScripts.find(frame);
        if (vm != nullptr && it != frameScripts.end()) {
            vm->runCalledFrame(c, std::make_shared<const std::vector<std::uint8_t>>(it->second));
        }
    }
    void trace(std::string_view line) override { traces.emplace_back(line); }
    void report(std::string_view message) override { reports.emplace_back(message); }
    double timeMs() override { return now; }
    double epochMs() override { return epoch; }
    int utcOffsetMinutes() override { return utcOffset; }

    std::vector<std::string> traces;
    std::vector<std::string> reports;
    double now = 0;
    double epoch = 0;
    int utcOffset = 0;
    int framesLoaded = 1000;
    // Frame number to the actions `call` runs there, on `vm` when it is set.
    std::map<std::uint32_t, std::vector<std::uint8_t>> frameScripts;
    avm1::Vm* vm = nullptr;

private:
    std::map<avm1::ClipId, FakeClip> m_clips;
    avm1::ClipId m_next = 2;
};

// Runs `code` on the root of a fresh interpreter for a movie of `version`; returns the traces.
inline std::vector<std::string> run(const swf::Actions& code, int version = 7) {
    FakeHost host;
    avm1::Vm vm(host, version);
    vm.beginFrame();
    vm.runActions(1, code.bytes());
    return host.traces;
}

using Lines = std::vector<std::string>;

} // namespace kinovex::flash::test
