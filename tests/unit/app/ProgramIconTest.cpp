#include "desktop/app/ProgramIcon.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

struct IconCase {
    const char* name;
    bool themeHasIcon;       // a hicolor theme with a 48x48 kinovex.png
    bool programFolderIcons; // the build's res/icons/ copied into the program folder
    std::vector<int> sizes;  // the icon's sizes; none for a null icon
};

// Test listings show the case's name rather than its bytes.
void PrintTo(const IconCase& c, std::ostream* out) {
    *out << c.name;
}

class ProgramIconSource : public ::testing::TestWithParam<IconCase> {
protected:
    void SetUp() override {
        m_oldPaths = QIcon::themeSearchPaths();
        m_oldTheme = QIcon::themeName();
    }
    void TearDown() override {
        QIcon::setThemeSearchPaths(m_oldPaths);
        QIcon::setThemeName(m_oldTheme);
    }

    QStringList m_oldPaths;
    QString m_oldTheme;
};

TEST_P(ProgramIconSource, TakesTheThemeIconElseTheProgramFolders) {
    const IconCase& c = GetParam();
    TempDir root("kinovex icon");
    const fs::path theme = root / "icons";
    fs::create_directories(theme / "hicolor/48x48/apps");
    WriteFile(theme / "hicolor" / "index.theme",
              "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\n");
    if (c.themeHasIcon) {
        fs::copy_file(fs::path(KINOVEX_PROGRAM_DIR) / "res/icons/kinovex-48.png",
                      theme / "hicolor/48x48/apps/kinovex.png");
    }
    const fs::path program = root / "program";
    fs::create_directories(program / "res/icons");
    if (c.programFolderIcons)
        fs::copy(fs::path(KINOVEX_PROGRAM_DIR) / "res/icons", program / "res/icons");
    QIcon::setThemeSearchPaths({QString::fromStdString(theme.string())});
    QIcon::setThemeName(QStringLiteral("hicolor"));

    const QIcon icon = ProgramIcon(QString::fromStdString(program.string()));

    std::vector<int> sizes;
    for (const QSize& size : icon.availableSizes()) {
        EXPECT_EQ(size.width(), size.height());
        sizes.push_back(size.width());
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, c.sizes);
    EXPECT_EQ(icon.isNull(), c.sizes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ProgramIconSource,
    ::testing::Values(IconCase{"ThemeWins", true, true, {48}},
                      IconCase{
                          "ProgramFolderWithoutTheme", false, true, {16, 24, 32, 48, 64, 128, 256}},
                      IconCase{"Neither", false, false, {}}),
    [](const ::testing::TestParamInfo<IconCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace kinovex
