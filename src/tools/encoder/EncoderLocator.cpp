#include "tools/encoder/EncoderLocator.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kinovex {

namespace {

std::string CanonicalFolder(const std::string& folder) {
    std::error_code error;
    auto canonical = std::filesystem::canonical(folder.empty() ? "." : folder, error);
    return error ? std::string() : canonical.string();
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

} // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

std::vector<FileIdentity> ParseIdentityList(const std::string& text) {
    std::vector<FileIdentity> identities;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = text.substr(start, end - start);
        unsigned long long device = 0;
        unsigned long long inode = 0;
        char rest = 0;
        if (std::sscanf(item.c_str(), "%llu:%llu%c", &device, &inode, &rest) == 2)
            identities.push_back({static_cast<dev_t>(device), static_cast<ino_t>(inode)});
        start = end + 1;
    }
    return identities;
}

std::string FormatIdentityList(const std::vector<FileIdentity>& identities) {
    std::string text;
    for (const auto& identity : identities) {
        if (!text.empty())
            text += ',';
        text += std::to_string(static_cast<unsigned long long>(identity.device)) + ':' +
                std::to_string(static_cast<unsigned long long>(identity.inode));
    }
    return text;
}

EncoderLocation FindRealEncoder(const EncoderSearch& search) {
    std::vector<FileIdentity> frontEnds = search.skip;
    if (auto self = IdentityOf(search.selfPath))
        frontEnds.push_back(*self);
    auto isFrontEnd = [&](const std::string& path) {
        const auto identity = IdentityOf(path);
        return identity &&
               std::find(frontEnds.begin(), frontEnds.end(), *identity) != frontEnds.end();
    };

    if (!search.overridePath.empty()) {
        if (!IsExecutableFile(search.overridePath))
            return {{},
                    "KINOVEX_FFMPEG names " + search.overridePath +
                        ", which is not an executable file"};
        if (isFrontEnd(search.overridePath))
            return {{},
                    "KINOVEX_FFMPEG names " + search.overridePath +
                        ", which is this front-end, not the real encoder"};
        return {search.overridePath, {}};
    }

    const std::string selfFolder =
        CanonicalFolder(std::filesystem::path(search.selfPath).parent_path().string());
    std::size_t start = 0;
    while (start <= search.searchPath.size()) {
        std::size_t end = search.searchPath.find(':', start);
        if (end == std::string::npos)
            end = search.searchPath.size();
        // An empty entry means the current folder, as for the shell.
        std::string folder = search.searchPath.substr(start, end - start);
        if (folder.empty())
            folder = ".";
        start = end + 1;

        if (!selfFolder.empty() && CanonicalFolder(folder) == selfFolder)
            continue;
        std::error_code error;
        const auto absolute = std::filesystem::absolute(folder, error);
        if (error)
            continue;
        const std::string candidate = (absolute / "ffmpeg").string();
        if (IsExecutableFile(candidate) && !isFrontEnd(candidate))
            return {candidate, {}};
    }
    return {{}, "no ffmpeg other than this front-end was found on PATH"};
}

} // namespace kinovex
