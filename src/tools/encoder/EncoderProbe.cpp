#include "tools/encoder/EncoderProbe.h"

#include "tools/encoder/ChildProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace kinovex {

namespace {

// One line of the cache: the encoder's identity, a tab, 1 or 0.
std::string CacheKey(const std::string& encoderPath) {
    struct stat info {};
    if (stat(encoderPath.c_str(), &info) != 0 || encoderPath.find('\n') != std::string::npos)
        return {}; // not to be remembered
    std::ostringstream key;
    key << info.st_dev << ' ' << info.st_ino << ' ' << info.st_size << ' ' << info.st_mtim.tv_sec
        << '.' << info.st_mtim.tv_nsec << ' ' << encoderPath;
    return key.str();
}

std::vector<std::string> ReadLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Rewrites the cache through a file of its own and a rename, so a run reading it at the same
// time sees either the old or the new content, never half of one.
void Remember(const std::string& cacheFile, const std::string& key, bool hasLibxvid) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(cacheFile).parent_path(), error);
    std::vector<std::string> lines = ReadLines(cacheFile);
    std::erase_if(lines, [&](const std::string& line) { return line.rfind(key + '\t', 0) == 0; });
    lines.push_back(key + '\t' + (hasLibxvid ? '1' : '0'));

    const std::string temporary = cacheFile + "." + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const auto& line : lines)
            out << line << '\n';
        if (!out) {
            std::filesystem::remove(temporary, error);
            return;
        }
    }
    std::filesystem::rename(temporary, cacheFile, error);
    if (error)
        std::filesystem::remove(temporary, error);
}

} // namespace

std::string EncoderCacheFile() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && *cache == '/')
        return std::string(cache) + "/kinovex/encoders";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return std::string(home) + "/.cache/kinovex/encoders";
    return {};
}

std::optional<bool> AskEncoderForLibxvid(const std::string& encoderPath,
                                         const std::string& cacheFile) {
    const std::string key = CacheKey(encoderPath);
    if (!cacheFile.empty() && !key.empty()) {
        for (const auto& line : ReadLines(cacheFile))
            if (line.size() == key.size() + 2 && line.rfind(key + '\t', 0) == 0)
                return line.back() == '1';
    }

    const auto help = RunCapturingOutput(
        encoderPath, {encoderPath, "-hide_banner", "-loglevel", "quiet", "-h", "encoder=libxvid"});
    if (!help)
        return std::nullopt;
    // ffmpeg describes a known encoder with "Encoder libxvid [...]:" and says an unknown one "is
    // not recognized".
    const bool hasLibxvid = help->rfind("Encoder libxvid", 0) == 0;
    if (!cacheFile.empty() && !key.empty())
        Remember(cacheFile, key, hasLibxvid);
    return hasLibxvid;
}

bool EncoderHasLibxvid(const std::string& encoderPath, const std::string& cacheFile) {
    return AskEncoderForLibxvid(encoderPath, cacheFile).value_or(false);
}

} // namespace kinovex
