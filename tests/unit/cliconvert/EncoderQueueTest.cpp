// How much of the picture pipe ffmpeg may hold while it is behind the engine.

#include "tools/convert/OutputFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kinovex::cli {
namespace {

// The value given to ffmpeg for the first (the picture) input's queue, in frames.
std::size_t videoQueue(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "-thread_queue_size") {
            return std::stoul(args[i + 1]);
        }
    }
    ADD_FAILURE() << "no queue size given";
    return 0;
}

TEST(EncoderQueue, FramesHeldStayWithinAFewTensOfMegabytesAtAnySize) {
    for (const auto& [w, h] :
         {std::pair{64, 48}, std::pair{550, 400}, std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        ConvertOptions o;
        const OutputPlan plan = planOutput(o, w, h, 24);
        const std::size_t frames = videoQueue(encoderArguments(o, plan, "OUT", false));
        const std::size_t frameBytes = plan.frameBytes();
        EXPECT_GE(frames, 2u) << w << "x" << h; // one frame being read, one waiting
        // Past two frames, no more than 32 MB wait in ffmpeg.
        EXPECT_LE(frames * frameBytes, std::max<std::size_t>(32u << 20, 2 * frameBytes))
            << w << "x" << h;
    }
}

} // namespace
} // namespace kinovex::cli
