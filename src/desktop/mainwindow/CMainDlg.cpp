#include "desktop/mainwindow/CMainDlg.h"

#include "core/movie/CSwfHeaderReader.h"
#include "desktop/moviepage/CMoviePage.h"
#include "desktop/widgets/DialogUnits.h"
#include "platform/qt/Bitmaps.h"

#ifdef KINOVEX_HAVE_HELP
#include "desktop/help/HelpCommands.h"
#endif

#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cmath>

namespace kinovex {

namespace {

constexpr int kPlayingFrames = 7;
constexpr int kClockPhases = 8;
constexpr int kTimerPeriodIndicator = 100;
constexpr int kTimerPeriodSlide = 20;
constexpr int kCornerDiameter = 16;
const QColor kInfoTextColour(0xE8, 0xEC, 0xF9);

// The bars' buttons: id, x, y, width, height, tooltip; every one starts enabled.
constexpr SkinButton kInfoButtons[] = {{1, CMainDlg::BTN_INFO, 0, 0, 48, 47, "Info"}};
constexpr SkinButton kMenuButtons[] = {{1, CMainDlg::BTN_MENU, 0, 0, 66, 31, "Menu"}};
constexpr SkinButton kSysMenuButtons[] = {{1, CMainDlg::BTN_MINIMIZE, 0, 0, 17, 17, "Minimize"},
                                          {1, CMainDlg::BTN_MAXIMIZE, 18, 0, 18, 17, "Maximize"},
                                          {1, CMainDlg::BTN_CLOSE, 39, 0, 16, 17, "Close"}};
constexpr SkinButton kRestoreButtons[] = {{1, CMainDlg::BTN_MINIMIZE, 0, 0, 17, 17, "Minimize"},
                                          {1, CMainDlg::BTN_MAXIMIZE, 18, 0, 18, 17, "Restore"},
                                          {1, CMainDlg::BTN_CLOSE, 39, 0, 16, 17, "Close"}};
constexpr SkinButton kMainButtons[] = {
    {1, CMainDlg::BTN_FILE, 5, 30, 95, 34, "File"},
    {1, CMainDlg::BTN_PLAY, 98, 30, 41, 32, "Play"},
    {1, CMainDlg::BTN_RECORD, 138, 3, 83, 85, "Record"},
    {1, CMainDlg::BTN_PLAY_AND_RECORD, 220, 30, 41, 32, "Play and Record"},
    {1, CMainDlg::BTN_OPTION, 261, 30, 95, 34, "Option"}};
constexpr SkinButton kStopPlayButtons[] = {
    {1, CMainDlg::BTN_FILE, 5, 30, 95, 34, "File"},
    {1, CMainDlg::BTN_PLAY, 98, 30, 41, 32, "Stop Playing"},
    {1, CMainDlg::BTN_RECORD, 138, 3, 83, 85, "Record"},
    {1, CMainDlg::BTN_PLAY_AND_RECORD, 220, 30, 41, 32, "Play and Record"},
    {1, CMainDlg::BTN_OPTION, 261, 30, 95, 34, "Option"}};
constexpr SkinButton kEndRecordButtons[] = {
    {1, CMainDlg::BTN_FILE, 5, 30, 95, 34, "File"},
    {1, CMainDlg::BTN_PLAY, 98, 30, 41, 32, "Stop Playing"},
    {1, CMainDlg::BTN_RECORD, 138, 3, 83, 85, "Stop Recording"},
    {1, CMainDlg::BTN_PLAY_AND_RECORD, 220, 30, 41, 32, "Play and Record"},
    {1, CMainDlg::BTN_OPTION, 261, 30, 95, 34, "Option"}};

// The window's outline: a rectangle whose corners are rounded with a 16 x 16 ellipse, built
// row by row so that the same size always gives the same pixels.
QRegion RoundedRegion(int width, int height) {
    const int radius = kCornerDiameter / 2;
    if (width < kCornerDiameter || height < kCornerDiameter)
        return QRegion(0, 0, width, height);
    QRegion region(0, radius, width, height - 2 * radius);
    for (int row = 0; row < radius; ++row) {
        const double dy = radius - row - 0.5;
        const int inset =
            static_cast<int>(std::lround(radius - std::sqrt(radius * radius - dy * dy)));
        region += QRegion(inset, row, width - 2 * inset, 1);
        region += QRegion(inset, height - 1 - row, width - 2 * inset, 1);
    }
    return region;
}

Qt::Edges EdgesOfZone(int zone) {
    switch (zone) {
    case CMainDlg::ZONE_LEFT:
        return Qt::LeftEdge;
    case CMainDlg::ZONE_RIGHT:
        return Qt::RightEdge;
    case CMainDlg::ZONE_TOP:
        return Qt::TopEdge;
    case CMainDlg::ZONE_TOP_LEFT:
        return Qt::TopEdge | Qt::LeftEdge;
    case CMainDlg::ZONE_TOP_RIGHT:
        return Qt::TopEdge | Qt::RightEdge;
    case CMainDlg::ZONE_BOTTOM:
        return Qt::BottomEdge;
    case CMainDlg::ZONE_BOTTOM_LEFT:
        return Qt::BottomEdge | Qt::LeftEdge;
    case CMainDlg::ZONE_BOTTOM_RIGHT:
        return Qt::BottomEdge | Qt::RightEdge;
    default:
        return {};
    }
}

Qt::CursorShape CursorOfZone(int zone) {
    switch (zone) {
    case CMainDlg::ZONE_TOP_LEFT:
    case CMainDlg::ZONE_BOTTOM_RIGHT:
        return Qt::SizeFDiagCursor;
    case CMainDlg::ZONE_TOP_RIGHT:
    case CMainDlg::ZONE_BOTTOM_LEFT:
        return Qt::SizeBDiagCursor;
    case CMainDlg::ZONE_LEFT:
    case CMainDlg::ZONE_RIGHT:
        return Qt::SizeHorCursor;
    case CMainDlg::ZONE_TOP:
    case CMainDlg::ZONE_BOTTOM:
        return Qt::SizeVerCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

CMainDlg::CMainDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint),
      m_services(std::move(services)), m_run(m_services.recording) {
    for (QWidget* child :
         std::initializer_list<QWidget*>{&m_btnMenu, &m_btnInfo, &m_barEndRecord, &m_barRestore,
                                         &m_barStopPlay, &m_barMain, &m_barSysMenu})
        child->setParent(this);
    m_wndPageHost.setParent(this);
    // The page host clips the page strip to the visible panel; a press on the page must not
    // reach the frame, where it would start moving the window.
    m_wndPageHost.setAttribute(Qt::WA_NoMousePropagation);
    m_pPage = new CMoviePage(m_run, *m_services.dialogs, m_services.tempFolder, &m_wndPageHost);
    if (m_services.drives)
        m_pPage->m_wndFolderTree.SetDriveLister(m_services.drives);
    if (m_services.userMounts)
        m_pPage->m_wndFolderTree.SetMountLister(m_services.userMounts);
    setFont(DialogFont());
    setMinimumSize(kMinWidth, kMinHeight);
    // The hit zones' cursors follow the mouse over the frame.
    setMouseTracking(true);
    resize(kMinWidth, kMinHeight);
    connect(m_pPage, &CMoviePage::Play, this, &CMainDlg::OnPlay);
    connect(m_pPage, &CMoviePage::InfoText, this, &CMainDlg::SetInfoText);
}

CMainDlg::~CMainDlg() {
    m_run.RemoveObserver(*this);
    // The page goes first, while the window it lives in is still whole.
    delete m_pPage;
    m_pPage = nullptr;
}

void CMainDlg::OnInitDialog() {
    if (m_bInitialised)
        return;
    m_bInitialised = true;

    setWindowTitle(QStringLiteral("Kinovex Converter"));
    resize(kMinWidth, kMinHeight);

    m_bmpTop = LoadBitmap(IDB_FRAME_TOP);
    m_bmpLeft = LoadBitmap(IDB_FRAME_LEFT);
    m_bmpRight = LoadBitmap(IDB_FRAME_RIGHT);
    m_bmpBottom = LoadBitmap(IDB_FRAME_BOTTOM);

    SetUpBars();
    m_run.AddObserver(*this);
    OnStateChanged(m_run.State());

    m_menuPopup = new QMenu(this);
    const std::pair<const char*, unsigned> entries[] = {
        {"About", ID_ABOUT}, {"Help", ID_HELP}, {"Home", ID_HOME}, {"Update", ID_UPDATE}};
    for (const auto& [text, id] : entries) {
        const unsigned command = id;
        connect(m_menuPopup->addAction(QString::fromLatin1(text)), &QAction::triggered, this,
                [this, command] { OnCommand(command); });
    }
    setAcceptDrops(true);

    // The layout for the size the window has now; later sizes come with their resize events.
    resizeEvent(nullptr);

    // After the window is up, so that the warning stands in front of it.
    QMetaObject::invokeMethod(this, &CMainDlg::CheckRecordingInput, Qt::QueuedConnection);
}

void CMainDlg::SetUpBars() {
    struct Setup {
        CSkinButtonBar& bar;
        const SkinButton* buttons;
        int count;
        std::array<int, 4> bitmaps; // normal, hover, pressed, disabled
    };
    const Setup setups[] = {
        {m_btnInfo, kInfoButtons, 1, {207, 206, 204, 205}},
        {m_btnMenu, kMenuButtons, 1, {203, 202, 200, 201}},
        {m_barSysMenu, kSysMenuButtons, 3, {139, 138, 136, 137}},
        {m_barRestore, kRestoreButtons, 3, {174, 173, 172, 174}},
        {m_barMain, kMainButtons, 5, {143, 142, 140, 141}},
        {m_barStopPlay, kStopPlayButtons, 5, {168, 167, 166, 175}},
        {m_barEndRecord, kEndRecordButtons, 5, {171, 170, 169, 176}},
    };
    for (const Setup& setup : setups) {
        setup.bar.SetButtons(setup.count, setup.buttons, setup.bitmaps[0], setup.bitmaps[1],
                             setup.bitmaps[2], setup.bitmaps[3]);
        // Handled after the mouse event, which may still be using the bar.
        connect(&setup.bar, &CSkinButtonBar::clicked, this, &CMainDlg::OnSkinButton,
                Qt::QueuedConnection);
    }
    m_barRestore.hide();
    m_barStopPlay.hide();
    m_barEndRecord.hide();
}

void CMainDlg::showEvent(QShowEvent* event) {
    OnInitDialog();
    QDialog::showEvent(event);
}

const CSkinButtonBar& CMainDlg::Bar(int controlId) const {
    switch (controlId) {
    case IDC_SYS_MENU:
        return m_barSysMenu;
    case IDC_RESTORE:
        return m_barRestore;
    case IDC_STOP_PLAY:
        return m_barStopPlay;
    case IDC_END_RECORD:
        return m_barEndRecord;
    case IDC_INFO_BUTTON:
        return m_btnInfo;
    case IDC_MENU_BUTTON:
        return m_btnMenu;
    default:
        return m_barMain;
    }
}

bool CMainDlg::IsTimerActive(int id) const {
    switch (id) {
    case TIMER_PLAYING:
        return m_timerPlaying.isActive();
    case TIMER_RECORDING:
        return m_timerRecording.isActive();
    case TIMER_SLIDE:
        return m_timerSlide.isActive();
    default:
        return false;
    }
}

// ---- Commands ----

void CMainDlg::Later(void (CMainDlg::*command)()) {
    QMetaObject::invokeMethod(this, command, Qt::QueuedConnection);
}

void CMainDlg::OnSkinButton(int id) {
    switch (id) {
    case BTN_MINIMIZE:
        Later(&CMainDlg::OnMinimize);
        break;
    case BTN_MAXIMIZE:
        OnMaximizeRestore();
        break;
    case BTN_CLOSE:
        close();
        break;
    case BTN_INFO:
        Later(&CMainDlg::OnAboutBox);
        break;
    case BTN_MENU:
        ShowPopupMenu();
        break;
    case BTN_FILE:
        OnFile();
        break;
    case BTN_PLAY:
        OnPlay();
        break;
    case BTN_RECORD:
        OnRecord();
        break;
    case BTN_PLAY_AND_RECORD:
        OnPlayAndRecord();
        break;
    case BTN_OPTION:
        OnOption();
        break;
    default:
        break;
    }
}

void CMainDlg::OnCommand(unsigned id) {
    switch (id) {
    case ID_FILE:
        OnFile();
        break;
    case ID_OPTION:
        OnOption();
        break;
    case ID_RECORD:
        OnRecord();
        break;
    case ID_PLAY:
        OnPlay();
        break;
    case ID_PLAY_AND_RECORD:
        OnPlayAndRecord();
        break;
    case ID_ABOUT:
        Later(&CMainDlg::OnAboutBox);
        break;
#ifdef KINOVEX_HAVE_HELP
    case ID_HELP:
        ShowHelp(*m_services.dialogs, this);
        break;
    case ID_HOME:
        OpenWebsite(*m_services.dialogs);
        break;
    case ID_UPDATE:
        CheckForUpdate(*m_services.dialogs, this);
        break;
#endif
    default:
        break;
    }
}

void CMainDlg::OnMinimize() {
    showMinimized();
}

void CMainDlg::OnMaximize() {
    showMaximized();
}

void CMainDlg::OnRestore() {
    showNormal();
}

void CMainDlg::OnAboutBox() {
#ifdef KINOVEX_HAVE_HELP
    ShowAboutBox(this);
#endif
}

void CMainDlg::ShowPopupMenu() {
    if (m_menuPopup == nullptr)
        return;
    // Below the Menu button, left-aligned with it.
    m_menuPopup->popup(m_btnMenu.mapToGlobal(QPoint(0, m_btnMenu.height())));
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The frame stands in for the title bar the window system would draw, so its system menu
    // is here: the window system offers no way to add to its own.
    ShowSystemMenu(event->globalPos());
}

void CMainDlg::ShowSystemMenu(const QPoint& globalPos) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool maximized = isMaximized();
    QAction* restore = menu->addAction(QStringLiteral("&Restore"));
    restore->setEnabled(maximized || isMinimized());
    connect(restore, &QAction::triggered, this, [this] { Later(&CMainDlg::OnRestore); });
    connect(menu->addAction(QStringLiteral("Mi&nimize")), &QAction::triggered, this,
            [this] { Later(&CMainDlg::OnMinimize); });
    QAction* maximize = menu->addAction(QStringLiteral("Ma&ximize"));
    maximize->setEnabled(!maximized);
    connect(maximize, &QAction::triggered, this, [this] { Later(&CMainDlg::OnMaximize); });
    menu->addSeparator();
    QAction* closeAction = menu->addAction(QStringLiteral("&Close"));
    closeAction->setShortcut(QKeySequence(QStringLiteral("Alt+F4")));
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("&About Kinovex...")), &QAction::triggered, this,
            [this] { Later(&CMainDlg::OnAboutBox); });
    menu->popup(globalPos);
}

