#include "platform/PlatformMessageBox.h"

#include <cstdio>

namespace kinovex {

void StderrMessageBoxes::Show(const std::string& text, const std::string& caption,
                              MessageBoxIcon /*icon*/) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

} // namespace kinovex
