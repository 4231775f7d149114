#pragma once
// Drives on Linux: "/" and each real mount point of the mount table, classified by file
// system and device into the drive types the folder tree filters on.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kinovex {

// The drive types, with the numbers the folder tree's filter has always used.
enum DriveType : unsigned {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

// The bit of a drive type in a hidden-drive-types mask: removable 0x01, fixed 0x02,
// remote 0x04, CD-ROM 0x10, RAM disk 0x20; 0 for a type that no mask can hide.
unsigned DriveTypeMaskBit(DriveType type);
inline bool IsDriveTypeShown(DriveType type, unsigned hiddenMask) {
    return (DriveTypeMaskBit(type) & hiddenMask) == 0;
}

// One line of /proc/self/mounts, with the escapes of blanks and backslashes decoded.
struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string fsType;
};
std::vector<MountEntry> ParseMountTable(std::string_view text);

// The drive type of a mount, or nothing for a mount that is not a drive (the kernel's
// pseudo file systems, desktop helper mounts). `sysRoot` is where sysfs is mounted.
std::optional<DriveType> ClassifyMount(const MountEntry& mount, const std::string& sysRoot);

struct DriveInfo {
    std::string root; // the mount point; "/" for the root file system
    DriveType type = DRIVE_UNKNOWN;
    std::string device;
    std::string fsType;
};

// The drives: "/" first (always a fixed drive), then every other mount point that is a
// drive and a folder, by path. A mount point mounted over several times counts once, with
// the type of the mount on top.
std::vector<DriveInfo> ListDrives(const std::string& mountsFile = "/proc/self/mounts",
                                  const std::string& sysRoot = "/sys");

// Whether the medium of a drive can be read: always for fixed, remote and RAM drives, and for
// removable and CD-ROM drives when their file system answers.
bool HasMedia(const DriveInfo& drive);

} // namespace kinovex