void CMainDlg::accept() {}

void CMainDlg::reject() {}

void CMainDlg::closeEvent(QCloseEvent* event) {
    // A recording still being finished counts as running.
    if (m_run.State() == RunState::Recording || m_run.State() == RunState::Stopping) {
        m_services.dialogs->MessageBox(QStringLiteral("Please end record first."), this);
        event->ignore();
        return;
    }
    // The player thread ends with the playback, before the page can go.
    if (m_run.State() == RunState::Playing)
        OnPlay();
    event->accept();
    QDialog::done(QDialog::Rejected);
}

// ---- The state machine ----

void CMainDlg::OnRunEvent(RunEvent event) {
    if (event == RunEvent::SoundUnavailable)
        m_services.dialogs->MessageBox(
            QStringLiteral("The sound could not be recorded; the video will have no sound."), this);
}

void CMainDlg::OnStateChanged(RunState state) {
    const std::pair<int, RunCommand> buttons[] = {{BTN_FILE, RunCommand::Browse},
                                                  {BTN_PLAY, RunCommand::Play},
                                                  {BTN_RECORD, RunCommand::Record},
                                                  {BTN_PLAY_AND_RECORD, RunCommand::PlayAndRecord},
                                                  {BTN_OPTION, RunCommand::Options}};
    for (CSkinButtonBar* bar : {&m_barMain, &m_barStopPlay, &m_barEndRecord}) {
        for (const auto& [id, command] : buttons)
            bar->SetButtonState(id, RunAllows(state, command) ? 1 : 0);
    }
    ShowCommandBar(state == RunState::Idle        ? m_barMain
                   : state == RunState::Recording ? m_barEndRecord
                                                  : m_barStopPlay);
    // The playing animation while a movie plays, the clock while it is recorded.
    if (state == RunState::Playing) {
        if (!m_timerPlaying.isActive())
            m_timerPlaying.start(kTimerPeriodIndicator, this);
    } else {
        m_timerPlaying.stop();
    }
    if (state == RunState::Recording)
        m_timerRecording.start(kTimerPeriodIndicator, this);
    else
        m_timerRecording.stop();
    if (state == RunState::Idle) {
        // Idle shows the plain band where the indicator was.
        m_bmpIndicator = QPixmap();
        update(IndicatorRect());
    }
}

