#pragma once
// The size of the screen the program runs on.

#include <string>

namespace kinovex {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// The size of the X display's default screen when DISPLAY names one that can be opened;
// otherwise (headless tools, tests without a display) kDefaultScreenSize.
ScreenSize PrimaryScreenSize();
// The same for the display named `displayName` (":1", "host:0.0").
ScreenSize DisplayScreenSize(const std::string& displayName);

constexpr ScreenSize kDefaultScreenSize{1024, 768};

} // namespace kinovex
