#include "NotedDialogs.h"
#include "TempDir.h"

#include "desktop/help/CAboutDlg.h"
#include "desktop/help/HelpCommands.h"
#include "desktop/help/HelpSettings.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class HelpCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dialogs.onBox = [this](const QString& text, const QString&) {
            messages.push_back(text.toStdString());
        };
        m_dialogs.onOpen = [this](const QString& url) {
            opened.push_back(url.toStdString());
            return true;
        };
    }
    test::TempDir programFolder{"kinovex help ü"};
    test::TempDir home{"kinovex home"};
    test::ScopedEnv programEnv{"KINOVEX_PROGRAM_FOLDER", programFolder.str()};
    test::ScopedEnv settingsEnv{"KINOVEX_SETTINGS", (home / "kinovex.conf").string()};
    std::vector<std::string> messages;
    std::vector<std::string> opened;
    test::NotedDialogs m_dialogs;
};

TEST_F(HelpCommandsTest, HelpOpensTheManualBesideTheProgramOrSaysItIsMissing) {
    ShowHelp(m_dialogs, nullptr);
    fs::create_directory(programFolder / "help.html"); // a folder is no manual
    ShowHelp(m_dialogs, nullptr);
    EXPECT_EQ(messages, (Strings{"Cannot find help file.", "Cannot find help file."}));
    EXPECT_TRUE(opened.empty());

    messages.clear();
    fs::remove(programFolder / "help.html");
    test::WriteFile(programFolder / "help.html", "<html></html>");
    ShowHelp(m_dialogs, nullptr);
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(opened.size(), 1u);
    // A real URL, so a blank or a non-ASCII letter in the folder's name survives the browser.
    const QUrl url(QString::fromStdString(opened[0]));
    EXPECT_TRUE(url.isLocalFile()) << opened[0];
    EXPECT_EQ(url.toLocalFile().toStdString(), (programFolder / "help.html").string());
}

TEST_F(HelpCommandsTest, TheBuildPutsTheManualInTheProgramFolder) {
    const std::string built = test::ReadFile(fs::path(KINOVEX_PROGRAM_DIR) / "help.html");
    EXPECT_EQ(built, test::ReadFile(fs::path(KINOVEX_SOURCE_DIR) / "res" / "help.html"));
    EXPECT_NE(built.find("kinovex-convert"), std::string::npos);
}

TEST_F(HelpCommandsTest, WebsiteIsTheSettingOrTheDefault) {
    OpenWebsite(m_dialogs);
    test::WriteFile(home / "kinovex.conf", "[Moviqa]\nWebsite=https://example.test/k\n");
    OpenWebsite(m_dialogs);
    EXPECT_EQ(opened, (Strings{kDefaultWebsite, "https://example.test/k"}));
    EXPECT_TRUE(messages.empty());
}

// Sends a left click where the window system would: to the child under the point, unless
// that child lets mouse events through.
void ClickAt(QWidget& window, QPoint point) {
    QWidget* target = window.childAt(point);
    if (target == nullptr)
        target = &window;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&window, point));
}

class AboutBoxTest : public ::testing::Test {
protected:
    // The bitmaps the build copies into its program folder.
    test::ScopedEnv programEnv{"KINOVEX_PROGRAM_FOLDER", KINOVEX_PROGRAM_DIR};
};

TEST_F(AboutBoxTest, ShowsItsPictureInARoundedBox) {
    CAboutDlg box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.size(), QSize(400, 250));
    EXPECT_TRUE(box.windowFlags().testFlag(Qt::FramelessWindowHint));

    const auto* picture = box.findChild<QLabel*>();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(400, 250)); // bitmap 162 is there and whole

    const QRegion outline = box.mask();
    EXPECT_FALSE(outline.contains(QPoint(0, 0)));
    EXPECT_FALSE(outline.contains(QPoint(399, 249)));
    EXPECT_TRUE(outline.contains(QPoint(7, 7)));
    EXPECT_TRUE(outline.contains(QPoint(200, 0)));
    EXPECT_TRUE(outline.contains(QPoint(0, 125)));
}

TEST_F(AboutBoxTest, ClosesOnEnterOrEscape) {
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        CAboutDlg box;
        box.show();
        QTest::keyClick(&box, key);
        EXPECT_FALSE(box.isVisible()) << key;
    }
}

TEST_F(AboutBoxTest, ShowAboutBoxReturnsOnceClicked) {
    bool closedByClick = false;
    std::function<void()> clickTheBox = [&] {
        auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(0, clickTheBox); // not up yet
            return;
        }
        ClickAt(*box, QPoint(20, 230));
        closedByClick = !box->isVisible();
        if (!closedByClick)
            box->done(-1); // end it anyway, so that the test reports instead of hanging
    };
    QTimer::singleShot(0, clickTheBox);
    ShowAboutBox(nullptr);
    EXPECT_TRUE(closedByClick);
}

} // namespace
} // namespace kinovex