void CMainDlg::ShowCommandBar(CSkinButtonBar& shown) {
    for (CSkinButtonBar* bar : {&m_barMain, &m_barStopPlay, &m_barEndRecord})
        bar->setVisible(bar == &shown);
}

void CMainDlg::OnFile() {
    if (m_nPanel == 0) {
        SlideToPanel(1);
    } else {
        SlideToPanel(0);
        m_pPage->m_wndFileList.setFocus();
    }
}

void CMainDlg::OnOption() {
    SlideToPanel(m_nPanel == 2 ? 1 : 2);
}

void CMainDlg::OnPlay() {
    if (!m_run.Allows(RunCommand::Play))
        return;
    if (m_run.State() != RunState::Idle) {
        m_run.StopPlaying();
        return;
    }
    if (m_pPage->m_strMovieName.isEmpty()) {
        SlideToPanel(0); // nothing chosen yet: let the user choose
        return;
    }

    int width = m_wndPageHost.width();
    int height = m_wndPageHost.height();
    const int movieWidth = m_pPage->m_nMovieWidth;
    const int movieHeight = m_pPage->m_nMovieHeight;
    if (width < movieWidth || height < movieHeight) {
        // Grow (never shrink) so that the movie fits the player panel, and centre the window.
        const QSize size(std::max(movieWidth + kLeftBorder + kRightBorder, kMinWidth),
                         std::max(movieHeight + kTopBand + kBottomBand, kMinHeight));
        resize(size);
        if (const QScreen* screen = this->screen()) {
            const QRect area = screen->availableGeometry();
            move(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2);
        }
        resizeEvent(nullptr); // the layout for the new size at once
        width = m_wndPageHost.width();
        height = m_wndPageHost.height();
    }
    const int left = (3 * width) / 2 - movieWidth / 2;
    const int top = height / 2 - movieHeight / 2;
    m_pPage->m_rcMovie = QRect(left, top, movieWidth, movieHeight);
    SlideToPanel(1);
    m_pPage->StartPlayback();
}

