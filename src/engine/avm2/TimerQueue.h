#pragma once
// The scripts' timers on the machine's clock: setTimeout and setInterval calls, and the ticks
// of running flash.utils.Timer objects.

#include "engine/avm2/Object.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kinovex::flash::avm2 {

struct TimerEntry {
    std::uint32_t id = 0;
    Object* fn = nullptr;    // setTimeout, setInterval: what is called
    Object* args = nullptr;  // and an Array of the arguments it is given
    Object* timer = nullptr; // a Timer: the object that ticks
    double period = 0;
    double next = 0; // when it is due
    bool once = false;
};

class TimerQueue {
public:
    // Adds the entry under a new id (never 0), which it returns.
    std::uint32_t add(TimerEntry entry);
    void remove(std::uint32_t id);
    // The entry due first at or before `now`, taken out of the queue when it is `once` and
    // set to its next period otherwise.
    std::optional<TimerEntry> takeDue(double now);
    // Entries still due at `now` (a host far behind) wait a whole period from now instead.
    void skipOverdue(double now);
    std::optional<double> nextDue() const;
    void roots(std::vector<Object*>& out) const;

private:
    std::vector<TimerEntry> m_entries;
    std::uint32_t m_nextId = 1;
};

} // namespace kinovex::flash::avm2
