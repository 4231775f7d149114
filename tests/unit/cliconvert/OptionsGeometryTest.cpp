// The command line and the picture it asks for.

#include "tools/convert/ConvertOptions.h"
#include "tools/convert/OutputFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kinovex::cli {
namespace {

ParseResult Parse(std::vector<std::string> args) {
    return parseConvertArguments(args);
}

TEST(ConvertOptionsParse, RefusalsSayWhatIsAllowed) {
    struct Case {
        std::vector<std::string> args;
        std::string expected; // part of the message
    };
    const std::vector<Case> cases{
        {{"m.swf", "--profile", "avi"}, "one of psp, mp4, webm, gif, png"},
        {{"m.swf", "--size", "640"}, "WIDTHxHEIGHT, each side 1 to 8192"},
        {{"m.swf", "--size", "0x480"}, "WIDTHxHEIGHT"},
        {{"m.swf", "--size", "9000x480"}, "WIDTHxHEIGHT"},
        {{"m.swf", "--size", "640x-2"}, "WIDTHxHEIGHT"},
        {{"m.swf", "--scale", "0"}, "a number above 0, at most 16"},
        {{"m.swf", "--scale", "nan"}, "a number above 0"},
        {{"m.swf", "--fps", "241"}, "a rate above 0, at most 240"},
        {{"m.swf", "--fps", "12fps"}, "a rate above 0"},
        {{"m.swf", "--duration", "-1"}, "seconds above 0"},
        {{"m.swf", "--max-duration", "0"}, "seconds above 0"},
        {{"m.swf", "--frames", "2.5"}, "a whole number of frames"},
        {{"m.swf", "--frames", "0"}, "a whole number of frames"},
        {{"m.swf", "--letterbox", "#12345"}, "#RRGGBB or black, white"},
        {{"m.swf", "--letterbox", "purple"}, "#RRGGBB"},
        {{"m.swf", "--click", "10,20"}, "X,Y@FRAME"},
        {{"m.swf", "--click", "10,20@0"}, "X,Y@FRAME"},
        {{"m.swf", "--click", "10@3,20"}, "X,Y@FRAME"},
        {{"m.swf", "--jobs", "0"}, "a whole number from 1 to 256"},
        {{"m.swf", "--jobs", "257"}, "a whole number from 1 to 256"},
        {{"m.swf", "--bogus"}, "unknown option --bogus"},
        {{"m.swf", "--quiet=yes"}, "--quiet takes no value"},
        {{"m.swf", "--fps"}, "--fps needs a value"},
        {{}, "no movie given"},
        {{"m.swf", "--size", "64x48", "--scale", "2"}, "--size and --scale"},
        {{"m.swf", "--duration", "3", "--frames", "9"}, "--duration and --frames"},
        {{"m.swf", "--transparent"}, "webm and png profiles only"},
        {{"m.swf", "-p", "gif", "--transparent"}, "webm and png profiles only"},
    };
    for (const auto& c : cases) {
        const ParseResult r = Parse(c.args);
        std::string joined;
        for (const auto& a : c.args) {
            joined += a + " ";
        }
        EXPECT_NE(r.error.find(c.expected), std::string::npos)
            << joined << "-> '" << r.error << "'";
    }
    // The value given is quoted back so the user sees which one was wrong.
    EXPECT_NE(Parse({"m.swf", "--fps", "999"}).error.find("'999'"), std::string::npos);
}

TEST(ConvertOptionsParse, AcceptedForms) {
    const ParseResult r = Parse({"a.swf",
                                 "--size=640X360",
                                 "--letterbox",
                                 "#FF8000",
                                 "--fps=29.97",
                                 "-p",
                                 "webm",
                                 "--transparent",
                                 "--click",
                                 "12.5,30@3",
                                 "--click=1,2@1",
                                 "-j",
                                 "3",
                                 "-r",
                                 "-y",
                                 "-q",
                                 "--no-audio",
                                 "--report",
                                 "r.json",
                                 "-o",
                                 "out",
                                 "--",
                                 "-odd.swf",
                                 "b.swf"});
    ASSERT_TRUE(r.error.empty()) << r.error;
    const ConvertOptions& o = r.options;
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.swf", "-odd.swf", "b.swf"}));
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 360);
    EXPECT_EQ(o.letterbox.r, 0xFF);
    EXPECT_EQ(o.letterbox.g, 0x80);
    EXPECT_EQ(o.letterbox.b, 0x00);
    ASSERT_TRUE(o.fps);
    EXPECT_DOUBLE_EQ(*o.fps, 29.97);
    EXPECT_EQ(o.profile, Profile::Webm);
    EXPECT_TRUE(o.transparent && o.recursive && o.overwrite && o.quiet && o.noAudio);
    ASSERT_EQ(o.clicks.size(), 2u);
    EXPECT_DOUBLE_EQ(o.clicks[0].x, 12.5);
    EXPECT_DOUBLE_EQ(o.clicks[0].y, 30);
    EXPECT_EQ(o.clicks[0].frame, 3u);
    EXPECT_EQ(o.clicks[1].frame, 1u);
    EXPECT_EQ(o.jobs, 3u);
    EXPECT_EQ(o.report, "r.json");
    EXPECT_EQ(o.output, "out");