void CMainDlg::OnRecord() {
    if (!m_run.Allows(RunCommand::Record))
        return; // a recording lies inside a playback; without one there is nothing to capture
    // Stop Recording ends the playback too and converts: the window is idle before the
    // conversion window opens.
    if (m_run.State() == RunState::Recording)
        m_run.StopRecording();
    else
        m_run.Record();
}

void CMainDlg::OnPlayAndRecord() {
    OnPlay();
    if (m_run.State() == RunState::Playing)
        OnRecord();
}

void CMainDlg::SlideToPanel(int target) {
    // The same panel again: a slide still running toward it carries on.
    if (target == m_nPanel)
        return;
    m_timerSlide.stop();
    const int width = m_wndPageHost.width();
    // From where the current panel belongs, also when an earlier slide had not arrived.
    m_nSlidePos = -m_nPanel * width;
    m_nSlideTarget = -target * width;
    m_nSlideStep = target > m_nPanel ? -(width / 10) : width / 10;
    m_nPanel = target;
    if (m_nSlideStep == 0) { // a host too narrow to step through: go there at once
        m_pPage->move(m_nSlideTarget, 0);
        return;
    }
    m_timerSlide.start(kTimerPeriodSlide, this);
}

void CMainDlg::OnSlideTick() {
    m_nSlidePos += m_nSlideStep;
    const bool under =
        m_nSlideStep > 0 ? m_nSlidePos < m_nSlideTarget : m_nSlidePos > m_nSlideTarget;
    if (under) {
        m_pPage->move(m_nSlidePos, 0);
    } else {
        m_pPage->move(m_nSlideTarget, 0);
        m_timerSlide.stop();
    }
}

