#pragma once
// Avm2Runtime::guarded, for the files of the runtime's members that run scripts: a script's
// uncaught error is reported, and one that runs out of budget stops the movie's scripts.

#include "engine/avm2/Avm2Runtime.h"

namespace kinovex::flash {

template <class F> void Avm2Runtime::guarded(F&& body) {
    if (m_stopped) {
        return;
    }
    try {
        body();
    } catch (const avm2::ScriptException& e) {
        try {
            m_vm->reportUncaught(e.value);
        } catch (...) {
        }
    } catch (const avm2::BudgetExhausted&) {
        m_stopped = true;
        m_vm->traceLine("Error: Error #1502: A script has executed for longer than the default "
                        "timeout period of 15 seconds.");
    }
}

} // namespace kinovex::flash
