// Which movies a command line names and where their outputs go; the report; the encoder's
// command for each profile.

#include "tools/convert/Batch.h"
#include "tools/convert/OutputFormat.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kinovex::cli {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Movies(const GatherResult& r) {
    std::vector<std::string> names;
    for (const auto& in : r.inputs) {
        names.push_back(fs::path(in.movie).filename().string());
    }
    return names;
}

class GatherInputs : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir / "movies" / "sub");
        for (const char* name : {"movies/b.swf", "movies/A.SWF", "movies/notes.txt",
                                 "movies/sub/c.Swf", "movies/clip.swf.bak", "single.swf"}) {
            test::WriteFile(m_dir / name, "FWS");
        }
        fs::create_directories(m_dir / "movies" / "folder.swf"); // a folder is not a movie
    }
    ConvertOptions Options(std::vector<std::string> inputs) const {
        ConvertOptions o;
        for (auto& in : inputs) {
            o.inputs.push_back((m_dir / in).string());
        }
        return o;
    }

    test::TempDir m_dir{"gather inputs"};
};

TEST_F(GatherInputs, FoldersGiveTheirMoviesInNameOrderSubFoldersWithRecursive) {
    ConvertOptions o = Options({"movies"});
    o.output = (m_dir / "out").string();
    GatherResult r = gatherInputs(o);
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(Movies(r), (std::vector<std::string>{"A.SWF", "b.swf"}));
    EXPECT_TRUE(r.refused.empty());
    // The output folder is made, and each movie keeps its name there.
    EXPECT_TRUE(fs::is_directory(m_dir / "out"));
    EXPECT_EQ(r.inputs[0].output, (m_dir / "out" / "A.mp4").string());

    o.recursive = true;
    o.profile = Profile::Png;
    r = gatherInputs(o);
    EXPECT_EQ(Movies(r), (std::vector<std::string>{"A.SWF", "b.swf", "c.Swf"}));
    // A sub-folder keeps its place under the output folder.
    EXPECT_EQ(r.inputs[2].output, (m_dir / "out" / "sub" / "c_%05d.png").string());
    EXPECT_TRUE(fs::is_directory(m_dir / "out" / "sub"));
}

TEST_F(GatherInputs, TwoMoviesNeverShareAnOutput) {
    // Same-named movies in two folders given by name, and movies given twice (by name and
    // in their folder): the later one is refused rather than written over.
    fs::create_directories(m_dir / "other");
    test::WriteFile(m_dir / "other" / "b.swf", "FWS");
    test::WriteFile(m_dir / "movies" / "a.swf", "FWS");
    ConvertOptions o = Options({"movies/b.swf", "other/b.swf", "movies", "movies/A.SWF"});
    o.output = (m_dir / "out").string();
    GatherResult r = gatherInputs(o);
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(Movies(r), (std::vector<std::string>{"b.swf", "A.SWF", "a.swf"}));
    std::vector<std::string> refused;
    for (const auto& job : r.refused) {
        refused.push_back(fs::path(job.input).lexically_relative(m_dir.path()).string());
        EXPECT_NE(job.error.find("is already the output of"), std::string::npos) << job.error;
        EXPECT_FALSE(job.ok);
    }
    EXPECT_EQ(refused, (std::vector<std::string>{"other/b.swf", "movies/b.swf", "movies/A.SWF"}));
    // Beside their movies only the movies given twice clash.
    o.output.clear();
    r = gatherInputs(o);
    EXPECT_EQ(r.inputs.size(), 4u);
    EXPECT_EQ(r.refused.size(), 2u);
}

