#include "core/record/RecordingRun.h"
#include "desktop/moviepage/CMoviePage.h"
#include "desktop/moviepage/CPlayerWidget.h"
#include "desktop/widgets/CSettingsDlg.h"

#include "FakeRecordingServices.h"
#include "NotedDialogs.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

// Every page here plays the real introductory movie from the built program folder.
class MoviePage : public ::testing::Test {
protected:
    ScopedEnv m_programFolder{"KINOVEX_PROGRAM_FOLDER", KINOVEX_PROGRAM_DIR};
    test::FakeRecording m_fake = test::MakeFakeRecording();
    RecordingRun m_run{m_fake.Services()};
    test::NotedDialogs m_dialogs;
    TempDir m_temp{"movie page temp"};
};

// The page's three information lines, as last sent.
struct InfoLines {
    explicit InfoLines(CMoviePage& page) {
        QObject::connect(&page, &CMoviePage::InfoText,
                         [this](const QString& a, const QString& b, const QString& c) {
                             lines = {a, b, c};
                             ++count;
                         });
    }
    QStringList lines;
    int count = 0;
};

void SaveMovie(const fs::path& path, double width, double height, double fps, int frames) {
    swf::SwfWriter movie(width, height, fps);
    for (int i = 0; i < frames; ++i)
        movie.showFrame();
    movie.save(path, swf::Compression::Zlib);
}

QString Folder(const TempDir& dir) {
    return QString::fromStdString(dir.str()) + "/";
}

TEST_F(MoviePage, LaysOutThreePanelsAroundTheVisibleArea) {
    CMoviePage page(m_run, m_dialogs, m_temp.str());
    page.OnInitDialog();
    ASSERT_NE(page.m_pHeadWnd, nullptr);
    EXPECT_TRUE(page.m_pHeadWnd->IsLoaded());
    page.m_nMovieWidth = 550;
    page.m_nMovieHeight = 400;
    page.move(0, 0);

    page.LayoutPanels(800, 500);

    EXPECT_EQ(page.size(), QSize(2400, 500));
    const QRect settings = page.m_pSettingsDlg->geometry();
    EXPECT_EQ(settings.x() + settings.width() / 2, 2000);
    EXPECT_EQ(settings.y() + settings.height() / 2, 250);
    EXPECT_EQ(page.m_pHeadWnd->geometry(), QRect(925, 50, 550, 400));

    const int tree = page.m_wndFolderTree.width();
    EXPECT_EQ(page.m_wndFolderTree.geometry(), QRect(0, 0, tree, 500));
    EXPECT_EQ(page.m_wndFileList.geometry(), QRect(tree + 3, 0, 800 - tree - 3, 500));
    EXPECT_EQ(page.m_wndSplitter.geometry(), QRect(tree, 1, 3, 498));

    // A smaller window keeps the tree's width and everything centred in its panel.
    page.LayoutPanels(701, 401);
    EXPECT_EQ(page.size(), QSize(2103, 401));
    EXPECT_EQ(page.m_pHeadWnd->geometry(), QRect(3 * 701 / 2 - 275, 401 / 2 - 200, 550, 400));
    EXPECT_EQ(page.m_wndFolderTree.width(), tree);
    EXPECT_EQ(page.m_wndFileList.geometry(), QRect(tree + 3, 0, 701 - tree - 3, 401));
}

TEST_F(MoviePage, SplitterDropMovesTreeAndListWithinLimits) {
    CMoviePage page(m_run, m_dialogs, m_temp.str());
    page.move(40, 30);
    page.LayoutPanels(800, 500);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    // The splitter gives the drop point in screen coordinates; the page lays out once the
    // splitter's release has been handled.
    auto drop = [&](int clientX) {
        const int before = page.m_wndFolderTree.width();
        emit page.m_wndSplitter.moved(page.mapToGlobal(QPoint(clientX, 77)));
        EXPECT_EQ(page.m_wndFolderTree.width(), before);
        QCoreApplication::sendPostedEvents(&page);
        return page.m_wndFolderTree.width();
    };
    auto expectLayout = [&](int tree) {
        EXPECT_EQ(page.m_wndFolderTree.geometry(), QRect(0, 0, tree, page.height()));
        EXPECT_EQ(page.m_wndFileList.geometry(),
                  QRect(tree + 3, 0, page.width() / 3 - tree - 3, page.height()));
        EXPECT_EQ(page.m_wndSplitter.geometry(), QRect(tree, 1, 3, page.height() - 2));
    };

    EXPECT_EQ(drop(350), 350);
    expectLayout(350);
    EXPECT_EQ(drop(-1000), 200); // far left: the tree keeps 200 pixels
    expectLayout(200);
    EXPECT_EQ(drop(5000), 600); // far right: a third of 2400 less 200
    expectLayout(600);

    // Too narrow for both minimums: the right limit wins, even below 200.
    page.LayoutPanels(300, 200);
    EXPECT_EQ(drop(250), 100);
    expectLayout(100);
}

