#pragma once
// Events a thread can sleep on: auto-reset (a wait that succeeds clears it) or manual-reset (set
// until reset), built on eventfd so that one thread can wait for several of them at once with poll.

#include <cstddef>
#include <initializer_list>

namespace kinovex {

class CEvent {
public:
    // An auto-reset event lets one waiter through per Set and is then clear again; a
    // manual-reset event stays set until Reset.
    explicit CEvent(bool manualReset);
    ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    // False when the system refused the descriptor; such an event never becomes set.
    bool IsValid() const { return m_fd >= 0; }
    void Set();
    void Reset();
    // Waits for this event alone; returns false on timeout. timeoutMs < 0 waits forever.
    bool Wait(int timeoutMs = -1);

    int fd() const { return m_fd; }
    bool manualReset() const { return m_bManualReset; }

private:
    int m_fd = -1;
    bool m_bManualReset;
};

constexpr int kWaitTimeout = -1;
constexpr int kWaitFailed = -2;

// Sleeps until one of `events` is set and returns its index (the first set one when several
// are). An auto-reset event that is reported is cleared. timeoutMs < 0 waits forever; returns
// kWaitTimeout after timeoutMs, kWaitFailed on a bad event.
int WaitForEvents(std::initializer_list<CEvent*> events, int timeoutMs = -1);

} // namespace kinovex
