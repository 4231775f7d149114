#include "desktop/widgets/CSettingsDlg.h"

#include "desktop/widgets/DialogUnits.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace kinovex {
namespace {

// The template's size in dialog units.
constexpr int kPageWidthDlu = 342;
constexpr int kPageHeightDlu = 188;
// A closed combo box is as tall as the label boxes beside it, so the rows line up as a grid;
// the template's taller height is its dropped list.
constexpr int kComboHeightDlu = 12;

std::string ToStd(const QString& text) {
    return text.toStdString();
}

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

void LoadComboText(QComboBox& combo, const QString& text) {
    // An empty text matches no entry: it is "nothing chosen", not the first entry.
    for (int i = 0; !text.isEmpty() && i < combo.count(); ++i) {
        if (combo.itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            combo.setCurrentIndex(i);
            return;
        }
    }
    if (combo.isEditable()) {
        combo.setCurrentIndex(-1);
        combo.setEditText(text);
    }
}

QString SaveComboText(const QComboBox& combo) {
    if (combo.isEditable())
        return combo.currentText();
    const int index = combo.currentIndex();
    return index >= 0 ? combo.itemText(index) : QString();
}

CSettingsDlg::CSettingsDlg(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CSettingsDlg"));
    setFont(DialogFont());
    resize(DialogRect(0, 0, kPageWidthDlu, kPageHeightDlu).size());
    // No background of its own: the movie page's backdrop shows through.
    setAutoFillBackground(false);

    auto* frame = new QGroupBox(this);
    frame->setGeometry(DialogRect(43, 36, 259, 116));

    m_pTitle = new QLabel(QStringLiteral("Output Settings"), this);
    m_pTitle->setObjectName(QString::number(IDC_TITLE));
    // The title sits on the backdrop, not in the frame, so it is drawn white and transparent.
    // It is centred on its template box, which a font that runs wide would overflow.
    const QRect titleBox = DialogRect(145, 26, 68, 8);
    QPalette titlePalette = m_pTitle->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    m_pTitle->setPalette(titlePalette);
    m_pTitle->setAutoFillBackground(false);
    m_pTitle->adjustSize();
    m_pTitle->move(titleBox.center().x() - m_pTitle->width() / 2, titleBox.top());

    AddLabel(IDC_OUTPUT_LABEL, 57, 51, 51, 12);
    m_pOutput = new QLineEdit(this);
    m_pOutput->setObjectName(QString::number(IDC_OUTPUT));
    m_pOutput->setGeometry(DialogRect(107, 51, 181, 12));
    // The folder is persisted at exit, so the member follows what the user types; otherwise
    // a folder typed without starting a playback would be forgotten.
    connect(m_pOutput, &QLineEdit::textEdited, this,
            [this](const QString& text) { outputFolder = text; });

    AddLabel(IDC_PROFILE_LABEL, 57, 62, 51, 12);
    m_pProfile = AddCombo(IDC_PROFILE, 107, 62, 181, false, {});
    for (const char* name : kProfileNames)
        m_pProfile->addItem(QString::fromLatin1(name));
    // Every choice counts, including choosing the selected entry again (it resets the preset).
    connect(m_pProfile, &QComboBox::activated, this, [this] { OnSelchangeProfile(); });

    AddLabel(IDC_VIDEO_LABEL, 57, 84, 116, 12, true);
    AddLabel(IDC_AUDIO_LABEL, 172, 84, 116, 12, true);

    AddLabel(IDC_VCODEC_LABEL, 57, 95, 51, 12);
    m_pVideoCodec = AddCombo(IDC_VCODEC, 107, 95, 66, false, {"xvid"});
    AddLabel(IDC_SIZE_LABEL, 57, 106, 51, 12);
    m_pFrameSize = AddCombo(IDC_SIZE, 107, 106, 66, false, {"368x208", "320x240", "160x112"});
    AddLabel(IDC_VBITRATE_LABEL, 57, 117, 51, 12);
    m_pVideoBitrate =
        AddCombo(IDC_VBITRATE, 107, 117, 66, true, {"256k", "512k", "768k", "1000k", "1500k"});
    AddLabel(IDC_FPS_LABEL, 57, 128, 51, 12);
    m_pFrameRate = AddCombo(IDC_FPS, 107, 128, 66, true, {"10", "15", "25", "29.97", "30"});

    AddLabel(IDC_ACODEC_LABEL, 172, 95, 51, 12);
    m_pAudioCodec = AddCombo(IDC_ACODEC, 222, 95, 66, false, {"aac"});
    AddLabel(IDC_CHANNEL_LABEL, 172, 106, 51, 12);
    m_pChannels = AddCombo(IDC_CHANNEL, 222, 106, 66, false, {"2"});
    AddLabel(IDC_ABITRATE_LABEL, 172, 117, 51, 12);
    m_pAudioBitrate = AddCombo(IDC_ABITRATE, 222, 117, 66, true,
                               {"128k", "112k", "96k", "64k", "48k", "32k", "12k"});
    AddLabel(IDC_SAMPLERATE_LABEL, 172, 128, 51, 12);
    m_pSampleRate =
        AddCombo(IDC_SAMPLERATE, 222, 128, 66, true, {"44100", "22050", "11025", "8000"});

    // Tab order follows the template: folder, profile, then the video and audio columns.
    setTabOrder(m_pOutput, m_pProfile);
    setTabOrder(m_pProfile, m_pVideoCodec);
    setTabOrder(m_pVideoCodec, m_pFrameSize);
    setTabOrder(m_pFrameSize, m_pVideoBitrate);
    setTabOrder(m_pVideoBitrate, m_pFrameRate);
    setTabOrder(m_pFrameRate, m_pAudioCodec);
    setTabOrder(m_pAudioCodec, m_pChannels);
    setTabOrder(m_pChannels, m_pAudioBitrate);
    setTabOrder(m_pAudioBitrate, m_pSampleRate);
}

QLineEdit* CSettingsDlg::AddLabel(int id, int x, int y, int width, int height, bool centred) {
    // A read-only edit with a border: the labels line up with the value boxes as a grid.
    auto* label = new QLineEdit(this);
    label->setObjectName(QString::number(id));
    label->setGeometry(DialogRect(x, y, width, height));
    label->setReadOnly(true);
    label->setFocusPolicy(Qt::NoFocus);
    label->setAlignment(centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    label->setPalette(palette);
    return label;
}

QComboBox* CSettingsDlg::AddCombo(int id, int x, int y, int width, bool editable,
                                  std::initializer_list<const char*> entries) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(QString::number(id));
    combo->setGeometry(DialogRect(x, y, width, kComboHeightDlu));
    if (editable) {
        combo->setEditable(true);
        // Typed values go to the encoder as typed: no completion, and the lists stay fixed.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
    }
    for (const char* entry : entries)
        combo->addItem(QString::fromLatin1(entry));
    combo->setCurrentIndex(-1);
    return combo;
}

QWidget* CSettingsDlg::GetDlgItem(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void CSettingsDlg::LoadControls() {
    m_pOutput->setText(outputFolder);
    m_pProfile->setCurrentIndex(
        profileIndex >= 0 && profileIndex < m_pProfile->count() ? profileIndex : -1);
    LoadComboText(*m_pFrameSize, frameSize);
    LoadComboText(*m_pVideoBitrate, videoBitrate);
    LoadComboText(*m_pFrameRate, frameRate);
    LoadComboText(*m_pVideoCodec, videoCodec);
    LoadComboText(*m_pAudioCodec, audioCodec);
    LoadComboText(*m_pAudioBitrate, audioBitrate);
    LoadComboText(*m_pSampleRate, sampleRate);
    LoadComboText(*m_pChannels, channels);
}

void CSettingsDlg::SaveControls() {
    outputFolder = m_pOutput->text();
    frameSize = SaveComboText(*m_pFrameSize);
    videoBitrate = SaveComboText(*m_pVideoBitrate);
    frameRate = SaveComboText(*m_pFrameRate);
    profileIndex = m_pProfile->currentIndex();
    videoCodec = SaveComboText(*m_pVideoCodec);
    audioCodec = SaveComboText(*m_pAudioCodec);
    audioBitrate = SaveComboText(*m_pAudioBitrate);
    sampleRate = SaveComboText(*m_pSampleRate);
    channels = SaveComboText(*m_pChannels);
}

void CSettingsDlg::OnInitDialog() {
    m_bInitialised = true;
    LoadControls();

    static constexpr struct {
        int id;
        const char* text;
    } kLabels[] = {
        {IDC_OUTPUT_LABEL, "Output:"},   {IDC_PROFILE_LABEL, "Profile:"},
        {IDC_VIDEO_LABEL, "Video"},      {IDC_AUDIO_LABEL, "Audio"},
        {IDC_VCODEC_LABEL, "Codec"},     {IDC_ACODEC_LABEL, "Codec"},
        {IDC_SIZE_LABEL, "Size"},        {IDC_CHANNEL_LABEL, "Channel"},
        {IDC_VBITRATE_LABEL, "Bitrate"}, {IDC_ABITRATE_LABEL, "Bitrate"},
        {IDC_FPS_LABEL, "FPS"},          {IDC_SAMPLERATE_LABEL, "Sample Rate"},
    };
    for (const auto& label : kLabels) {
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(label.id)))
            edit->setText(QString::fromLatin1(label.text));
    }

