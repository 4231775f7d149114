#include "desktop/widgets/CSettingsDlg.h"
#include "desktop/widgets/DialogUnits.h"

#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace kinovex {
namespace {

QComboBox& Combo(CSettingsDlg& page, int id) {
    auto* combo = qobject_cast<QComboBox*>(page.GetDlgItem(id));
    EXPECT_NE(combo, nullptr) << id;
    return *combo;
}

QLineEdit& Edit(CSettingsDlg& page, int id) {
    auto* edit = qobject_cast<QLineEdit*>(page.GetDlgItem(id));
    EXPECT_NE(edit, nullptr) << id;
    return *edit;
}

// What a person sees in each combo: the selected entry, or the typed text (-1 = no entry).
struct Shown {
    int index;
    QString text;
    bool operator==(const Shown&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Shown& shown) {
    return out << shown.index << " '" << shown.text.toStdString() << "'";
}
Shown ShownIn(CSettingsDlg& page, int id) {
    QComboBox& combo = Combo(page, id);
    return {combo.currentIndex(), combo.currentText()};
}

TEST(SettingsPage, OpeningWithProfileZeroShowsThePresetAndKeepsTheFolder) {
    CSettingsDlg page;
    page.outputFolder = "/home/ann/Videos out";
    page.profileIndex = 0;
    page.show();

    EXPECT_EQ(Edit(page, CSettingsDlg::IDC_OUTPUT).text(), "/home/ann/Videos out");
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_PROFILE), (Shown{0, "PSP MPEG-4 Movie(*.mp4)"}));
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_VCODEC), (Shown{0, "xvid"}));
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_SIZE), (Shown{0, "368x208"}));
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_VBITRATE), (Shown{1, "512k"}));
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_FPS), (Shown{3, "29.97"}));
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_ACODEC), (Shown{0, "aac"}));
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_CHANNEL), (Shown{0, "2"}));
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_ABITRATE), (Shown{3, "64k"}));
    // No entry begins with 24000, so the editable combo shows it as typed text.
    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_SAMPLERATE), (Shown{-1, "24000"}));

    const OutputProfile profile = page.GetProfile();
    OutputProfile expected;
    expected.profileIndex = 0;
    expected.outputFolder = "/home/ann/Videos out";
    ApplyProfilePreset(0, expected);
    EXPECT_EQ(profile, expected);

    const std::pair<int, const char*> labels[] = {
        {CSettingsDlg::IDC_OUTPUT_LABEL, "Output:"},
        {CSettingsDlg::IDC_PROFILE_LABEL, "Profile:"},
        {CSettingsDlg::IDC_VIDEO_LABEL, "Video"},
        {CSettingsDlg::IDC_AUDIO_LABEL, "Audio"},
        {CSettingsDlg::IDC_VCODEC_LABEL, "Codec"},
        {CSettingsDlg::IDC_ACODEC_LABEL, "Codec"},
        {CSettingsDlg::IDC_SIZE_LABEL, "Size"},
        {CSettingsDlg::IDC_CHANNEL_LABEL, "Channel"},
        {CSettingsDlg::IDC_VBITRATE_LABEL, "Bitrate"},
        {CSettingsDlg::IDC_ABITRATE_LABEL, "Bitrate"},
        {CSettingsDlg::IDC_FPS_LABEL, "FPS"},
        {CSettingsDlg::IDC_SAMPLERATE_LABEL, "Sample Rate"},
    };
    for (const auto& [id, text] : labels) {
        EXPECT_EQ(Edit(page, id).text(), text) << id;
        EXPECT_TRUE(Edit(page, id).isReadOnly()) << id;
    }
}

TEST(SettingsPage, TypedTextIsHandedOutWithoutAnyNotificationAndChoosingTheProfileResetsIt) {
    CSettingsDlg page;
    page.show();
    QComboBox& bitrate = Combo(page, CSettingsDlg::IDC_VBITRATE);
    bitrate.lineEdit()->selectAll();
    QTest::keyClicks(bitrate.lineEdit(), "70"); // no completion may turn this into 768k
    QTest::keyClicks(bitrate.lineEdit(), "0k");
    Combo(page, CSettingsDlg::IDC_SAMPLERATE).setEditText("48000");
    Combo(page, CSettingsDlg::IDC_SIZE).setCurrentIndex(2);

    OutputProfile profile = page.GetProfile();
    EXPECT_EQ(profile.videoBitrate, "700k");
    EXPECT_EQ(profile.sampleRate, "48000");
    EXPECT_EQ(profile.frameSize, "160x112");
    EXPECT_EQ(bitrate.count(), 5) << "typing adds no list entry";

    Edit(page, CSettingsDlg::IDC_OUTPUT).setText("/srv/out");
    emit Combo(page, CSettingsDlg::IDC_PROFILE).activated(0); // the same entry chosen again
    profile = page.GetProfile();
    EXPECT_EQ(profile.videoBitrate, "512k");
    EXPECT_EQ(profile.sampleRate, "24000");
    EXPECT_EQ(profile.frameSize, "368x208");
    EXPECT_EQ(profile.outputFolder, "/srv/out") << "the preset never touches the folder";
}

