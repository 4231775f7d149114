#pragma once
// Hashes of cache keys made of numbers. Keys are looked up for every shape drawn, so their
// hash is a few multiplies rather than a byte hash per number. 0 and -0 hash alike, as they
// compare equal.

#include "engine/swf/Types.h"

#include <bit>
#include <cstdint>

namespace kinovex::flash {

struct KeyHasher {
    std::uint64_t h;
    void add(std::uint64_t v) {
        h = (h ^ v) * 0x9e3779b97f4a7c15ull;
        h ^= h >> 32;
    }
    void add(double v) { add(std::bit_cast<std::uint64_t>(v + 0.0)); }
    void add(const ColorTransform& cx) {
        for (double v :
             {cx.rMult, cx.gMult, cx.bMult, cx.aMult, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd}) {
            add(v);
        }
    }
};

} // namespace kinovex::flash
