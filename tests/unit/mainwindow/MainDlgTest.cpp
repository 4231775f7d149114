#include "desktop/mainwindow/CMainDlg.h"
#include "desktop/moviepage/CMoviePage.h"

#include "FakeRecordingServices.h"
#include "NotedDialogs.h"
#include "SwfWriter.h"
#include "TempDir.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

void SaveMovie(const fs::path& path, double width, double height) {
    swf::SwfWriter movie(width, height, 12);
    movie.showFrame();
    movie.save(path, swf::Compression::Zlib);
}

// What the window looked like when its run reported an event.
struct Seen {
    RunEvent event;
    RunState state;
    bool mainBarShown;
    bool timerPlaying;
    bool timerRecording;
};

// A main window on stand-in services: the chosen movie plays for real on a clock that never
// moves, the capture delivers nothing, the encoder step, the message boxes, the recording
// inputs and the volume control are the test's. The program folder is a temporary one with the
// built resources, so that the recordings go there.
class MainWindow : public ::testing::Test, private RunObserver {
protected:
    explicit MainWindow(FakeCaptureOptions capture = {})
        : m_fake(test::MakeFakeRecording(std::move(capture), true)) {
        fs::create_directories(m_program);
        for (const char* part : {"res", "head.swf"})
            fs::create_symlink(fs::path(KINOVEX_PROGRAM_DIR) / part, m_program / part);
        SaveMovie(m_movies / "Cartoon.swf", 400, 300);
        m_dialogs->onBox = [this](const QString& text, const QString&) { boxes.append(text); };
        MainWindowServices services;
        services.dialogs = m_dialogs;
        services.recording = m_fake.Services();
        services.tempFolder = (m_program / "Temp").string();
        services.recordingInputs = [this](std::vector<std::string>& names, int& current) {
            names = inputs;
            current = currentInput;
        };
        services.volumeControl = [this] { ++volumeControls; };
        dialog = std::make_unique<CMainDlg>(std::move(services));
        dialog->OnInitDialog();
        dialog->Run().AddObserver(*this);
        // Shown, so that resizes reach the window at once.
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    ~MainWindow() override {
        dialog->Run().RemoveObserver(*this);
        dialog.reset();
    }

    void OnRunEvent(RunEvent event) override {
        seen.push_back({event, dialog->Run().State(), dialog->m_barMain.isVisibleTo(dialog.get()),
                        dialog->IsTimerActive(CMainDlg::TIMER_PLAYING),
                        dialog->IsTimerActive(CMainDlg::TIMER_RECORDING)});
    }

    void ChooseMovie(int width = 400, int height = 300) {
        dialog->m_pPage->m_strMovieFolder = QString::fromStdString(m_movies.str()) + "/";
        dialog->m_pPage->m_strMovieName = QStringLiteral("Cartoon");
        dialog->m_pPage->m_nMovieWidth = width;
        dialog->m_pPage->m_nMovieHeight = height;
    }

    // The run's state, the command bar on show, its buttons enabled as the state allows (the
    // same on all three bars) and the indicator's timers.
    void ExpectState(RunState state, const CSkinButtonBar& shown) {
        const std::pair<int, RunCommand> commands[] = {
            {CMainDlg::BTN_FILE, RunCommand::Browse},
            {CMainDlg::BTN_PLAY, RunCommand::Play},
            {CMainDlg::BTN_RECORD, RunCommand::Record},
            {CMainDlg::BTN_PLAY_AND_RECORD, RunCommand::PlayAndRecord},
            {CMainDlg::BTN_OPTION, RunCommand::Options}};
        EXPECT_EQ(dialog->Run().State(), state);
        for (const CSkinButtonBar* bar :
             {&dialog->m_barMain, &dialog->m_barStopPlay, &dialog->m_barEndRecord}) {
            EXPECT_EQ(bar->isVisibleTo(dialog.get()), bar == &shown);
            for (int i = 0; i < bar->ButtonCount(); ++i) {
                const SkinButton& button = bar->Button(i);
                const auto command = std::find_if(
                    std::begin(commands), std::end(commands),
                    [&](const std::pair<int, RunCommand>& c) { return c.first == button.id; });
                ASSERT_NE(command, std::end(commands));
                EXPECT_EQ(button.enabled != 0, dialog->Run().Allows(command->second))
                    << "button " << button.id;
            }
        }
        EXPECT_EQ(dialog->IsTimerActive(CMainDlg::TIMER_PLAYING), state == RunState::Playing);
        EXPECT_EQ(dialog->IsTimerActive(CMainDlg::TIMER_RECORDING), state == RunState::Recording);
    }

    std::vector<RunEvent> Events() const {
        std::vector<RunEvent> events;
        for (const Seen& one : seen)
            events.push_back(one.event);
        return events;
    }

    TempDir m_home{"mainwindow"};
    fs::path m_program = m_home / "program";
    TempDir m_movies{"mainwindow movies"};
    ScopedEnv m_programFolder{"KINOVEX_PROGRAM_FOLDER", m_program.string()};
    ScopedEnv m_settings{"KINOVEX_SETTINGS", (m_home / "settings.conf").string()};
    ScopedEnv m_documents{"KINOVEX_DOCUMENTS", m_home.str()};
    test::FakeRecording m_fake;
    std::shared_ptr<test::NotedDialogs> m_dialogs = std::make_shared<test::NotedDialogs>();
    QStringList boxes;
    std::vector<std::string> inputs{"Built-in Audio Analog Stereo",
                                    "Monitor of Built-in Audio - Stereo Mix"};
    int currentInput = 1;
    int volumeControls = 0;
    std::vector<Seen> seen;
    std::unique_ptr<CMainDlg> dialog;
};

using enum RunEvent;

TEST_F(MainWindow, WholeRoadThroughTheStates) {
    ExpectState(RunState::Idle, dialog->m_barMain);
    EXPECT_EQ(dialog->m_nPanel, 1);

    // Record does nothing while idle.
    dialog->OnRecord();
    EXPECT_TRUE(seen.empty());

    ChooseMovie();
    dialog->OnPlay();
    ExpectState(RunState::Playing, dialog->m_barStopPlay);

    dialog->OnRecord();
    ExpectState(RunState::Recording, dialog->m_barEndRecord);
    dialog->Run().Player()->WaitUntilIdle(); // the recording's first frame is taken
    // Play is not a way out of a recording.
    dialog->OnPlay();
    ExpectState(RunState::Recording, dialog->m_barEndRecord);

    // Stop Recording: the recording stops, then playback, and the window is idle before the
    // conversion starts.
    dialog->OnRecord();
    EXPECT_EQ(Events(), (std::vector<RunEvent>{PlaybackStarted, RecordingStarted, RecordingStopped,
                                               PlaybackStopped, ConversionStarting}));
    const Seen& convert = seen.back();
    EXPECT_EQ(convert.state, RunState::Idle);
    EXPECT_TRUE(convert.mainBarShown);
    EXPECT_FALSE(convert.timerPlaying);
    EXPECT_FALSE(convert.timerRecording);
    ExpectState(RunState::Idle, dialog->m_barMain);

    // The encoder step got the recording of the chosen movie, made in the program folder.
    ASSERT_EQ(m_fake.encoder->requests.size(), 1u);
    const ConversionRequest& request = m_fake.encoder->requests[0];
    EXPECT_EQ(request.movieName, "Cartoon");
    EXPECT_EQ(request.tempBase, (m_program / "Temp" / "Cartoon").string());
    EXPECT_TRUE(fs::exists(request.tempBase + ".avi"));
    EXPECT_TRUE(fs::exists(request.tempBase + ".wav"));
}

TEST_F(MainWindow, PlayAndRecordStartsBothAndPlayStopsPlayback) {
    ChooseMovie();
    dialog->OnPlayAndRecord();
    EXPECT_EQ(Events(), (std::vector<RunEvent>{PlaybackStarted, RecordingStarted}));
    ExpectState(RunState::Recording, dialog->m_barEndRecord);
    dialog->OnRecord();
    seen.clear();

    dialog->OnPlay();
    ExpectState(RunState::Playing, dialog->m_barStopPlay);
    dialog->OnPlay(); // Stop Playing
    EXPECT_EQ(Events(), (std::vector<RunEvent>{PlaybackStarted, PlaybackStopped}));
    ExpectState(RunState::Idle, dialog->m_barMain);
}

TEST_F(MainWindow, PlayWithoutAMovieShowsTheBrowser) {
    dialog->OnPlay();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(dialog->m_nPanel, 0);
    ExpectState(RunState::Idle, dialog->m_barMain);
}

TEST_F(MainWindow, ButtonClicksReachTheCommands) {
    ChooseMovie();
    // Play on the command bar; the click is posted and handled by the event loop.
    QTest::mouseClick(&dialog->m_barMain, Qt::LeftButton, {}, QPoint(118, 46));
    QTRY_COMPARE(dialog->Run().State(), RunState::Playing);
    // Record now sits on the Stop Playing bar.
    QTest::mouseClick(&dialog->m_barStopPlay, Qt::LeftButton, {}, QPoint(180, 45));
    QTRY_COMPARE(dialog->Run().State(), RunState::Recording);

    // Closing is refused while recording, by any way of asking.
    EXPECT_FALSE(dialog->close());
    QTest::mouseClick(&dialog->m_barSysMenu, Qt::LeftButton, {}, QPoint(47, 8));
    QCoreApplication::processEvents();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(boxes, (QStringList{"Please end record first.", "Please end record first."}));
    EXPECT_EQ(dialog->Run().State(), RunState::Recording);

    dialog->OnRecord();
    EXPECT_TRUE(dialog->close());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(MainWindow, EnterAndEscapeNeverClose) {
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(dialog.get(), Qt::Key_Enter);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(MainWindow, ALargeMovieGrowsTheWindowAndASmallOneNeverShrinksIt) {
    ChooseMovie(800, 600);
    dialog->OnPlay();
    EXPECT_EQ(dialog->size(), QSize(834, 744));
    const int w = dialog->m_wndPageHost.width();
    const int h = dialog->m_wndPageHost.height();
    EXPECT_EQ(QSize(w, h), QSize(800, 600));
    // The movie at its own size, centred in the player panel of the strip.
    EXPECT_EQ(dialog->m_pPage->m_rcMovie, QRect(3 * w / 2 - 400, h / 2 - 300, 800, 600));
    dialog->OnPlay();

    dialog->resize(1000, 800);
    ChooseMovie(551, 401);
    dialog->OnPlay();
    EXPECT_EQ(dialog->size(), QSize(1000, 800));
    EXPECT_EQ(dialog->m_pPage->m_rcMovie, QRect(3 * 966 / 2 - 275, 656 / 2 - 200, 551, 401));
}

TEST_F(MainWindow, DropsTakeTheFirstSwfInAnyCaseAndAreRefusedOtherwise) {
    TempDir movies("dropped movies");
    SaveMovie(movies / "Cartoon.SWF", 320, 240);
    const QString folder = QString::fromStdString(movies.str()) + "/";

    dialog->OnDropFiles({folder + "notes.txt", folder + "Cartoon.SWF"});
    EXPECT_EQ(boxes, QStringList{"Invalid file type."});
    EXPECT_TRUE(dialog->m_pPage->m_strMovieName.isEmpty());
    EXPECT_TRUE(seen.empty());

    dialog->OnDropFiles({folder + "Cartoon.SWF", folder + "notes.txt"});
    EXPECT_EQ(dialog->m_pPage->m_strMovieFolder, folder);
    EXPECT_EQ(dialog->m_pPage->m_strMovieName, "Cartoon");
    EXPECT_EQ(dialog->m_pPage->m_nMovieWidth, 320);
    EXPECT_EQ(dialog->m_pPage->m_nMovieHeight, 240);
    EXPECT_EQ(Events(), std::vector<RunEvent>{PlaybackStarted});

    // While playing a drop is refused and changes nothing.
    boxes.clear();
    dialog->OnDropFiles({folder + "Other.swf"});
    EXPECT_EQ(boxes, QStringList{"Stop playing first, please."});
    EXPECT_EQ(dialog->m_pPage->m_strMovieName, "Cartoon");

    // A name without an extension is no movie either.
    dialog->OnPlay();
    boxes.clear();
    dialog->OnDropFiles({folder + "swf"});
    EXPECT_EQ(boxes, QStringList{"Invalid file type."});
}

TEST_F(MainWindow, SlidesStepATenthOfTheWidthAndRestartFromTheNominalPanel) {
    const int w = dialog->m_wndPageHost.width();
    ASSERT_EQ(w, 774);
    CMoviePage& page = *dialog->m_pPage;
    ASSERT_EQ(page.x(), -w);

    dialog->OnFile(); // from the player to the browser
    EXPECT_EQ(dialog->m_nPanel, 0);
    EXPECT_TRUE(dialog->IsTimerActive(CMainDlg::TIMER_SLIDE));
    EXPECT_EQ(dialog->m_nSlideStep, 77);
    for (int tick = 1; tick <= 10; ++tick) {
        dialog->OnSlideTick();
        EXPECT_EQ(page.x(), -w + 77 * tick);
    }
    dialog->OnSlideTick(); // would pass the target: lands on it and stops
    EXPECT_EQ(page.x(), 0);
    EXPECT_FALSE(dialog->IsTimerActive(CMainDlg::TIMER_SLIDE));

    dialog->OnFile(); // back to the player
    EXPECT_EQ(dialog->m_nPanel, 1);
    EXPECT_EQ(dialog->m_nSlideStep, -77);
    dialog->OnSlideTick();
    dialog->OnSlideTick();
    EXPECT_EQ(page.x(), -154);
    // Asked for the same panel again: the slide carries on.
    dialog->SlideToPanel(1);
    dialog->OnSlideTick();
    EXPECT_EQ(page.x(), -231);

    // Option now: the new slide starts where the player panel belongs, not where the page is.
    dialog->OnOption();
    EXPECT_EQ(dialog->m_nPanel, 2);
    EXPECT_EQ(dialog->m_nSlidePos, -w);
    EXPECT_EQ(dialog->m_nSlideTarget, -2 * w);
    dialog->OnSlideTick();
    EXPECT_EQ(page.x(), -w - 77);
    for (int tick = 0; tick < 20 && dialog->IsTimerActive(CMainDlg::TIMER_SLIDE); ++tick)
        dialog->OnSlideTick();
    EXPECT_EQ(page.x(), -2 * w);
    dialog->OnOption();
    EXPECT_EQ(dialog->m_nPanel, 1);
}

TEST_F(MainWindow, ResizeFollowsTheLayoutAndKeepsTheShownPanelInView) {
    const MainLayout large = CMainDlg::LayoutFor(QRect(0, 0, 1101, 777));
    dialog->m_nPanel = 2;
    dialog->resize(1101, 777);
    EXPECT_EQ(dialog->m_barEndRecord.geometry(), large.commandBar);
    EXPECT_EQ(dialog->m_barRestore.geometry(), large.titleBar);
    EXPECT_EQ(dialog->m_wndPageHost.geometry(), large.pageHost);
    EXPECT_EQ(dialog->m_pPage->geometry(), QRect(-2 * 1067, 0, 3 * 1067, 633));
    // The outline's corners are cut off; its edges are whole.
    EXPECT_FALSE(dialog->mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(dialog->mask().contains(QPoint(1100, 776)));
    EXPECT_TRUE(dialog->mask().contains(QPoint(550, 0)));
    EXPECT_TRUE(dialog->mask().contains(QPoint(0, 388)));
    EXPECT_TRUE(dialog->mask().contains(QPoint(8, 8)));
}

TEST_F(MainWindow, HitZonesAndTheMinimumSizeWhileDragging) {
    const QRect client(0, 0, 808, 630);
    const std::pair<QPoint, int> zones[] = {
        {{0, 0}, CMainDlg::ZONE_TOP_LEFT},     {{807, 629}, CMainDlg::ZONE_BOTTOM_RIGHT},
        {{798, 10}, CMainDlg::ZONE_TOP_RIGHT}, {{10, 620}, CMainDlg::ZONE_BOTTOM_LEFT},
        {{10, 300}, CMainDlg::ZONE_LEFT},      {{798, 300}, CMainDlg::ZONE_RIGHT},
        {{400, 10}, CMainDlg::ZONE_TOP},       {{400, 620}, CMainDlg::ZONE_BOTTOM},
        {{11, 11}, CMainDlg::ZONE_NONE},       {{797, 619}, CMainDlg::ZONE_NONE}};
    for (const auto& [point, zone] : zones)
        EXPECT_EQ(CMainDlg::HitZone(client, point), zone) << point.x() << "," << point.y();

    // Dragged inward past the minimum: the dragged edge stops, the opposite one stays.
    const QRect window(100, 50, 900, 700); // right 1000, bottom 750
    EXPECT_EQ(CMainDlg::ApplyMinimumSize(QRect(400, 50, 600, 700), CMainDlg::ZONE_LEFT),
              QRect(192, 50, 808, 700));
    EXPECT_EQ(CMainDlg::ApplyMinimumSize(QRect(100, 50, 300, 700), CMainDlg::ZONE_RIGHT),
              QRect(100, 50, 808, 700));
    EXPECT_EQ(CMainDlg::ApplyMinimumSize(QRect(100, 50, 300, 100), CMainDlg::ZONE_BOTTOM_RIGHT),
              QRect(100, 50, 808, 630));
    EXPECT_EQ(CMainDlg::ApplyMinimumSize(QRect(500, 600, 500, 150), CMainDlg::ZONE_TOP_LEFT),
              QRect(192, 120, 808, 630));
    EXPECT_EQ(CMainDlg::ApplyMinimumSize(window, CMainDlg::ZONE_TOP_RIGHT), window);
}

// The title bars swap at once; the window itself changes once the click has been handled.
TEST_F(MainWindow, MaximizeRestoreAndMinimizeFollowTheClickFromTheEventLoop) {
    dialog->OnSkinButton(CMainDlg::BTN_MAXIMIZE);
    EXPECT_EQ(dialog->m_bMaximized, 1);
    EXPECT_TRUE(dialog->m_barRestore.isVisibleTo(dialog.get()));
    EXPECT_FALSE(dialog->m_barSysMenu.isVisibleTo(dialog.get()));
    EXPECT_FALSE(dialog->isMaximized());
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog->isMaximized());

    dialog->OnSkinButton(CMainDlg::BTN_MAXIMIZE);
    EXPECT_EQ(dialog->m_bMaximized, 0);
    EXPECT_FALSE(dialog->m_barRestore.isVisibleTo(dialog.get()));
    EXPECT_TRUE(dialog->m_barSysMenu.isVisibleTo(dialog.get()));
    EXPECT_TRUE(dialog->isMaximized());
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog->isMaximized());

    dialog->OnSkinButton(CMainDlg::BTN_MINIMIZE);
    EXPECT_FALSE(dialog->isMinimized());
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog->isMinimized());
}

TEST_F(MainWindow, RecordingInputCheckWarnsUnlessTheMixInputIsSelected) {
    dialog->CheckRecordingInput(); // the monitor ("... Mix") is selected
    EXPECT_TRUE(boxes.isEmpty());

    for (int current : {0, 2, -1}) { // a plain input, past the list, none
        currentInput = current;
        boxes.clear();
        dialog->CheckRecordingInput();
        EXPECT_EQ(boxes, QStringList{"Recording may fail, please set \"mix\" mode."}) << current;
    }
    EXPECT_EQ(volumeControls, 3);

    // The last two letters count, in their case; no server means no inputs and no warning.
    EXPECT_FALSE(CMainDlg::IsMixInput({"Stereo MIX"}, 0));
    EXPECT_FALSE(CMainDlg::IsMixInput({"x"}, 0));
    EXPECT_TRUE(CMainDlg::IsMixInput({"ix"}, 0));
    inputs.clear();
    boxes.clear();
    dialog->CheckRecordingInput();
    EXPECT_TRUE(boxes.isEmpty());
}

TEST(MainWindowClock, MinutesAndSecondsOfTheElapsedTime) {
    EXPECT_EQ(CMainDlg::ClockText(0), "00:00");
    EXPECT_EQ(CMainDlg::ClockText(61999), "01:01");
    EXPECT_EQ(CMainDlg::ClockText(3600000), "60:00");
}

// A capture that cannot start: one message, and a conversion without sound.
class MainWindowWithoutSound : public MainWindow {
protected:
    static FakeCaptureOptions FailingStart() {
        FakeCaptureOptions options;
        options.failStart = true;
        return options;
    }
    MainWindowWithoutSound() : MainWindow(FailingStart()) {}
};

TEST_F(MainWindowWithoutSound, TheUserIsToldOnceAndTheVideoIsMadeWithoutSound) {
    ChooseMovie();
    dialog->OnPlayAndRecord();
    dialog->OnRecord();
    EXPECT_EQ(boxes, QStringList{QStringLiteral(
                         "The sound could not be recorded; the video will have no sound.")});
    ASSERT_EQ(m_fake.encoder->requests.size(), 1u);
    EXPECT_FALSE(m_fake.encoder->requests[0].withSound);
}

// Without the volume control on PATH the user is told, rather than nothing happening.
TEST(DesktopServices, AMissingVolumeControlIsReported) {
    TempDir emptyBin("no volume control");
    ScopedEnv path("PATH", emptyBin.str());
    auto dialogs = std::make_shared<test::NotedDialogs>();
    QStringList boxes;
    dialogs->onBox = [&boxes](const QString& text, const QString&) { boxes.append(text); };
    const MainWindowServices services = DesktopMainWindowServices(dialogs);
    services.volumeControl();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("pavucontrol")));
}

} // namespace
} // namespace kinovex