TEST_F(GatherInputs, FilesAreTakenAsGivenAndMissingOnesAreRefusedOneByOne) {
    ConvertOptions o = Options({"movies/notes.txt", "nothing.swf", "single.swf"});
    const GatherResult r = gatherInputs(o);
    ASSERT_TRUE(r.error.empty()) << r.error;
    // A file named on the command line is tried whatever its name; whether it is a movie is
    // for the conversion to find out. Without -o each output goes beside its movie.
    EXPECT_EQ(Movies(r), (std::vector<std::string>{"notes.txt", "single.swf"}));
    EXPECT_EQ(r.inputs[0].output, (m_dir / "movies" / "notes.mp4").string());
    EXPECT_EQ(r.inputs[1].output, (m_dir / "single.mp4").string());
    ASSERT_EQ(r.refused.size(), 1u);
    EXPECT_EQ(r.refused[0].input, (m_dir / "nothing.swf").string());
    EXPECT_FALSE(r.refused[0].ok);
    EXPECT_EQ(r.refused[0].error, "no such file or folder");
}

TEST_F(GatherInputs, OutputIsAFileForOneMovieAndAFolderOtherwise) {
    ConvertOptions o = Options({"single.swf"});
    o.profile = Profile::Webm;
    o.output = (m_dir / "named.webm").string();
    GatherResult r = gatherInputs(o);
    ASSERT_EQ(r.inputs.size(), 1u);
    EXPECT_EQ(r.inputs[0].output, o.output);
    EXPECT_FALSE(fs::exists(o.output)); // nothing is made for a file

    // One movie into an existing folder, or a name ending in '/', goes into that folder.
    o.output = (m_dir / "movies").string();
    r = gatherInputs(o);
    EXPECT_EQ(r.inputs[0].output, (m_dir / "movies" / "single.webm").string());
    o.output = (m_dir / "new" / "place").string() + "/";
    r = gatherInputs(o);
    EXPECT_TRUE(fs::is_directory(m_dir / "new" / "place"));
    EXPECT_EQ(fs::path(r.inputs[0].output).filename(), "single.webm");

    // A png sequence named by the user becomes a numbered pattern.
    o.profile = Profile::Png;
    o.output = (m_dir / "shots.png").string();
    r = gatherInputs(o);
    EXPECT_EQ(r.inputs[0].output, (m_dir / "shots_%05d.png").string());

    // Two movies: -o is a folder even without the '/'; a file standing there cannot be one.
    o = Options({"single.swf", "movies/b.swf"});
    o.output = (m_dir / "movies" / "notes.txt").string();
    r = gatherInputs(o);
    EXPECT_NE(r.error.find("cannot make the output folder"), std::string::npos) << r.error;
}

TEST(ConvertReport, CountsEveryMovieAndEscapesWhatItQuotes) {
    std::vector<JobResult> results(3);
    results[0].ok = true;
    results[0].input = "dir/a \"quoted\" \\ name.swf";
    results[0].output = "out/a.mp4";
    results[0].frames = 24;
    results[0].outputSeconds = 2;
    results[0].renderSeconds = 0.25;
    results[0].wallSeconds = 1.5;
    results[0].note = "stopped after 600 s";
    results[0].ended = "movie finished at 0:02.0";
    results[0].events = {"pressed \"play_btn\" at 0:00.1", "pressed \"go\" at 0:01.5"};
    results[1].input = "b.swf";
    results[1].error = "line one\nline\ttwo\x01";
    results[2].input = "c.swf";
    results[2].error = "no such file or folder";
    const std::string json = reportJson(results);
    EXPECT_NE(json.find("\"converted\": 1,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"failed\": 2,"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("input": "dir/a \"quoted\" \\ name.swf")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("error": "line one\nline\ttwo\u0001")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("frames": 24, "seconds": 2.000, "render_seconds": 0.250, )"
                        R"("wall_seconds": 1.500)"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("note": "stopped after 600 s")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("ended": "movie finished at 0:02.0")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("events": ["pressed \"play_btn\" at 0:00.1", )"
                        R"("pressed \"go\" at 0:01.5"])"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("\"ended\"", json.find("b.swf")), std::string::npos) << json;
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), 4);
    EXPECT_EQ(std::count(json.begin(), json.end(), '}'), 4);
    // No raw control character survives.
    EXPECT_EQ(
        std::count_if(json.begin(), json.end(),
                      [](char c) { return c != '\n' && static_cast<unsigned char>(c) < 0x20; }),
        0);
    EXPECT_NE(reportJson({}).find("\"movies\": []"), std::string::npos);
}

