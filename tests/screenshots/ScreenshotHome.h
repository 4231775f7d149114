// The made-up home that the pictures of the docs show: no folder of the machine that takes
// them appears in a picture.
#pragma once

#include "desktop/browser/UserMounts.h"
#include "platform/Drives.h"

#include "TempDir.h"

#include <QString>

#include <filesystem>
#include <vector>

namespace kinovex {

class CTreeFileCtrl;

namespace test {

// A scratch home with Documents/Flash Movies/Cartoons holding the sample movies under names
// like real ones, and a USB stick under the scratch media folder. While it lives, $HOME and
// the documents folder are the scratch ones.
class ScreenshotHome {
public:
    ScreenshotHome();

    // The folder of the movies, ending in a separator, as the page's LastPath.
    QString MovieFolder() const;
    // Computer shows "/" and the stick; nothing of the machine's other disks.
    std::vector<DriveInfo> Drives() const;
    std::vector<UserMount> Mounts() const;
    // Gives the tree the drives and mounts above.
    void Apply(CTreeFileCtrl& tree) const;

private:
    TempDir m_root;
    std::filesystem::path m_home;
    ScopedEnv m_homeEnv;
    ScopedEnv m_documentsEnv;
};

} // namespace test
} // namespace kinovex
