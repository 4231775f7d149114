#include "desktop/browser/UserMounts.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

struct RootsCase {
    MountPlaces places;
    std::vector<std::string> folders;
};

TEST(UserMounts, RootsFollowTheUserAndTheRuntimeFolder) {
    const RootsCase cases[] = {
        {{"ann", 1000, "/run/user/1000", ""},
         {"/media/ann", "/run/media/ann", "/run/user/1000/gvfs"}},
        {{"ann", 1000, "/tmp/ann-runtime", "/sys-root"},
         {"/sys-root/media/ann", "/sys-root/run/media/ann", "/tmp/ann-runtime/gvfs"}},
        {{"bob", 1001, std::nullopt, ""}, {"/media/bob", "/run/media/bob", "/run/user/1001/gvfs"}},
        {{"bob", 1001, "", "/s"}, {"/s/media/bob", "/s/run/media/bob", "/s/run/user/1001/gvfs"}},
        {{"", 0, std::nullopt, ""}, {"/run/user/0/gvfs"}},
        {{"../etc", 7, "/r", ""}, {"/r/gvfs"}},
    };
    for (const RootsCase& c : cases) {
        std::vector<std::string> folders;
        for (const MountRoot& root : UserMountRoots(c.places)) {
            folders.push_back(root.folder);
            EXPECT_EQ(root.type, root.folder.ends_with("/gvfs") ? DRIVE_REMOTE : DRIVE_REMOVABLE)
                << root.folder;
        }
        EXPECT_EQ(folders, c.folders) << c.places.user;
    }
}

TEST(UserMounts, ListsTheFoldersThatCanBeListedInNaturalOrder) {
    TempDir sys("user mounts");
    for (const char* folder :
         {"media/ann/USB Stick 10", "media/ann/usb stick 2/Movies", "media/ann/.hidden",
          "run/media/ann/Backup", "run/media/ann/Locked",
          "run/user/1000/gvfs/smb-share:server=nas,share=movies", "media/bob/Other"})
        fs::create_directories(sys / folder);
    WriteFile(sys / "media/ann/notes.txt", "not a folder");
    fs::create_directory_symlink(sys / "media/ann/gone", sys / "media/ann/Dangling");
    const bool root = geteuid() == 0; // root lists any folder
    chmod((sys / "run/media/ann/Locked").c_str(), 0);

    const MountPlaces places{"ann", 1000, std::nullopt, sys.str()};
    std::vector<std::string> seen;
    for (const UserMount& mount : ListUserMounts(UserMountRoots(places))) {
        seen.push_back(mount.name + (mount.type == DRIVE_REMOTE ? " (network)" : ""));
        EXPECT_EQ(fs::path(mount.path).filename().string(), mount.name);
    }
    chmod((sys / "run/media/ann/Locked").c_str(), 0755);

    std::vector<std::string> expected = {"Backup", "smb-share:server=nas,share=movies (network)",
                                         "usb stick 2", "USB Stick 10"};
    if (root)
        expected.insert(expected.begin() + 1, "Locked");
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(ListUserMounts({{(sys / "missing").string(), DRIVE_REMOVABLE}}).empty());
}

} // namespace
} // namespace kinovex
