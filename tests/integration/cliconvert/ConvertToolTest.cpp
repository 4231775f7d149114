// kinovex-convert run as a user runs it, on movies made here by our movie writer, its outputs
// probed and decoded with the system's ffprobe and ffmpeg.

#include "ToolRun.h"

#include "Actions.h"
#include "Sound.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <numbers>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::Probe;

const std::string kTool = KINOVEX_CONVERT_TOOL;

// A shape of one colour covering x, y, w, h.
std::uint16_t Box(swf::SwfWriter& movie, std::uint32_t rgb, double x, double y, double w,
                  double h) {
    swf::ShapeBuilder box;
    box.fill1(box.addFill(swf::FillStyle::solid(swf::Rgb(rgb)))).rectangle(x, y, w, h);
    return movie.defineShape(box);
}

// 44.1 kHz stereo samples of a sine at `hz` lasting `seconds`.
std::vector<std::int16_t> Tone(double hz, double seconds, double amplitude = 12000) {
    const auto count = static_cast<std::size_t>(seconds * 44100);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < count; ++i) {
        const auto v = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / 44100)));
        samples.push_back(v);
        samples.push_back(v);
    }
    return samples;
}

std::uint16_t DefinePcm(swf::SwfWriter& movie, const std::vector<std::int16_t>& stereo) {
    return swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, true},
                            static_cast<std::uint32_t>(stereo.size() / 2), swf::Pcm16Bytes(stereo));
}

class ConvertTool : public ::testing::Test {
protected:
    test::ToolResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {kTool, "--ffmpeg", "/usr/bin/ffmpeg"});
        return test::RunProgram(args, m_dir.path());
    }
    fs::path At(const std::string& name) const { return m_dir / name; }

    // 24 frames at 12 fps, 64x48: a red box walks across a blue stage; a 1 kHz tone plays
    // from the first frame for the whole two seconds.
    fs::path ToneMovie(const std::string& name = "tone.swf") {
        swf::SwfWriter movie(64, 48, 12);
        movie.setBackground(swf::Rgb(0x2040C0));
        const std::uint16_t box = Box(movie, 0xFF0000, 0, 0, 16, 16);
        swf::StartSound(movie, DefinePcm(movie, Tone(1000, 2.2)));
        for (int f = 0; f < 24; ++f) {
            if (f == 0) {
                movie.place(1, box, swf::Matrix::translate(2 * f, 16));
            } else {
                movie.move(1, swf::Matrix::translate(2 * f, 16));
            }
            movie.showFrame();
        }
        const fs::path path = At(name);
        movie.save(path, swf::Compression::Zlib);
        return path;
    }

    // One frame: a green box over the left half of a 32x24 stage, the right half empty.
    fs::path HalfCoveredMovie() {
        swf::SwfWriter movie(32, 24, 12);
        movie.setBackground(swf::Rgb(0xFFFFFF));
        movie.place(1, Box(movie, 0x00C000, 0, 0, 16, 24));
        movie.showFrame();
        const fs::path path = At("half.swf");
        movie.save(path);
        return path;
    }

    // One frame whose script timer fires every 100 ms for ever: it never comes to rest.
    fs::path TickingMovie() {
        swf::SwfWriter movie(32, 24, 12);
        swf::Actions a;
        a.push(swf::Int{100}).defineFunction("", {}, swf::Actions()).call("setInterval", 2);
        a.op(swf::op::Pop);
        movie.rawTag(swf::tag::DoAction, a.bytes());
        movie.place(1, Box(movie, 0x00C000, 0, 0, 16, 24));
        movie.showFrame();
        const fs::path path = At("ticking.swf");
        movie.save(path);
        return path;
    }

    test::TempDir m_dir{"kinovex convert"};
};

