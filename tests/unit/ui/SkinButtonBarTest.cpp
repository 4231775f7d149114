#include "desktop/widgets/CSkinButtonBar.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kinovex {
namespace {

// A bar that counts its paints.
class CCountingBar : public CSkinButtonBar {
public:
    int draws = 0;

protected:
    void Draw(QPainter& painter) override {
        ++draws;
        CSkinButtonBar::Draw(painter);
    }
};

QPixmap Solid(QColor colour, int width = 120, int height = 30) {
    QPixmap pixmap(width, height);
    pixmap.fill(colour);
    return pixmap;
}

const QColor kNormal(200, 200, 200);
const QColor kHover(0, 0, 255);
const QColor kPressed(255, 0, 0);
const QColor kDisabled(0, 255, 0);

QColor PixelAt(QWidget& widget, QPoint point) {
    return widget.grab().toImage().pixelColor(point);
}

// Two overlapping buttons (the first wins where they overlap) and a third one on its own.
class SkinButtonBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar.resize(120, 30);
        bar.SetButtons(3, buttons, Solid(kNormal), Solid(kHover), Solid(kPressed),
                       Solid(kDisabled));
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }
    void TearDown() override {
        if (QWidget::mouseGrabber() != nullptr)
            QWidget::mouseGrabber()->releaseMouse();
    }
    void Flush() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    SkinButton buttons[3] = {{1, 11, 0, 0, 40, 20, "First"},
                             {1, 12, 30, 0, 40, 20, "Second"},
                             {1, 13, 80, 0, 30, 20, nullptr}};
    CCountingBar bar;
    QSignalSpy clicks{&bar, &CSkinButtonBar::clicked};
};

TEST_F(SkinButtonBarTest, HitTestTakesTheFirstEnabledButtonInTheTable) {
    EXPECT_EQ(bar.HitTest({35, 5}), 0); // inside both
    EXPECT_EQ(bar.HitTest({69, 19}), 1);
    EXPECT_EQ(bar.HitTest({70, 5}), -1); // right and bottom edges are outside
    EXPECT_EQ(bar.HitTest({35, 20}), -1);
    bar.SetButtonState(11, 0);
    EXPECT_EQ(bar.HitTest({35, 5}), 1);
    EXPECT_EQ(bar.HitTest({5, 5}), -1);
    EXPECT_EQ(bar.ToolTipAt({5, 5}), "First"); // a disabled button keeps its tooltip
    EXPECT_EQ(bar.ToolTipAt({35, 5}), "First");
    EXPECT_EQ(bar.ToolTipAt({85, 5}), "");
}

TEST_F(SkinButtonBarTest, AClickIsAnnouncedWithTheButtonIdOnceTheBarIsAtRest) {
    int pressedAtClick = 0;
    QWidget* grabberAtClick = &bar;
    QObject::connect(&bar, &CSkinButtonBar::clicked, [&] {
        pressedAtClick = bar.PressedIndex();
        grabberAtClick = QWidget::mouseGrabber();
    });
    QTest::mousePress(&bar, Qt::LeftButton, {}, {35, 5});
    EXPECT_EQ(bar.PressedIndex(), 0);
    EXPECT_EQ(PixelAt(bar, {35, 5}), kPressed);
    EXPECT_EQ(PixelAt(bar, {85, 5}), kNormal);
    EXPECT_TRUE(clicks.isEmpty());
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, {39, 19});
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][0].toInt(), 11);
    EXPECT_EQ(pressedAtClick, -1);
    EXPECT_EQ(grabberAtClick, nullptr);
    EXPECT_EQ(bar.HoverIndex(), -1);
    EXPECT_EQ(PixelAt(bar, {35, 5}), kNormal);
}

