#include "desktop/moviepage/CMoviePage.h"

#include "core/movie/CSwfHeaderReader.h"
#include "core/record/RecordingRun.h"
#include "core/record/TempFolder.h"
#include "desktop/moviepage/CPlayerWidget.h"
#include "desktop/moviepage/CPlayerWnd.h"
#include "desktop/widgets/CSettingsDlg.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/Bitmaps.h"
#include "platform/qt/DesktopDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSignalBlocker>

#include <algorithm>
#include <utility>

namespace kinovex {

namespace {
constexpr int kSplitterWidth = 3;
constexpr int kMinTreeWidth = 200;
constexpr unsigned kHiddenDriveTypes = 0x35;
constexpr int kHeadWidth = 500;
constexpr int kHeadHeight = 300;

bool IsMovieSignature(const SwfHeaderInfo& info) {
    const char first = info.signature[0];
    return (first == 'F' || first == 'C' || first == 'Z') && info.signature[1] == 'W' &&
           info.signature[2] == 'S';
}
} // namespace

CMoviePage::CMoviePage(RecordingRun& run, DesktopDialogs& dialogs, std::string tempFolder,
                       QWidget* parent)
    : QWidget(parent), m_pSettingsDlg(new CSettingsDlg(this)), m_wndSplitter(this),
      m_wndFolderTree(this), m_wndFileList(this), m_run(run), m_dialogs(dialogs),
      m_strTempFolder(std::move(tempFolder)) {
    // Panel 0 is covered by the tree and the list; the rest is painted with the pattern.
    setAutoFillBackground(false);
    // The tree's starting width; the user moves it with the splitter.
    m_wndFolderTree.setGeometry(0, 0, 250, 300);

    connect(&m_wndFolderTree, &CTreeFileCtrl::SelChanged, this, &CMoviePage::OnTreeSelChanged);
    connect(&m_wndFileList, &CMovieListCtrl::ItemChanged, this, &CMoviePage::OnListItemChanged);
    connect(&m_wndFileList, &CMovieListCtrl::DblClk, this, &CMoviePage::OnListDblClk);
    // Laid out once the splitter's release has been handled.
    connect(&m_wndSplitter, &CSplitterBar::moved, this, &CMoviePage::OnSplitterMoved,
            Qt::QueuedConnection);
}

CMoviePage::~CMoviePage() {
    // The player thread calls back into the page: it ends first.
    FinishPlayerThread();
    // The list and tree go before the page's own fields are gone; nothing is to hear of it.
    m_wndFileList.disconnect(this);
    m_wndFolderTree.disconnect(this);
}

void CMoviePage::OnInitDialog() {
    if (m_bInitialised)
        return;
    m_bInitialised = true;

    m_wndFolderTree.InitTree();
    m_wndFolderTree.SetShowDesktop(true);
    m_wndFolderTree.SetShowNetwork(true);
    m_wndFolderTree.SetShowFiles(false);
    m_wndFolderTree.SetHiddenDriveTypes(kHiddenDriveTypes);
    m_wndFolderTree.SetOperationFlags(0);

    if (!m_strMovieFolder.isEmpty()) {
        // The saved folder stays as it was, even when only part of it exists now (a drive
        // not mounted yet): the tree shows as much of it as it can, and the folder is kept
        // for the next start.
        {
            const QSignalBlocker quiet(&m_wndFolderTree);
            m_wndFolderTree.SelectFolder(m_strMovieFolder, true);
        }
        m_wndFileList.FillFromFolder(m_strMovieFolder);
        // As a click on it would: the movie's information shows and Play plays it.
        const QList<QListWidgetItem*> start =
            m_wndFileList.findItems(m_strStartMovie, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!m_strStartMovie.isEmpty() && !start.isEmpty())
            m_wndFileList.setCurrentItem(start.front());
    }

    m_pSettingsDlg->OnInitDialog();

    const QPixmap tile = LoadBitmap(IDB_BACKGROUND);
    m_brBackground = tile.isNull() ? QBrush(palette().color(QPalette::Window)) : QBrush(tile);

    m_pHeadWnd = new CPlayerWidget(this);
    m_pHeadWnd->setGeometry(width() / 2 - kHeadWidth / 2, height() / 2 - kHeadHeight / 2,
                            kHeadWidth, kHeadHeight);
    m_pHeadWnd->LoadMovie(QString::fromStdString(ProgramFolder()) + QStringLiteral("/head.swf"));
    m_pHeadWnd->show();
}

void CMoviePage::showEvent(QShowEvent* event) {
    OnInitDialog();
    QWidget::showEvent(event);
}

void CMoviePage::LayoutPanels(int panelWidth, int panelHeight) {
    setGeometry(x(), y(), 3 * panelWidth, panelHeight);

    const int treeWidth = m_wndFolderTree.width();
    m_wndFolderTree.setGeometry(0, 0, treeWidth, panelHeight);
    m_wndFileList.setGeometry(treeWidth + kSplitterWidth, 0,
                              panelWidth - treeWidth - kSplitterWidth, panelHeight);
    m_wndSplitter.setGeometry(treeWidth, 1, kSplitterWidth, panelHeight - 2);

    m_pSettingsDlg->move(5 * panelWidth / 2 - m_pSettingsDlg->width() / 2,
                         panelHeight / 2 - m_pSettingsDlg->height() / 2);

    QWidget* player = m_pPlayerWnd != nullptr ? static_cast<QWidget*>(m_pPlayerWnd) : m_pHeadWnd;
    if (player != nullptr)
        player->setGeometry(3 * panelWidth / 2 - m_nMovieWidth / 2,
                            panelHeight / 2 - m_nMovieHeight / 2, m_nMovieWidth, m_nMovieHeight);
}

void CMoviePage::OnSplitterMoved(QPoint screenPoint) {
    const QPoint point = mapFromGlobal(screenPoint);
    const int clientWidth = width();
    const int clientHeight = height();
    const int limit = clientWidth / 3 - kMinTreeWidth;
    // On a page too narrow for both minimums the right limit wins.
    const int treeWidth = std::min(std::max(point.x(), kMinTreeWidth), limit);

    m_wndFolderTree.setGeometry(0, 0, treeWidth, clientHeight);
    m_wndFileList.setGeometry(treeWidth + kSplitterWidth, 0,
                              clientWidth / 3 - treeWidth - kSplitterWidth, clientHeight);
    m_wndSplitter.setGeometry(treeWidth, 1, kSplitterWidth, clientHeight - 2);
}

void CMoviePage::paintEvent(QPaintEvent* /*event*/) {
    if (m_nHeadState == HeadNotPainted)
        m_nHeadState = HeadShown;
    QPainter painter(this);
    const int left = width() / 3;
    painter.fillRect(QRect(left, 0, width() - left, height()), m_brBackground);
}

void CMoviePage::OnTreeSelChanged() {
    m_strMovieFolder = m_wndFolderTree.GetSelectedFolder();
    if (!m_strMovieFolder.isEmpty()) {
        if (!m_strMovieFolder.endsWith(QLatin1Char('/')))
            m_strMovieFolder += QLatin1Char('/');
        m_wndFileList.FillFromFolder(m_strMovieFolder);
    } else {
        m_strMovieFolder = QStringLiteral("/");
        m_wndFileList.clear();
    }
    m_strMovieName.clear();
    SetInfoText(QString(), QString(), QString());
}

QString CMoviePage::MovieFilePath(const QString& folder, const QString& name) {
    const QString exact = folder + name + QStringLiteral(".swf");
    if (QFileInfo::exists(exact))
        return exact;
    // The list shows "Cartoon" for "Cartoon.SWF" too; file names are case-sensitive here.
    const QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& file : files) {
        if (file.size() == name.size() + 4 && file.startsWith(name, Qt::CaseSensitive) &&
            file.endsWith(QStringLiteral(".swf"), Qt::CaseInsensitive))
            return folder + file;
    }
    return exact;
}

