// flash.utils.Timer, flash.events.TimerEvent and flash.utils' setTimeout, setInterval,
// clearTimeout and clearInterval, over the runtime's timer queue.

#include "engine/avm2/TimerClasses.h"
#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/HiddenFields.h"

#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

Avm2Runtime& runtime(Machine& vm) {
    return *static_cast<Avm2Runtime*>(vm.host);
}

Object* timerSelf(Machine& vm, const Value& v) {
    if (!v.isObject()) {
        vm.throwError("TypeError", 1009,
                      "Cannot access a property or method of a null object reference.");
    }
    return v.o;
}

double checkedDelay(Machine& vm, const Value& v) {
    const double delay = vm.toNumber(v);
    if (!(delay >= 0) || !std::isfinite(delay)) {
        vm.throwError("RangeError", 2066, "The Timer delay specified is out of range.");
    }
    return delay;
}

// ---- setTimeout and friends ----

Value schedule(Machine& vm, Args args, bool once) {
    const Value fn = arg(args, 0);
    if (!fn.isObject()) {
        vm.throwError("TypeError", 1034,
                      "Type Coercion failed: cannot convert " + vm.toString(fn) + " to Function.");
    }
    const double delay = std::max(vm.toNumber(arg(args, 1)), 0.0);
    TimerEntry e;
    e.fn = fn.o;
    e.args = vm.newArray(
        std::vector<Value>(args.begin() + std::min<std::size_t>(args.size(), 2), args.end()));
    e.period = std::isfinite(delay) ? std::max(delay, 1.0) : 1.0;
    e.next = vm.nowMs + e.period;
    e.once = once;
    return Value::number(runtime(vm).timers().add(e));
}
Value setTimeoutFn(Machine& vm, Value, Args args) {
    return schedule(vm, args, true);
}
Value setIntervalFn(Machine& vm, Value, Args args) {
    return schedule(vm, args, false);
}
Value clearFn(Machine& vm, Value, Args args) {
    runtime(vm).timers().remove(vm.toUint(arg(args, 0)));
    return Value();
}

// ---- Timer ----

void stopTimer(Machine& vm, Object* t) {
    runtime(vm).timers().remove(vm.toUint(hidden(t, "queued")));
    setHidden(t, "queued", Value::integer(0));
    setHidden(t, "running", Value::boolean(false));
}

void startTimer(Machine& vm, Object* t) {
    TimerEntry e;
    e.timer = t;
    e.period = std::max(vm.toNumber(hidden(t, "delay")), 1.0);
    e.next = vm.nowMs + e.period;
    setHidden(t, "queued", Value::number(runtime(vm).timers().add(e)));
    setHidden(t, "running", Value::boolean(true));
}

Value timerInit(Machine& vm, Value s, Args args) {
    Object* t = timerSelf(vm, s);
    setHidden(t, "delay", Value::number(checkedDelay(vm, arg(args, 0))));
    setHidden(t, "repeatCount", Value::integer(args.size() > 1 ? vm.toInt(args[1]) : 0));
    setHidden(t, "currentCount", Value::integer(0));
    setHidden(t, "running", Value::boolean(false));
    return Value();
}

Value timerStart(Machine& vm, Value s, Args) {
    Object* t = timerSelf(vm, s);
    if (!Machine::toBoolean(hidden(t, "running"))) {
        startTimer(vm, t);
    }
    return Value();
}
Value timerStop(Machine& vm, Value s, Args) {
    stopTimer(vm, timerSelf(vm, s));
    return Value();
}
Value timerReset(Machine& vm, Value s, Args) {
    Object* t = timerSelf(vm, s);
    stopTimer(vm, t);
    setHidden(t, "currentCount", Value::integer(0));
    return Value();
}

#define TIMER_FIELD(FN, FIELD)                                                                     \
    Value FN(Machine& vm, Value s, Args) {                                                         \
        return hidden(timerSelf(vm, s), FIELD);                                                    \
    }
TIMER_FIELD(timerDelay, "delay")
TIMER_FIELD(timerRepeatCount, "repeatCount")
TIMER_FIELD(timerCurrentCount, "currentCount")
TIMER_FIELD(timerRunning, "running")
#undef TIMER_FIELD

