#pragma once
// The Output Settings page: the output folder and the encoder values of the chosen profile.

#include "core/convert/OutputProfile.h"

#include <QString>
#include <QWidget>

#include <initializer_list>

class QComboBox;
class QLabel;
class QLineEdit;

namespace kinovex {

class CSettingsDlg : public QWidget {
    Q_OBJECT
public:
    // Control ids of the page's template; GetDlgItem finds the controls by them.
    enum {
        IDD = 131,
        IDC_TITLE = 1036,
        IDC_OUTPUT_LABEL = 1022,
        IDC_OUTPUT = 1009,
        IDC_PROFILE_LABEL = 1020,
        IDC_PROFILE = 1021,
        IDC_VIDEO_LABEL = 1027,
        IDC_AUDIO_LABEL = 1050,
        IDC_VCODEC_LABEL = 1024,
        IDC_VCODEC = 1026,
        IDC_SIZE_LABEL = 1030,
        IDC_SIZE = 1031,
        IDC_VBITRATE_LABEL = 1032,
        IDC_VBITRATE = 1033,
        IDC_FPS_LABEL = 1034,
        IDC_FPS = 1035,
        IDC_ACODEC_LABEL = 1042,
        IDC_ACODEC = 1043,
        IDC_CHANNEL_LABEL = 1044,
        IDC_CHANNEL = 1045,
        IDC_ABITRATE_LABEL = 1046,
        IDC_ABITRATE = 1047,
        IDC_SAMPLERATE_LABEL = 1048,
        IDC_SAMPLERATE = 1049,
    };

    explicit CSettingsDlg(QWidget* parent = nullptr);

    // Loads the controls from the members, sets the label texts and applies the profile's
    // preset. Runs by itself the first time the page is shown (or a profile is asked for);
    // the movie page may also run it when it creates its panels.
    void OnInitDialog();

    // The profile list's selection changed: the preset of the chosen profile replaces the
    // codec, size and rate values, and the user's own choices for them are gone.
    void OnSelchangeProfile();

    // A filled profile record for a playback to copy: exactly what the controls show,
    // including text typed into an editable combo without any notification yet.
    OutputProfile GetProfile();

    QWidget* GetDlgItem(int id) const;

    // The page's values, in the order of the profile's fields they feed. Start-up loads
    // profileIndex and outputFolder before the window shows and stores them after it closed.
    QString extension;
    QString outputFolder = QStringLiteral("E:\\");
    QString frameSize = QStringLiteral("Original");
    QString videoBitrate = QStringLiteral("256");
    QString frameRate = QStringLiteral("20");
    int profileIndex = 0;
    QString videoCodec;
    QString audioCodec;
    QString audioBitrate;
    QString sampleRate;
    QString channels = QStringLiteral("2");

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // "Load" puts the members into the controls; "save" reads the controls into the members.
    void LoadControls();
    void SaveControls();

    QLineEdit* AddLabel(int id, int x, int y, int width, int height, bool centred = false);
    QComboBox* AddCombo(int id, int x, int y, int width, bool editable,
                        std::initializer_list<const char*> entries);

    bool m_bInitialised = false;
    QLabel* m_pTitle = nullptr;
    QLineEdit* m_pOutput = nullptr;
    QComboBox* m_pProfile = nullptr;
    QComboBox* m_pVideoCodec = nullptr;
    QComboBox* m_pFrameSize = nullptr;
    QComboBox* m_pVideoBitrate = nullptr;
    QComboBox* m_pFrameRate = nullptr;
    QComboBox* m_pAudioCodec = nullptr;
    QComboBox* m_pChannels = nullptr;
    QComboBox* m_pAudioBitrate = nullptr;
    QComboBox* m_pSampleRate = nullptr;
};

// Combo-box data exchange, shared with every page that binds text members to combos.
// Load selects the first entry that begins with `text` (letter case ignored); with none (and
// for an empty text), an editable combo shows the text as typed and a pick-only list keeps its
// selection.
void LoadComboText(QComboBox& combo, const QString& text);
// The edit field of an editable combo, else the selected entry's text (empty for none).
QString SaveComboText(const QComboBox& combo);

} // namespace kinovex
