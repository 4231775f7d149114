// libFuzzer target: any bytes as the ActionScript 1/2 code of a movie's first frame. The bytes
// go into a DoAction tag of a small movie with a named sprite to act on, and the movie runs a
// few frames without drawing. Whatever the code, the interpreter must stop within its limits
// and never crash or touch memory out of bounds.

#include "SwfWriter.h"
#include "engine/Player.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> movieAround(const std::uint8_t* code, std::size_t size) {
    using namespace kinovex::swf;
    SwfWriter movie(20, 20, 12);
    Sprite sprite;
    sprite.showFrame();
    sprite.showFrame();
    Place place;
    place.character = movie.defineSprite(sprite);
    place.name = "clip";
    movie.place(place);
    movie.rawTag(tag::DoAction, std::vector<std::uint8_t>(code, code + size));
    for (int i = 0; i < 3; ++i) {
        movie.showFrame();
    }
    return movie.finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> movie = movieAround(data, size);
    kinovex::flash::Player player;
    player.setLogSink([](const kinovex::flash::Diagnostic&) {});
    player.setTraceSink([](std::string_view) {});
    // Far fewer instructions than a real frame may run, so an endless loop costs little time.
    player.setScriptInstructionBudget(10000);
    if (!player.loadFromMemory(movie).ok) {
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        player.nextFrame();
    }
    return 0;
}
