// The encoder front-end run as the conversion window runs it, with the real ffmpeg behind it.

#include "core/convert/CommandLine.h"
#include "core/convert/OutputProfile.h"
#include "core/convert/ProgressParse.h"

#include "ProgramRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

const std::string kFrontEnd = std::string(KINOVEX_PROGRAM_DIR) + "/ffmpeg";
const std::string kRealEncoder = "/usr/bin/ffmpeg";
const std::string kProbe = "/usr/bin/ffprobe";

// ffprobe's answer for one stream selection as key=value pairs; empty when there is no such
// stream.
std::map<std::string, std::string> Probe(const fs::path& file, const std::string& streams,
                                         const std::string& entries) {
    const auto probed =
        test::Run({kProbe, "-v", "error", "-select_streams", streams, "-show_entries", entries,
                   "-of", "default=noprint_wrappers=1", file.string()});
    std::map<std::string, std::string> values;
    std::istringstream lines(probed.output);
    for (std::string line; std::getline(lines, line);)
        if (const auto equals = line.find('='); equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    return values;
}

class EncoderFrontEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new test::TempDir("encoder front end");
        fs::create_directories(s_dir->path() / "Temp");
        const std::string base = (s_dir->path() / "Temp" / "intro").string();
        const auto video = test::Run({kRealEncoder, "-v", "error", "-y", "-f", "lavfi", "-i",
                                      "testsrc=duration=5:size=320x240:rate=12", "-c:v", "msvideo1",
                                      "-pix_fmt", "rgb555le", base + ".avi"});
        const auto sound = test::Run({kRealEncoder, "-v", "error", "-y", "-f", "lavfi", "-i",
                                      "sine=frequency=440:sample_rate=24000:duration=5", "-ac", "2",
                                      "-c:a", "pcm_s16le", base + ".wav"});
        ASSERT_EQ(video.status, 0) << video.errorText();
        ASSERT_EQ(sound.status, 0) << sound.errorText();
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    fs::path Folder() const { return s_dir->path(); }
    std::string TempBase() const { return (Folder() / "Temp" / "intro").string(); }

    // The preset's command as the conversion window forms it, run through the front-end with
    // the front-end's own folder first on PATH.
    test::Finished Convert(const OutputProfile& profile, const std::string& tempBase,
                           const std::string& outputBase, test::Environment environment = {}) {
        auto argv = SplitCommandLine(BuildEncoderCommand(profile, tempBase, outputBase));
        argv[0] = kFrontEnd;
        environment.try_emplace("PATH", std::string(KINOVEX_PROGRAM_DIR) + ":/usr/bin:/bin");
        environment.try_emplace("KINOVEX_FFMPEG", std::nullopt);
        environment.try_emplace("XDG_CACHE_HOME", (Folder() / "cache").string());
        return test::Run(argv, environment);
    }

    static OutputProfile Preset() {
        OutputProfile profile;
        ApplyProfilePreset(0, profile);
        return profile;
    }

    static test::TempDir* s_dir;
};

test::TempDir* EncoderFrontEnd::s_dir = nullptr;

// Every status update's time is in seconds; none is left as HH:MM:SS.
void ExpectTimesInSeconds(const std::string& text) {
    static const std::regex field("time=(\\S*)");
    static const std::regex seconds("-?[0-9]+\\.[0-9]+|N/A");
    std::size_t fields = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), field), end; it != end; ++it, ++fields)
        EXPECT_TRUE(std::regex_match((*it)[1].str(), seconds)) << (*it)[0];
    EXPECT_GT(fields, 0u);
}

// The progress the conversion window would post, chunk by chunk.
std::vector<long> Progress(const test::Finished& run) {
    std::vector<long> values;
    for (const auto& chunk : run.errorChunks)
        if (const long value = ParseProgressSeconds(chunk); value > 0)
            values.push_back(value);
    return values;
}

void ExpectPresetVideo(const fs::path& movie) {
    const auto video = Probe(movie, "v", "stream=codec_name,width,height,r_frame_rate");
    EXPECT_EQ(video.at("codec_name"), "mpeg4");
    EXPECT_EQ(video.at("width"), "368");
    EXPECT_EQ(video.at("height"), "208");
    EXPECT_EQ(video.at("r_frame_rate"), "30000/1001");
    const double duration = std::stod(Probe(movie, "v", "format=duration").at("duration"));
    EXPECT_NEAR(duration, 5.0, 0.3);
}

