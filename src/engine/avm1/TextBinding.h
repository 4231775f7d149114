#pragma once
// Text fields bound to variables (DefineEditText's variable name): after each frame's scripts
// the player shows every bound field's variable, through whatever reads and writes script
// variables (the interpreter's getVariable/setVariable on the timeline that holds the field).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kinovex::flash {

class TimelineInstance;
namespace avm1 {
class Vm;
}

struct TextVariableAccess {
    // The variable `path` as a script on `timeline` sees it, as text; nothing when undefined.
    std::function<std::optional<std::string>(TimelineInstance& timeline, std::string_view path)>
        read;
    // Sets it to `text` (a string value).
    std::function<void(TimelineInstance& timeline, std::string_view path, std::string_view text)>
        write;
};

// Walks `root` and every sprite below it. A bound field shows its variable's value when that
// changed; a variable still undefined when its field first looks is given the field's text,
// as Flash does for a field placed before any script set its variable.
void syncBoundTextFields(TimelineInstance& root, const TextVariableAccess& access);
// The same with the movie's interpreter: variables as scripts on the field's timeline see them.
void syncBoundTextFields(TimelineInstance& root, avm1::Vm& vm);

} // namespace kinovex::flash
