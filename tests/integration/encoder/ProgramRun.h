#pragma once
// Running a program with its output on pipes, as the conversion window runs the encoder.

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kinovex::test {

// Variables to set (a value) or to remove (none) in the started program's environment.
using Environment = std::map<std::string, std::optional<std::string>>;

// A started program with its standard output and standard error on pipes of ours; its
// standard input is empty.
struct Started {
    pid_t pid = -1;
    int output = -1;
    int error = -1;
};

Started Start(const std::vector<std::string>& argv, const Environment& environment = {});

struct Finished {
    int status = -1; // the exit code, or 128 + the signal that ended the program
    int signal = 0;  // the signal that ended the program, 0 when it exited
    std::string output;
    std::vector<std::string> errorChunks; // standard error as the reads returned it
    std::string errorText() const;
};

// Reads both pipes to their ends, standard error in pieces of at most 255 bytes as the
// conversion window does, and reaps the program.
Finished Finish(Started started);

Finished Run(const std::vector<std::string>& argv, const Environment& environment = {});

} // namespace kinovex::test
