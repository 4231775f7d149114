#include "desktop/browser/NetworkSource.h"
#include "platform/Drives.h"
#include "platform/ShareList.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

TEST(MountTable, DecodesEscapedBlanksAndSkipsBrokenLines) {
    const auto mounts = ParseMountTable("/dev/sda1 / ext4 rw 0 0\n"
                                        "garbage\n"
                                        "/dev/sdb1 /media/ann/My\\040Stick vfat rw 0 0\n"
                                        "//nas/a\\134b /mnt/back\\134slash cifs rw 0 0\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[1].mountPoint, "/media/ann/My Stick");
    EXPECT_EQ(mounts[1].fsType, "vfat");
    EXPECT_EQ(mounts[2].device, "//nas/a\\b");
    EXPECT_EQ(mounts[2].mountPoint, "/mnt/back\\slash");
}

TEST(MountTable, ClassifiesByFileSystemAndDevice) {
    // sysfs as the kernel lays it out: class/block links into the device tree, partitions
    // below their disk, which carries the removable flag.
    TempDir sys("sysfs");
    auto disk = [&](const std::string& bus, const std::string& name, const char* removable) {
        const fs::path path = sys / ("devices/pci0/" + bus + "/block/" + name);
        fs::create_directories(path / (name + "1"));
        WriteFile(path / "removable", removable);
        WriteFile(path / (name + "1") / "partition", "1\n");
        fs::create_directories(sys / "class/block");
        fs::create_directory_symlink(path, sys / ("class/block/" + name));
        fs::create_directory_symlink(path / (name + "1"), sys / ("class/block/" + name + "1"));
    };
    disk("ata1", "sda", "0\n");
    disk("ata2", "sdc", "1\n");
    disk("usb2/2-1", "sdd", "0\n");

    auto type = [&](const char* device, const char* mountPoint, const char* fsType) {
        return ClassifyMount({device, mountPoint, fsType}, sys.str());
    };
    EXPECT_EQ(type("/dev/sda1", "/data", "ext4"), DRIVE_FIXED);
    EXPECT_EQ(type("/dev/sdc1", "/mnt/stick", "vfat"), DRIVE_REMOVABLE) << "kernel flag";
    EXPECT_EQ(type("/dev/sdd1", "/mnt/disk", "ext4"), DRIVE_REMOVABLE) << "on a USB bus";
    EXPECT_EQ(type("/dev/sda", "/whole", "ext4"), DRIVE_FIXED);
    EXPECT_EQ(type("/dev/sda1", "/media/ann/Backup", "ext4"), DRIVE_REMOVABLE);
    EXPECT_EQ(type("/dev/sr0", "/mnt/cd", "auto"), DRIVE_CDROM);
    EXPECT_EQ(type("/dev/loop3", "/mnt/iso", "iso9660"), DRIVE_CDROM);
    EXPECT_EQ(type("server:/export", "/net", "nfs4"), DRIVE_REMOTE);
    EXPECT_EQ(type("//nas/movies", "/mnt/nas", "cifs"), DRIVE_REMOTE);
    EXPECT_EQ(type("tmpfs", "/dev/shm", "tmpfs"), DRIVE_RAMDISK);
    EXPECT_EQ(type("proc", "/proc", "proc"), std::nullopt);
    EXPECT_EQ(type("cgroup2", "/sys/fs/cgroup", "cgroup2"), std::nullopt);
    EXPECT_EQ(type("/dev/loop0", "/snap/core/1", "squashfs"), std::nullopt);
    EXPECT_EQ(type("gvfsd-fuse", "/run/user/1000/gvfs", "fuse.gvfsd-fuse"), std::nullopt);

    // The mask the movie page uses leaves fixed disks only.
    for (DriveType hidden : {DRIVE_REMOVABLE, DRIVE_REMOTE, DRIVE_CDROM, DRIVE_RAMDISK})
        EXPECT_FALSE(IsDriveTypeShown(hidden, 0x35)) << hidden;
    EXPECT_TRUE(IsDriveTypeShown(DRIVE_FIXED, 0x35));
    EXPECT_TRUE(IsDriveTypeShown(DRIVE_UNKNOWN, 0xFFFFFFFF)) << "no mask hides an unknown type";
}

TEST(MountTable, ListsTheRootFirstThenRealFoldersOnceEach) {
    TempDir dir("drives");
    fs::create_directories(dir / "b");
    fs::create_directories(dir / "a");
    WriteFile(dir / "hosts", "bound file");
    const std::string a = (dir / "a").string();
    const std::string b = (dir / "b").string();
    WriteFile(dir / "mounts", "proc /proc proc rw 0 0\n"
                              "/dev/vdb1 " +
                                  b +
                                  " ext4 rw 0 0\n"
                                  "/dev/vdc1 " +
                                  a +
                                  " xfs rw 0 0\n"
                                  "tmpfs " +
                                  a +
                                  " tmpfs rw 0 0\n"
                                  "/dev/vda1 " +
                                  (dir / "hosts").string() +
                                  " ext4 rw 0 0\n"
                                  "overlay / overlay rw 0 0\n");
    const auto drives = ListDrives((dir / "mounts").string(), (dir / "nosys").string());
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].root, "/");
    EXPECT_EQ(drives[0].type, DRIVE_FIXED) << "whatever file system the root has";
    EXPECT_EQ(drives[1].root, a);
    EXPECT_EQ(drives[1].type, DRIVE_RAMDISK) << "the mount on top counts";
    EXPECT_EQ(drives[2].root, b);

    const auto none = ListDrives((dir / "missing").string(), (dir / "nosys").string());
    ASSERT_EQ(none.size(), 1u) << "the root is there even without a mount table";
}

