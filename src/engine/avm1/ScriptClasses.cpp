// The player's classes for scripts, installed on the script machine after its own built-ins, in
// the order they go onto _global.

#include "engine/avm1/ScriptRuntime.h"

namespace kinovex::flash {

void ScriptRuntime::installPlayerClasses() {
    installClipMethods();
    installKeyObject();
    installMouseObject();
    installStageObject();
    installSelectionObject();
    installColorClass();
    installTransformClass();
    installSoundClass();
    installTextFieldClass();
    installTextFormatClass();
    installOutsideClasses();
    installClipLoaderClass();
}

} // namespace kinovex::flash
