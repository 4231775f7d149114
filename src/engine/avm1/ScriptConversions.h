#pragma once
// Script values turned into the player's own (colours, optional arguments), for the methods of
// the player's classes.

#include "engine/avm1/Vm.h"
#include "engine/swf/Types.h"

#include <cmath>
#include <cstdint>

namespace kinovex::flash {

// Argument i was given, and is neither undefined nor null.
inline bool given(avm1::Args args, std::size_t i) {
    return i < args.size() && !args[i].isUndefined() && !args[i].isNull();
}

inline double finiteOr(double v, double fallback) {
    return std::isfinite(v) ? v : fallback;
}

// 0xRRGGBB as a script gives it.
inline std::uint32_t rgbOf(avm1::Vm& vm, const avm1::Value& v) {
    return avm1::toUint32(vm.toNumber(v)) & 0xFFFFFF;
}

inline Rgba colorOf(std::uint32_t rgb, std::uint8_t alpha) {
    return Rgba{static_cast<std::uint8_t>(rgb >> 16 & 255),
                static_cast<std::uint8_t>(rgb >> 8 & 255), static_cast<std::uint8_t>(rgb & 255),
                alpha};
}

} // namespace kinovex::flash
