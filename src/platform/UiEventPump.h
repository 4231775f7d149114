#pragma once
// How the user-interface thread stays responsive while it waits for a worker to end.
//
// A Qt-free module that must block the user-interface thread (the sound capture waiting for
// its thread) asks the pump it was given to process window events until the wait is over. The
// worker calls Wake when it is done so the pump re-checks at once instead of polling.

#include <functional>

namespace kinovex {

class CUiEventPump {
public:
    virtual ~CUiEventPump() = default;
    // Processes the calling thread's events, sleeping while there are none, until `done`
    // returns true. `done` is re-checked after every batch of events and after every Wake.
    virtual void ProcessEventsUntil(const std::function<bool()>& done) = 0;
    // Safe from any thread: makes a sleeping ProcessEventsUntil look at `done` again.
    virtual void Wake() = 0;
};

} // namespace kinovex
