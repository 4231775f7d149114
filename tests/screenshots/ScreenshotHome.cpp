#include "ScreenshotHome.h"

#include "desktop/browser/CTreeFileCtrl.h"

#include <utility>

namespace kinovex::test {

namespace fs = std::filesystem;

namespace {

// The sample movies the build makes, and the names they have in the pictures.
const std::pair<const char*, const char*> kMovies[] = {
    {"bouncing-ball", "Bouncing Ball"}, {"title-text-compressed", "Intro 2"},
    {"bitmaps-lzma", "Intro 10"},       {"morphing-shape", "Morphing Shape"},
    {"windmills", "Windmills"},
};

} // namespace

ScreenshotHome::ScreenshotHome()
    : m_root("screens"), m_home(m_root / "home/ann"), m_homeEnv("HOME", m_home.string()),
      m_documentsEnv("KINOVEX_DOCUMENTS", (m_home / "Documents").string()) {
    const fs::path movies = m_home / "Documents/Flash Movies";
    for (const char* folder : {"Cartoons", "Games", "Greeting Cards", "Intros"})
        fs::create_directories(movies / folder);
    for (const char* folder : {"Letters", "Tessaline", "Projects/Website"})
        fs::create_directories(m_home / "Documents" / folder);
    const fs::path samples = fs::path(KINOVEX_PROGRAM_DIR) / "samples";
    for (const auto& [sample, name] : kMovies)
        fs::copy_file(samples / (std::string(sample) + ".swf"),
                      movies / "Cartoons" / (std::string(name) + ".swf"));
    for (const char* folder : {"media/ann/USB STICK/Holiday", "media/ann/USB STICK/Party"})
        fs::create_directories(m_root / folder);
}

QString ScreenshotHome::MovieFolder() const {
    return QString::fromStdString((m_home / "Documents/Flash Movies/Cartoons").string()) + "/";
}

std::vector<DriveInfo> ScreenshotHome::Drives() const {
    return {{"/", DRIVE_FIXED, {}, "ext4"}};
}

std::vector<UserMount> ScreenshotHome::Mounts() const {
    const MountPlaces places{"ann", 1000, (m_root / "run/user/1000").string(), m_root.str()};
    return ListUserMounts(UserMountRoots(places));
}

void ScreenshotHome::Apply(CTreeFileCtrl& tree) const {
    tree.SetDriveLister([this] { return Drives(); });
    tree.SetMountLister([this] { return Mounts(); });
}

} // namespace kinovex::test