    // Other spellings of colours; a lone '-' is a name, not an option.
    for (const char* white : {"white", "WHITE", "#ffffff", "0xFFFFFF"}) {
        const ParseResult w = Parse({"-", "--letterbox", white});
        ASSERT_TRUE(w.error.empty()) << white << ": " << w.error;
        EXPECT_EQ(w.options.letterbox.g, 255) << white;
        EXPECT_EQ(w.options.inputs, std::vector<std::string>{"-"});
    }
    // Defaults.
    const ConvertOptions d = Parse({"m.swf"}).options;
    EXPECT_EQ(d.profile, Profile::Mp4);
    EXPECT_EQ(d.letterbox.r + d.letterbox.g + d.letterbox.b, 0);
    EXPECT_DOUBLE_EQ(d.maxDuration, 600);
    EXPECT_FALSE(d.fps || d.duration || d.frames || d.width || d.scale);
    // A start button is pressed unless asked not to; the last word wins.
    EXPECT_TRUE(d.autoPlay);
    EXPECT_FALSE(Parse({"m.swf", "--no-auto-play"}).options.autoPlay);
    EXPECT_TRUE(Parse({"m.swf", "--no-auto-play", "--auto-play"}).options.autoPlay);
    EXPECT_FALSE(Parse({"m.swf", "--auto-play", "--no-auto-play"}).options.autoPlay);
    EXPECT_NE(Parse({"m.swf", "--no-auto-play=1"}).error.find("takes no value"), std::string::npos);
    // Help and version win over a command line that is otherwise incomplete.
    EXPECT_TRUE(Parse({"--help"}).showHelp);
    EXPECT_TRUE(Parse({"--version"}).error.empty());
}

TEST(ConvertOptionsParse, HelpListsEveryProfileAndExitStatus) {
    const std::string help = convertUsage();
    for (Profile p : {Profile::Psp, Profile::Mp4, Profile::Webm, Profile::Gif, Profile::Png}) {
        EXPECT_NE(help.find(std::string("  ") + profileName(p) + " "), std::string::npos)
            << profileName(p);
        EXPECT_EQ(profileFromName(profileName(p)), p);
    }
    for (const char* status : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  130 "}) {
        EXPECT_NE(help.find(status), std::string::npos) << status;
    }
}

ConvertOptions WithProfile(Profile p) {
    ConvertOptions o;
    o.profile = p;
    return o;
}

TEST(ConvertGeometry, FitsTheStageWithItsAspectKept) {
    ConvertOptions o = WithProfile(Profile::Mp4);
    o.width = 640;
    o.height = 360;
    // 550x400 into 640x360: the height limits, bars left and right.
    Geometry g = computeGeometry(o, 550, 400);
    EXPECT_EQ(g.width, 640);
    EXPECT_EQ(g.height, 360);
    EXPECT_EQ(g.contentHeight, 360);
    EXPECT_EQ(g.contentWidth, 495);
    EXPECT_EQ(g.contentY, 0);
    EXPECT_EQ(g.contentX, (640 - 495) / 2);

    // A tall stage into a wide picture and a wide stage into a tall one, over many sizes: the
    // content keeps the stage's aspect to within a pixel, is centred and stays inside.
    for (int w : {1, 3, 77, 320, 551, 1920}) {
        for (int h : {1, 5, 48, 401, 1080}) {
            for (auto [ow, oh] : {std::pair{640, 360}, std::pair{200, 600}, std::pair{37, 37}}) {
                ConvertOptions f = WithProfile(Profile::Png);
                f.width = ow;
                f.height = oh;
                const Geometry q = computeGeometry(f, w, h);
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " into " +
                             std::to_string(ow) + "x" + std::to_string(oh));
                EXPECT_EQ(q.width, ow);
                EXPECT_EQ(q.height, oh);
                EXPECT_TRUE(q.contentWidth == ow || q.contentHeight == oh);
                EXPECT_GE(q.contentX, 0);
                EXPECT_GE(q.contentY, 0);
                EXPECT_LE(q.contentX + q.contentWidth, ow);
                EXPECT_LE(q.contentY + q.contentHeight, oh);
                EXPECT_LE(std::abs(2 * q.contentX + q.contentWidth - ow), 1);
                EXPECT_LE(std::abs(2 * q.contentY + q.contentHeight - oh), 1);
                // Aspect: the content's sides relate as the stage's, up to rounding.
                const double s = std::min(double(ow) / w, double(oh) / h);
                EXPECT_LE(std::abs(q.contentWidth - w * s), 1.0);
                EXPECT_LE(std::abs(q.contentHeight - h * s), 1.0);
            }
        }
    }
}

