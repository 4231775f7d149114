#include "movie/page/CMoviePage.h"
#include "platform/qt/MessageBox.h"
#include "ui/main/CMainDlg.h"

#include "SwfWriter.h"
#include "TempDir.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

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

// What the window looked like when one of the page's operations was called.
struct Call {
    std::string operation;
    std::uint32_t runState;
    bool mainBarShown;
    bool timerPlaying;
    bool timerRecording;
};

// A main window whose page operations, message boxes, mixer and volume control are all
// replaced by recorders, so that nothing plays, nothing is shown and no sound server is asked.
class MainWindow : public ::testing::Test {
protected:
    MainWindow() {
        SetMessageBoxHook([this](const QString& text, const QString&) { boxes.append(text); });
        SetRecordingInputQueryHook([this](std::vector<std::string>& names, int& current) {
            names = inputs;
            current = currentInput;
        });
        SetVolumeControlHook([this] { ++volumeControls; });
        SetRecordElapsedHook([] { return 0u; });
        auto record = [this](const char* name) {
            return [this, name] {
                calls.push_back({name, dialog->m_nRunState,
                                 dialog->m_barMain.isVisibleTo(dialog.get()),
                                 dialog->IsTimerActive(CMainDlg::TIMER_PLAYING),
                                 dialog->IsTimerActive(CMainDlg::TIMER_RECORDING)});
            };
        };
        SetPageOperationsHook({record("startPlayback"), record("stopPlayback"),
                               record("startRecording"), record("stopRecording"),
                               record("convertRecording")});
        dialog = std::make_unique<CMainDlg>();
        dialog->OnInitDialog();
        // Shown, so that resizes reach the window at once.
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    ~MainWindow() override {
        dialog.reset();
        SetPageOperationsHook({});
        SetMessageBoxHook({});
        SetRecordingInputQueryHook({});
        SetVolumeControlHook({});
        SetRecordElapsedHook({});
    }

    void ChooseMovie(int width = 400, int height = 300) {
        dialog->m_pPage->m_strMovieName = QStringLiteral("Cartoon");
        dialog->m_pPage->m_nMovieWidth = width;
        dialog->m_pPage->m_nMovieHeight = height;
    }

    // The enabled buttons of a command bar, as a mask of the same form SetCommandMask takes.
    static unsigned EnabledMask(const CSkinButtonBar& bar) {
        unsigned mask = 0;
        for (int i = 0; i < bar.ButtonCount(); ++i) {
            const SkinButton& button = bar.Button(i);
            if (button.enabled != 0)
                mask |= 1u << (4 * (CMainDlg::BTN_OPTION - button.id));
        }
        return mask;
    }

    // The command bar on show, its mask (the same on all three bars), the state and timers.
    void ExpectState(std::uint32_t state, const CSkinButtonBar& shown, unsigned mask) {
        EXPECT_EQ(dialog->m_nRunState, state);
        for (const CSkinButtonBar* bar :
             {&dialog->m_barMain, &dialog->m_barStopPlay, &dialog->m_barEndRecord}) {
            EXPECT_EQ(bar->isVisibleTo(dialog.get()), bar == &shown);
            EXPECT_EQ(EnabledMask(*bar), mask) << std::hex << EnabledMask(*bar);
        }
        EXPECT_EQ(dialog->IsTimerActive(CMainDlg::TIMER_PLAYING), state == CMainDlg::kStatePlaying);
        EXPECT_EQ(dialog->IsTimerActive(CMainDlg::TIMER_RECORDING),
                  state == CMainDlg::kStateRecording);
    }

    std::vector<std::string> Operations() const {
        std::vector<std::string> names;
        for (const Call& call : calls)
            names.push_back(call.operation);
        return names;
    }

    ScopedEnv m_programFolder{"KINOVEX_PROGRAM_FOLDER", KINOVEX_PROGRAM_DIR};
    TempDir m_home{"mainwindow"};
    ScopedEnv m_settings{"KINOVEX_SETTINGS", (m_home / "settings.conf").string()};
    ScopedEnv m_documents{"KINOVEX_DOCUMENTS", m_home.str()};
    QStringList boxes;
    std::vector<std::string> inputs{"Built-in Audio Analog Stereo",
                                    "Monitor of Built-in Audio - Stereo Mix"};
    int currentInput = 1;
    int volumeControls = 0;
    std::vector<Call> calls;
    std::unique_ptr<CMainDlg> dialog;
};

TEST_F(MainWindow, WholeRoadThroughTheStates) {
    ExpectState(CMainDlg::kStateIdle, dialog->m_barMain, CMainDlg::kMaskIdle);
    EXPECT_EQ(dialog->m_nPanel, 1);

    // Record is disabled while idle; its command does nothing either.
    dialog->OnRecord();
    EXPECT_TRUE(calls.empty());

    ChooseMovie();
    dialog->OnPlay();
    ExpectState(CMainDlg::kStatePlaying, dialog->m_barStopPlay, CMainDlg::kMaskPlaying);

    dialog->OnRecord();
    ExpectState(CMainDlg::kStateRecording, dialog->m_barEndRecord, CMainDlg::kMaskRecording);

    // Stop Recording: the recording stops, then playback, and the window is idle before the
    // conversion window opens.
    dialog->OnRecord();
    EXPECT_EQ(Operations(),
              (std::vector<std::string>{"startPlayback", "startRecording", "stopRecording",
                                        "stopPlayback", "convertRecording"}));
    const Call& convert = calls.back();
    EXPECT_EQ(convert.runState, CMainDlg::kStateIdle);
    EXPECT_TRUE(convert.mainBarShown);
    EXPECT_FALSE(convert.timerPlaying);
    EXPECT_FALSE(convert.timerRecording);
    ExpectState(CMainDlg::kStateIdle, dialog->m_barMain, CMainDlg::kMaskIdle);
}

TEST_F(MainWindow, PlayAndRecordStartsBothAndPlayStopsPlayback) {
    ChooseMovie();
    dialog->OnPlayAndRecord();
    EXPECT_EQ(Operations(), (std::vector<std::string>{"startPlayback", "startRecording"}));
    ExpectState(CMainDlg::kStateRecording, dialog->m_barEndRecord, CMainDlg::kMaskRecording);
    dialog->OnRecord();
    calls.clear();

    dialog->OnPlay();
    ExpectState(CMainDlg::kStatePlaying, dialog->m_barStopPlay, CMainDlg::kMaskPlaying);
    dialog->OnPlay(); // Stop Playing
    EXPECT_EQ(Operations(), (std::vector<std::string>{"startPlayback", "stopPlayback"}));
    ExpectState(CMainDlg::kStateIdle, dialog->m_barMain, CMainDlg::kMaskIdle);
}

TEST_F(MainWindow, PlayWithoutAMovieShowsTheBrowser) {
    dialog->OnPlay();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(dialog->m_nPanel, 0);
    ExpectState(CMainDlg::kStateIdle, dialog->m_barMain, CMainDlg::kMaskIdle);
}

TEST_F(MainWindow, ButtonClicksReachTheCommands) {
    ChooseMovie();
    // Play on the command bar; the click is posted and handled by the event loop.
    QTest::mouseClick(&dialog->m_barMain, Qt::LeftButton, {}, QPoint(118, 46));
    QTRY_COMPARE(dialog->m_nRunState, CMainDlg::kStatePlaying);
    // Record now sits on the Stop Playing bar.
    QTest::mouseClick(&dialog->m_barStopPlay, Qt::LeftButton, {}, QPoint(180, 45));
    QTRY_COMPARE(dialog->m_nRunState, CMainDlg::kStateRecording);

    // Closing is refused while recording, by any way of asking.
    EXPECT_FALSE(dialog->close());
    QTest::mouseClick(&dialog->m_barSysMenu, Qt::LeftButton, {}, QPoint(47, 8));
    QCoreApplication::processEvents();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(boxes, (QStringList{"Please end record first.", "Please end record first."}));
    EXPECT_EQ(dialog->m_nRunState, CMainDlg::kStateRecording);

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
    EXPECT_TRUE(calls.empty());

    dialog->OnDropFiles({folder + "Cartoon.SWF", folder + "notes.txt"});
    EXPECT_EQ(dialog->m_pPage->m_strMovieFolder, folder);
    EXPECT_EQ(dialog->m_pPage->m_strMovieName, "Cartoon");
    EXPECT_EQ(dialog->m_pPage->m_nMovieWidth, 320);
    EXPECT_EQ(dialog->m_pPage->m_nMovieHeight, 240);
    EXPECT_EQ(Operations(), std::vector<std::string>{"startPlayback"});

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

TEST_F(MainWindow, LayoutTableAtTwoSizes) {
    const MainLayout small = CMainDlg::LayoutFor(QRect(0, 0, 808, 630));
    EXPECT_EQ(small.info, QRect(37, 551, 48, 47));
    EXPECT_EQ(small.menu, QRect(709, 562, 66, 31));
    EXPECT_EQ(small.titleBar, QRect(738, 10, 55, 17));
    EXPECT_EQ(small.commandBar, QRect(224, 529, 360, 93));
    EXPECT_EQ(small.pageHost, QRect(16, 36, 774, 486));

    const MainLayout large = CMainDlg::LayoutFor(QRect(0, 0, 1101, 777));
    EXPECT_EQ(large.info, QRect(37, 698, 48, 47));
    EXPECT_EQ(large.menu, QRect(1002, 709, 66, 31));
    EXPECT_EQ(large.titleBar, QRect(1031, 10, 55, 17));
    EXPECT_EQ(large.commandBar, QRect(370, 676, 360, 93)); // 1101 / 2 truncated
    EXPECT_EQ(large.pageHost, QRect(16, 36, 1067, 633));

    // The window follows the table on a resize, keeping the shown panel in view.
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

TEST_F(MainWindow, MaximizeAndRestoreSwapTheTitleBars) {
    dialog->OnSkinButton(CMainDlg::BTN_MAXIMIZE);
    EXPECT_EQ(dialog->m_bMaximized, 1);
    EXPECT_TRUE(dialog->m_barRestore.isVisibleTo(dialog.get()));
    EXPECT_FALSE(dialog->m_barSysMenu.isVisibleTo(dialog.get()));
    dialog->OnSkinButton(CMainDlg::BTN_MAXIMIZE);
    EXPECT_EQ(dialog->m_bMaximized, 0);
    EXPECT_FALSE(dialog->m_barRestore.isVisibleTo(dialog.get()));
    EXPECT_TRUE(dialog->m_barSysMenu.isVisibleTo(dialog.get()));
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

} // namespace
} // namespace kinovex
