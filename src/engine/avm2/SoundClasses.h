#pragma once
// flash.media's Sound, SoundChannel, SoundTransform and SoundMixer: installed by the runtime,
// whose mixer plays the library sounds a script starts, once EventDispatcher exists.

#include "engine/avm2/Machine.h"

namespace kinovex::flash::avm2 {

void installSoundClasses(Machine& m);
// Each channel that has played out by the machine's clock sends soundComplete.
void finishSounds(Machine& m);

} // namespace kinovex::flash::avm2
