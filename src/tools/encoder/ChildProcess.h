#pragma once
// Running the real encoder as a child that cannot outlive the front-end.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kinovex {

// Runs `path` with `argv` (argv[0] included). Standard input and output are the front-end's own;
// standard error comes through a pipe and is handed to `onErrorOutput` piece by piece as it
// arrives. SIGTERM, SIGINT and SIGHUP sent to the front-end are passed on to the child, and
// the child is killed should the front-end die first. Returns the child's exit status, or 128
// plus the signal that ended it; 127 with `failure` set when it could not be started.
int RunWithErrorOutput(const std::string& path, const std::vector<std::string>& argv,
                       const std::function<void(std::string_view)>& onErrorOutput,
                       std::string* failure);

// Runs `path` with `argv` with no input and its diagnostics discarded, and returns what it
// wrote to standard output; none when it could not be started or did not exit by itself.
std::optional<std::string> RunCapturingOutput(const std::string& path,
                                              const std::vector<std::string>& argv);

// 128 + signal for a child ended by a signal, its exit code otherwise.
int ExitStatusOf(int waitStatus);

} // namespace kinovex
