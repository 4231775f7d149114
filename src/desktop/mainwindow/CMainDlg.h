#pragma once
// The program's main window: a borderless, skinned window that shows one panel of the movie
// page at a time and slides between them, carries the title buttons and the command bar, and
// gives the play / record / stop commands to its recording run, whose state the bar shows.
//
// The window paints its own frame from four bitmaps that stretch with it, places its controls
// on every resize, and lets the window system move and resize it from any point of the frame.

#include "core/record/RecordingRun.h"
#include "desktop/mainwindow/DesktopServices.h"
#include "desktop/widgets/CSkinButtonBar.h"

#include <QBasicTimer>
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QMenu;

namespace kinovex {

class CMoviePage;

// Where the frame puts each control for a given client size (the window's own rectangle).
struct MainLayout {
    QRect info;
    QRect menu;
    QRect titleBar;   // the Sys menu and Restore bars share it
    QRect commandBar; // the three command bars share it
    QRect pageHost;
};

class CMainDlg : public QDialog, private RunObserver {
    Q_OBJECT
public:
    enum { IDD = 102, IDR_POPUP = 214 };
    enum Bitmap {
        IDB_FRAME_BOTTOM = 196,
        IDB_FRAME_LEFT = 197,
        IDB_FRAME_RIGHT = 198,
        IDB_FRAME_TOP = 199,
        IDB_PLAYING_FIRST = 144, // 144 to 150: the playing animation
        IDB_CLOCK_A = 177,
        IDB_CLOCK_B = 178,
    };
    // Menu commands and the command ids of the five operations.
    enum Command {
        ID_FILE = 1002,
        ID_OPTION = 1003,
        ID_RECORD = 1005,
        ID_PLAY = 1007,
        ID_PLAY_AND_RECORD = 1008,
        ID_ABOUT = 32771,
        ID_HELP = 32772,
        ID_HOME = 32773,
        ID_UPDATE = 32775,
    };
    // Ids of the buttons on the bars, as their `clicked` signals carry them.
    enum Button {
        BTN_MINIMIZE = 1,
        BTN_MAXIMIZE = 2,
        BTN_CLOSE = 3,
        BTN_INFO = 4,
        BTN_MENU = 5,
        BTN_FILE = 11,
        BTN_PLAY = 12,
        BTN_RECORD = 13,
        BTN_PLAY_AND_RECORD = 14,
        BTN_OPTION = 15,
    };
    enum Timer { TIMER_PLAYING = 1111, TIMER_RECORDING = 1112, TIMER_SLIDE = 4321 };

    // The frame around the page: bands and borders, in pixels.
    static constexpr int kTopBand = 36;
    static constexpr int kBottomBand = 108;
    static constexpr int kLeftBorder = 16;
    static constexpr int kRightBorder = 18;
    static constexpr int kMinWidth = 808;
    static constexpr int kMinHeight = 630;
    static constexpr int kEdgeMargin = 10; // the resize zones along each edge
    // The activity indicator, relative to the bottom-right corner.
    static constexpr int kIndicatorRight = 214;
    static constexpr int kIndicatorBottom = 80;
    static constexpr int kIndicatorWidth = 108;
    static constexpr int kIndicatorHeight = 51;

    // Hit zones of the frame: the window system's codes for the window edges.
    enum Zone {
        ZONE_NONE = 0,
        ZONE_LEFT = 10,
        ZONE_RIGHT = 11,
        ZONE_TOP = 12,
        ZONE_TOP_LEFT = 13,
        ZONE_TOP_RIGHT = 14,
        ZONE_BOTTOM = 15,
        ZONE_BOTTOM_LEFT = 16,
        ZONE_BOTTOM_RIGHT = 17,
    };