    OnSelchangeProfile();
}

void CSettingsDlg::OnSelchangeProfile() {
    SaveControls();

    OutputProfile preset;
    preset.videoCodec = ToStd(videoCodec);
    preset.frameSize = ToStd(frameSize);
    preset.frameRate = ToStd(frameRate);
    preset.videoBitrate = ToStd(videoBitrate);
    preset.audioCodec = ToStd(audioCodec);
    preset.audioBitrate = ToStd(audioBitrate);
    preset.channels = ToStd(channels);
    preset.sampleRate = ToStd(sampleRate);
    preset.extension = ToStd(extension);
    ApplyProfilePreset(profileIndex, preset);
    videoCodec = FromStd(preset.videoCodec);
    frameSize = FromStd(preset.frameSize);
    frameRate = FromStd(preset.frameRate);
    videoBitrate = FromStd(preset.videoBitrate);
    audioCodec = FromStd(preset.audioCodec);
    audioBitrate = FromStd(preset.audioBitrate);
    channels = FromStd(preset.channels);
    sampleRate = FromStd(preset.sampleRate);
    extension = FromStd(preset.extension);

    LoadControls();
}

OutputProfile CSettingsDlg::GetProfile() {
    if (!m_bInitialised)
        OnInitDialog(); // what opening the page would have shown
    SaveControls();

    OutputProfile profile;
    profile.profileIndex = profileIndex;
    profile.outputFolder = ToStd(outputFolder);
    profile.videoCodec = ToStd(videoCodec);
    profile.frameSize = ToStd(frameSize);
    profile.frameRate = ToStd(frameRate);
    profile.videoBitrate = ToStd(videoBitrate);
    profile.audioCodec = ToStd(audioCodec);
    profile.audioBitrate = ToStd(audioBitrate);
    profile.channels = ToStd(channels);
    profile.sampleRate = ToStd(sampleRate);
    profile.extension = ToStd(extension);
    return profile;
}

void CSettingsDlg::paintEvent(QPaintEvent*) {
    // Nothing of its own to draw: the frame and controls paint themselves on the backdrop.
}

void CSettingsDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised)
        OnInitDialog();
    QWidget::showEvent(event);
}

void CSettingsDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape end nothing here: the values take effect as they are, and the page
    // must not close the window it lives in.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace kinovex