void CMainDlg::timerEvent(QTimerEvent* event) {
    const int id = event->timerId();
    if (id == m_timerSlide.timerId())
        OnSlideTick();
    else if (id == m_timerPlaying.timerId())
        OnPlayingTick();
    else if (id == m_timerRecording.timerId())
        OnRecordingTick();
    else
        QDialog::timerEvent(event);
}

// ---- Dropped files ----

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    OnDropFiles(paths);
}

void CMainDlg::OnDropFiles(const QStringList& paths) {
    if (m_run.State() != RunState::Idle) {
        m_services.dialogs->MessageBox(QStringLiteral("Stop playing first, please."), this);
        return;
    }
    if (paths.isEmpty())
        return;
    const QString& path = paths.front();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString file = path.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : file.mid(dot);
    if (extension.toLower() != QLatin1String(".swf")) {
        m_services.dialogs->MessageBox(QStringLiteral("Invalid file type."), this);
        return;
    }
    m_pPage->m_strMovieFolder = folder;
    m_pPage->m_strMovieName = file.left(dot);

    SwfHeaderInfo info{};
    CSwfHeaderReader reader;
    const QByteArray encoded = QFile::encodeName(path);
    if (!reader.ReadHeader(encoded.constData(), info))
        info = SwfHeaderInfo{};
    // A file without a usable frame size keeps the size the player has; a 0 x 0 player
    // window would show nothing of the movie.
    if (info.xMax / 20 > 0 && info.yMax / 20 > 0) {
        m_pPage->m_nMovieWidth = info.xMax / 20;
        m_pPage->m_nMovieHeight = info.yMax / 20;
    }
    OnPlay();
}