TEST_F(MoviePage, PreviewShowsTheHeaderOfTheLastChangedItem) {
    TempDir dir("moviepage preview");
    SaveMovie(dir / "Cartoon.swf", 550, 400, 12.5, 3);
    SaveMovie(dir / "Shouting.SWF", 320, 240, 30, 7);
    test::WriteFile(dir / "short.swf", "FWS\x06");
    test::WriteFile(dir / "text.swf", std::string(64, 'x'));

    CMoviePage page(m_run, m_dialogs, m_temp.str());
    InfoLines info(page);
    page.m_strMovieFolder = Folder(dir);
    page.m_wndFileList.FillFromFolder(page.m_strMovieFolder);
    ASSERT_EQ(page.m_wndFileList.count(), 4);
    auto row = [&](const QString& title) {
        return page.m_wndFileList.row(
            page.m_wndFileList.findItems(title, Qt::MatchExactly).value(0));
    };

    page.m_wndFileList.setCurrentRow(row("Cartoon"));
    EXPECT_EQ(page.m_strMovieName, "Cartoon");
    EXPECT_EQ(info.lines, QStringList({"Frame: 3", "FPS:    12.50", "Size:    550x400"}));
    EXPECT_EQ(page.m_nMovieWidth, 550);
    EXPECT_EQ(page.m_nMovieHeight, 400);

    // Moving on reports the old item, then the new one: the new one is what shows. Its
    // extension is in capitals, which must not hide the file.
    info.count = 0;
    page.m_wndFileList.setCurrentRow(row("Shouting"));
    EXPECT_EQ(info.count, 2);
    EXPECT_EQ(page.m_strMovieName, "Shouting");
    EXPECT_EQ(info.lines, QStringList({"Frame: 7", "FPS:    30.00", "Size:    320x240"}));

    // A file too short for a header, or one that is no movie at all, shows zeros and leaves
    // the player window its last size.
    for (const char* name : {"short", "text"}) {
        page.m_wndFileList.setCurrentRow(row(name));
        EXPECT_EQ(info.lines, QStringList({"Frame: 0", "FPS:    0.00", "Size:    0x0"})) << name;
        EXPECT_EQ(page.m_nMovieWidth, 320);
        EXPECT_EQ(page.m_nMovieHeight, 240);
    }

    page.OnListItemChanged(-1);
    EXPECT_EQ(info.lines, QStringList({"", "", ""}));
}

TEST_F(MoviePage, TreeSelectionRefillsTheListAndClearsThePreview) {
    TempDir dir("moviepage tree");
    SaveMovie(dir / "One.swf", 100, 100, 10, 1);
    SaveMovie(dir / "Two.swf", 100, 100, 10, 1);

    CMoviePage page(m_run, m_dialogs, m_temp.str());
    InfoLines info(page);
    page.m_strMovieFolder = Folder(dir);
    page.OnInitDialog();
    EXPECT_EQ(page.m_strMovieFolder, Folder(dir));
    EXPECT_EQ(page.m_wndFileList.count(), 2);

    page.m_wndFileList.setCurrentRow(0);
    EXPECT_FALSE(page.m_strMovieName.isEmpty());

    // A node without a folder: the list and the information empty out.
    page.m_wndFolderTree.clearSelection();
    page.m_wndFolderTree.setCurrentItem(nullptr);
    page.OnTreeSelChanged();
    EXPECT_EQ(page.m_strMovieFolder, "/");
    EXPECT_EQ(page.m_wndFileList.count(), 0);
    EXPECT_TRUE(page.m_strMovieName.isEmpty());
    EXPECT_EQ(info.lines, QStringList({"", "", ""}));

    // A saved folder that is gone is kept as it was, for when it comes back.
    CMoviePage unplugged(m_run, m_dialogs, m_temp.str());
    unplugged.m_strMovieFolder = Folder(dir) + "Unplugged/Cartoons";
    unplugged.OnInitDialog();
    EXPECT_EQ(unplugged.m_strMovieFolder, Folder(dir) + "Unplugged/Cartoons");
    EXPECT_EQ(unplugged.m_wndFileList.count(), 0);

    // Choosing the folder in the tree fills the list again.
    ASSERT_NE(page.m_wndFolderTree.SelectFolder(Folder(dir), false), nullptr);
    EXPECT_EQ(page.m_strMovieFolder, Folder(dir));
    EXPECT_EQ(page.m_wndFileList.count(), 2);
}

TEST_F(MoviePage, DoubleClickOnAMoviePlaysIt) {
    CMoviePage page(m_run, m_dialogs, m_temp.str());
    QSignalSpy play(&page, &CMoviePage::Play);
    emit page.m_wndFileList.DblClk(-1);
    EXPECT_EQ(play.count(), 0);
    emit page.m_wndFileList.DblClk(0);
    EXPECT_EQ(play.count(), 1);
}

TEST_F(MoviePage, PaintsThePatternRightOfTheBrowser) {
    CMoviePage page(m_run, m_dialogs, m_temp.str());
    page.OnInitDialog();
    page.LayoutPanels(1000, 700);
    EXPECT_EQ(page.m_nHeadState, CMoviePage::HeadNotPainted);
    const QImage shot = page.grab().toImage();
    EXPECT_EQ(page.m_nHeadState, CMoviePage::HeadShown);

    const QImage tile = page.m_brBackground.texture().toImage();
    ASSERT_FALSE(tile.isNull());
    // Settings and player cover the middle of panels 1 and 2; the corners show the pattern.
    for (const QPoint p : {QPoint(1000, 0), QPoint(1999, 699), QPoint(2999, 0)})
        EXPECT_EQ(shot.pixel(p), tile.pixel(p.x() % tile.width(), p.y() % tile.height())) << p.x();
}

} // namespace
} // namespace kinovex
