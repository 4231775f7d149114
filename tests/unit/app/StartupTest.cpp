#include "desktop/app/CConverterApp.h"
#include "desktop/mainwindow/CMainDlg.h"
#include "desktop/moviepage/CMoviePage.h"
#include "desktop/widgets/CSettingsDlg.h"

#include "NotedDialogs.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

struct SeenInWindow {
    QString movieFolder;
    int profileIndex = -99;
    QString outputFolder;
    fs::path currentDirectory;
    // The browser and the information lines.
    QString treeFolder;
    QStringList listSelection;
    QString info;
    int panel = -1;
};

// Runs the whole start-up against folders of the test's own, closing the main window as soon
// as it runs (after `whileOpen` has looked at or changed it).
class Startup : public ::testing::Test {
protected:
    TempDir m_root;

    explicit Startup(const std::string& programFolderName = "program")
        : m_root("kinovex startup"), m_programFolder(m_root / programFolderName),
          m_documents(m_root / "documents"), m_settingsFile(m_root / "config" / "kinovex.conf") {
        fs::create_directories(m_programFolder);
        m_dialogs->onBox = [this](const QString& text, const QString&) { m_boxes << text; };
    }
    ~Startup() override { fs::current_path(m_oldCurrent); }

    void InstallEncoder() { WriteFile(m_programFolder / "ffmpeg", "#!/bin/sh\n"); }

    std::optional<SeenInWindow> Run(std::function<void(CMainDlg&)> whileOpen = {}) {
        ScopedEnv program("KINOVEX_PROGRAM_FOLDER", m_programFolder.string());
        ScopedEnv documents("KINOVEX_DOCUMENTS", m_documents.string());
        ScopedEnv settings("KINOVEX_SETTINGS", m_settingsFile.string());
        std::optional<SeenInWindow> seen;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<CMainDlg*>(QApplication::activeModalWidget());
            if (window == nullptr)
                return;
            CMoviePage& page = *window->m_pPage;
            QStringList selection;
            for (const QListWidgetItem* item : page.m_wndFileList.selectedItems())
                selection << item->text();
            seen = SeenInWindow{page.m_strMovieFolder,
                                page.m_pSettingsDlg->profileIndex,
                                page.m_pSettingsDlg->outputFolder,
                                fs::current_path(),
                                page.m_wndFolderTree.GetSelectedFolder(),
                                selection,
                                window->m_strInfo1 + " | " + window->m_strInfo2 + " | " +
                                    window->m_strInfo3,
                                window->m_nPanel};
            QApplication::processEvents(); // what the window does once it is up
            if (whileOpen)
                whileOpen(*window);
            window->close(); // as the window's Close button does; Escape is inert
        });
        CConverterApp app(DesktopMainWindowServices(m_dialogs));
        app.m_strStartMovie = m_startMovie;
        EXPECT_FALSE(app.InitInstance());
        QApplication::processEvents(); // let a timer that found no window go by
        return seen;
    }

    QSettings Stored() const {
        return QSettings(QString::fromStdString(m_settingsFile.string()), QSettings::IniFormat);
    }

    QString m_startMovie; // the command line's movie
    fs::path m_programFolder;
    fs::path m_documents;
    fs::path m_settingsFile;
    QStringList m_boxes;
    std::shared_ptr<test::NotedDialogs> m_dialogs = std::make_shared<test::NotedDialogs>();
    fs::path m_oldCurrent = fs::current_path();
};

TEST_F(Startup, MissingEncoderSaysFileBrokenAndTouchesNothing) {
    fs::create_directories(m_settingsFile.parent_path());
    const std::string storedBefore = "[Moviqa]\nLastPath=/srv/movies\nProfile=0\n";
    WriteFile(m_settingsFile, storedBefore);

    EXPECT_FALSE(Run().has_value()) << "no window may open without the encoder";

    EXPECT_EQ(m_boxes, QStringList{QStringLiteral("File broken.")});
    EXPECT_FALSE(fs::exists(m_programFolder / "Temp"));
    EXPECT_FALSE(fs::exists(m_documents));
    EXPECT_EQ(ReadFile(m_settingsFile), storedBefore);
}

TEST_F(Startup, FirstStartShowsTheDefaultsAndStoresAllThree) {
    InstallEncoder();
    const auto seen = Run();
    ASSERT_TRUE(seen.has_value());
    const QString output = QString::fromStdString(m_documents.string()) + "/Tessaline";
    EXPECT_EQ(seen->movieFolder, "/");
    EXPECT_EQ(seen->profileIndex, 0);
    EXPECT_EQ(seen->outputFolder, output);
    EXPECT_TRUE(fs::is_directory(m_documents / "Tessaline")) << "the data folder is created";
    EXPECT_TRUE(m_boxes.isEmpty());

    QSettings stored = Stored();
    stored.beginGroup("Moviqa");
    EXPECT_EQ(stored.value("LastPath").toString(), "/");
    EXPECT_EQ(stored.value("Profile").toString(), "0");
    EXPECT_EQ(stored.value("Output").toString(), output);
}

