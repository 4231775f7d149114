#pragma once
// Which button a person would press to start a movie that stands waiting: one whose instance
// name or text says play, start, begin, go, enter, continue, skip or next (as a word, in any
// case: "play_btn", "btnStart", "PLAY GAME"); else the only button on the stage; else none.

#include "engine/Player.h"

#include <optional>
#include <string>
#include <vector>

namespace kinovex::cli {

// The index in `buttons` of the one to press, if any.
std::optional<std::size_t> chooseStartButton(const std::vector<flash::StageButton>& buttons);

// How the report names a button: its instance name, else its text, else "a button".
std::string buttonLabel(const flash::StageButton& button);

} // namespace kinovex::cli