void CMoviePage::OnListItemChanged(int item) {
    if (item == -1 || m_wndFileList.item(item) == nullptr) {
        SetInfoText(QString(), QString(), QString());
        return;
    }
    m_strMovieName = m_wndFileList.item(item)->text();

    SwfHeaderInfo info{};
    CSwfHeaderReader reader;
    const QByteArray path = QFile::encodeName(MovieFilePath(m_strMovieFolder, m_strMovieName));
    // Only the three movie signatures make a header; any other file's bytes would give a
    // made-up size and rate.
    if (!reader.ReadHeader(path.constData(), info) || !IsMovieSignature(info))
        info = SwfHeaderInfo{};

    const int width = info.xMax / 20;
    const int height = info.yMax / 20;
    // A movie without a usable size must not shrink the player window to nothing.
    if (width > 0 && height > 0) {
        m_nMovieWidth = width;
        m_nMovieHeight = height;
    }

    SetInfoText(QString::asprintf("Frame: %d", static_cast<int>(info.frameCount)),
                QString::asprintf("FPS:    %.2f", static_cast<double>(info.frameRate)),
                QString::asprintf("Size:    %dx%d", width, height));
}

void CMoviePage::OnListDblClk(int item) {
    if (item != -1)
        emit Play();
}

std::string CMoviePage::TempBase() const {
    return TempBaseName(m_strTempFolder, m_strMovieName.toStdString());
}

