#include "desktop/browser/UserMounts.h"

#include "desktop/browser/NaturalOrder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

bool CanList(const fs::path& folder) {
    std::error_code error;
    const fs::directory_iterator it(folder, error);
    return !error;
}

} // namespace

MountPlaces CurrentMountPlaces() {
    MountPlaces places;
    places.uid = static_cast<unsigned>(getuid());
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr)
        places.user = entry->pw_name;
    else if (const char* user = std::getenv("USER"); user != nullptr)
        places.user = user;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr)
        places.runtimeDir = runtime;
    return places;
}

std::vector<MountRoot> UserMountRoots(const MountPlaces& places) {
    std::vector<MountRoot> roots;
    const std::string& system = places.systemRoot;
    if (!places.user.empty() && places.user.find('/') == std::string::npos) {
        roots.push_back({system + "/media/" + places.user, DRIVE_REMOVABLE});
        roots.push_back({system + "/run/media/" + places.user, DRIVE_REMOVABLE});
    }
    if (places.runtimeDir && !places.runtimeDir->empty())
        roots.push_back({*places.runtimeDir + "/gvfs", DRIVE_REMOTE});
    else
        roots.push_back(
            {system + "/run/user/" + std::to_string(places.uid) + "/gvfs", DRIVE_REMOTE});
    return roots;
}

std::vector<UserMount> ListUserMounts(const std::vector<MountRoot>& roots) {
    std::vector<UserMount> mounts;
    for (const MountRoot& root : roots) {
        std::error_code error;
        for (fs::directory_iterator it(root.folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            std::error_code typeError;
            if (name.starts_with('.') || !it->is_directory(typeError) || !CanList(it->path()))
                continue;
            mounts.push_back({it->path().string(), name, root.type});
        }
    }
    std::sort(mounts.begin(), mounts.end(), [](const UserMount& a, const UserMount& b) {
        const int names = NaturalCompare(a.name, b.name);
        return names != 0 ? names < 0 : a.path < b.path;
    });
    return mounts;
}

} // namespace kinovex
