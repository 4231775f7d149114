#pragma once
// A replaceable function that any thread may call while another replaces it: how the program
// lets tests (and the window side) stand in for message boxes, the folder opener and the like.

#include <functional>
#include <mutex>
#include <utility>

namespace kinovex {

template <typename Signature> class HookSlot {
public:
    using Function = std::function<Signature>;

    void Set(Function function) {
        std::lock_guard lock(m_mutex);
        m_function = std::move(function);
    }

    // A copy, so the caller runs it without holding the lock (a hook may show a window).
    Function Get() const {
        std::lock_guard lock(m_mutex);
        return m_function;
    }

private:
    mutable std::mutex m_mutex;
    Function m_function;
};

} // namespace kinovex