TEST(ShareList, ReadsDiskSharesAndPrintQueuesButNotAdministrativeShares) {
    const auto shares = ParseSmbConf("# comment\n"
                                     "[global]\n   workgroup = HOME\n   path = /srv/global\n"
                                     "[Movies]\n   Path = /srv/movies/\n"
                                     "[printers]\n   path = /var/spool/samba\n   printable = yes\n"
                                     "[homes]\n   path = /home\n"
                                     "[admin$]\n   path = /srv/admin\n"
                                     "[long]\n   path = /srv/\\\nlong name\n"
                                     "[off]\n   path = /srv/off\n   available = no\n"
                                     "[user]\n   path = /home/%U\n");
    ASSERT_EQ(shares.size(), 5u);
    EXPECT_EQ(shares[0].path, "/srv/movies");
    EXPECT_EQ(shares[1].type, ShareRecord::STYPE_PRINTQ);
    EXPECT_NE(shares[2].type & ShareRecord::STYPE_SPECIAL, 0u) << "[homes]";
    EXPECT_NE(shares[3].type & ShareRecord::STYPE_SPECIAL, 0u) << "a name ending in $";
    EXPECT_EQ(shares[4].path, "/srv/long name");

    TempDir dir("shares");
    WriteFile(dir / "smb.conf", "[Movies]\npath = /srv/movies\n[admin$]\npath = /srv/admin\n"
                                "[printers]\npath = /var/spool/samba\nprintable = yes\n");
    fs::create_directory(dir / "usershares");
    WriteFile(dir / "usershares" / "public",
              "#VERSION 2\npath=/home/ann/Public\ncomment=\nusershare_acl=S-1-1-0:R\n"
              "guest_ok=y\nsharename=Public\n");
    WriteFile(dir / "usershares" / "broken", "sharename=nothing\n");
    CShareList list((dir / "smb.conf").string(), (dir / "usershares").string());
    EXPECT_TRUE(list.IsPathShared("/srv/movies"));
    EXPECT_TRUE(list.IsPathShared("/srv/movies/"));
    EXPECT_TRUE(list.IsPathShared("/home/ann/Public"));
    EXPECT_TRUE(list.IsPathShared("/var/spool/samba"));
    EXPECT_FALSE(list.IsPathShared("/srv/admin")) << "administrative shares never count";
    EXPECT_FALSE(list.IsPathShared("/srv/Movies")) << "file names keep their letter case";
    EXPECT_FALSE(list.IsPathShared("/srv"));

    fs::remove(dir / "usershares" / "public");
    list.RefreshShares();
    EXPECT_FALSE(list.IsPathShared("/home/ann/Public"));
    CShareList nothing((dir / "none.conf").string(), (dir / "none").string());
    EXPECT_TRUE(nothing.Shares().empty());
}

TEST(ShareMounts, FindsWhereAShareIsMountedIgnoringLetterCase) {
    TempDir dir("share mounts");
    WriteFile(dir / "mounts", "//nas/Movies /mnt/old cifs rw 0 0\n"
                              "//NAS/movies/ /mnt/movies cifs rw 0 0\n"
                              "//nas/music /mnt/music ext4 rw 0 0\n");
    const std::string mounts = (dir / "mounts").string();
    EXPECT_EQ(FindShareMountPoint("//nas/movies", mounts), "/mnt/movies");
    EXPECT_EQ(FindShareMountPoint("//nas/music", mounts), "") << "only SMB mounts";
    EXPECT_EQ(FindShareMountPoint("//other/movies", mounts), "");
}

} // namespace
} // namespace kinovex
