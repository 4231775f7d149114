#include "desktop/browser/CMovieListCtrl.h"

#include "TempDir.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

QStringList Titles(const CMovieListCtrl& list) {
    QStringList titles;
    for (int i = 0; i < list.count(); ++i)
        titles << list.item(i)->text();
    return titles;
}

QString Folder(const TempDir& dir) {
    return QString::fromStdString(dir.str()) + "/";
}

TEST(MovieList, ListsMovieFilesInAnyLetterCaseAndNothingElse) {
    TempDir dir("movie list");
    WriteFile(dir / "Intro.SWF", "FWS");
    WriteFile(dir / "clip.swf.bak", "FWS");
    WriteFile(dir / "readme.txt", "text");
    WriteFile(dir / "noextension", "FWS");
    WriteFile(dir / ".swf", "FWS");
    WriteFile(dir / ".hidden movie.swf", "FWS");
    fs::create_directory(dir / "folder.swf");
    fs::create_directory(dir / "sub");
    WriteFile(dir / "sub" / "inner.swf", "FWS");
    fs::create_directory_symlink(dir / "sub", dir / "link.swf");
    fs::create_symlink(dir / "Intro.SWF", dir / "alias.swf");

    CMovieListCtrl list;
    list.FillFromFolder(Folder(dir));

    QStringList titles = Titles(list);
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"", ".hidden movie", "Intro", "alias"}))
        << "sub-folders never, not even when named like a movie; a lone .swf has no title";
    for (int i = 0; i < list.count(); ++i)
        EXPECT_FALSE(list.item(i)->icon().isNull()) << list.item(i)->text().toStdString();
}

TEST(MovieList, ShowsTheTitlesInNaturalOrderAndIsClearedFirst) {
    TempDir dir("movie order");
    for (const char* name : {"intro 10.swf", "Intro 2.swf", "Intro 2.SWF", "bouncing ball.swf",
                             "Bouncing Ball 3.swf", "Intro.swf", "intro 011.swf", "_old.swf"})
        WriteFile(dir / name, "FWS");
    const QStringList expected = {"_old",    "bouncing ball", "Bouncing Ball 3", "Intro",
                                  "Intro 2", "Intro 2",       "intro 10",        "intro 011"};

    CMovieListCtrl list;
    list.FillFromFolder(Folder(dir));
    EXPECT_EQ(Titles(list), expected);

    list.FillFromFolder(Folder(dir));
    EXPECT_EQ(Titles(list), expected) << "one copy of each after a second fill";

    list.FillFromFolder(QString::fromStdString(dir.str())); // without the separator
    EXPECT_EQ(Titles(list), expected);

    list.FillFromFolder(Folder(dir) + "missing/");
    EXPECT_EQ(list.count(), 0) << "a folder that does not exist leaves the list empty";
}

TEST(MovieList, ReportsBothItemsWhenTheSelectionMovesAndDoubleClicks) {
    TempDir dir("movie selection");
    WriteFile(dir / "one.swf", "FWS");
    WriteFile(dir / "two.swf", "FWS");
    CMovieListCtrl list;
    list.resize(400, 300);
    list.FillFromFolder(Folder(dir));
    list.show();
    QSignalSpy changed(&list, &CMovieListCtrl::ItemChanged);
    QSignalSpy doubleClicked(&list, &CMovieListCtrl::DblClk);

    list.setCurrentRow(0);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.takeFirst().at(0).toInt(), 0);
    list.setCurrentRow(1);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 0) << "the old item first";
    EXPECT_EQ(changed.at(1).at(0).toInt(), 1) << "then the new one, which decides the preview";

    const QPoint onItem = list.visualItemRect(list.item(1)).center();
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, onItem);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(395, 295));
    ASSERT_EQ(doubleClicked.count(), 2);
    EXPECT_EQ(doubleClicked.at(0).at(0).toInt(), 1);
    EXPECT_EQ(doubleClicked.at(1).at(0).toInt(), -1);
}

} // namespace
} // namespace kinovex