// ---- The recording input ----

bool CMainDlg::IsMixInput(const std::vector<std::string>& names, int current) {
    if (current < 0 || static_cast<std::size_t>(current) >= names.size())
        return false;
    const std::string& name = names[static_cast<std::size_t>(current)];
    return name.size() >= 2 && name.compare(name.size() - 2, 2, "ix") == 0;
}

void CMainDlg::CheckRecordingInput() {
    std::vector<std::string> names;
    int current = -1;
    if (m_services.recordingInputs)
        m_services.recordingInputs(names, current);
    // Without a sound server there is no input to choose and no volume control to open; the
    // recordings are silent either way.
    if (names.empty() || IsMixInput(names, current))
        return;
    m_services.dialogs->MessageBox(QStringLiteral("Recording may fail, please set \"mix\" mode."),
                                   this);
    if (m_services.volumeControl)
        m_services.volumeControl();
}

// ---- The frame ----

MainLayout CMainDlg::LayoutFor(const QRect& client) {
    const int left = client.left();
    const int top = client.top();
    const int right = client.left() + client.width();
    const int bottom = client.top() + client.height();
    MainLayout layout;
    layout.info = QRect(left + 37, bottom - 79, 48, 47);
    layout.menu = QRect(right - 99, bottom - 68, 66, 31);
    layout.titleBar = QRect(right - 70, top + 10, 55, 17);
    layout.commandBar = QRect(right / 2 - 180, bottom - 101, 360, 93);
    layout.pageHost =
        QRect(left + kLeftBorder, top + kTopBand, right - left - kLeftBorder - kRightBorder,
              bottom - top - kTopBand - kBottomBand);
    return layout;
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
    if (event != nullptr)
        QDialog::resizeEvent(event);
    setMask(RoundedRegion(width(), height()));
    if (m_pPage == nullptr)
        return;
    const MainLayout layout = LayoutFor(rect());
    m_btnInfo.setGeometry(layout.info);
    m_btnMenu.setGeometry(layout.menu);
    m_barSysMenu.setGeometry(layout.titleBar);
    m_barRestore.setGeometry(layout.titleBar);
    m_barMain.setGeometry(layout.commandBar);
    m_barStopPlay.setGeometry(layout.commandBar);
    m_barEndRecord.setGeometry(layout.commandBar);
    m_wndPageHost.setGeometry(layout.pageHost);
    // The panel shown stays in view at the new width.
    const int width = m_wndPageHost.width();
    m_pPage->move(-(width * m_nPanel), 0);
    m_pPage->LayoutPanels(width, m_wndPageHost.height());
}

