#pragma once
// The order in which the browser lists names: as people read them, not as the bytes sort.
// Letter case is ignored and digit runs compare by their number, so "movie 2" comes before
// "Movie 10"; names that differ only in case or in leading zeros fall back to their bytes,
// so the order never depends on the order the names came in.

#include <string_view>

namespace kinovex {

// Negative, zero or positive as UTF-8 name `a` comes before, with or after `b`. Zero only
// for equal names.
int NaturalCompare(std::string_view a, std::string_view b);

inline bool NaturalLess(std::string_view a, std::string_view b) {
    return NaturalCompare(a, b) < 0;
}

} // namespace kinovex
