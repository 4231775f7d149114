#pragma once
// The compressed and encrypted flags of a file or folder, where the file system keeps them.

#include <string>

namespace kinovex {

struct FileFlags {
    bool compressed = false;
    bool encrypted = false;
};

// Both false when the path cannot be opened or its file system keeps no such flags.
FileFlags ReadFileFlags(const std::string& path);

} // namespace kinovex
