#include "desktop/mainwindow/DesktopServices.h"

#include "desktop/convertwindow/CConvertDlg.h"
#include "platform/AudioMixer.h"
#include "platform/PulseCapture.h"
#include "platform/qt/QtServices.h"

#include <QProcess>
#include <QTime>

namespace kinovex {

void ConvertWindowLauncher::Convert(const ConversionRequest& request) {
    const QTime now = QTime::currentTime();
    const std::string outputBase =
        OutputBaseName(request.profile.outputFolder, request.movieName,
                       RecordTimeStamp(now.hour(), now.minute(), now.second(), now.msec()));
    CConvertDlg dialog(*m_dialogs, request.profile, request.tempBase, outputBase,
                       static_cast<std::int32_t>(request.elapsedMs), request.withSound, nullptr);
    dialog.exec();
}

RecordingServices DesktopRecordingServices(const std::shared_ptr<DesktopDialogs>& dialogs) {
    RecordingServices services;
    services.captureSystem = std::make_shared<CPulseCaptureSystem>();
    services.messageBoxes = std::make_shared<CQtMessageBoxService>(dialogs);
    services.encoder = std::make_shared<ConvertWindowLauncher>(dialogs);
    services.pump = std::make_shared<CQtUiEventPump>();
    return services;
}

MainWindowServices DesktopMainWindowServices(std::shared_ptr<DesktopDialogs> dialogs) {
    MainWindowServices services;
    services.dialogs = std::move(dialogs);
    services.recording = DesktopRecordingServices(services.dialogs);
    services.recordingInputs = [](std::vector<std::string>& names, int& current) {
        const CAudioMixer mixer;
        mixer.GetInputSourceName(names);
        current = mixer.GetCurrentInputSource();
    };
    services.volumeControl = [dialogs = services.dialogs] {
        if (!QProcess::startDetached(QStringLiteral("pavucontrol"), {QStringLiteral("--tab=2")}))
            dialogs->MessageBox(QStringLiteral(
                "The volume control (pavucontrol) could not be started. Choose the monitor of "
                "your speakers as the recording input in your sound settings."));
    };
    return services;
}

} // namespace kinovex