TEST_F(EncoderFrontEnd, ThePresetGivesTheHandheldMovieAndReadableProgress) {
    const fs::path movie = Folder() / "out" / "intro(143512045).mp4";
    fs::create_directories(movie.parent_path());
    const auto run =
        Convert(Preset(), TempBase(), (Folder() / "out" / "intro(143512045)").string());
    ASSERT_EQ(run.status, 0) << run.errorText();

    ExpectPresetVideo(movie);
    const auto sound = Probe(movie, "a", "stream=codec_name,sample_rate,channels");
    EXPECT_EQ(sound.at("codec_name"), "aac");
    EXPECT_EQ(sound.at("sample_rate"), "24000");
    EXPECT_EQ(sound.at("channels"), "2");

    const std::string text = run.errorText();
    ExpectTimesInSeconds(text);
    EXPECT_NE(text.find("\r"), std::string::npos); // status updates still end in \r

    const auto progress = Progress(run);
    ASSERT_FALSE(progress.empty()) << text;
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_TRUE(progress.back() == 4 || progress.back() == 5) << progress.back();
}

TEST_F(EncoderFrontEnd, WithoutLibxvidTheMovieIsStillMpeg4InAnMp4) {
    // An encoder that says it has no libxvid and otherwise is the real one.
    const fs::path wrapper = Folder() / "no xvid" / "ffmpeg";
    fs::create_directories(wrapper.parent_path());
    const fs::path arguments = Folder() / "no xvid" / "arguments";
    test::WriteFile(wrapper, "#!/bin/sh\ncase \"$*\" in *encoder=libxvid*)\n"
                             "  echo \"Codec 'libxvid' is not recognized by FFmpeg.\"; exit 0;;\n"
                             "esac\necho \"$*\" > \"" +
                                 arguments.string() + "\"\nexec " + kRealEncoder + " \"$@\"\n");
    fs::permissions(wrapper, fs::perms::owner_all);

    const fs::path movie = Folder() / "plain mpeg4.mp4";
    const auto run = Convert(Preset(), TempBase(), (Folder() / "plain mpeg4").string(),
                             {{"KINOVEX_FFMPEG", wrapper.string()},
                              {"XDG_CACHE_HOME", (Folder() / "no xvid cache").string()}});
    ASSERT_EQ(run.status, 0) << run.errorText();
    ExpectPresetVideo(movie);
    const std::string given = test::ReadFile(arguments);
    EXPECT_NE(given.find("-vcodec mpeg4 -s"), std::string::npos) << given;
}

TEST_F(EncoderFrontEnd, ASilentOrMissingSoundFileGivesAVideoOnlyMovie) {
    // A header that promises no samples, as a recording without capture leaves it.
    const std::string silentBase = (Folder() / "Temp" / "silent").string();
    fs::copy_file(TempBase() + ".avi", silentBase + ".avi", fs::copy_options::overwrite_existing);
    const std::string wav = test::ReadFile(TempBase() + ".wav");
    test::WriteFile(silentBase + ".wav", wav.substr(0, wav.find("data") + 8));
    const std::string missingBase = (Folder() / "Temp" / "missing").string();
    fs::copy_file(TempBase() + ".avi", missingBase + ".avi", fs::copy_options::overwrite_existing);

    for (const auto& base : {silentBase, missingBase}) {
        const std::string output = base + " out";
        const auto run = Convert(Preset(), base, output);
        ASSERT_EQ(run.status, 0) << run.errorText();
        ExpectPresetVideo(output + ".mp4");
        EXPECT_TRUE(Probe(output + ".mp4", "a", "stream=codec_name").empty()) << base;
        EXPECT_FALSE(Progress(run).empty());
    }
}

TEST_F(EncoderFrontEnd, AnUnknownCodecFailsWithoutProgress) {
    auto profile = Preset();
    profile.videoCodec = "nosuchcodec";
    const auto run = Convert(profile, TempBase(), (Folder() / "never").string());
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(Progress(run).empty()) << run.errorText();
    static const std::regex progress("time=-?0*[1-9]");
    EXPECT_FALSE(std::regex_search(run.errorText(), progress)) << run.errorText();
}

} // namespace
} // namespace kinovex
