#pragma once
// Running kinovex-convert, ffmpeg and ffprobe as children and reading what they wrote.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kinovex::test {

struct ToolResult {
    int status = -1; // exit code, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `argv` with standard input empty and both outputs captured through files in `scratch`.
ToolResult RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& scratch);

// A program started with its standard error on a pipe of ours (standard output discarded).
struct Running {
    int pid = -1;
    int error = -1; // read end
};
Running StartProgram(const std::vector<std::string>& argv);
// Reads standard error up to and including the first line containing `text` (or its end);
// returns what was read.
std::string ReadUntil(const Running& running, const std::string& text);
// Reads the rest of standard error and reaps the program.
ToolResult FinishProgram(Running running);

// ffprobe's entries for one stream selection ("v:0", "a:0") as key=value pairs.
std::map<std::string, std::string> Probe(const std::filesystem::path& file,
                                         const std::string& stream, const std::string& entries,
                                         const std::filesystem::path& scratch,
                                         bool countFrames = false);

// The file's video decoded to raw pixels of `pixelFormat` ("rgba", "gray"), all frames one
// after another. `decoder` forces a decoder (libvpx-vp9 for VP9 with alpha).
std::vector<std::uint8_t> DecodeVideo(const std::filesystem::path& file,
                                      const std::string& pixelFormat,
                                      const std::filesystem::path& scratch,
                                      const std::string& decoder = {});
// The file's sound decoded to 44100 Hz mono 16-bit samples.
std::vector<std::int16_t> DecodeSound(const std::filesystem::path& file,
                                      const std::filesystem::path& scratch);

} // namespace kinovex::test
