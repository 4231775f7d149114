// Pictures of the browser panel for the docs, taken from a real X display
// (scripts/screenshots.sh).

#include "desktop/browser/CMovieListCtrl.h"
#include "desktop/browser/CSplitterBar.h"
#include "desktop/browser/CTreeFileCtrl.h"

#include "Screenshots.h"
#include "TempDir.h"

#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

TEST(Screenshot, BrowserPanel) {
    const QString folder = test::ScreenshotFolder();
    ASSERT_FALSE(folder.isEmpty()) << "set KINOVEX_SCREENSHOTS and run on an X display";

    TempDir root("screens");
    const fs::path documents = root / "Documents";
    for (const char* sub : {"Flash Movies/Cartoons", "Flash Movies/Games", "Flash Movies/Intros",
                            "Flash Movies/Greeting cards", "Letters", "Projects/Website"})
        fs::create_directories(documents / sub);
    for (const char* movie : {"Space Race", "Ping Pong", "Birthday Card", "Snowman",
                              "Bouncing Logo", "Paper Plane", "Night Train", "Robot Dance"})
        WriteFile(documents / "Flash Movies" / "Cartoons" / (std::string(movie) + ".swf"), "FWS");
    ScopedEnv documentsEnv("KINOVEX_DOCUMENTS", documents.string());

    QWidget panel;
    panel.setWindowFlag(Qt::FramelessWindowHint);
    panel.setGeometry(0, 0, 800, 500);
    auto* tree = new CTreeFileCtrl(&panel);
    auto* splitter = new CSplitterBar(&panel);
    auto* list = new CMovieListCtrl(&panel);
    const int treeWidth = 240;
    tree->setGeometry(0, 0, treeWidth, 500);
    splitter->setGeometry(treeWidth, 1, 3, 498);
    list->setGeometry(treeWidth + 3, 0, 800 - treeWidth - 3, 500);
    tree->SetNetworkSource(nullptr);
    tree->InitTree();
    tree->SetHiddenDriveTypes(0x35);
    tree->SetOperationFlags(0);
    const QString cartoons = QString::fromStdString((documents / "Flash Movies/Cartoons").string());
    ASSERT_NE(tree->SelectFolder(cartoons, false), nullptr);
    tree->expandItem(tree->MyComputerNode());
    list->FillFromFolder(cartoons + "/");
    list->setCurrentRow(2);

    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QCoreApplication::processEvents();

    EXPECT_TRUE(test::CaptureScreenArea(panel, folder + "/browser-panel.png"));
}

} // namespace
} // namespace kinovex
