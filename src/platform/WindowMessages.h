#pragma once
// The program's own window messages and the Qt-free way to post them.
//
// Workers (the redirector's reader, the conversion worker, the player thread) report to windows
// only by posting. They hold a CMessageTarget*, which the window side implements on top of the
// GUI toolkit's event queue; the workers themselves stay free of it.

#include <cstdint>

namespace kinovex {

constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_SKINBUTTON = WM_USER + 200;       // 1224: wParam = button id
constexpr unsigned WM_CONVERT_BUTTON = WM_USER + 201;   // 1225: wParam = button id
constexpr unsigned WM_SPLITTERMOVED = WM_USER + 202;    // 1226: wParam = x, lParam = y (screen)
constexpr unsigned WM_CONVERT_PROGRESS = WM_USER + 300; // 1324: wParam = whole seconds encoded
constexpr unsigned WM_CONVERT_END = WM_USER + 301;      // 1325: wParam = 0

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

// Something that accepts posted messages. Post must be safe to call from any thread and must
// never block on the receiver; messages from one thread arrive in the order they were posted.
class CMessageTarget {
public:
    virtual ~CMessageTarget() = default;
    virtual void Post(unsigned message, WPARAM wParam, LPARAM lParam) = 0;
};

// Where posted messages go: a pointer to a message target, null for none.
using HWND = CMessageTarget*;

inline bool PostMessage(HWND target, unsigned message, WPARAM wParam, LPARAM lParam) {
    if (target == nullptr)
        return false;
    target->Post(message, wParam, lParam);
    return true;
}

} // namespace kinovex
