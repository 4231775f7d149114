#include "platform/UiEventPump.h"

#include <atomic>

namespace kinovex {
namespace {

std::atomic<CUiEventPump*> g_pump{nullptr};

} // namespace

void SetUiEventPump(CUiEventPump* pump) {
    g_pump.store(pump);
}

CUiEventPump* UiEventPump() {
    return g_pump.load();
}

} // namespace kinovex