    explicit CMainDlg(MainWindowServices services = DesktopMainWindowServices(),
                      QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Builds the bars, loads the frame and the popup menu and checks the recording input.
    // Runs by itself when the window is first shown; later calls do nothing.
    void OnInitDialog();

    // The layout for a window whose client area is `client` (left, top, right, bottom).
    static MainLayout LayoutFor(const QRect& client);
    // The hit zone of `point` in the client rectangle `client`.
    static int HitZone(const QRect& client, const QPoint& point);
    // A window rectangle being dragged on `zone`'s edges, held at the minimum size with the
    // opposite edges staying where they are.
    static QRect ApplyMinimumSize(const QRect& dragged, int zone);
    // The recording clock's text for `elapsed` milliseconds: minutes and seconds.
    static QString ClockText(std::uint32_t elapsed);
    // Whether the recording input `names[current]` is the mix input: its name ends in "ix".
    static bool IsMixInput(const std::vector<std::string>& names, int current);

    // The run that plays, records and converts the chosen movie.
    RecordingRun& Run() { return m_run; }
    // The movie information the frame shows, from the page.
    void SetInfoText(QString line1, QString line2, QString line3);

    void OnFile();
    void OnOption();
    void OnRecord();
    void OnPlayAndRecord();
    void SlideToPanel(int target);
    // One step of the slide (timer 4321).
    void OnSlideTick();
    // A click on a button of one of the bars.
    void OnSkinButton(int id);
    // Handles the commands of the popup menu and the command ids of the operations.
    void OnCommand(unsigned id);
    // The window menu's commands. The buttons and menus ask for them with Later, so that they
    // run once the click or the menu has been dealt with.
    void OnMinimize();
    void OnMaximize();
    void OnRestore();
    void OnAboutBox();
    // The paths of dropped files; only the first counts.
    void OnDropFiles(const QStringList& paths);
    // The check of the recording input made at start.
    void CheckRecordingInput();

    bool IsTimerActive(int id) const;
    const CSkinButtonBar& Bar(int controlId) const;

    // Enter and Escape never close the window.
    void accept() override;
    void reject() override;

    // The services and the run come before the page, which plays through the run.
    MainWindowServices m_services;
    RecordingRun m_run;
    CMoviePage* m_pPage = nullptr;
    CSkinButtonBar m_btnMenu;
    CSkinButtonBar m_btnInfo;
    CSkinButtonBar m_barEndRecord;
    CSkinButtonBar m_barRestore;
    CSkinButtonBar m_barStopPlay;
    CSkinButtonBar m_barMain;
    CSkinButtonBar m_barSysMenu;
    QWidget m_wndPageHost;
    int m_nPanel = 1;
    int m_nSlidePos = 0;
    int m_nSlideStep = 0;
    int m_nSlideTarget = 0;
    QPixmap m_bmpTop;
    QPixmap m_bmpLeft;
    QPixmap m_bmpRight;
    QPixmap m_bmpBottom;
    int m_bMaximized = 0;
    QString m_strInfo1;
    QString m_strInfo2;
    QString m_strInfo3;
    QMenu* m_menuPopup = nullptr;

    // The playing animation's frame and the clock's phase; they run on across playbacks.
    int m_nAnimFrame = 0;
    int m_nClockPhase = 0;
    int m_nHitZone = ZONE_NONE;

    // Control ids of the bars, for Bar().
    enum Control {
        IDC_PAGE_HOST = 1017,
        IDC_SYS_MENU = 1028,
        IDC_MAIN_BUTTON = 1029,
        IDC_STOP_PLAY = 1037,
        IDC_RESTORE = 1038,
        IDC_END_RECORD = 1039,
        IDC_INFO_BUTTON = 1040,
        IDC_MENU_BUTTON = 1041,
    };

public slots:
    // The Play command: plays the movie chosen on the page, or stops the one playing.
    void OnPlay();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The command bar, its enabled buttons and the indicator follow the run's state.
    void OnStateChanged(RunState state) override;
    void OnRunEvent(RunEvent event) override;
    void SetUpBars();
    void ShowCommandBar(CSkinButtonBar& bar);
    void ShowPopupMenu();
    void ShowSystemMenu(const QPoint& globalPos);
    void OnMaximizeRestore();
    void OnPlayingTick();
    void OnRecordingTick();
    void StartSizeOrMove(int zone, const QPoint& globalPos);
    QRect IndicatorRect() const;
    // Runs `command` from the event loop, after the event being handled.
    void Later(void (CMainDlg::*command)());

    bool m_bInitialised = false;
    QBasicTimer m_timerPlaying;
    QBasicTimer m_timerRecording;
    QBasicTimer m_timerSlide;
    // What the indicator shows: nothing when idle, else the picture of the last tick.
    QPixmap m_bmpIndicator;
    // Moving or sizing by hand, where the window system does not offer it.
    int m_nDragZone = -1;
    QPoint m_ptDragStart;
    QRect m_rcDragStart;
};

} // namespace kinovex
