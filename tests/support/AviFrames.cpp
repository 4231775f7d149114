#include "AviFrames.h"

#include <cstdint>
#include <cstring>

namespace kinovex::test {

int CountAviFrames(const std::string& bytes) {
    const std::size_t movi = bytes.find("movi");
    if (movi == std::string::npos)
        return 0;
    int frames = 0;
    for (std::size_t at = movi + 4; at + 8 <= bytes.size();) {
        std::uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        const std::string id = bytes.substr(at, 4);
        if (id == "idx1")
            break;
        if (id.substr(2) == "dc" || id.substr(2) == "db")
            ++frames;
        at += 8 + size + (size & 1);
    }
    return frames;
}

} // namespace kinovex::test