TEST_F(ConvertTool, Mp4IsH264AndAacAtTheMoviesSizeRateAndLengthWithItsTone) {
    const fs::path movie = ToneMovie();
    const auto run = Run({movie.string(), "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err; // quiet
    const fs::path out = At("tone.mp4");     // beside the movie by default
    ASSERT_TRUE(fs::exists(out));

    auto v = Probe(out, "v:0", "stream=codec_name,width,height,r_frame_rate,nb_read_frames",
                   m_dir.path(), true);
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["width"], "64");
    EXPECT_EQ(v["height"], "48");
    EXPECT_EQ(v["r_frame_rate"], "12/1");
    // The default end: the main timeline's 24 frames, once.
    EXPECT_EQ(v["nb_read_frames"], "24");
    auto a = Probe(out, "a:0", "stream=codec_name,sample_rate,channels,duration", m_dir.path());
    EXPECT_EQ(a["codec_name"], "aac");
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_NEAR(std::stod(a["duration"]), 2.0, 0.05);
    auto f = Probe(out, "v:0", "format=duration", m_dir.path());
    EXPECT_NEAR(std::stod(f["duration"]), 2.0, 0.05);

    // The tone: zero crossings over the middle second count twice its frequency.
    const auto sound = test::DecodeSound(out, m_dir.path());
    ASSERT_GE(sound.size(), 44100u * 3 / 2);
    int crossings = 0;
    for (std::size_t i = 22050 + 1; i < 22050 + 44100; ++i) {
        crossings += (sound[i - 1] < 0) != (sound[i] < 0) ? 1 : 0;
    }
    EXPECT_NEAR(crossings, 2000, 10);

    // An existing output is kept unless -y says otherwise.
    const auto again = Run({movie.string()});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    EXPECT_EQ(Run({movie.string(), "-y", "-q"}).status, 0);
}

TEST_F(ConvertTool, PspIsMpeg4At368x208) {
    const fs::path movie = ToneMovie();
    const auto run = Run({movie.string(), "-p", "psp", "-o", At("handheld.mp4").string(), "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto v = Probe(At("handheld.mp4"), "v:0", "stream=codec_name,width,height,r_frame_rate",
                   m_dir.path());
    EXPECT_EQ(v["codec_name"], "mpeg4");
    EXPECT_EQ(v["width"], "368");
    EXPECT_EQ(v["height"], "208");
    EXPECT_EQ(v["r_frame_rate"], "30000/1001");
    auto a = Probe(At("handheld.mp4"), "a:0", "stream=codec_name,sample_rate", m_dir.path());
    EXPECT_EQ(a["codec_name"], "aac");
    EXPECT_EQ(a["sample_rate"], "24000");
}

TEST_F(ConvertTool, TransparencyIsKeptInWebmAndPng) {
    const fs::path movie = HalfCoveredMovie();
    const fs::path webm = At("half.webm");
    const auto run = Run({movie.string(), "-p", "webm", "--transparent", "--frames", "3", "-q",
                          "-o", webm.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    auto v = Probe(webm, "v:0", "stream=codec_name,pix_fmt:stream_tags=alpha_mode", m_dir.path());
    EXPECT_EQ(v["codec_name"], "vp9");
    EXPECT_TRUE(v["pix_fmt"] == "yuva420p" || v["TAG:alpha_mode"] == "1")
        << v["pix_fmt"] << " " << v["TAG:alpha_mode"];
    // Decoded with the decoder that reads the alpha layer: the empty half is transparent, the
    // box opaque and green.
    const auto pixels = test::DecodeVideo(webm, "rgba", m_dir.path(), "libvpx-vp9");
    ASSERT_EQ(pixels.size(), 3u * 32 * 24 * 4);
    auto at = [&](int x, int y) { return &pixels[(static_cast<std::size_t>(y) * 32 + x) * 4]; };
    EXPECT_LT(at(28, 12)[3], 16);
    EXPECT_GT(at(4, 12)[3], 240);
    EXPECT_GT(at(4, 12)[1], 150);
    EXPECT_LT(at(4, 12)[0], 60);

    // The png sequence: one picture per frame, numbered from 1, with alpha.
    fs::create_directories(At("pngs"));
    const auto seq = Run({movie.string(), "-p", "png", "--transparent", "--frames", "4", "-q", "-o",
                          At("pngs").string()});
    ASSERT_EQ(seq.status, 0) << seq.err;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(At("pngs"))) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"half_00001.png", "half_00002.png", "half_00003.png",
                                               "half_00004.png"}));
    auto p = Probe(At("pngs") / "half_00004.png", "v:0", "stream=pix_fmt", m_dir.path());
    EXPECT_EQ(p["pix_fmt"], "rgba");
    const auto png = test::DecodeVideo(At("pngs") / "half_00001.png", "rgba", m_dir.path());
    ASSERT_EQ(png.size(), 32u * 24 * 4);
    EXPECT_EQ(png[(12 * 32 + 28) * 4 + 3], 0);
    EXPECT_EQ(png[(12 * 32 + 4) * 4 + 3], 255);
    EXPECT_EQ(png[(12 * 32 + 4) * 4 + 1], 0xC0);
}

