#include "platform/ScreenSize.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace kinovex {

ScreenSize PrimaryScreenSize() {
    const char* display = std::getenv("DISPLAY");
    return DisplayScreenSize(display != nullptr ? display : "");
}

ScreenSize DisplayScreenSize(const std::string& displayName) {
    if (displayName.empty())
        return kDefaultScreenSize;
    Display* connection = XOpenDisplay(displayName.c_str());
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
