#pragma once
// The clock the player thread plays and records by, and the way it sleeps on it.
//
// The thread never spins: it sleeps on its condition variable until the next frame or capture
// tick is due or something wakes it. The clock does the sleeping because only the clock knows
// when a due time comes: the steady clock waits for real, a test's clock waits for its own
// time to be moved on.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace kinovex {

// True once `now` has reached `due` on a 32-bit millisecond tick that wraps (as the tick count
// does after 49.7 days).
inline bool TickReached(std::uint32_t now, std::uint32_t due) {
    return static_cast<std::int32_t>(now - due) >= 0;
}

class PlayerClock {
public:
    virtual ~PlayerClock() = default;

    // Milliseconds on a monotonic clock.
    virtual std::uint32_t Now() = 0;

    // The lock and condition the thread sleeps on, given once before the thread starts.
    virtual void Attach(std::mutex& /*mutex*/, std::condition_variable& /*condition*/) {}

    // Called with `lock` held; returns with it held once `wake()` is true. `due` is the tick
    // at which wake() becomes true by time alone; without one only a notification ends it.
    virtual void Sleep(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
                       std::optional<std::uint32_t> due, const std::function<bool()>& wake) = 0;
};

// The monotonic system clock (CLOCK_MONOTONIC): not moved by changes of the wall time.
class SteadyPlayerClock final : public PlayerClock {
public:
    SteadyPlayerClock();
    std::uint32_t Now() override;
    void Sleep(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
               std::optional<std::uint32_t> due, const std::function<bool()>& wake) override;

private:
    std::chrono::steady_clock::time_point m_origin;
};

// A clock that only moves when told: Advance wakes the thread as a passing due time would.
class ManualPlayerClock final : public PlayerClock {
public:
    explicit ManualPlayerClock(std::uint32_t start = 0) : m_now(start) {}
    std::uint32_t Now() override { return m_now.load(); }
    void Attach(std::mutex& mutex, std::condition_variable& condition) override;
    void Sleep(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
               std::optional<std::uint32_t> due, const std::function<bool()>& wake) override;
    void Advance(std::uint32_t milliseconds);

private:
    std::atomic<std::uint32_t> m_now;
    std::atomic<std::mutex*> m_mutex{nullptr};
    std::atomic<std::condition_variable*> m_condition{nullptr};
};

} // namespace kinovex
