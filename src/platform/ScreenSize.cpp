#include "platform/ScreenSize.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace kinovex {

ScreenSize PrimaryScreenSize() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return kDefaultScreenSize;
    Display* connection = XOpenDisplay(nullptr);
    if (connection == nullptr)
        return kDefaultScreenSize;
    const int screen = DefaultScreen(connection);
    ScreenSize size{DisplayWidth(connection, screen), DisplayHeight(connection, screen)};
    XCloseDisplay(connection);
    if (size.width <= 0 || size.height <= 0)
        return kDefaultScreenSize;
    return size;
}

} // namespace kinovex
