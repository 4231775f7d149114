// Pictures of the movie page's three panels for the docs, taken from a real X display
// (scripts/screenshots.sh).

#include "core/record/RecordingRun.h"
#include "desktop/moviepage/CMoviePage.h"
#include "desktop/moviepage/CPlayerWidget.h"
#include "desktop/widgets/CSettingsDlg.h"

#include "FakeRecordingServices.h"
#include "NotedDialogs.h"
#include "ScreenshotHome.h"
#include "Screenshots.h"
#include "TempDir.h"

#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace kinovex {
namespace {

TEST(Screenshot, MoviePagePanels) {
    const QString folder = test::ScreenshotFolder();
    ASSERT_FALSE(folder.isEmpty()) << "set KINOVEX_SCREENSHOTS and run on an X display";
    test::ScopedEnv programFolder("KINOVEX_PROGRAM_FOLDER", KINOVEX_PROGRAM_DIR);

    const test::ScreenshotHome home;
    test::TempDir temp("screens temp");

    const test::FakeRecording fake = test::MakeFakeRecording();
    RecordingRun run(fake.Services()); // outlives the page
    test::NotedDialogs dialogs;
    QWidget window; // the main window's visible area
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setGeometry(0, 0, 800, 500);
    auto* page = new CMoviePage(run, dialogs, temp.str(), &window);
    home.Apply(page->m_wndFolderTree);
    page->m_strMovieFolder = home.MovieFolder();
    page->m_pSettingsDlg->outputFolder = QStringLiteral("/home/ann/Documents/Tessaline");
    page->OnInitDialog();
    page->m_wndFolderTree.expandItem(page->m_wndFolderTree.MyComputerNode());
    page->move(0, 0);
    page->LayoutPanels(800, 500);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    if (page->m_wndFileList.count() > 0)
        page->m_wndFileList.setCurrentRow(0);
    page->LayoutPanels(800, 500);

    const char* names[] = {"movie-page-browser.png", "movie-page-player.png",
                           "movie-page-settings.png"};
    for (int panel = 0; panel < 3; ++panel) {
        page->move(-800 * panel, 0);
        if (panel == 1) { // let the introductory movie run a little
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return page->m_pHeadWnd->Player().currentFrame() >= 20; }, 20000));
        }
        QCoreApplication::processEvents();
        window.repaint();
        QCoreApplication::processEvents();
        EXPECT_TRUE(test::CaptureScreenArea(window, folder + "/" + names[panel])) << names[panel];
    }
}

} // namespace
} // namespace kinovex