TEST_F(SkinButtonBarTest, OnlyAPressAndReleaseOnTheSameButtonClick) {
    struct Case {
        const char* what;
        QPoint press;
        QPoint release;
        int clicked; // 0 for none
    };
    const Case cases[] = {
        {"where two buttons overlap", {35, 5}, {39, 19}, 11},
        {"the second, moved within it", {65, 5}, {45, 10}, 12},
        {"the third", {85, 5}, {85, 5}, 13},
        {"released on another button", {5, 5}, {85, 5}, 0},
        {"pressed beside every button", {115, 25}, {5, 5}, 0},
        {"released outside the bar", {85, 5}, {500, 5}, 0},
        {"released beside the button", {85, 5}, {85, 25}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clicks.clear();
        QTest::mousePress(&bar, Qt::LeftButton, {}, c.press);
        // Also beside every button the bar takes the mouse until the release.
        EXPECT_EQ(QWidget::mouseGrabber(), &bar);
        QTest::mouseRelease(&bar, Qt::LeftButton, {}, c.release);
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
        EXPECT_EQ(bar.PressedIndex(), -1);
        if (c.clicked == 0) {
            EXPECT_TRUE(clicks.isEmpty());
        } else {
            ASSERT_EQ(clicks.size(), 1);
            EXPECT_EQ(clicks[0][0].toInt(), c.clicked);
        }
    }
}

TEST_F(SkinButtonBarTest, HoverFollowsTheMouseOnlyWhileNoButtonIsHeld) {
    QTest::mouseMove(&bar, {85, 5});
    EXPECT_EQ(bar.HoverIndex(), 2);
    EXPECT_EQ(QWidget::mouseGrabber(), &bar); // so that the bar sees the mouse leave
    EXPECT_EQ(PixelAt(bar, {85, 5}), kHover);
    EXPECT_EQ(PixelAt(bar, {5, 5}), kNormal);

    QTest::mousePress(&bar, Qt::LeftButton, {}, {85, 5});
    QTest::mouseMove(&bar, {5, 5});
    EXPECT_EQ(bar.HoverIndex(), 2); // unchanged during the press
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(bar.HoverIndex(), -1);

    QTest::mouseMove(&bar, {5, 5});
    EXPECT_EQ(bar.HoverIndex(), 0);
    QTest::mouseMove(&bar, {115, 25});
    EXPECT_EQ(bar.HoverIndex(), -1);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(SkinButtonBarTest, DisabledLookCoversHoverAndOnlyRealChangesRepaint) {
    QTest::mouseMove(&bar, {85, 5});
    ASSERT_EQ(PixelAt(bar, {85, 5}), kHover);
    bar.SetButtonState(13, 0);
    EXPECT_EQ(PixelAt(bar, {85, 5}), kDisabled);

    Flush();
    const int draws = bar.draws;
    bar.SetButtonState(13, 0); // already disabled
    bar.SetButtonState(99, 1); // no such button
    Flush();
    EXPECT_EQ(bar.draws, draws);
    bar.SetButtonState(13, 1);
    Flush();
    EXPECT_GT(bar.draws, draws);

    // A disabled button ignores the mouse.
    bar.SetButtonState(12, 0);
    QTest::mousePress(&bar, Qt::LeftButton, {}, {65, 5});
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, {65, 5});
    EXPECT_TRUE(clicks.isEmpty());
}

TEST(SkinButtonBar, AWideBarRepeatsOneColumnAndKeepsTheRightEnd) {
    // Column c of the image has red c % 256 and green c / 256, so every drawn pixel names its
    // source column.
    QImage image(200, 4, QImage::Format_RGB32);
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 4; ++y)
            image.setPixelColor(x, y, QColor(x % 256, x / 256, 77));
    const QPixmap pixmap = QPixmap::fromImage(image);

    CSkinButtonBar bar;
    bar.resize(300, 4);
    bar.SetButtons(0, nullptr, pixmap, pixmap, pixmap, pixmap);
    const QImage drawn = bar.grab().toImage();
    ASSERT_EQ(drawn.width(), 300);
    const auto column = [&](int x) {
        const QColor colour = drawn.pixelColor(x, 2);
        return colour.red() + 256 * colour.green();
    };
    for (int x = 0; x < 194; ++x)
        ASSERT_EQ(column(x), x) << "x " << x;
    for (int x = 194; x < 294; ++x)
        ASSERT_EQ(column(x), 194) << "x " << x;
    for (int x = 294; x < 300; ++x)
        ASSERT_EQ(column(x), x - 294 + 190) << "x " << x;

    // Not wider than the image: drawn as it is.
    bar.resize(150, 4);
    const QImage narrow = bar.grab().toImage();
    for (int x = 0; x < 150; ++x)
        ASSERT_EQ(narrow.pixelColor(x, 2).red(), x) << "x " << x;
}

} // namespace
} // namespace kinovex
