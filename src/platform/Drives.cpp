#include "platform/Drives.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/statvfs.h>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

bool OneOf(std::string_view value, std::initializer_list<std::string_view> options) {
    return std::find(options.begin(), options.end(), value) != options.end();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The mount table writes blanks, tabs, newlines and backslashes as three octal digits.
std::string DecodeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                         (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string ReadSmallFile(const fs::path& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

// A block device counts as removable when the kernel says so, or when it hangs off a USB or
// memory-card bus (many USB disks report themselves as fixed).
bool IsRemovableDevice(const std::string& device, const std::string& sysRoot) {
    std::error_code error;
    fs::path name = fs::path(device).filename();
    const fs::path resolved = fs::canonical(device, error);
    if (!error)
        name = resolved.filename();
    const fs::path link = fs::path(sysRoot) / "class" / "block" / name;
    fs::path node = fs::canonical(link, error);
    if (error)
        node = link;
    const std::string nodeText = node.string();
    if (nodeText.find("/usb") != std::string::npos || nodeText.find("/mmc") != std::string::npos)
        return true;
    if (fs::exists(node / "partition", error))
        node = node.parent_path();
    return ReadSmallFile(node / "removable") == "1";
}

} // namespace

unsigned DriveTypeMaskBit(DriveType type) {
    switch (type) {
    case DRIVE_REMOVABLE:
        return 0x01;
    case DRIVE_FIXED:
        return 0x02;
    case DRIVE_REMOTE:
        return 0x04;
    case DRIVE_CDROM:
        return 0x10;
    case DRIVE_RAMDISK:
        return 0x20;
    default:
        return 0;
    }
}

std::vector<MountEntry> ParseMountTable(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, fsType;
        if (!(fields >> device >> mountPoint >> fsType))
            continue;
        mounts.push_back(
            {DecodeMountField(device), DecodeMountField(mountPoint), DecodeMountField(fsType)});
    }
    return mounts;
}

std::optional<DriveType> ClassifyMount(const MountEntry& mount, const std::string& sysRoot) {
    const std::string& type = mount.fsType;
    if (OneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs",
                     "9p", "lustre", "gpfs", "davfs", "fuse.sshfs", "fuse.rclone", "fuse.davfs2",
                     "fuse.s3fs", "fuse.glusterfs", "fuse.cephfs"}))
        return DRIVE_REMOTE;
    if (OneOf(type, {"tmpfs", "ramfs"}))
        return DRIVE_RAMDISK;
    const std::string deviceName = fs::path(mount.device).filename().string();
    if (OneOf(type, {"iso9660", "udf"}) || StartsWith(deviceName, "sr") ||
        StartsWith(deviceName, "scd") || StartsWith(deviceName, "cdrom"))
        return DRIVE_CDROM;
    // Read-only images (snap packages and the like) are parts of the system, not disks.
    if (OneOf(type, {"squashfs", "erofs", "cramfs"}))
        return std::nullopt;
    if (StartsWith(mount.device, "/dev/")) {
        if (StartsWith(mount.mountPoint, "/media/") || StartsWith(mount.mountPoint, "/run/media/"))
            return DRIVE_REMOVABLE;
        return IsRemovableDevice(mount.device, sysRoot) ? DRIVE_REMOVABLE : DRIVE_FIXED;
    }
    if (OneOf(type, {"zfs", "btrfs", "xfs", "ext4", "ext3", "ext2", "f2fs", "bcachefs"}))
        return DRIVE_FIXED;
    return std::nullopt;
}

std::vector<DriveInfo> ListDrives(const std::string& mountsFile, const std::string& sysRoot) {
    std::ifstream in(mountsFile);
    std::stringstream text;
    text << in.rdbuf();

    DriveInfo root{"/", DRIVE_FIXED, {}, {}};
    std::map<std::string, DriveInfo> others; // by mount point: later mounts cover earlier ones
    for (const MountEntry& mount : ParseMountTable(text.str())) {
        if (mount.mountPoint == "/") {
            root.device = mount.device;
            root.fsType = mount.fsType;
            continue;
        }
        const std::optional<DriveType> type = ClassifyMount(mount, sysRoot);
        if (!type) {
            others.erase(mount.mountPoint);
            continue;
        }
        std::error_code error;
        if (!fs::is_directory(mount.mountPoint, error))
            continue; // a single file bound into place
        others[mount.mountPoint] = {mount.mountPoint, *type, mount.device, mount.fsType};
    }

    std::vector<DriveInfo> drives{root};
    for (auto& [path, drive] : others)
        drives.push_back(std::move(drive));
    return drives;
}

bool HasMedia(const DriveInfo& drive) {
    if (drive.type != DRIVE_REMOVABLE && drive.type != DRIVE_CDROM)
        return true;
    struct statvfs info {};
    return statvfs(drive.root.c_str(), &info) == 0;
}

} // namespace kinovex