Value timerSetDelay(Machine& vm, Value s, Args args) {
    Object* t = timerSelf(vm, s);
    setHidden(t, "delay", Value::number(checkedDelay(vm, arg(args, 0))));
    if (Machine::toBoolean(hidden(t, "running"))) {
        stopTimer(vm, t);
        startTimer(vm, t);
    }
    return Value();
}
Value timerSetRepeatCount(Machine& vm, Value s, Args args) {
    // A count already reached stops the timer, quietly; during its own tick the end of the
    // tick sees to it (and completes).
    Object* t = timerSelf(vm, s);
    const std::int32_t n = vm.toInt(arg(args, 0));
    setHidden(t, "repeatCount", Value::integer(n));
    if (n > 0 && vm.toInt(hidden(t, "currentCount")) >= n &&
        !Machine::toBoolean(hidden(t, "ticking"))) {
        stopTimer(vm, t);
    }
    return Value();
}

void dispatchTimerEvent(Machine& vm, Object* t, const char* type) {
    Value a[1] = {vm.str(type)};
    Object* e = vm.constructClass(vm.builtin("flash.events.TimerEvent"), Args(a, 1));
    runtime(vm).dispatch(t, e);
}

Value updateAfterEvent(Machine&, Value, Args) {
    return Value();
}

} // namespace

void fireTimer(Machine& vm, const TimerEntry& e) {
    if (e.fn != nullptr) {
        vm.call(Value::obj(e.fn), Value::null(), Args(e.args->elems));
        return;
    }
    Object* t = e.timer;
    const std::int32_t count = vm.toInt(hidden(t, "currentCount")) + 1;
    setHidden(t, "currentCount", Value::integer(count));
    setHidden(t, "ticking", Value::boolean(true));
    try {
        dispatchTimerEvent(vm, t, "timer");
    } catch (...) {
        setHidden(t, "ticking", Value::boolean(false));
        throw;
    }
    setHidden(t, "ticking", Value::boolean(false));
    // The handlers may have stopped it, or raised its repeat count.
    const std::int32_t repeat = vm.toInt(hidden(t, "repeatCount"));
    if (Machine::toBoolean(hidden(t, "running")) && repeat > 0 &&
        vm.toInt(hidden(t, "currentCount")) >= repeat) {
        stopTimer(vm, t);
        dispatchTimerEvent(vm, t, "timerComplete");
    }
}

void installTimerClasses(Machine& m) {
    ClassInfo* event = m.builtin("flash.events.Event");
    ClassInfo* timerEvent =
        m.defineNativeClass("flash.events", "TimerEvent", event, ObjKind::Event);
    m.defineConstant(timerEvent, "TIMER", m.str("timer"));
    m.defineConstant(timerEvent, "TIMER_COMPLETE", m.str("timerComplete"));
    m.defineMethod(timerEvent, "updateAfterEvent", updateAfterEvent);

    ClassInfo* timer =
        m.defineNativeClass("flash.utils", "Timer", m.builtin("flash.events.EventDispatcher"));
    timer->nativeInit = timerInit;
    m.defineGetter(timer, "delay", timerDelay, timerSetDelay);
    m.defineGetter(timer, "repeatCount", timerRepeatCount, timerSetRepeatCount);
    m.defineGetter(timer, "currentCount", timerCurrentCount);
    m.defineGetter(timer, "running", timerRunning);
    m.defineMethod(timer, "start", timerStart);
    m.defineMethod(timer, "stop", timerStop);
    m.defineMethod(timer, "reset", timerReset);

    m.defineGlobalFunction("flash.utils", "setTimeout", setTimeoutFn, 2);
    m.defineGlobalFunction("flash.utils", "setInterval", setIntervalFn, 2);
    m.defineGlobalFunction("flash.utils", "clearTimeout", clearFn, 1);
    m.defineGlobalFunction("flash.utils", "clearInterval", clearFn, 1);
}

} // namespace kinovex::flash::avm2
