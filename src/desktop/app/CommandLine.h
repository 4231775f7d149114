#pragma once
// The desktop program's command line: `kinovex [FILE.swf]`, where a file manager may also pass
// a `file://` address, plus --help and --version.

#include <string>
#include <vector>

namespace kinovex {

enum class CommandLineAction {
    Run,     // start the program, on `moviePath` when it is not empty
    Help,    // print the usage to standard output and stop
    Version, // print the version and stop
    Misused, // print `problem` and the usage to standard error and stop
};

struct CommandLine {
    CommandLineAction action = CommandLineAction::Run;
    std::string moviePath; // absolute, without "." and ".." components
    std::string problem;   // why the command line was refused
};

// Reads the arguments after the program name. A relative path is taken from
// `currentDirectory`; a `file://` address (local host only) becomes the path it names.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& currentDirectory);

// Why the movie of the command line cannot be opened.
enum class MovieFileProblem {
    None,
    Missing,    // nothing by that name
    NotMovie,   // a folder, or a file whose name does not end in ".swf" (any letter case)
    Unreadable, // the file cannot be opened for reading
};
MovieFileProblem CheckMovieFile(const std::string& path);

// The usage line, ending in a line break.
std::string CommandLineUsage();

// `text` with every %XX escape replaced by its byte; a malformed escape stays as it is.
std::string PercentDecoded(const std::string& text);

} // namespace kinovex