TEST_F(ConvertTool, GifAndTheLengthOptions) {
    const fs::path movie = ToneMovie();
    ASSERT_EQ(Run({movie.string(), "-p", "gif", "-q"}).status, 0);
    auto g = Probe(At("tone.gif"), "v:0", "stream=codec_name,width,height,nb_read_frames",
                   m_dir.path(), true);
    EXPECT_EQ(g["codec_name"], "gif");
    EXPECT_EQ(g["width"], "64");
    EXPECT_EQ(g["nb_read_frames"], "24");

    // --frames and --duration (at the movie's 12 fps) past the movie's own end: the movie
    // loops on; --fps changes the rate and so the count for a duration.
    struct Case {
        std::vector<std::string> args;
        std::size_t frames;
    };
    for (const Case& c :
         {Case{{"--frames", "5"}, 5}, Case{{"--frames", "30"}, 30}, Case{{"--duration", "0.5"}, 6},
          Case{{"--duration", "1", "--fps", "25"}, 25}}) {
        const fs::path folder = At("len" + std::to_string(c.frames));
        fs::create_directories(folder);
        std::vector<std::string> args{movie.string(), "-p", "png", "-q", "-o", folder.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = Run(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(static_cast<std::size_t>(
                      std::distance(fs::directory_iterator(folder), fs::directory_iterator())),
                  c.frames)
            << c.args[0] << " " << c.args[1];
    }
}

TEST_F(ConvertTool, AMovieThatNeverComesToRestIsBoundedByMaxDurationAndSaysSo) {
    const fs::path movie = TickingMovie();
    fs::create_directories(At("bounded"));
    const auto run = Run({movie.string(), "-p", "png", "--max-duration", "1.5", "-o",
                          At("bounded").string(), "--report", At("r.json").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(At("bounded")), fs::directory_iterator()), 18);
    EXPECT_NE(run.err.find("stopped after 1.5 s"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("ended: --max-duration at 0:01.5"), std::string::npos) << run.err;
    const std::string report = test::ReadFile(At("r.json"));
    EXPECT_NE(report.find("\"note\": \"stopped after"), std::string::npos);
    EXPECT_NE(report.find("\"ended\": \"--max-duration at 0:01.5\""), std::string::npos) << report;
}

TEST_F(ConvertTool, ABatchGoesOnPastBadMoviesAndReportsEach) {
    fs::create_directories(At("in"));
    ToneMovie("in/good.swf");
    // A compressed movie's header followed by bytes that are no zlib stream: nothing of the
    // movie can be read.
    std::string corrupt = test::ReadFile(At("in/good.swf")).substr(0, 8);
    corrupt += std::string(64, '\xAB');
    test::WriteFile(At("in/corrupt.swf"), corrupt);
    test::WriteFile(At("notes.txt"), "not a movie at all\n");
    const auto run = Run({At("in").string(), At("notes.txt").string(), "-o", At("out").string(),
                          "-j", "2", "--report", At("report.json").string()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("1 converted, 2 failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("  failed: " + At("in/corrupt.swf").string() + ": "), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("  failed: " + At("notes.txt").string() + ": "), std::string::npos)
        << run.err;
    EXPECT_TRUE(fs::exists(At("out/good.mp4")));
    EXPECT_FALSE(fs::exists(At("out/corrupt.mp4")));
    EXPECT_FALSE(fs::exists(At("out/notes.mp4")));

    const std::string report = test::ReadFile(At("report.json"));
    EXPECT_NE(report.find("\"converted\": 1,"), std::string::npos) << report;
    EXPECT_NE(report.find("\"failed\": 2,"), std::string::npos) << report;
    EXPECT_NE(report.find("\"input\": \"" + At("in/good.swf").string() + "\", \"output\": \"" +
                          At("out/good.mp4").string() + "\", \"ok\": true, \"frames\": 24"),
              std::string::npos)
        << report;
    for (const char* bad : {"in/corrupt.swf", "notes.txt"}) {
        const auto entry = report.find("\"input\": \"" + At(bad).string() + "\"");
        ASSERT_NE(entry, std::string::npos) << bad << "\n" << report;
        const auto end = report.find('}', entry);
        const std::string line = report.substr(entry, end - entry);
        EXPECT_NE(line.find("\"ok\": false"), std::string::npos) << line;
        EXPECT_NE(line.find("\"error\": \""), std::string::npos) << line;
    }
}

TEST_F(ConvertTool, UsageErrorsExitWithTwoAndNoFileIsWritten) {
    const fs::path movie = ToneMovie();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{movie.string(), "-p", "avi"},
          {},
          {movie.string(), "--size", "10"},
          {movie.string(), "--what"},
          {movie.string(), "--transparent"}}) {
        const auto run = Run(args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.err.rfind("kinovex-convert: ", 0), 0u) << run.err;
    }
    EXPECT_FALSE(fs::exists(At("tone.mp4")));
    const auto help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
    // A missing movie alone is a failed movie, not a refused command line.
    EXPECT_EQ(Run({At("none.swf").string(), "-q"}).status, 1);
    // An ffmpeg that is not there.
    const auto noEncoder = test::RunProgram(
        {kTool, movie.string(), "--ffmpeg", At("no-ffmpeg").string()}, m_dir.path());
    EXPECT_EQ(noEncoder.status, 3) << noEncoder.err;
}

TEST_F(ConvertTool, AnInterruptedConversionStopsItsEncoderAndLeavesNoCutOffFile) {
    const fs::path movie = HalfCoveredMovie();
    const fs::path out = At("long.mp4");
    // Half an hour of output: the first progress line (10 %) comes long before the end.
    test::Running running =
        test::StartProgram({kTool, "--ffmpeg", "/usr/bin/ffmpeg", movie.string(), "--duration",
                            "1800", "-o", out.string()});
    ASSERT_GT(running.pid, 0);
    // Not a terminal: progress comes as plain lines. Once one is there the encoder is busy.
    const std::string first = test::ReadUntil(running, "frames)");
    ASSERT_NE(first.find("frames)"), std::string::npos) << first;
    ASSERT_EQ(kill(running.pid, SIGINT), 0);
    const test::ToolResult ended = test::FinishProgram(running);
    EXPECT_EQ(ended.status, 130) << ended.err;
    EXPECT_NE(ended.err.find("interrupted"), std::string::npos) << ended.err;
    EXPECT_FALSE(fs::exists(out));
}

// Two minutes at 7 fps: every 7th frame (once a second) the stage flashes white and a 20 ms
// click starts. After encoding and decoding, every click must start within one frame of its
// flash.
TEST_F(ConvertTool, ClicksLandWithTheirFlashesOverTwoMinutes) {
    constexpr int kFps = 7;
    constexpr int kFrames = 120 * kFps;
    swf::SwfWriter movie(64, 48, kFps);
    movie.setBackground(swf::Rgb(0x000000));
    const std::uint16_t flash = Box(movie, 0xFFFFFF, 0, 0, 64, 48);
    std::vector<std::int16_t> click;
    for (int i = 0; i < 882; ++i) { // 20 ms of a 2205 Hz square wave
        const std::int16_t v = (i / 10) % 2 == 0 ? 20000 : -20000;
        click.push_back(v);
        click.push_back(v);
    }
    const std::uint16_t clickId = DefinePcm(movie, click);
    for (int f = 0; f < kFrames; ++f) {
        if (f % kFps == 0) {
            movie.place(1, flash);
            swf::StartSound(movie, clickId);
        } else if (f % kFps == 1) {
            movie.remove(1);
        }
        movie.showFrame();
    }
    movie.save(At("clicks.swf"), swf::Compression::Zlib);

    // -j 4 for one movie: two engines draw alternate frames, and the sound still lines up.
    const auto run = Run({At("clicks.swf").string(), "-q", "-j", "4"});
    ASSERT_EQ(run.status, 0) << run.err;
    const fs::path out = At("clicks.mp4");

    const auto gray = test::DecodeVideo(out, "gray", m_dir.path());
    constexpr std::size_t kFrameBytes = 64 * 48;
    ASSERT_EQ(gray.size(), kFrameBytes * kFrames);
    std::vector<double> flashes; // seconds
    for (std::size_t f = 0; f < kFrames; ++f) {
        const bool white = gray[f * kFrameBytes + 24 * 64 + 32] > 128;
        EXPECT_EQ(white, f % kFps == 0) << f;
        if (white) {
            flashes.push_back(static_cast<double>(f) / kFps);
        }
    }
    const auto sound = test::DecodeSound(out, m_dir.path());
    EXPECT_NEAR(static_cast<double>(sound.size()) / 44100, 120.0, 1.0 / kFps);
    std::vector<double> clicks; // where each burst starts, after a silence of 100 ms or more
    std::size_t lastLoud = 0;
    bool any = false;
    for (std::size_t i = 0; i < sound.size(); ++i) {
        if (std::abs(sound[i]) > 8000) {
            if (!any || i - lastLoud > 4410) {
                clicks.push_back(static_cast<double>(i) / 44100);
            }
            lastLoud = i;
            any = true;
        }
    }
    ASSERT_EQ(clicks.size(), flashes.size());
    ASSERT_EQ(flashes.size(), 120u);
    double worst = 0;
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        worst = std::max(worst, std::abs(clicks[i] - flashes[i]));
        EXPECT_LT(std::abs(clicks[i] - flashes[i]), 1.0 / kFps) << "click " << i;
    }
    RecordProperty("worst_offset_ms", static_cast<int>(std::lround(worst * 1000)));
}

} // namespace
} // namespace kinovex
