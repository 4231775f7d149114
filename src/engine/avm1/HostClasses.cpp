// The methods of MovieClip that work on the display list: calls on the host, which owns clips.

#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

void Vm::installHostClasses() {
    // ---- the player's methods of MovieClip ----
    for (const char* name : {"attachMovie",
                             "duplicateMovieClip",
                             "removeMovieClip",
                             "createEmptyMovieClip",
                             "createTextField",
                             "swapDepths",
                             "getNextHighestDepth",
                             "hitTest",
                             "getBounds",
                             "localToGlobal",
                             "globalToLocal",
                             "startDrag",
                             "stopDrag",
                             "beginFill",
                             "beginGradientFill",
                             "lineStyle",
                             "moveTo",
                             "lineTo",
                             "curveTo",
                             "endFill",
                             "clear",
                             "setMask",
                             "getBytesLoaded",
                             "getBytesTotal",
                             "loadMovie",
                             "unloadMovie",
                             "loadVariables",
                             "getURL",
                             "attachSound",
                             "getInstanceAtDepth"}) {
        const std::string method = name;
        setFunction(m_clipProto, method,
                    [method](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                        const ClipId c = clipOf(self);
                        return c ? v.host().callClipMethod(v, c, method, args) : Value();
                    });
    }
}

} // namespace kinovex::flash::avm1
