#include "core/record/TempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

// Whether a file can be created in `folder` and removed again: the only answer that holds for
// every user, root included, and for read-only mounts.
bool CanCreateAndRemoveFile(const fs::path& folder) {
    std::string probe = (folder / ".kinovex-probe.XXXXXX").string();
    const int descriptor = mkstemp(probe.data());
    if (descriptor < 0)
        return false;
    close(descriptor);
    return unlink(probe.c_str()) == 0;
}

// Makes `folder` and every missing parent with mode 0700.
bool MakePrivateFolders(const fs::path& folder) {
    fs::path path;
    for (const fs::path& part : folder) {
        path /= part;
        if (mkdir(path.c_str(), 0700) == 0) {
            chmod(path.c_str(), 0700); // whatever the umask took away
            continue;
        }
        if (errno != EEXIST)
            return false;
    }
    std::error_code error;
    return fs::is_directory(folder, error);
}

// The user's cache folder, or an empty path when the environment names none.
fs::path CacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && fs::path(cache).is_absolute())
        return cache;
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return fs::path(home) / ".cache";
    return {};
}

bool ProgramTempUsable(const fs::path& temp) {
    std::error_code error;
    const bool made = fs::create_directory(temp, error);
    if (error)
        return false;
    if (CanCreateAndRemoveFile(temp))
        return true;
    if (made)
        fs::remove(temp, error);
    return false;
}

bool CacheTempUsable(const fs::path& temp) {
    if (!MakePrivateFolders(temp))
        return false;
    chmod(temp.c_str(), 0700); // private, also when an earlier run left it
    return CanCreateAndRemoveFile(temp);
}

} // namespace

TempFolderChoice ChooseTempFolder(const std::string& programFolder) {
    TempFolderChoice choice;
    const fs::path programTemp = fs::path(programFolder) / "Temp";
    choice.tried.push_back(programTemp.string());
    if (ProgramTempUsable(programTemp)) {
        choice.folder = programTemp.string();
        return choice;
    }
    const fs::path cache = CacheFolder();
    if (!cache.empty()) {
        const fs::path cacheTemp = cache / "kinovex" / "Temp";
        choice.tried.push_back(cacheTemp.string());
        if (CacheTempUsable(cacheTemp)) {
            choice.folder = cacheTemp.string();
            return choice;
        }
    }
    choice.error = TempFolderError::NotWritable;
    return choice;
}

std::string TempBaseName(const std::string& tempFolder, const std::string& movieName) {
    return tempFolder + "/" + movieName;
}

} // namespace kinovex
