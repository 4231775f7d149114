// Pictures of the browser panel for the docs, taken from a real X display
// (scripts/screenshots.sh).

#include "desktop/browser/CMovieListCtrl.h"
#include "desktop/browser/CSplitterBar.h"
#include "desktop/browser/CTreeFileCtrl.h"

#include "ScreenshotHome.h"
#include "Screenshots.h"

#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace kinovex {
namespace {

TEST(Screenshot, BrowserPanel) {
    const QString folder = test::ScreenshotFolder();
    ASSERT_FALSE(folder.isEmpty()) << "set KINOVEX_SCREENSHOTS and run on an X display";

    const test::ScreenshotHome home;

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
    home.Apply(*tree);
    tree->InitTree();
    tree->SetHiddenDriveTypes(0x35);
    tree->SetOperationFlags(0);
    ASSERT_NE(tree->SelectFolder(home.MovieFolder(), false), nullptr);
    tree->expandItem(tree->MyComputerNode());
    list->FillFromFolder(home.MovieFolder());
    list->setCurrentRow(2);

    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QCoreApplication::processEvents();

    EXPECT_TRUE(test::CaptureScreenArea(panel, folder + "/browser-panel.png"));
}

} // namespace
} // namespace kinovex