int CMainDlg::HitZone(const QRect& client, const QPoint& point) {
    const int l = client.left();
    const int t = client.top();
    const int r = client.left() + client.width();
    const int b = client.top() + client.height();
    const int x = point.x();
    const int y = point.y();
    const bool left = x <= l + kEdgeMargin;
    const bool right = x >= r - kEdgeMargin;
    const bool topEdge = y <= t + kEdgeMargin;
    const bool bottomEdge = y >= b - kEdgeMargin;
    if (left && topEdge)
        return ZONE_TOP_LEFT;
    if (right && bottomEdge)
        return ZONE_BOTTOM_RIGHT;
    if (right && topEdge)
        return ZONE_TOP_RIGHT;
    if (left && bottomEdge)
        return ZONE_BOTTOM_LEFT;
    if (left)
        return ZONE_LEFT;
    if (right)
        return ZONE_RIGHT;
    if (topEdge)
        return ZONE_TOP;
    if (bottomEdge)
        return ZONE_BOTTOM;
    return ZONE_NONE;
}

QRect CMainDlg::ApplyMinimumSize(const QRect& dragged, int zone) {
    int left = dragged.left();
    int top = dragged.top();
    int right = dragged.left() + dragged.width();
    int bottom = dragged.top() + dragged.height();
    const Qt::Edges edges = EdgesOfZone(zone);
    if (edges & Qt::LeftEdge)
        left = std::min(left, right - kMinWidth);
    if (edges & Qt::RightEdge)
        right = std::max(right, left + kMinWidth);
    if (edges & Qt::TopEdge)
        top = std::min(top, bottom - kMinHeight);
    if (edges & Qt::BottomEdge)
        bottom = std::max(bottom, top + kMinHeight);
    return QRect(left, top, right - left, bottom - top);
}

void CMainDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_nDragZone >= 0 && (event->buttons() & Qt::LeftButton)) {
        // Moving or sizing by hand (no window manager to do it).
        const QPoint delta = event->globalPosition().toPoint() - m_ptDragStart;
        QRect rect = m_rcDragStart;
        const Qt::Edges edges = EdgesOfZone(m_nDragZone);
        if (m_nDragZone == ZONE_NONE) {
            move(rect.topLeft() + delta);
            return;
        }
        if (edges & Qt::LeftEdge)
            rect.setLeft(rect.left() + delta.x());
        if (edges & Qt::RightEdge)
            rect.setRight(rect.right() + delta.x());
        if (edges & Qt::TopEdge)
            rect.setTop(rect.top() + delta.y());
        if (edges & Qt::BottomEdge)
            rect.setBottom(rect.bottom() + delta.y());
        setGeometry(ApplyMinimumSize(rect, m_nDragZone));
        return;
    }
    m_nHitZone = HitZone(rect(), event->position().toPoint());
    setCursor(CursorOfZone(m_nHitZone));
    QDialog::mouseMoveEvent(event);
}

void CMainDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QDialog::mousePressEvent(event);
    setCursor(CursorOfZone(m_nHitZone));
    if (m_nHitZone >= ZONE_LEFT && m_nHitZone <= ZONE_BOTTOM_RIGHT)
        StartSizeOrMove(m_nHitZone, mapToGlobal(event->position().toPoint()));
    else
        StartSizeOrMove(ZONE_NONE, QCursor::pos());
}

void CMainDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_nDragZone = -1;
    QDialog::mouseReleaseEvent(event);
}

void CMainDlg::StartSizeOrMove(int zone, const QPoint& globalPos) {
    QWindow* window = windowHandle();
    const Qt::Edges edges = EdgesOfZone(zone);
    const bool started =
        window != nullptr &&
        (zone == ZONE_NONE ? window->startSystemMove() : window->startSystemResize(edges));
    if (started)
        return;
    // The window system cannot do it (no window manager): follow the mouse ourselves.
    m_nDragZone = zone;
    m_ptDragStart = globalPos;
    m_rcDragStart = geometry();
}

void CMainDlg::OnMaximizeRestore() {
    if (m_bMaximized == 0) {
        m_barSysMenu.hide();
        m_barRestore.show();
        Later(&CMainDlg::OnMaximize);
        m_bMaximized = 1;
    } else {
        m_barSysMenu.show();
        m_barRestore.hide();
        Later(&CMainDlg::OnRestore);
        m_bMaximized = 0;
    }
}

void CMainDlg::SetInfoText(QString line1, QString line2, QString line3) {
    m_strInfo1 = std::move(line1);
    m_strInfo2 = std::move(line2);
    m_strInfo3 = std::move(line3);
    update(QRect(14, height() - 95, 219 - 14, 95 - 14));
}

