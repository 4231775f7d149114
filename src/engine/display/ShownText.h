#pragma once
// The text a part of the display list shows, as characters: what static text spells with its
// fonts' character codes and what text fields hold, through the sprites in it. For telling
// what a button says ("Play", "Start") without reading its pixels.

#include "engine/display/Timeline.h"

#include <string>

namespace kinovex::flash {

// The texts of `list` in depth order, separated by spaces (UTF-8). Glyphs of a font that
// keeps no character codes are left out.
std::string ShownText(const DisplayList& list, const Movie& movie);

} // namespace kinovex::flash
