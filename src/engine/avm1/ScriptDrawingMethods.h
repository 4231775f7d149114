#pragma once
// MovieClip's drawing methods (lineStyle, beginFill, lineTo ...): what scripts give them turned
// into the clip's drawing, which the first of them makes (clear makes none).

#include "engine/avm1/Vm.h"
#include "engine/display/Timeline.h"

namespace kinovex::flash::drawing {

avm1::Value clear(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);
avm1::Value lineStyle(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);
avm1::Value beginFill(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);
avm1::Value beginGradientFill(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);
avm1::Value moveTo(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);
avm1::Value lineTo(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);
avm1::Value curveTo(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);
avm1::Value endFill(avm1::Vm& vm, TimelineInstance& clip, avm1::Args args);

} // namespace kinovex::flash::drawing