QRect CMainDlg::IndicatorRect() const {
    return QRect(width() - kIndicatorRight, height() - kIndicatorBottom, kIndicatorWidth,
                 kIndicatorHeight);
}

QString CMainDlg::ClockText(std::uint32_t elapsed) {
    const std::uint32_t seconds = elapsed / 1000;
    return QString::asprintf("%.2d:%.2d", static_cast<int>(seconds / 60),
                             static_cast<int>(seconds % 60));
}

void CMainDlg::OnPlayingTick() {
    m_nAnimFrame %= kPlayingFrames;
    m_bmpIndicator = LoadBitmap(IDB_PLAYING_FIRST + m_nAnimFrame);
    ++m_nAnimFrame;
    update(IndicatorRect());
}

void CMainDlg::OnRecordingTick() {
    m_nClockPhase %= kClockPhases;
    QPixmap face = LoadBitmap(m_nClockPhase < kClockPhases / 2 ? IDB_CLOCK_A : IDB_CLOCK_B);
    if (face.isNull()) {
        face = QPixmap(kIndicatorWidth, kIndicatorHeight);
        face.fill(Qt::black);
    }
    {
        QPainter painter(&face);
        painter.setFont(font());
        painter.setPen(Qt::white);
        painter.drawText(QRect(60, 18, face.width() - 60, face.height() - 18),
                         Qt::AlignLeft | Qt::AlignTop, ClockText(m_run.RecordElapsed()));
    }
    m_bmpIndicator = face;
    ++m_nClockPhase;
    update(IndicatorRect());
}

void CMainDlg::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const int cx = width();
    const int cy = height();
    const int sideHeight = cy - kTopBand - kBottomBand;
    const QColor fallback(0x1b, 0x28, 0x38);

    if (!m_bmpTop.isNull()) {
        painter.drawPixmap(QRect(0, 0, 400, kTopBand), m_bmpTop, QRect(0, 0, 400, kTopBand));
        painter.drawPixmap(QRect(400, 0, cx - 600, kTopBand), m_bmpTop,
                           QRect(400, 0, 208, kTopBand));
        painter.drawPixmap(QRect(cx - 200, 0, 200, kTopBand), m_bmpTop,
                           QRect(608, 0, 200, kTopBand));
    } else {
        painter.fillRect(QRect(0, 0, cx, kTopBand), fallback);
    }
    if (!m_bmpLeft.isNull())
        painter.drawPixmap(QRect(0, kTopBand, kLeftBorder, sideHeight), m_bmpLeft);
    else
        painter.fillRect(QRect(0, kTopBand, kLeftBorder, sideHeight), fallback);
    if (!m_bmpRight.isNull())
        painter.drawPixmap(QRect(cx - kRightBorder, kTopBand, kRightBorder, sideHeight),
                           m_bmpRight);
    else
        painter.fillRect(QRect(cx - kRightBorder, kTopBand, kRightBorder, sideHeight), fallback);
    const int bandTop = cy - kBottomBand;
    if (!m_bmpBottom.isNull()) {
        painter.drawPixmap(QRect(0, bandTop, 250, kBottomBand), m_bmpBottom,
                           QRect(0, 0, 250, kBottomBand));
        painter.drawPixmap(QRect(250, bandTop, cx - 500, kBottomBand), m_bmpBottom,
                           QRect(250, 0, 308, kBottomBand));
        painter.drawPixmap(QRect(cx - 250, bandTop, 250, kBottomBand), m_bmpBottom,
                           QRect(558, 0, 250, kBottomBand));
    } else {
        painter.fillRect(QRect(0, bandTop, cx, kBottomBand), fallback);
    }

    painter.setFont(font());
    painter.setPen(kInfoTextColour);
    const int lineHeight = 19;
    const std::pair<const QString*, int> lines[] = {
        {&m_strInfo1, cy - 82}, {&m_strInfo2, cy - 63}, {&m_strInfo3, cy - 44}};
    for (const auto& [text, top] : lines)
        painter.drawText(QRect(108, top, 219 - 108, lineHeight), Qt::AlignLeft | Qt::AlignTop,
                         *text);

    if (!m_bmpIndicator.isNull())
        painter.drawPixmap(IndicatorRect().topLeft(), m_bmpIndicator);
}

} // namespace kinovex