TEST(SettingsPage, AStoredProfileWithoutAPresetLeavesTheListUnselectedAndAppliesNothing) {
    CSettingsDlg page;
    page.profileIndex = 3;
    page.show();

    EXPECT_EQ(ShownIn(page, CSettingsDlg::IDC_PROFILE).index, -1);
    EXPECT_EQ(page.profileIndex, -1) << "stored as -1 at the end of the run";
    const OutputProfile profile = page.GetProfile();
    EXPECT_EQ(profile.profileIndex, -1);
    EXPECT_EQ(profile.frameSize, "") << "Original is not an entry of the pick-only size list";
    EXPECT_EQ(profile.extension, "");
    EXPECT_EQ(profile.videoBitrate, "256k") << "256 loads as the first entry beginning with it";
    EXPECT_EQ(profile.frameRate, "20") << "no entry begins with 20: kept as typed text";
    EXPECT_EQ(profile.channels, "2");
    EXPECT_EQ(profile.videoCodec, "") << "nothing selected in the codec list";
    EXPECT_EQ(profile.audioBitrate, "");
}

TEST(SettingsPage, ComboExchangeMatchesPrefixesWithoutLetterCase) {
    QComboBox list;
    list.addItems({"368x208", "320x240", "160x112"});
    list.setCurrentIndex(1);
    LoadComboText(list, "16");
    EXPECT_EQ(SaveComboText(list), "160x112");
    LoadComboText(list, "Original");
    EXPECT_EQ(SaveComboText(list), "160x112") << "a pick-only list keeps its selection";
    list.setCurrentIndex(-1);
    EXPECT_EQ(SaveComboText(list), "");
    LoadComboText(list, "");
    EXPECT_EQ(list.currentIndex(), -1) << "an empty text chooses nothing";

    QComboBox editable;
    editable.setEditable(true);
    editable.addItems({"128k", "112k", "96k"});
    LoadComboText(editable, "96K");
    EXPECT_EQ(editable.currentIndex(), 2);
    EXPECT_EQ(SaveComboText(editable), "96k");
    LoadComboText(editable, "1");
    EXPECT_EQ(SaveComboText(editable), "128k") << "the first entry that begins with it";
    LoadComboText(editable, "100k");
    EXPECT_EQ(SaveComboText(editable), "100k");
}

TEST(SettingsPage, ATypedFolderIsKeptEvenWhenNoPlaybackAsksForTheProfile) {
    CSettingsDlg page;
    page.outputFolder = "/old";
    page.show();
    QLineEdit& folder = Edit(page, CSettingsDlg::IDC_OUTPUT);
    folder.selectAll();
    QTest::keyClicks(&folder, "/media/player");
    EXPECT_EQ(page.outputFolder, "/media/player");
}

TEST(SettingsPage, EnterAndEscapeDoNotCloseTheWindowAroundThePage) {
    QDialog window;
    auto* page = new CSettingsDlg(&window);
    window.show();
    QLineEdit& folder = Edit(*page, CSettingsDlg::IDC_OUTPUT);
    folder.setFocus();
    QTest::keyClick(&folder, Qt::Key_Escape);
    QTest::keyClick(&folder, Qt::Key_Return);
    QTest::keyClick(Combo(*page, CSettingsDlg::IDC_FPS).lineEdit(), Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.result(), 0);
}

TEST(SettingsPage, PaintsNoBackgroundAndAWhiteTitle) {
    QWidget backdrop;
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, QColor(200, 0, 0));
    backdrop.setPalette(palette);
    auto* page = new CSettingsDlg(&backdrop);
    backdrop.resize(page->size());
    backdrop.show();

    const QImage image = backdrop.grab().toImage();
    EXPECT_EQ(image.pixelColor(3, 3), QColor(200, 0, 0)) << "the backdrop shows through";
    const QRect title = page->GetDlgItem(CSettingsDlg::IDC_TITLE)->geometry();
    int white = 0;
    for (int y = title.top(); y <= title.bottom(); ++y)
        for (int x = title.left(); x <= title.right(); ++x)
            white += image.pixelColor(x, y).lightness() > 200 ? 1 : 0;
    EXPECT_GT(white, 10) << "title text drawn in white on the backdrop";
}

TEST(DialogUnits, ConvertedRectanglesThatShareAnEdgeStillShareIt) {
    // Converting sizes instead of edges would open or close one-pixel gaps between the
    // label and value columns, depending on rounding.
    for (int x = 0; x < 400; ++x) {
        for (int width = 1; width < 30; ++width) {
            const QRect left = DialogRect(x, x, width, width);
            const QRect right = DialogRect(x + width, x + width, 7, 7);
            ASSERT_EQ(left.right() + 1, right.left()) << x << " " << width;
            ASSERT_EQ(left.bottom() + 1, right.top()) << x << " " << width;
        }
    }
    EXPECT_EQ(DialogRect(0, 0, 342, 188).size(), QSize(599, 376));
}

} // namespace
} // namespace kinovex
