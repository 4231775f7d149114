#pragma once
// The conversion window: runs the encoder on a finished recording, shows how far it has got,
// offers Cancel Conversion, and reports the result.

#include "core/convert/CConsoleRedirector.h"
#include "core/convert/OutputProfile.h"

#include <QDialog>
#include <QPixmap>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace kinovex {

class CSkinButtonBar;
class DesktopDialogs;

class CConvertDlg : public QDialog, private CProgressObserver {
    Q_OBJECT
public:
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 91;
    static constexpr int kCancelButtonId = 1;
    static constexpr int kBarX = 71; // the progress track in the background image
    static constexpr int kBarY = 14;
    static constexpr int kBarWidth = 168;
    static constexpr int kBarHeight = 22;
    static constexpr int kResultCancel = 2; // what the modal run returns

    // `recordingLength` in milliseconds is the 100 % mark. The profile becomes the current
    // conversion profile. The encoder starts when the window is first shown. `dialogs` shows
    // the result and opens the output folder; it outlives the window. Without sound the
    // recording's WAV is not read and the video has no sound track.
    CConvertDlg(DesktopDialogs& dialogs, OutputProfile profile, std::string tempBase,
                std::string outputBase, std::int32_t recordingLength, bool withSound = true,
                QWidget* owner = nullptr);
    ~CConvertDlg() override;

    // The width of the filled bar and the percentage for a progress in seconds against a
    // recording length in milliseconds; both capped at 100 %.
    static int BarWidth(std::int32_t progress, std::int32_t recordingLength);
    static int Percent(std::int32_t progress, std::int32_t recordingLength);

    std::int32_t Progress() const { return m_nProgress; }
    bool Cancelled() const { return m_bCancelled; }
    std::string OutputPath() const;

    // What the window does, on its own thread, for a click on its button bar, a progress
    // report and the end of the run (public so tests can drive them directly).
    void OnConvertButton(int id);
    void OnConvertProgress(int seconds);
    void OnConvertEnd();

    // Enter and Escape, and the window manager's close, cannot close the window while the
    // encoder runs: Escape means Cancel Conversion, the others do nothing.
    void accept() override;
    void reject() override;

signals:
    // A progress report has been shown: `seconds` of the recording are encoded.
    void ProgressShown(int seconds);

protected:
    void OnInitDialog();
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    DesktopDialogs& m_dialogs;
    static void ConvertThreadProc(CConvertDlg* dialog);
    // On the redirector's reader thread: handed on to the window's thread.
    void OnEncodedSeconds(int seconds) override;

    std::string m_strTempBase;
    std::string m_strOutputBase;
    std::int32_t m_nRecordingLength;
    bool m_bWithSound;
    // The profile of this conversion: read by the worker and the end-of-run handler, unchanged
    // while the window is open.
    const OutputProfile m_profile;
    CSkinButtonBar* m_wndButtons = nullptr;
    bool m_bCancelled = false;
    std::int32_t m_nProgress = 0;
    QPixmap m_bmpBackground;
    QPixmap m_bmpBar;

    // Seen by the worker: a cancel pressed before the encoder had started stops it as soon as
    // it has.
    std::atomic<bool> m_bCancelRequested{false};
    bool m_bStarted = false;
    bool m_bEnded = false;
    std::thread m_worker;
};

} // namespace kinovex
