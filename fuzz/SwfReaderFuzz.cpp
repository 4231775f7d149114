// libFuzzer target: any bytes as a movie file, read into its dictionary and timelines and no
// further. The reader must refuse or skip what it cannot read without crashing, hanging or
// touching memory out of bounds; with nothing played or drawn it runs thousands of inputs a
// second, so it reaches deep into the tag parsers quickly.

#include "engine/definitions/Movie.h"
#include "engine/swf/Log.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kinovex::flash::Log log;
    log.setSink([](const kinovex::flash::Diagnostic&) {});
    kinovex::flash::Movie movie;
    (void)movie.load(std::span<const std::uint8_t>(data, size), log);
    return 0;
}
