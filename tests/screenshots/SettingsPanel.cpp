// A picture of the Output Settings panel for the docs, taken from a real X display
// (scripts/screenshots.sh).

#include "Screenshots.h"
#include "desktop/widgets/CSettingsDlg.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace kinovex {
namespace {

// The movie page's backdrop: bitmap 195 tiled.
class Backdrop : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        static const QPixmap tile(QStringLiteral(KINOVEX_SOURCE_DIR "/res/bitmaps/195.png"));
        QPainter(this).fillRect(rect(), QBrush(tile));
    }
};

TEST(Screenshot, SettingsPanel) {
    const QString folder = test::ScreenshotFolder();
    ASSERT_FALSE(folder.isEmpty()) << "set KINOVEX_SCREENSHOTS and run on an X display";

    Backdrop panel;
    panel.setWindowFlag(Qt::FramelessWindowHint);
    panel.setGeometry(0, 0, 800, 500);
    auto* page = new CSettingsDlg(&panel);
    page->outputFolder = QStringLiteral("/home/ann/Documents/Tessaline");
    page->profileIndex = 0;
    page->move(800 / 2 - page->width() / 2, 500 / 2 - page->height() / 2);

    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QCoreApplication::processEvents();

    EXPECT_TRUE(test::CaptureScreenArea(panel, folder + "/settings-panel.png"));
}

} // namespace
} // namespace kinovex
