#include "desktop/browser/CSplitterBar.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kinovex {
namespace {

TEST(SplitterClamp, KeepsTwoHundredPixelsForTreeAndListInTheLeftThird) {
    // An owner from screen x 100 to 2500: the left third ends at 900.
    EXPECT_EQ(ClampSplitterX(50, 100, 2500), 300);
    EXPECT_EQ(ClampSplitterX(300, 100, 2500), 300);
    EXPECT_EQ(ClampSplitterX(450, 100, 2500), 450);
    EXPECT_EQ(ClampSplitterX(700, 100, 2500), 700);
    EXPECT_EQ(ClampSplitterX(701, 100, 2500), 700);
    EXPECT_EQ(ClampSplitterX(5000, 100, 2500), 700);
    // Narrower than 1200 pixels: the right limit (here 100 + 300 - 200) wins everywhere.
    for (int x : {-500, 0, 200, 300, 1000})
        EXPECT_EQ(ClampSplitterX(x, 100, 1000), 200) << x;
    // Width division truncates toward zero.
    EXPECT_EQ(ClampSplitterX(5000, 0, 1802), 400);
}

// The page the bar sits on.
class Owner : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        // Stripes, so an inverted column differs from every neighbour.
        QPainter painter(this);
        for (int x = 0; x < width(); x += 10)
            painter.fillRect(x, 0, 10, height(), (x / 10) % 2 ? QColor(40, 120, 200) : Qt::white);
    }
};

class SplitterDrag : public ::testing::Test {
protected:
    void SetUp() override {
        m_owner.setGeometry(0, 0, 1500, 300);
        m_bar = new CSplitterBar(&m_owner);
        m_bar->setGeometry(250, 1, 3, 298);
        m_moved = std::make_unique<QSignalSpy>(m_bar, &CSplitterBar::moved);
        m_owner.show();
        m_before = m_owner.grab().toImage();
    }

    void Send(QEvent::Type type, int screenX, int screenY, Qt::MouseButtons buttons) {
        const QPoint global(screenX, screenY);
        const QPointF local = m_bar->mapFromGlobal(global);
        QMouseEvent event(type, local, local, global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
        QApplication::sendEvent(m_bar, &event);
    }
    void Press(int x, int y) { Send(QEvent::MouseButtonPress, x, y, Qt::LeftButton); }
    void Move(int x, int y) { Send(QEvent::MouseMove, x, y, Qt::LeftButton); }
    void Release(int x, int y) { Send(QEvent::MouseButtonRelease, x, y, Qt::NoButton); }
    // The drop points announced so far.
    std::vector<QPoint> Moved() const {
        std::vector<QPoint> points;
        for (const QList<QVariant>& arguments : *m_moved)
            points.push_back(arguments.at(0).toPoint());
        return points;
    }

    // The owner's columns that differ from the picture before the drag.
    std::vector<int> ChangedColumns() {
        const QImage now = m_owner.grab().toImage();
        std::vector<int> columns;
        for (int x = 0; x < now.width(); ++x) {
            for (int y = 0; y < now.height(); ++y) {
                if (now.pixel(x, y) != m_before.pixel(x, y)) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        return columns;
    }

    Owner m_owner;
    CSplitterBar* m_bar = nullptr;
    std::unique_ptr<QSignalSpy> m_moved;
    QImage m_before;
};

TEST_F(SplitterDrag, TheLineStaysInRangeTheReleaseGivesTheRawPointAndNothingRemains) {
    const QPoint origin = m_owner.mapToGlobal(QPoint(0, 0));
    Press(origin.x() + 251, origin.y() + 40);
    Move(origin.x() + 260, origin.y() + 50);
    EXPECT_TRUE(m_bar->IsLineDrawn());
    EXPECT_EQ(m_bar->m_nX, origin.x() + 260);
    EXPECT_EQ(ChangedColumns(), std::vector<int>{260});
    const QImage during = m_owner.grab().toImage();
    EXPECT_EQ(during.pixel(260, 150), m_before.pixel(260, 150) ^ 0x00FFFFFF)
        << "the line inverts what is under it";

    Move(origin.x() + 5000, origin.y() + 60); // far right: stops at 1500 / 3 - 200
    EXPECT_EQ(m_bar->m_nX, origin.x() + 300);
    EXPECT_EQ(ChangedColumns(), std::vector<int>{300}) << "the old line is erased";
    Move(origin.x() - 400, origin.y() + 60);
    EXPECT_EQ(ChangedColumns(), std::vector<int>{200});
    EXPECT_TRUE(Moved().empty()) << "nothing is announced while dragging";

    Release(origin.x() + 4000, origin.y() + 70);
    EXPECT_FALSE(m_bar->IsLineDrawn());
    EXPECT_EQ(m_bar->m_nX, 0);
    EXPECT_TRUE(ChangedColumns().empty()) << "no remains of the tracking line";
    // The page applies its own limits.
    EXPECT_EQ(Moved(), std::vector<QPoint>{origin + QPoint(4000, 70)});
}

TEST_F(SplitterDrag, APressWithoutAMoveDrawsNothingAndStillGivesTheDropOnce) {
    const QPoint origin = m_owner.mapToGlobal(QPoint(0, 0));
    Press(origin.x() + 251, origin.y() + 10);
    EXPECT_TRUE(ChangedColumns().empty());
    Release(origin.x() + 251, origin.y() + 10);
    EXPECT_EQ(Moved(), std::vector<QPoint>{origin + QPoint(251, 10)});
    EXPECT_TRUE(ChangedColumns().empty());

    Move(origin.x() + 280, origin.y() + 10); // hovering after the drag draws nothing
    EXPECT_FALSE(m_bar->IsLineDrawn());
    EXPECT_TRUE(ChangedColumns().empty());
}

TEST_F(SplitterDrag, ALineOnTheTopRowOfTheScreenIsStillErased) {
    // The line's y may be 0 (the pointer on the screen's top row); the line is erased all
    // the same.
    m_owner.move(0, 0);
    const QPoint origin = m_owner.mapToGlobal(QPoint(0, 0));
    Press(origin.x() + 251, 0);
    Move(origin.x() + 270, 0);
    Move(origin.x() + 280, 0);
    EXPECT_EQ(ChangedColumns(), std::vector<int>{280});
    Release(origin.x() + 280, 0);
    EXPECT_TRUE(ChangedColumns().empty());
}

} // namespace
} // namespace kinovex