TEST_F(Startup, StoredValuesReachThePagesAndChangesAreWrittenBack) {
    InstallEncoder();
    fs::create_directories(m_settingsFile.parent_path());
    WriteFile(m_settingsFile, "[Moviqa]\nLastPath=/srv/movies\nProfile=-1\nOutput=/mnt/out\n");

    const auto seen = Run([](CMainDlg& window) {
        window.m_pPage->m_strMovieFolder = "/home/ann/Cartoons";
        window.m_pPage->m_pSettingsDlg->outputFolder = "/media/player";
    });
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->movieFolder, "/srv/movies");
    EXPECT_EQ(seen->profileIndex, -1);
    EXPECT_EQ(seen->outputFolder, "/mnt/out");

    QSettings stored = Stored();
    stored.beginGroup("Moviqa");
    EXPECT_EQ(stored.value("LastPath").toString(), "/home/ann/Cartoons");
    EXPECT_EQ(stored.value("Profile").toInt(), -1);
    EXPECT_EQ(stored.value("Output").toString(), "/media/player");
}

TEST_F(Startup, LeftoverTemporaryFilesGoAtTheNextExitButSubfoldersStay) {
    InstallEncoder();
    const fs::path temp = m_programFolder / "Temp";
    fs::create_directories(temp / "keep");
    WriteFile(temp / "crashed.avi", "RIFF");
    WriteFile(temp / "crashed.wav", "RIFF");
    WriteFile(temp / "keep" / "inner.txt", "x");

    ASSERT_TRUE(Run().has_value());
    EXPECT_FALSE(fs::exists(temp / "crashed.avi"));
    EXPECT_FALSE(fs::exists(temp / "crashed.wav"));
    EXPECT_TRUE(fs::exists(temp / "keep" / "inner.txt"));

    fs::remove_all(temp / "keep");
    WriteFile(temp / "again.avi", "RIFF");
    ASSERT_TRUE(Run().has_value());
    EXPECT_FALSE(fs::exists(temp)) << "an empty temporary folder is removed";
}

TEST_F(Startup, AProgramFolderThatCannotBeWrittenHasTheRecordingsInTheCache) {
    InstallEncoder();
    WriteFile(m_programFolder / "Temp", "a file where the folder would go");
    ScopedEnv cache("XDG_CACHE_HOME", (m_root / "cache").string());
    const fs::path temp = m_root / "cache" / "kinovex" / "Temp";
    std::string tempBase;
    bool tempExistedWhileOpen = false;
    ASSERT_TRUE(Run([&](CMainDlg& window) {
                    window.m_pPage->m_strMovieName = QStringLiteral("Cartoon");
                    tempBase = window.m_pPage->TempBase();
                    tempExistedWhileOpen = fs::is_directory(temp);
                }).has_value());
    EXPECT_EQ(tempBase, (temp / "Cartoon").string());
    EXPECT_TRUE(tempExistedWhileOpen);
    EXPECT_FALSE(fs::exists(temp)) << "emptied and removed at exit like the program's own";
    EXPECT_TRUE(fs::is_regular_file(m_programFolder / "Temp"));
    EXPECT_TRUE(m_boxes.isEmpty());
}

TEST_F(Startup, NoFolderForTemporaryFilesSaysWhichWereTriedAndTouchesNothing) {
    InstallEncoder();
    WriteFile(m_programFolder / "Temp", "a file where the folder would go");
    WriteFile(m_root / "blocker", "a file where the cache would go");
    ScopedEnv cache("XDG_CACHE_HOME", (m_root / "blocker" / "cache").string());

    EXPECT_FALSE(Run().has_value()) << "no window may open without a temporary folder";

    ASSERT_EQ(m_boxes.size(), 1);
    EXPECT_TRUE(m_boxes[0].contains(QString::fromStdString((m_programFolder / "Temp").string())));
    EXPECT_TRUE(m_boxes[0].contains(
        QString::fromStdString((m_root / "blocker" / "cache" / "kinovex" / "Temp").string())));
    EXPECT_FALSE(fs::exists(m_documents));
    EXPECT_FALSE(fs::exists(m_settingsFile));
}

