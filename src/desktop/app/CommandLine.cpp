#include "desktop/app/CommandLine.h"

#include <filesystem>
#include <fstream>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The path of a `file:` address, or the argument itself when it is none. An address of
// another host names nothing here: it is kept whole, so that it is reported as not found.
std::string PathOfArgument(const std::string& argument) {
    const std::string scheme = "file://";
    if (argument.rfind(scheme, 0) != 0)
        return argument;
    const std::string rest = argument.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    const std::string host = rest.substr(0, slash);
    if (slash == std::string::npos || (!host.empty() && host != "localhost"))
        return argument;
    std::string path = rest.substr(slash);
    path = path.substr(0, path.find_first_of("?#"));
    return PercentDecoded(path);
}

std::string AbsolutePath(const std::string& path, const std::string& currentDirectory) {
    fs::path result(path);
    if (result.is_relative())
        result = fs::path(currentDirectory) / result;
    return result.lexically_normal().string();
}

} // namespace

std::string PercentDecoded(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                result += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& currentDirectory) {
    CommandLine line;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            return CommandLine{CommandLineAction::Help, {}, {}};
        } else if (argument == "--version") {
            return CommandLine{CommandLineAction::Version, {}, {}};
        } else {
            return CommandLine{CommandLineAction::Misused, {}, "unknown option " + argument};
        }
    }
    if (files.size() > 1)
        return CommandLine{CommandLineAction::Misused, {}, "only one movie can be opened"};
    if (files.size() == 1 && !files.front().empty())
        line.moviePath = AbsolutePath(PathOfArgument(files.front()), currentDirectory);
    return line;
}

MovieFileProblem CheckMovieFile(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return MovieFileProblem::Missing;
    if (error) // a folder on the way that cannot be searched
        return MovieFileProblem::Unreadable;
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (fs::is_directory(status) || extension != ".swf")
        return MovieFileProblem::NotMovie;
    const std::ifstream file(path, std::ios::binary);
    return file.is_open() ? MovieFileProblem::None : MovieFileProblem::Unreadable;
}

std::string CommandLineUsage() {
    return "Usage: kinovex [--help] [--version] [FILE.swf]\n";
}

} // namespace kinovex
