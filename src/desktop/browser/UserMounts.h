#pragma once
// The user's removable media and network mounts, as the folder tree shows them beside "/"
// under Computer: the folders that the desktop's mount helpers make for this user.

#include "platform/Drives.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kinovex {

// What decides where a user's mounts appear.
struct MountPlaces {
    std::string user;
    unsigned uid = 0;
    std::optional<std::string> runtimeDir; // $XDG_RUNTIME_DIR; unset or empty: none
    std::string systemRoot;                // put before /media and /run; empty for "/"
};

// This process's user, uid and environment.
MountPlaces CurrentMountPlaces();

// A folder whose sub-folders are mounts, and the kind of drive they are.
struct MountRoot {
    std::string folder;
    DriveType type = DRIVE_REMOVABLE;
};

// /media/USER and /run/media/USER (removable media, as udisks mounts them), then the GVfs
// mounts in $XDG_RUNTIME_DIR/gvfs, or /run/user/UID/gvfs without a runtime folder (network).
std::vector<MountRoot> UserMountRoots(const MountPlaces& places);

struct UserMount {
    std::string path;
    std::string name; // the folder's name, as the tree shows it
    DriveType type = DRIVE_REMOVABLE;
};

// The sub-folders of `roots` that exist and can be listed, hidden ones (".name") left out, in
// the natural order of their names (the path breaks ties).
std::vector<UserMount> ListUserMounts(const std::vector<MountRoot>& roots);

// The mounts the tree shows; read again each time Computer is opened.
using UserMountLister = std::function<std::vector<UserMount>()>;

} // namespace kinovex
