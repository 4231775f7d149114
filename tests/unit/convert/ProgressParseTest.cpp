#include "core/convert/ProgressParse.h"

#include <gtest/gtest.h>

namespace kinovex {
namespace {

TEST(ProgressParse, StatusLineAtTheEndOfTheChunk) {
    EXPECT_EQ(
        ParseProgressSeconds("frame= 250 q=2.0 size= 1234kB time=10.0 bitrate=1011.0kbits/s   "),
        10);
    EXPECT_EQ(
        ParseProgressSeconds("frame= 10 time=1.52 bitrate= 9.1kbits/s\rframe= 20 time=2.48 "
                             "bitrate= 9.0kbits/s\rframe= 30 time=12.96 bitrate= 9.0kbits/s\r"),
        12);
}

TEST(ProgressParse, TrailingSummaryOrStreamLineLooksOneFieldBack) {
    EXPECT_EQ(
        ParseProgressSeconds("frame= 60 time=5.00 bitrate= 9.0kbits/s speed=9x\n"
                             "video:120kB audio:40kB global headers:0kB muxing overhead 1.2%\n"),
        5);
    // The last m belongs to "Stream" (an 'a' before it) and no time field stands before it.
    EXPECT_EQ(ParseProgressSeconds("Output #0, mp4:\n  Stream #0:0: Video: mpeg4\n"), 0);
}

TEST(ProgressParse, ShortTailFractionsAndSplitFieldsPostNothing) {
    EXPECT_EQ(ParseProgressSeconds("size= 1kB time=10.0"), 0); // too little after the m
    EXPECT_EQ(ParseProgressSeconds("size= 1kB time=0.52 bitrate=1.0kbits/s"), 0);
    EXPECT_EQ(ParseProgressSeconds("size= 1kB ti"), 0);
    EXPECT_EQ(ParseProgressSeconds("me=7.40 bitrate=1.0kbits/s"), 0); // starts with the m
    EXPECT_EQ(ParseProgressSeconds("\r\n<TEST INFO>: Child process ended\r\n"), 0);
    EXPECT_EQ(ParseProgressSeconds(""), 0);
}

TEST(ProgressParse, ReadNumberAtReadsTheWholeDigitRunOnly) {
    EXPECT_EQ(ReadNumberAt("x=83.45", 2), 83);
    EXPECT_EQ(ReadNumberAt("x=0.45", 2), -1);
    EXPECT_EQ(ReadNumberAt("x=N/A", 2), -1);
    EXPECT_EQ(ReadNumberAt("x=", 2), -1);
    EXPECT_EQ(ReadNumberAt("x=99999999999999999999999", 2), -1);
}

} // namespace
} // namespace kinovex
