#pragma once
// An ActionScript 3 movie without scripts for tests that drive the display classes from here
// through the machine: its first frame shown, and what it traces.

#include "SwfWriter.h"
#include "engine/avm2/Avm2Runtime.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Timeline.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kinovex::flash {

struct Avm2Stage {
    Movie movie;
    Log log;
    std::size_t liveSprites = 0;
    std::unique_ptr<Avm2Runtime> rt;
    std::unique_ptr<TimelineInstance> root;
    std::vector<std::string> lines;

    // `frames` writes the movie's frames (by default two empty ones); `mixer`, when given,
    // plays the sounds scripts start.
    explicit Avm2Stage(const std::function<void(swf::SwfWriter&)>& frames = {},
                       SoundMixer* mixer = nullptr) {
        swf::SwfWriter writer(550, 400, 24, {.version = 15, .fileAttributes = false});
        writer.rawTag(69, {0x08, 0, 0, 0});
        if (frames) {
            frames(writer);
        } else {
            writer.showFrame();
            writer.showFrame();
        }
        EXPECT_TRUE(movie.load(writer.finish(), log).ok);
        rt = std::make_unique<Avm2Runtime>(movie, log, mixer);
        rt->setTraceSink([this](std::string_view l) { lines.emplace_back(l); });
        root = std::make_unique<TimelineInstance>(movie, movie.timeline(), 0, liveSprites);
        rt->attachRoot(*root);
        root->start();
        rt->finishFrame();
        vm().setInstructionBudget(100000);
        vm().refillBudget();
    }
    ~Avm2Stage() { root.reset(); }
    Avm2Stage(const Avm2Stage&) = delete;
    Avm2Stage& operator=(const Avm2Stage&) = delete;

    avm2::Machine& vm() { return rt->machine(); }
    avm2::Value call(const avm2::Value& o, const char* method, std::vector<avm2::Value> args = {}) {
        return vm().callProperty(o, vm().publicName(method), avm2::Args(args.data(), args.size()));
    }
};

} // namespace kinovex::flash
