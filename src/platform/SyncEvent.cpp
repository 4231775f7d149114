#include "platform/SyncEvent.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace kinovex {

CEvent::CEvent(bool manualReset)
    : m_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_bManualReset(manualReset) {}

CEvent::~CEvent() {
    if (m_fd >= 0)
        close(m_fd);
}

void CEvent::Set() {
    if (m_fd < 0)
        return;
    const std::uint64_t one = 1;
    // A full counter (EAGAIN) means the event is set already, which is all Set promises.
    while (write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CEvent::Reset() {
    if (m_fd < 0)
        return;
    std::uint64_t value = 0;
    while (read(m_fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool CEvent::Wait(int timeoutMs) {
    return WaitForEvents({this}, timeoutMs) == 0;
}

int WaitForEvents(std::initializer_list<CEvent*> events, int timeoutMs) {
    std::vector<pollfd> fds;
    for (CEvent* event : events) {
        if (event == nullptr || !event->IsValid())
            return kWaitFailed;
        fds.push_back({event->fd(), POLLIN, 0});
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        const int ready = poll(fds.data(), fds.size(), wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return kWaitFailed;
        }
        if (ready == 0)
            return kWaitTimeout;
        int index = 0;
        for (CEvent* event : events) {
            if (fds[static_cast<std::size_t>(index)].revents & POLLIN) {
                if (event->manualReset())
                    return index;
                // Another waiter may have taken an auto-reset event first: then wait again.
                std::uint64_t value = 0;
                if (read(event->fd(), &value, sizeof value) == sizeof value)
                    return index;
            }
            ++index;
        }
    }
}

} // namespace kinovex
