// The road of a user who installed the package rather than built the program: the package made
// from this build, unpacked into a scratch root; a user who is not root starts the program from
// its menu entry with a movie, records it with the mouse and gets the converted file. The
// steps outside this process are in installed_road.sh; here are the movie and the checks.

#include "ShapesAndTone.h"
#include "TempDir.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<fs::path> FilesWithExtension(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == extension)
            found.push_back(it->path());
    return found;
}

TEST(InstalledRoad, AUserWhoIsNotRootRecordsAMovieFromTheMenuEntry) {
#ifdef KINOVEX_SANITIZED
    GTEST_SKIP() << "the package holds the program as it ships, not a sanitizer build";
#endif
    for (const char* tool : {"dpkg-deb", "xdotool", "setpriv", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            if (std::getenv("CI") != nullptr)
                FAIL() << tool << " is missing (scripts/install-deps.sh installs it)";
            GTEST_SKIP() << tool << " is missing";
        }
    }
    TempDir work("installed road");
    const fs::path movie = work / "Shapes.swf";
    test::WriteShapesAndToneMovie(movie);

    QProcess road;
    road.setProcessChannelMode(QProcess::MergedChannels);
    road.start(QStringLiteral("bash"),
               {QStringLiteral(KINOVEX_SOURCE_DIR "/tests/integration/desktop/installed_road.sh"),
                QStringLiteral(KINOVEX_SOURCE_DIR),
                QString::fromStdString(fs::path(KINOVEX_PROGRAM_DIR).parent_path().string()),
                QString::fromStdString(movie.string()), QString::fromStdString(work.str())});
    ASSERT_TRUE(road.waitForFinished(240000)) << "the road did not end in four minutes";
    const QByteArray log = road.readAll();
    if (road.exitCode() != 0) {
        // The pictures of the screen outlive the scratch folder, for whoever looks into it.
        const fs::path kept = fs::current_path() / "installed-road-screens";
        std::error_code error;
        fs::remove_all(kept, error);
        fs::copy(work / "home/screens", kept, fs::copy_options::recursive, error);
        FAIL() << log.toStdString() << "(pictures of the screen: " << kept.string() << ")";
    }

    const fs::path home = work / "home";
    // The program folder belongs to root, so the temporary files went to the user's cache, and
    // went away with the program.
    EXPECT_FALSE(fs::exists(work / "root/usr/lib/kinovex/Temp"));
    EXPECT_TRUE(fs::exists(home / ".cache/kinovex"));
    EXPECT_FALSE(fs::exists(home / ".cache/kinovex/Temp")) << log.toStdString();

    const std::vector<fs::path> outputs = FilesWithExtension(home / "Documents/Tessaline", ".mp4");
    ASSERT_EQ(outputs.size(), 1u) << log.toStdString();
    EXPECT_EQ(outputs.front().filename().string().rfind("Shapes(", 0), 0u);
    test::ExpectShapesAndTone(QString::fromStdString(outputs.front().string()));
}

} // namespace
} // namespace kinovex
