#pragma once
// Finding the real ffmpeg that the front-end stands in front of.

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kinovex {

// A file as the kernel knows it, so links and other spellings of one path compare equal.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` leads to (links followed); none if it cannot be looked at.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// "dev:ino" items separated by commas: the front-ends a run has already passed through, handed
// on in the environment so two front-ends that find each other on PATH cannot loop.
std::vector<FileIdentity> ParseIdentityList(const std::string& text);
std::string FormatIdentityList(const std::vector<FileIdentity>& identities);

struct EncoderSearch {
    std::string overridePath;       // KINOVEX_FFMPEG; empty when not set
    std::string searchPath;         // PATH
    std::string selfPath;           // the running front-end
    std::vector<FileIdentity> skip; // other front-ends of this run
};

struct EncoderLocation {
    std::string path;  // empty when nothing was found
    std::string error; // why, when nothing was found
};

// The override when it is set (it must be an executable file and not a front-end of this run);
// otherwise the first executable "ffmpeg" in the PATH folders, in order, skipping the
// front-end's own folder and every candidate that is the front-end itself or one of `skip`.
EncoderLocation FindRealEncoder(const EncoderSearch& search);

} // namespace kinovex
