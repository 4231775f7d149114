#include "desktop/app/CommandLine.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

struct LineCase {
    std::vector<std::string> arguments;
    CommandLineAction action;
    std::string moviePath;
};

TEST(CommandLine, ArgumentsGiveTheActionAndAnAbsoluteMoviePath) {
    const std::string here = "/home/ann/Movies";
    const LineCase cases[] = {
        {{}, CommandLineAction::Run, ""},
        {{"/srv/Intro.swf"}, CommandLineAction::Run, "/srv/Intro.swf"},
        {{"Intro.swf"}, CommandLineAction::Run, "/home/ann/Movies/Intro.swf"},
        {{"../Old/./Intro.swf"}, CommandLineAction::Run, "/home/ann/Old/Intro.swf"},
        {{"My Movies/Bouncing Ball.swf"},
         CommandLineAction::Run,
         "/home/ann/Movies/My Movies/Bouncing Ball.swf"},
        {{"file:///srv/My%20Movies/Caf%C3%A9.swf"},
         CommandLineAction::Run,
         "/srv/My Movies/Caf\xC3\xA9.swf"},
        {{"file://localhost/srv/100%25.swf"}, CommandLineAction::Run, "/srv/100%.swf"},
        {{"file:///srv/a%2.swf"}, CommandLineAction::Run, "/srv/a%2.swf"},
        {{"--", "-dash.swf"}, CommandLineAction::Run, "/home/ann/Movies/-dash.swf"},
        {{"--help"}, CommandLineAction::Help, ""},
        {{"Intro.swf", "-h"}, CommandLineAction::Help, ""},
        {{"--version"}, CommandLineAction::Version, ""},
        {{"--play"}, CommandLineAction::Misused, ""},
        {{"-x", "--help"}, CommandLineAction::Misused, ""},
        {{"a.swf", "b.swf"}, CommandLineAction::Misused, ""},
    };
    for (const LineCase& c : cases) {
        const std::string shown = testing::PrintToString(c.arguments);
        const CommandLine line = ParseCommandLine(c.arguments, here);
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.moviePath, c.moviePath) << shown;
        EXPECT_EQ(line.problem.empty(), c.action != CommandLineAction::Misused) << shown;
    }
}

TEST(CommandLine, AnAddressOfAnotherHostNamesNoLocalFile) {
    const CommandLine line = ParseCommandLine({"file://server/srv/Intro.swf"}, "/home/ann");
    EXPECT_NE(line.moviePath, "/srv/Intro.swf");
    EXPECT_EQ(CheckMovieFile(line.moviePath), MovieFileProblem::Missing);
}

TEST(CommandLine, TheMovieFileIsCheckedBeforeTheWindowOpens) {
    TempDir root("command line");
    WriteFile(root / "Intro.swf", "FWS");
    WriteFile(root / "Loud.SWF", "FWS");
    WriteFile(root / "notes.txt", "text");
    WriteFile(root / "swf", "no extension");
    fs::create_directories(root / "Folder.swf");
    const std::pair<std::string, MovieFileProblem> cases[] = {
        {"Intro.swf", MovieFileProblem::None},      {"Loud.SWF", MovieFileProblem::None},
        {"Gone.swf", MovieFileProblem::Missing},    {"Gone/Intro.swf", MovieFileProblem::Missing},
        {"notes.txt", MovieFileProblem::NotMovie},  {"swf", MovieFileProblem::NotMovie},
        {"Folder.swf", MovieFileProblem::NotMovie},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckMovieFile((root / c.first).string()), c.second) << c.first;

    if (geteuid() != 0) { // root reads any file
        chmod((root / "Intro.swf").c_str(), 0);
        EXPECT_EQ(CheckMovieFile((root / "Intro.swf").string()), MovieFileProblem::Unreadable);
    }
}

} // namespace
} // namespace kinovex
