#include "tools/encoder/TimeRewriter.h"

#include <gtest/gtest.h>

#include <string>

namespace kinovex {
namespace {

std::string RewriteAll(std::string_view input) {
    TimeRewriter rewriter;
    std::string out;
    rewriter.feed(input, out);
    rewriter.finish(out);
    return out;
}

// What the encoder prints, trimmed: banner lines, carriage-return separated status updates,
// the closing summary; plus the odd fields the rewriter must leave alone.
const std::string kEncoderOutput =
    "  Duration: 00:00:05.00, start: 0.000000, bitrate: 187 kb/s\n"
    "Press [q] to stop, [?] for help\n"
    "frame=    1 fps=0.0 q=0.0 size=       0kB time=-00:00:00.04 bitrate=N/A speed=N/A    \r"
    "frame=    2 fps=0.0 q=8.0 size=       0kB time=00:00:00.03 bitrate=  10.5kbits/s    \r"
    "frame=  149 fps=0.0 q=2.0 Lsize=     256kB time=00:01:23.45 bitrate= 417.1kbits/s    \r"
    "frame=99999 fps=30 q=2.0 size=  99999kB time=12:03:04.50 bitrate= 417.1kbits/s\r"
    "size=N/A time=N/A bitrate=N/A\r"
    "tim time= time=1:2 time=00:00:05 time=00:00:05.x ttime=00:00:01.00t\n"
    "video:213kB audio:39kB subtitle:0kB muxing overhead: 1.663252%\n";

const std::string kExpected =
    "  Duration: 00:00:05.00, start: 0.000000, bitrate: 187 kb/s\n"
    "Press [q] to stop, [?] for help\n"
    "frame=    1 fps=0.0 q=0.0 size=       0kB time=-0.04 bitrate=N/A speed=N/A    \r"
    "frame=    2 fps=0.0 q=8.0 size=       0kB time=0.03 bitrate=  10.5kbits/s    \r"
    "frame=  149 fps=0.0 q=2.0 Lsize=     256kB time=83.45 bitrate= 417.1kbits/s    \r"
    "frame=99999 fps=30 q=2.0 size=  99999kB time=43384.50 bitrate= 417.1kbits/s\r"
    "size=N/A time=N/A bitrate=N/A\r"
    "tim time= time=1:2 time=5 time=5.x ttime=1.00t\n"
    "video:213kB audio:39kB subtitle:0kB muxing overhead: 1.663252%\n";

TEST(TimeRewriter, RewritesEveryStatusTimeAndNothingElse) {
    EXPECT_EQ(RewriteAll(kEncoderOutput), kExpected);
}

TEST(TimeRewriter, GivesTheSameBytesWhereverTheStreamIsCut) {
    for (std::size_t cut = 0; cut <= kEncoderOutput.size(); ++cut) {
        TimeRewriter rewriter;
        std::string out;
        rewriter.feed(std::string_view(kEncoderOutput).substr(0, cut), out);
        rewriter.feed(std::string_view(kEncoderOutput).substr(cut), out);
        rewriter.finish(out);
        ASSERT_EQ(out, kExpected) << "cut at " << cut;
    }
}

TEST(TimeRewriter, GivesTheSameBytesWhenFedOneByteAtATimeAndHoldsBackOnlyAField) {
    TimeRewriter rewriter;
    std::string out;
    for (char c : kEncoderOutput) {
        rewriter.feed(std::string_view(&c, 1), out);
        ASSERT_LE(rewriter.pending(), std::string("time=-000000000:00:00.000000000").size());
    }
    rewriter.finish(out);
    EXPECT_EQ(out, kExpected);
}

TEST(TimeRewriter, PassesTextOnAtOnceAndHoldsBackOnlyAPossibleField) {
    TimeRewriter rewriter;
    std::string out;
    rewriter.feed("frame=  149 q=2.0\r", out);
    EXPECT_EQ(out, "frame=  149 q=2.0\r"); // no t in it: nothing waits
    out.clear();
    rewriter.feed("size=  256kB time=00:00:0", out);
    EXPECT_EQ(out, "size=  256kB ");
    rewriter.feed("4.96 bitrate", out);
    EXPECT_EQ(out, "size=  256kB time=4.96 bitrate");
    out.clear();
    // A field that ends the stream is complete: the end decides it.
    rewriter.feed(" time=01:00:00.00", out);
    EXPECT_EQ(out, " ");
    rewriter.finish(out);
    EXPECT_EQ(out, " time=3600.00");
}

TEST(TimeRewriter, LeavesFieldsThatAreNotClockTimesAsTheyAre) {
    for (const std::string text :
         {"time=N/A", "time=", "time=-", "time=-:00:00", "time=00:0:00.00", "time=00:00:0x",
          "time=00-00:00", "time=0000000000:00:00.00", "TIME=00:00:01.00", "t\r\nime=00:00:01"})
        EXPECT_EQ(RewriteAll(text), text) << text;
}

TEST(TimeRewriter, KeepsTheFractionAsPrintedAndCarriageReturnsAndLineFeeds) {
    EXPECT_EQ(RewriteAll("time=00:00:07.1234567\r\n"), "time=7.1234567\r\n");
    EXPECT_EQ(RewriteAll("time=00:02:00\r\r\n\n"), "time=120\r\r\n\n");
    EXPECT_EQ(RewriteAll("time=100:00:00.99"), "time=360000.99");
    EXPECT_EQ(RewriteAll(std::string("a\0time=00:00:01.00\0", 20)),
              std::string("a\0time=1.00\0", 13));
}

} // namespace
} // namespace kinovex
