#include "desktop/convertwindow/CConvertDlg.h"

#include "core/convert/AviHeaderFix.h"
#include "core/convert/CConsoleRedirector.h"
#include "desktop/widgets/CSkinButtonBar.h"
#include "platform/qt/Bitmaps.h"
#include "platform/qt/DesktopDialogs.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <algorithm>

namespace kinovex {
namespace {

// The Cancel Conversion button, the whole of the bar's image.
const SkinButton kCancelButton = {1,  CConvertDlg::kCancelButtonId, 0, 0, 62,
                                  26, "Cancel Conversion"};

QFont WindowFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    return font;
}

} // namespace

CConvertDlg::CConvertDlg(DesktopDialogs& dialogs, OutputProfile profile, std::string tempBase,
                         std::string outputBase, std::int32_t recordingLength, bool withSound,
                         QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_dialogs(dialogs),
      m_strTempBase(std::move(tempBase)), m_strOutputBase(std::move(outputBase)),
      m_nRecordingLength(recordingLength), m_bWithSound(withSound), m_profile(std::move(profile)) {
    setModal(true);
    setFont(WindowFont());
    setWindowTitle(QStringLiteral("Converting"));
    m_wndButtons = new CSkinButtonBar(this);
}

CConvertDlg::~CConvertDlg() {
    // Closed without its end (the program is going away): the encoder must not outlive it.
    if (m_worker.joinable()) {
        m_bCancelRequested = true; // in case the worker has yet to start the encoder
        GetProgressRedirector().StopRedirect();
        m_worker.join();
    }
    GetProgressRedirector().RemoveObserver(this);
}

std::string CConvertDlg::OutputPath() const {
    return m_strOutputBase + m_profile.extension;
}

int CConvertDlg::BarWidth(std::int32_t progress, std::int32_t recordingLength) {
    if (progress <= 0 || recordingLength <= 0)
        return 0;
    // 64 bits: a long recording would overflow 32 (168000 x 12 783 s).
    const std::int64_t width = std::int64_t{progress} * kBarWidth * 1000 / recordingLength;
    return static_cast<int>(std::min<std::int64_t>(width, kBarWidth));
}

int CConvertDlg::Percent(std::int32_t progress, std::int32_t recordingLength) {
    if (progress <= 0 || recordingLength <= 0)
        return 0;
    const std::int64_t percent = std::int64_t{progress} * 100000 / recordingLength;
    return static_cast<int>(std::min<std::int64_t>(percent, 100));
}

void CConvertDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bStarted) {
        m_bStarted = true;
        OnInitDialog();
    }
}

void CConvertDlg::OnInitDialog() {
    setFixedSize(kWidth, kHeight);

    m_wndButtons->SetButtons(1, &kCancelButton, 208, 211, 209, 210);
    // Handled after the mouse event, as a click on the bar always was.
    connect(m_wndButtons, &CSkinButtonBar::clicked, this, &CConvertDlg::OnConvertButton,
            Qt::QueuedConnection);
    m_wndButtons->setGeometry(90, 64, 62, 26);

    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, kWidth, kHeight), 6, 6);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));

    m_bmpBackground = LoadBitmap(213);
    m_bmpBar = LoadBitmap(212);

    m_bCancelled = false;
    m_bCancelRequested = false;
    GetProgressRedirector().SetObserver(this);
    m_worker = std::thread(&CConvertDlg::ConvertThreadProc, this);
    m_nProgress = 0;
    update();
}

void CConvertDlg::ConvertThreadProc(CConvertDlg* dialog) {
    CProgressRedirector& redirector = GetProgressRedirector();
    const std::string command = BuildEncoderCommand(dialog->m_profile, dialog->m_strTempBase,
                                                    dialog->m_strOutputBase, dialog->m_bWithSound);
    // A failed start leaves no reader thread; the run then ends with no progress.
    redirector.StartRedirect(command);
    if (dialog->m_bCancelRequested)
        redirector.StopRedirect();
    if (auto reader = redirector.ReaderThread())
        reader->Wait();
    // Every progress report of the run was queued before this.
    QMetaObject::invokeMethod(dialog, &CConvertDlg::OnConvertEnd, Qt::QueuedConnection);
}

void CConvertDlg::OnEncodedSeconds(int seconds) {
    QMetaObject::invokeMethod(
        this, [this, seconds] { OnConvertProgress(seconds); }, Qt::QueuedConnection);
}

void CConvertDlg::OnConvertButton(int id) {
    if (id != kCancelButtonId || m_bEnded)
        return;
    m_bCancelled = true;
    m_bCancelRequested = true;
    // Only a running encoder is stopped; one that has finished by itself keeps its reader
    // thread's own ending, and the outcome is still a cancel.
    CProgressRedirector& redirector = GetProgressRedirector();
    if (redirector.IsChildRunning())
        redirector.StopRedirect();
}

void CConvertDlg::OnConvertProgress(int seconds) {
    m_nProgress = seconds;
    update();
    emit ProgressShown(seconds);
}

void CConvertDlg::OnConvertEnd() {
    if (m_bEnded)
        return;
    m_bEnded = true;
    if (m_worker.joinable())
        m_worker.join();

    const OutputProfile& profile = m_profile;
    const QString output = QString::fromStdString(OutputPath());
    if (m_bCancelled) {
        m_dialogs.MessageBox(QStringLiteral("User canceled."), this);
        QFile::remove(output); // nothing to do if it is not there
    } else {
        // Progress alone is not enough: an encoder that fails after its first second (a full
        // disk, a broken input) has reported progress too, and its file is no movie.
        const std::optional<int> status = GetProgressRedirector().ChildExitStatus();
        bool succeeded = m_nProgress > 0 && (!status || *status == 0) && QFileInfo::exists(output);
        if (succeeded && profile.videoCodec == "msmpeg4")
            succeeded = FixMsmpeg4Header(OutputPath()) != AviHeaderFix::CannotOpen;
        if (!succeeded) {
            m_dialogs.MessageBox(QStringLiteral("Conversion failed."), this);
        } else {
            // Always a full bar behind the message, also when the last report fell short.
            m_nProgress = m_nRecordingLength / 1000 + 100;
            repaint();
            m_dialogs.MessageBox(QStringLiteral("Conversion finished successfully!"), this);
            m_dialogs.OpenFolder(QString::fromStdString(profile.outputFolder));
        }
    }
    done(kResultCancel);
}

void CConvertDlg::accept() {
    if (m_bEnded)
        QDialog::accept();
}

void CConvertDlg::reject() {
    if (m_bEnded)
        QDialog::reject();
    else
        OnConvertButton(kCancelButtonId);
}

void CConvertDlg::closeEvent(QCloseEvent* event) {
    if (m_bEnded)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void CConvertDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_bmpBackground, 0, 0, kWidth, kHeight);
    if (m_nProgress <= 0 || m_nRecordingLength <= 0)
        return; // the bare face until the first whole second
    painter.drawPixmap(kBarX, kBarY, m_bmpBar, 0, 0, BarWidth(m_nProgress, m_nRecordingLength),
                       kBarHeight);
    painter.setFont(font());
    painter.setPen(QColor(0x2b, 0x33, 0x3d)); // the ink of the caption in the face
    painter.drawText(QRect(210, 40, kWidth - 210, 20), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("%1%").arg(Percent(m_nProgress, m_nRecordingLength)));
}

} // namespace kinovex
