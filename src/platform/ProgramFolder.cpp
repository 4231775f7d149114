#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kinovex {

std::string RunningProgramPath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return path.string();
}

std::string ProgramFolder() {
    if (const char* overridden = std::getenv("KINOVEX_PROGRAM_FOLDER");
        overridden != nullptr && *overridden != '\0') {
        std::string folder = overridden;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        return folder;
    }
    const std::string path = RunningProgramPath();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string ProgramBaseName() {
    const std::string path = RunningProgramPath();
    std::string name = path.substr(path.rfind('/') + 1);
    return name.empty() ? std::string("kinovex") : name;
}

} // namespace kinovex
