// The desktop program.

#include "desktop/app/CConverterApp.h"
#include "desktop/app/CommandLine.h"
#include "desktop/app/ProgramIcon.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The arguments after the program name, read where the program was started from.
kinovex::CommandLine ReadCommandLine(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::error_code error;
    return kinovex::ParseCommandLine(arguments, std::filesystem::current_path(error).string());
}

// Prints what --help and --version ask for, or why the command line is refused; the exit
// status, or -1 when the program is to run.
int AnswerCommandLine(const kinovex::CommandLine& line) {
    switch (line.action) {
    case kinovex::CommandLineAction::Run:
        return -1;
    case kinovex::CommandLineAction::Help:
        std::fputs(kinovex::CommandLineUsage().c_str(), stdout);
        return 0;
    case kinovex::CommandLineAction::Version:
        std::printf("kinovex %s\n", KINOVEX_VERSION);
        return 0;
    case kinovex::CommandLineAction::Misused:
        std::fprintf(stderr, "kinovex: %s\n%s", line.problem.c_str(),
                     kinovex::CommandLineUsage().c_str());
        return 2;
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version need no display. Any other option may be one of the toolkit's
    // (-platform, -display), which it takes out of the arguments.
    kinovex::CommandLine line = ReadCommandLine(argc, argv);
    if (line.action == kinovex::CommandLineAction::Help ||
        line.action == kinovex::CommandLineAction::Version)
        return AnswerCommandLine(line);
    QApplication application(argc, argv);
    line = ReadCommandLine(argc, argv);
    if (const int status = AnswerCommandLine(line); status >= 0)
        return status;
    kinovex::SetUpProgramIcon();
    kinovex::CConverterApp app;
    app.m_strStartMovie = QFile::decodeName(line.moviePath.c_str());
    app.InitInstance();
    return 0;
}
