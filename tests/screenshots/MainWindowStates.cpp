// Pictures of the main window for the docs, taken from a real X display
// (scripts/screenshots.sh).

#include "core/record/PlayerThread.h"
#include "desktop/mainwindow/CMainDlg.h"
#include "desktop/moviepage/CMoviePage.h"
#include "desktop/widgets/CSettingsDlg.h"

#include "FakeRecordingServices.h"
#include "NotedDialogs.h"
#include "ScreenshotHome.h"
#include "Screenshots.h"
#include "TempDir.h"

#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace kinovex {
namespace {

TEST(Screenshot, MainWindowStates) {
    const QString folder = test::ScreenshotFolder();
    ASSERT_FALSE(folder.isEmpty()) << "set KINOVEX_SCREENSHOTS and run on an X display";
    test::ScopedEnv programFolder("KINOVEX_PROGRAM_FOLDER", KINOVEX_PROGRAM_DIR);
    const test::ScreenshotHome home;
    test::TempDir scratch("main window");
    test::ScopedEnv settings("KINOVEX_SETTINGS", (scratch / "settings.conf").string());
    // The recording on a clock of the test's, without the sound server or the conversion.
    const test::FakeRecording fake = test::MakeFakeRecording({}, true);
    MainWindowServices services;
    services.dialogs = std::make_shared<test::NotedDialogs>();
    services.recording = fake.Services();
    services.tempFolder = (scratch / "Temp").string();
    services.drives = [&home] { return home.Drives(); };
    services.userMounts = [&home] { return home.Mounts(); };
    services.recordingInputs = [](std::vector<std::string>& names, int& current) {
        names = {"Monitor of Null Output - Stereo Mix"};
        current = 0;
    };

    CMainDlg dialog(services);
    CMoviePage& page = *dialog.m_pPage;
    page.m_strMovieFolder = home.MovieFolder();
    page.m_pSettingsDlg->outputFolder = QStringLiteral("/home/ann/Documents/Tessaline");
    dialog.move(0, 0);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    if (page.m_wndFileList.count() > 0)
        page.m_wndFileList.setCurrentRow(0);

    QCoreApplication::processEvents();
    EXPECT_TRUE(test::CaptureScreenArea(dialog, folder + "/main-window-idle.png"));

    // Halfway to the browser panel.
    dialog.OnFile();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.x() > -dialog.m_wndPageHost.width() / 2; }));
    EXPECT_TRUE(test::CaptureScreenArea(dialog, folder + "/main-window-sliding.png"));
    QTRY_VERIFY(!dialog.IsTimerActive(CMainDlg::TIMER_SLIDE));

    dialog.OnPlay();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.m_nAnimFrame >= 4; }));
    EXPECT_TRUE(test::CaptureScreenArea(dialog, folder + "/main-window-playing.png"));

    dialog.OnRecord();
    ASSERT_EQ(dialog.Run().State(), RunState::Recording);
    // The clock moves on in steps the player thread follows, until it shows 01:23.
    PlayerThread& player = *dialog.Run().Player();
    for (int step = 0; step < 400 && dialog.Run().RecordElapsed() < 83'450; ++step) {
        fake.clock->Advance(std::min<std::uint32_t>(500, 83'450 - dialog.Run().RecordElapsed()));
        player.WaitUntilIdle();
    }
    ASSERT_GE(dialog.Run().RecordElapsed(), 83'450u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.m_nClockPhase >= 2; }));
    EXPECT_TRUE(test::CaptureScreenArea(dialog, folder + "/main-window-recording.png"));

    dialog.OnRecord();
}

} // namespace
} // namespace kinovex