TEST_F(Startup, CorruptOrUnreadableSettingsGiveTheDefaults) {
    InstallEncoder();
    fs::create_directories(m_settingsFile.parent_path());
    WriteFile(m_settingsFile, std::string("\x00\xff[Moviqa\n=\n\x01garbage=[[[\n", 26));
    auto seen = Run();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->movieFolder, "/");
    EXPECT_EQ(seen->profileIndex, 0);

    WriteFile(m_settingsFile, "[Moviqa]\nLastPath=/srv\nProfile=abc\n");
    seen = Run();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->movieFolder, "/srv");
    EXPECT_EQ(seen->profileIndex, 0) << "a profile that is not a number reads as 0";

    if (geteuid() != 0) { // root reads any file
        chmod(m_settingsFile.c_str(), 0);
        seen = Run();
        ASSERT_TRUE(seen.has_value());
        EXPECT_EQ(seen->movieFolder, "/");
    }
}

// A folder of three movies of 320 x 240 at 12 frames a second, five frames long.
fs::path WriteMovieFolder(const fs::path& folder) {
    fs::create_directories(folder);
    for (const char* name : {"Intro 10.swf", "Intro 2.swf", "Bouncing Ball.swf"}) {
        swf::SwfWriter movie(320, 240, 12);
        for (int frame = 0; frame < 5; ++frame)
            movie.showFrame();
        movie.save(folder / name);
    }
    return folder;
}

TEST_F(Startup, TheCommandLinesMovieIsSelectedInTheBrowserAndPlayPlaysIt) {
    InstallEncoder();
    const fs::path folder = WriteMovieFolder(m_root / "My Movies");
    m_startMovie = QString::fromStdString((folder / "Intro 2.swf").string());
    QString playing;
    const auto seen = Run([&](CMainDlg& window) {
        window.OnPlay();
        if (window.Run().State() == RunState::Playing)
            playing = window.m_pPage->m_strMovieName;
        window.OnPlay(); // stops it
    });
    ASSERT_TRUE(seen.has_value());
    const QString folderText = QString::fromStdString(folder.string());
    EXPECT_EQ(seen->movieFolder, folderText + "/");
    EXPECT_EQ(seen->treeFolder, folderText);
    EXPECT_EQ(seen->listSelection, QStringList{"Intro 2"});
    EXPECT_EQ(seen->info, "Frame: 5 | FPS:    12.00 | Size:    320x240");
    EXPECT_EQ(seen->panel, 0) << "the browser shows";
    EXPECT_EQ(playing, "Intro 2");
    EXPECT_TRUE(m_boxes.isEmpty()) << m_boxes.join(" | ").toStdString();

    QSettings stored = Stored();
    stored.beginGroup("Moviqa");
    EXPECT_EQ(stored.value("LastPath").toString(), folderText + "/");
}

TEST_F(Startup, AMovieThatCannotBeOpenedIsNamedAndTheLastFolderShows) {
    InstallEncoder();
    const fs::path folder = WriteMovieFolder(m_root / "movies");
    WriteFile(folder / "notes.txt", "text");
    fs::create_directories(m_settingsFile.parent_path());
    const std::string last = "[Moviqa]\nLastPath=" + folder.string() + "/\n";
    const QString gone = QString::fromStdString((m_root / "Gone.swf").string());
    const std::pair<QString, QString> cases[] = {
        {gone, "The movie " + gone + " cannot be found."},
        {QString::fromStdString((folder / "notes.txt").string()), "Invalid file type."},
    };
    for (const auto& c : cases) {
        WriteFile(m_settingsFile, last);
        m_boxes.clear();
        m_startMovie = c.first;
        const auto seen = Run();
        ASSERT_TRUE(seen.has_value());
        EXPECT_EQ(m_boxes, QStringList{c.second});
        EXPECT_EQ(seen->treeFolder, QString::fromStdString(folder.string()));
        EXPECT_TRUE(seen->listSelection.isEmpty());
        EXPECT_EQ(seen->panel, 1) << "the player, as at any start";
    }
}

class StartupInAnAwkwardFolder : public Startup {
protected:
    StartupInAnAwkwardFolder() : Startup("Мои программы/Kinovex été") {}
};

TEST_F(StartupInAnAwkwardFolder, ProgramFolderWithBlanksAndNonAsciiLettersWorks) {
    InstallEncoder();
    bool tempExistedWhileOpen = false;
    const auto seen =
        Run([&](CMainDlg&) { tempExistedWhileOpen = fs::is_directory(m_programFolder / "Temp"); });
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(fs::canonical(seen->currentDirectory), fs::canonical(m_programFolder));
    EXPECT_TRUE(tempExistedWhileOpen);
    EXPECT_FALSE(fs::exists(m_programFolder / "Temp"));
    EXPECT_TRUE(m_boxes.isEmpty());
}

} // namespace
} // namespace kinovex