bool CMoviePage::IsPlayerRunning() const {
    return m_run.Player() != nullptr;
}

void CMoviePage::StartPlayback() {
    if (m_run.State() != RunState::Idle)
        return;
    // An earlier thread and its window go before the new ones come.
    FinishPlayerThread();
    if (m_pHeadWnd != nullptr) {
        delete m_pHeadWnd;
        m_pHeadWnd = nullptr;
    }
    m_nHeadState = HeadDestroyed;

    m_profile = m_pSettingsDlg->GetProfile();
    PlaybackSetup setup;
    setup.movieName = m_strMovieName.toStdString();
    setup.tempBase = TempBase();
    setup.profile = m_profile;

    QRect place = m_rcMovie;
    if (place.isEmpty()) {
        // Nobody placed the window: the movie's size, centred in the player panel.
        const int panelWidth = width() / 3;
        place = QRect(3 * panelWidth / 2 - m_nMovieWidth / 2, height() / 2 - m_nMovieHeight / 2,
                      m_nMovieWidth, m_nMovieHeight);
    }

    const std::uint64_t run = ++m_nPlayerRun;
    PlayerThreadOptions& options = setup.player;
    options.moviePath =
        QFile::encodeName(MovieFilePath(m_strMovieFolder, m_strMovieName)).toStdString();
    options.recordWidth = place.width();
    options.recordHeight = place.height();
    options.viewWidth = place.width();
    options.viewHeight = place.height();
    // The thread's calls come back to this page on its own thread; the page outlives the
    // thread, and messages of a run that has been replaced are ignored.
    options.onFrame = [this, run] {
        QMetaObject::invokeMethod(
            this,
            [this, run] {
                if (run == m_nPlayerRun && m_pPlayerWnd != nullptr)
                    m_pPlayerWnd->TakeFrame();
            },
            Qt::QueuedConnection);
    };
    options.onHandCursor = [this, run](bool hand) {
        QMetaObject::invokeMethod(
            this,
            [this, run, hand] {
                if (run == m_nPlayerRun && m_pPlayerWnd != nullptr)
                    m_pPlayerWnd->SetHandCursor(hand);
            },
            Qt::QueuedConnection);
    };
    options.onLoadFailed = [this](const std::string& error) {
        QString text = QString::fromLatin1(kCannotPlayText);
        if (!error.empty())
            text += QLatin1Char('\n') + QString::fromStdString(error);
        QMetaObject::invokeMethod(
            this, [this, text] { m_dialogs.MessageBox(text, this); }, Qt::QueuedConnection);
    };
    options.onEnded = [this, run] {
        QMetaObject::invokeMethod(
            this, [this, run] { OnPlayerThreadEnded(run); }, Qt::QueuedConnection);
    };

    m_run.Play(std::move(setup));
    m_pPlayerWnd = new CPlayerWnd(this);
    m_pPlayerWnd->setGeometry(place);
    m_pPlayerWnd->Attach(m_run.Player());
    m_pPlayerWnd->show();
}

void CMoviePage::FinishPlayerThread() {
    if (m_pPlayerWnd != nullptr)
        m_pPlayerWnd->Attach(nullptr);
    m_run.FinishPlayer();
    delete m_pPlayerWnd;
    m_pPlayerWnd = nullptr;
}

void CMoviePage::OnPlayerThreadEnded(std::uint64_t run) {
    if (run == m_nPlayerRun)
        FinishPlayerThread();
}

void CMoviePage::SetInfoText(const QString& line1, const QString& line2, const QString& line3) {
    emit InfoText(line1, line2, line3);
}

} // namespace kinovex
