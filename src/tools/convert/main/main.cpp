// kinovex-convert: Flash movies to video files without a display, faster than real time.
// `kinovex-convert --help` tells how.

#include "tools/convert/ConvertTool.h"

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_interrupted{false};

void onInterrupt(int) {
    g_interrupted = true;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a dead ffmpeg shows as a failed write, not a dead tool
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    return kinovex::cli::runConvertTool(std::vector<std::string>(argv + 1, argv + argc),
                                        g_interrupted);
}
