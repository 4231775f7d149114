#pragma once
// flash.utils.Timer, flash.events.TimerEvent and setTimeout and its kin: installed by the
// runtime, whose timer queue they use, once Event and EventDispatcher exist.

#include "engine/avm2/Machine.h"
#include "engine/avm2/TimerQueue.h"

namespace kinovex::flash::avm2 {

void installTimerClasses(Machine& m);
// What a due entry does: calls the function, or ticks the Timer (TIMER, then TIMER_COMPLETE at
// its last count).
void fireTimer(Machine& m, const TimerEntry& e);

} // namespace kinovex::flash::avm2
