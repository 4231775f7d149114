#include "ToolRun.h"

#include "TempDir.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kinovex::test {

namespace fs = std::filesystem;

ToolResult RunProgram(const std::vector<std::string>& argv, const fs::path& scratch) {
    static int serial = 0;
    const std::string tag = std::to_string(++serial);
    const fs::path outFile = scratch / ("run" + tag + ".out");
    const fs::path errFile = scratch / ("run" + tag + ".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    ToolResult result;
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.err = std::string("cannot start ") + argv[0] + ": " + std::strerror(spawned);
        return result;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(outFile);
    result.err = ReadFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

Running StartProgram(const std::vector<std::string>& argv) {
    Running running;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return running;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return running;
    }
    running.pid = pid;
    running.error = fds[0];
    return running;
}

std::string ReadUntil(const Running& running, const std::string& text) {
    std::string read;
    std::string line;
    char c = 0;
    while (::read(running.error, &c, 1) == 1) {
        read += c;
        line += c;
        if (c == '\n') {
            if (line.find(text) != std::string::npos) {
                break;
            }
            line.clear();
        }
    }
    return read;
}

ToolResult FinishProgram(Running running) {
    ToolResult result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(running.error, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno != EINTR) {
            break;
        }
        if (n > 0) {
            result.err.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(running.error);
    int status = 0;
    while (waitpid(running.pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::map<std::string, std::string> Probe(const fs::path& file, const std::string& stream,
                                         const std::string& entries, const fs::path& scratch,
                                         bool countFrames) {
    std::vector<std::string> argv{"/usr/bin/ffprobe", "-v", "error", "-select_streams", stream};
    if (countFrames) {
        argv.push_back("-count_frames");
    }
    argv.insert(argv.end(),
                {"-show_entries", entries, "-of", "default=noprint_wrappers=1", file.string()});
    const ToolResult probed = RunProgram(argv, scratch);
    std::map<std::string, std::string> values;
    std::istringstream lines(probed.out);
    for (std::string line; std::getline(lines, line);) {
        if (const auto eq = line.find('='); eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return values;
}

namespace {

std::string Decode(std::vector<std::string> argv, const fs::path& scratch) {
    const fs::path raw = scratch / "decoded.raw";
    argv.insert(argv.end(), {"-y", raw.string()});
    const ToolResult r = RunProgram(argv, scratch);
    if (r.status != 0) {
        return {};
    }
    std::string bytes = ReadFile(raw);
    fs::remove(raw);
    return bytes;
}

} // namespace

std::vector<std::uint8_t> DecodeVideo(const fs::path& file, const std::string& pixelFormat,
                                      const fs::path& scratch, const std::string& decoder) {
    std::vector<std::string> argv{"/usr/bin/ffmpeg", "-v", "error"};
    if (!decoder.empty()) {
        argv.insert(argv.end(), {"-c:v", decoder});
    }
    argv.insert(argv.end(),
                {"-i", file.string(), "-map", "0:v:0", "-f", "rawvideo", "-pix_fmt", pixelFormat});
    const std::string bytes = Decode(argv, scratch);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::int16_t> DecodeSound(const fs::path& file, const fs::path& scratch) {
    const std::string bytes = Decode({"/usr/bin/ffmpeg", "-v", "error", "-i", file.string(), "-map",
                                      "0:a:0", "-f", "s16le", "-ac", "1", "-ar", "44100"},
                                     scratch);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

} // namespace kinovex::test
