#include "engine/avm2/TimerQueue.h"

#include <algorithm>

namespace kinovex::flash::avm2 {

std::uint32_t TimerQueue::add(TimerEntry entry) {
    entry.id = m_nextId++;
    m_entries.push_back(std::move(entry));
    return m_entries.back().id;
}

void TimerQueue::remove(std::uint32_t id) {
    std::erase_if(m_entries, [id](const TimerEntry& e) { return e.id == id; });
}

std::optional<TimerEntry> TimerQueue::takeDue(double now) {
    auto first = std::min_element(m_entries.begin(), m_entries.end(),
                                  [](const TimerEntry& a, const TimerEntry& b) {
                                      return a.next < b.next || (a.next == b.next && a.id < b.id);
                                  });
    if (first == m_entries.end() || first->next > now) {
        return std::nullopt;
    }
    TimerEntry due = *first;
    if (first->once) {
        m_entries.erase(first);
    } else {
        first->next += first->period;
    }
    return due;
}

void TimerQueue::skipOverdue(double now) {
    for (TimerEntry& e : m_entries) {
        if (e.next <= now) {
            e.next = now + e.period;
        }
    }
}

std::optional<double> TimerQueue::nextDue() const {
    std::optional<double> first;
    for (const TimerEntry& e : m_entries) {
        if (!first || e.next < *first) {
            first = e.next;
        }
    }
    return first;
}

void TimerQueue::roots(std::vector<Object*>& out) const {
    for (const TimerEntry& e : m_entries) {
        for (Object* o : {e.fn, e.args, e.timer}) {
            if (o != nullptr) {
                out.push_back(o);
            }
        }
    }
}

} // namespace kinovex::flash::avm2
