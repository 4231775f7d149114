// kinovex-convert: Flash movies to video files without a display, faster than real time.
// `kinovex-convert --help` tells how.

#include "tools/convert/ConvertTool.h"

#include <atomic>
#include <csignal>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_interrupted{false};

void onInterrupt(int) {
    g_interrupted = true;
}

} // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Frames draw filtered and blended objects into layers of up to a few megabytes, freed when
    // the object is done. By default the allocator gives that memory back to the system and the
    // next layer faults it in again page by page (four fifths of a conversion's page faults);
    // each thread's heap keeps up to 64 MB free instead.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    std::signal(SIGPIPE, SIG_IGN); // a dead ffmpeg shows as a failed write, not a dead tool
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    return kinovex::cli::runConvertTool(std::vector<std::string>(argv + 1, argv + argc),
                                        g_interrupted);
}
