#pragma once
// Movies with scripts for the player's script tests: action tags for our writer, and running a
// movie for some frames while collecting what it traces.

#include "Actions.h"
#include "BitWriter.h"
#include "FlashTestUtil.h"
#include "SwfWriter.h"
#include "engine/definitions/Characters.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kinovex::flash::test {

using Lines = std::vector<std::string>;

// Pushes object.name.
inline swf::Actions& member(swf::Actions& a, const std::string& object, const std::string& name) {
    return a.getVar(object).push(name).op(swf::op::GetMember);
}

// trace(object.name)
inline swf::Actions& traceMember(swf::Actions& a, const std::string& object,
                                 const std::string& name) {
    return member(a, object, name).op(swf::op::Trace);
}

// object.name = value
inline swf::Actions& setMember(swf::Actions& a, const std::string& object, const std::string& name,
                               const swf::PushValue& value) {
    return a.getVar(object).push(name).push(value).op(swf::op::SetMember);
}

inline void doAction(swf::Timeline& t, const swf::Actions& a) {
    t.rawTag(12, a.bytes());
}

inline void initAction(swf::SwfWriter& movie, std::uint16_t sprite, const swf::Actions& a) {
    movie.rawTag(59, a.initActionBody(sprite));
}

inline void exportAsset(swf::SwfWriter& movie, std::uint16_t id, const std::string& name) {
    std::vector<std::uint8_t> body;
    body.reserve(name.size() + 5);
    for (const std::uint8_t b :
         {std::uint8_t{1}, std::uint8_t{0}, static_cast<std::uint8_t>(id & 0xff),
          static_cast<std::uint8_t>(id >> 8)}) {
        body.push_back(b);
    }
    for (const char c : name) {
        body.push_back(static_cast<std::uint8_t>(c));
    }
    body.push_back(0);
    movie.rawTag(56, body);
}

// PlaceObject2 of `character` at `depth` with a name and clip actions (event flags, code), as
// a movie of version 6 or later stores them.
inline void placeWithEvents(swf::Timeline& t, std::uint16_t depth, std::uint16_t character,
                            const std::string& name,
                            const std::vector<std::pair<std::uint32_t, swf::Actions>>& events) {
    std::vector<std::uint8_t> body;
    auto u16 = [&](std::uint32_t v) {
        body.push_back(static_cast<std::uint8_t>(v & 0xff));
        body.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xffff);
        u16(v >> 16);
    };
    body.push_back(0x80 | 0x20 | 0x02); // clip actions, name, character
    u16(depth);
    u16(character);
    body.insert(body.end(), name.begin(), name.end());
    body.push_back(0);
    u16(0);
    std::uint32_t all = 0;
    for (const auto& [flags, code] : events) {
        all |= flags;
    }
    u32(all);
    for (const auto& [flags, code] : events) {
        const std::vector<std::uint8_t> bytes = code.bytes();
        u32(flags);
        u32(static_cast<std::uint32_t>(bytes.size()));
        body.insert(body.end(), bytes.begin(), bytes.end());
    }
    u32(0);
    t.rawTag(26, body);
}

// Loads the movie and shows `frames` frames (the first at load); returns every traced line.
inline Lines traceFrames(const swf::SwfWriter& movie, int frames, Player* keep = nullptr) {
    Player local;
    Player& player = keep != nullptr ? *keep : local;
    Lines lines;
    player.setTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    const std::vector<std::uint8_t> bytes = movie.finish();
    if (!player.loadFromMemory(bytes).ok) {
        return {"<not loaded>"};
    }
    for (int i = 1; i < frames; ++i) {
        player.nextFrame();
    }
    player.setTraceSink({});
    return lines;
}

inline swf::Actions traceText(const std::string& text) {
    swf::Actions a;
    a.trace(text);
    return a;
}

} // namespace kinovex::flash::test
