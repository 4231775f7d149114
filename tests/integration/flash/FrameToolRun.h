#pragma once
// Running the built kinovex-frame from a test, through the shell.

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace kinovex::test {

inline const std::string kFrameTool = std::string(KINOVEX_PROGRAM_DIR) + "/kinovex-frame";

// `s` as one shell word.
inline std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

struct ToolRun {
    int exitCode = -1; // -1 when the tool did not exit by itself
    std::string output;
};

enum class ToolOutput { StandardOutput, Both };

// Runs kinovex-frame with `args` (already quoted); `what` says whether its diagnostics are
// collected with its standard output or dropped.
inline ToolRun runFrameTool(const std::string& args, ToolOutput what) {
    ToolRun r;
    const char* errors = what == ToolOutput::Both ? " 2>&1" : " 2>/dev/null";
    FILE* p = popen((quote(kFrameTool) + " " + args + errors).c_str(), "r");
    if (p == nullptr) {
        return r;
    }
    char buffer[512];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) {
        r.output.append(buffer, n);
    }
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace kinovex::test