TEST(ConvertGeometry, EvenSidesWhereTheEncoderNeedsThemAndThePspPreset) {
    for (Profile p : {Profile::Mp4, Profile::Webm, Profile::Psp}) {
        ConvertOptions o = WithProfile(p);
        o.width = 101;
        o.height = 51;
        const Geometry g = computeGeometry(o, 101, 51);
        EXPECT_EQ(g.width, 102) << profileName(p);
        EXPECT_EQ(g.height, 52) << profileName(p);
        // One pixel short of a side is not worth a bar: the movie fills it.
        EXPECT_EQ(g.contentWidth, 102) << profileName(p);
        EXPECT_EQ(g.contentX, 0) << profileName(p);
        // The movie's own odd size too.
        const Geometry s = computeGeometry(WithProfile(p), 551, 401);
        EXPECT_EQ(s.width % 2, 0) << profileName(p);
        EXPECT_EQ(s.height % 2, 0) << profileName(p);
    }
    for (Profile p : {Profile::Gif, Profile::Png}) {
        const Geometry g = computeGeometry(WithProfile(p), 551, 401);
        EXPECT_EQ(g.width, 551) << profileName(p);
        EXPECT_EQ(g.height, 401) << profileName(p);
    }
    // --scale multiplies the stage.
    ConvertOptions half = WithProfile(Profile::Png);
    half.scale = 0.5;
    const Geometry h = computeGeometry(half, 550, 400);
    EXPECT_EQ(h.width, 275);
    EXPECT_EQ(h.height, 200);

    // The handheld preset: 368x208 whatever the stage, the movie letterboxed inside.
    const Geometry psp = computeGeometry(WithProfile(Profile::Psp), 550, 400);
    EXPECT_EQ(psp.width, 368);
    EXPECT_EQ(psp.height, 208);
    EXPECT_EQ(psp.contentHeight, 208);
    EXPECT_EQ(psp.contentWidth, 286);
    EXPECT_EQ(psp.contentX, 41);
    const OutputPlan plan = planOutput(WithProfile(Profile::Psp), 550, 400, 24);
    EXPECT_EQ(plan.rate, (Rational{30000, 1001}));
    EXPECT_TRUE(plan.audio);
}

TEST(ConvertGeometry, RatesAndWhatIsWritten) {
    EXPECT_EQ(rateFromDecimal(25), (Rational{25, 1}));
    EXPECT_EQ(rateFromDecimal(29.97), (Rational{30000, 1001}));
    EXPECT_EQ(rateFromDecimal(23.976), (Rational{24000, 1001}));
    EXPECT_EQ(rateFromDecimal(12.5), (Rational{25, 2}));
    // The movie's rate is the 8.8 value it stores, exactly.
    EXPECT_EQ(rateFromMovie(7672.0 / 256), (Rational{959, 32}));
    EXPECT_EQ(rateFromMovie(24), (Rational{24, 1}));

    ConvertOptions o = WithProfile(Profile::Mp4);
    EXPECT_EQ(planOutput(o, 100, 100, 7.0).rate, (Rational{7, 1}));
    EXPECT_EQ(planOutput(o, 100, 100, 0).rate, (Rational{12, 1})); // a rate of 0 plays at 12
    o.fps = 60;
    EXPECT_EQ(planOutput(o, 100, 100, 7.0).rate, (Rational{60, 1}));
    EXPECT_TRUE(planOutput(o, 100, 100, 7.0).audio);
    o.noAudio = true;
    EXPECT_FALSE(planOutput(o, 100, 100, 7.0).audio);
    // Pictures only: no sound track even when not asked to leave it out.
    EXPECT_FALSE(planOutput(WithProfile(Profile::Gif), 100, 100, 7.0).audio);
    EXPECT_FALSE(planOutput(WithProfile(Profile::Png), 100, 100, 7.0).audio);
}

} // namespace
} // namespace kinovex::cli