// The value following `flag` in `args` (the last occurrence); empty when absent.
std::string After(const std::vector<std::string>& args, const std::string& flag) {
    for (std::size_t i = args.size(); i-- > 1;) {
        if (args[i - 1] == flag) {
            return args[i];
        }
    }
    return {};
}

std::size_t Count(const std::vector<std::string>& args, const std::string& value) {
    return static_cast<std::size_t>(std::count(args.begin(), args.end(), value));
}

TEST(EncoderArguments, EachProfileGetsItsCodecsAndTheInputsItNeeds) {
    auto run = [](Profile p, bool transparent = false, bool xvid = false) {
        ConvertOptions o;
        o.profile = p;
        o.transparent = transparent;
        const OutputPlan plan = planOutput(o, 550, 400, 7672.0 / 256);
        return encoderArguments(o, plan, "OUT", xvid);
    };
    const auto mp4 = run(Profile::Mp4);
    EXPECT_EQ(After(mp4, "-c:v"), "libx264");
    EXPECT_EQ(After(mp4, "-c:a"), "aac");
    EXPECT_EQ(After(mp4, "-pix_fmt"), "yuv420p");
    EXPECT_EQ(After(mp4, "-video_size"), "550x400");
    EXPECT_EQ(After(mp4, "-framerate"), "959/32");
    EXPECT_EQ(Count(mp4, "pipe:0") + Count(mp4, "pipe:3"), 2u);
    EXPECT_EQ(mp4.back(), "OUT");
    EXPECT_EQ(Count(mp4, "-n"), 1u); // an existing file is never replaced unless asked

    const auto psp = run(Profile::Psp);
    EXPECT_EQ(After(psp, "-c:v"), "mpeg4");
    EXPECT_EQ(After(run(Profile::Psp, false, true), "-c:v"), "libxvid");
    EXPECT_EQ(After(psp, "-video_size"), "368x208");
    EXPECT_EQ(After(psp, "-framerate"), "30000/1001");
    EXPECT_EQ(After(psp, "-ar"), "24000");
    EXPECT_EQ(After(psp, "-b:v"), "512k");

    const auto webm = run(Profile::Webm);
    EXPECT_EQ(After(webm, "-c:v"), "libvpx-vp9");
    EXPECT_EQ(After(webm, "-c:a"), "libopus");
    EXPECT_EQ(After(webm, "-pix_fmt"), "yuv420p");
    EXPECT_EQ(After(run(Profile::Webm, true), "-pix_fmt"), "yuva420p");

    // Pictures only: no sound pipe, so ffmpeg never waits on one.
    for (Profile p : {Profile::Gif, Profile::Png}) {
        const auto a = run(p);
        EXPECT_EQ(Count(a, "pipe:3"), 0u) << profileName(p);
        EXPECT_EQ(Count(a, "-c:a"), 0u) << profileName(p);
    }
    EXPECT_NE(After(run(Profile::Gif), "-filter_complex").find("palettegen"), std::string::npos);
    EXPECT_EQ(After(run(Profile::Png), "-pix_fmt"), "rgb24");
    EXPECT_EQ(After(run(Profile::Png, true), "-pix_fmt"), "rgba");

    ConvertOptions quietMovie;
    quietMovie.noAudio = true;
    quietMovie.overwrite = true;
    const auto noSound =
        encoderArguments(quietMovie, planOutput(quietMovie, 64, 48, 12), "OUT", false);
    EXPECT_EQ(Count(noSound, "pipe:3"), 0u);
    EXPECT_EQ(Count(noSound, "-c:a"), 0u);
    EXPECT_EQ(Count(noSound, "-y"), 1u);
}

} // namespace
} // namespace kinovex::cli
