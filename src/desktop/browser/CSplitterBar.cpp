#include "desktop/browser/CSplitterBar.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kinovex {
namespace {

// The line: one column of the owner's picture with every colour inverted, so it shows on any
// background and leaves nothing behind when it goes.
class CTrackingLine : public QWidget {
public:
    CTrackingLine(QWidget* owner, const QImage& ownerImage)
        : QWidget(owner), m_ownerImage(ownerImage) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const qreal ratio = m_ownerImage.devicePixelRatio();
        QImage column =
            m_ownerImage
                .copy(QRect(qRound(x() * ratio), qRound(y() * ratio),
                            qMax(1, qRound(width() * ratio)), qMax(1, qRound(height() * ratio))))
                .convertToFormat(QImage::Format_RGB32);
        column.invertPixels();
        column.setDevicePixelRatio(ratio);
        QPainter(this).drawImage(QPoint(0, 0), column);
    }

private:
    const QImage& m_ownerImage;
};

} // namespace

bool CSplitterBar::s_bDragging = false;

int ClampSplitterX(int x, int left, int right) {
    const int width = right - left;
    const int min = left + 200;
    const int max = left + width / 3 - 200;
    return std::max(x, min) >= max ? max : std::max(x, min);
}

CSplitterBar::CSplitterBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDC_SPLITTER));
    setCursor(Qt::SplitHCursor);
    setAttribute(Qt::WA_NoSystemBackground);
}

CSplitterBar::~CSplitterBar() {
    if (QWidget::mouseGrabber() == this)
        s_bDragging = false;
    delete m_pLine.data();
}

void CSplitterBar::SetOwner(QWidget* owner) {
    m_pOwner = owner;
}

QWidget* CSplitterBar::Owner() const {
    return m_pOwner ? m_pOwner.data() : parentWidget();
}

void CSplitterBar::paintEvent(QPaintEvent*) {
    // A raised three-pixel bar: light edge, face, dark edge.
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Button));
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(0, 0, 0, height() - 1);
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
}

void CSplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    OnLButtonDown(event->globalPosition().toPoint());
    event->accept();
}

void CSplitterBar::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->globalPosition().toPoint());
    event->accept();
}

void CSplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    OnLButtonUp(event->globalPosition().toPoint());
    event->accept();
}

void CSplitterBar::OnLButtonDown(QPoint) {
    s_bDragging = true;
    grabMouse(Qt::SplitHCursor);
    if (QWidget* owner = Owner())
        m_ownerImage = owner->grab().toImage();
}

void CSplitterBar::OnMouseMove(QPoint screenPoint) {
    if (!s_bDragging)
        return;
    QWidget* owner = Owner();
    if (owner == nullptr)
        return;
    EraseLine();
    const QPoint ownerTopLeft = owner->mapToGlobal(QPoint(0, 0));
    const int x =
        ClampSplitterX(screenPoint.x(), ownerTopLeft.x(), ownerTopLeft.x() + owner->width());
    DrawLine(x);
    m_nX = x;
    m_nY = screenPoint.y();
}

void CSplitterBar::OnLButtonUp(QPoint screenPoint) {
    if (s_bDragging) {
        EraseLine();
        m_nX = 0;
        m_nY = 0;
    }
    releaseMouse();
    s_bDragging = false;
    m_ownerImage = QImage();
    emit moved(screenPoint);
}

void CSplitterBar::DrawLine(int screenX) {
    QWidget* owner = Owner();
    if (m_pLine == nullptr || m_pLine->parentWidget() != owner) {
        delete m_pLine.data();
        m_pLine = new CTrackingLine(owner, m_ownerImage);
    }
    const int localX = screenX - owner->mapToGlobal(QPoint(0, 0)).x();
    m_pLine->setGeometry(localX, 0, 1, owner->height());
    m_pLine->raise();
    m_pLine->show();
    m_bLineDrawn = true;
}

void CSplitterBar::EraseLine() {
    if (!m_bLineDrawn)
        return;
    if (m_pLine != nullptr)
        m_pLine->hide();
    m_bLineDrawn = false;
}

} // namespace kinovex
