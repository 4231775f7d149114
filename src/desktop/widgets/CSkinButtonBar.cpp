#include "desktop/widgets/CSkinButtonBar.h"

#include "platform/qt/Bitmaps.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace kinovex {

CSkinButtonBar::CSkinButtonBar(QWidget* parent) : QWidget(parent) {
    // Hover needs the moves without a button held.
    setMouseTracking(true);
}

CSkinButtonBar::~CSkinButtonBar() {
    ReleaseCapture();
}

void CSkinButtonBar::SetButtons(int count, const SkinButton* buttons, int normalId, int hoverId,
                                int pressedId, int disabledId) {
    SetButtons(count, buttons, LoadBitmap(normalId), LoadBitmap(hoverId), LoadBitmap(pressedId),
               LoadBitmap(disabledId));
}

void CSkinButtonBar::SetButtons(int count, const SkinButton* buttons, const QPixmap& normal,
                                const QPixmap& hover, const QPixmap& pressed,
                                const QPixmap& disabled) {
    m_bmpNormal = normal;
    m_bmpHover = hover;
    m_bmpPressed = pressed;
    m_bmpDisabled = disabled;
    m_sizeNormal = normal.size();
    m_nHoverIndex = -1;
    m_nPressedIndex = -1;
    m_nButtonCount = std::clamp(count, 0, kMaxButtons);
    if (buttons != nullptr)
        std::copy_n(buttons, m_nButtonCount, m_buttons.begin());
    update();
}

void CSkinButtonBar::SetButtonState(int id, int enabled) {
    for (int i = 0; i < m_nButtonCount; ++i) {
        SkinButton& button = m_buttons[static_cast<std::size_t>(i)];
        if (button.id != id)
            continue;
        if (button.enabled != enabled) {
            button.enabled = enabled;
            update();
        }
        return;
    }
}

QRect CSkinButtonBar::ButtonRect(int index) const {
    const SkinButton& button = m_buttons[static_cast<std::size_t>(index)];
    return QRect(button.x, button.y, button.width, button.height);
}

int CSkinButtonBar::HitTest(const QPoint& point) const {
    for (int i = 0; i < m_nButtonCount; ++i) {
        if (m_buttons[static_cast<std::size_t>(i)].enabled != 0 && ButtonRect(i).contains(point))
            return i;
    }
    return -1;
}

QString CSkinButtonBar::ToolTipAt(const QPoint& point) const {
    for (int i = 0; i < m_nButtonCount; ++i) {
        const SkinButton& button = m_buttons[static_cast<std::size_t>(i)];
        if (button.tooltip != nullptr && ButtonRect(i).contains(point))
            return QString::fromUtf8(button.tooltip);
    }
    return {};
}

void CSkinButtonBar::DrawButtonFrom(QPainter& painter, const QPixmap& image, int index) {
    const QRect rect = ButtonRect(index);
    painter.drawPixmap(rect.topLeft(), image, rect);
}

void CSkinButtonBar::Draw(QPainter& painter) {
    const int w = m_sizeNormal.width();
    const int h = m_sizeNormal.height();
    const QRect client = rect();
    if (client.width() > w && w >= 10) {
        // Wider than the image: the column six from the right edge is repeated, so the image's
        // right end (a border, a rounded corner) stays at the bar's right end.
        const int left = client.left();
        const int right = client.left() + client.width(); // exclusive
        painter.drawPixmap(left, client.top(), m_bmpNormal, 0, 0, w - 6, h);
        const int copies = client.width() - w;
        painter.drawPixmap(QRect(left + w - 6, client.top(), copies, h), m_bmpNormal,
                           QRect(w - 6, 0, 1, h));
        painter.drawPixmap(right - 6, client.top(), m_bmpNormal, w - 10, 0, 10, h);
    } else {
        painter.drawPixmap(client.left(), client.top(), m_bmpNormal, 0, 0, w, h);
    }

    if (m_nPressedIndex != -1)
        DrawButtonFrom(painter, m_bmpPressed, m_nPressedIndex);
    else if (m_nHoverIndex != -1)
        DrawButtonFrom(painter, m_bmpHover, m_nHoverIndex);

    for (int i = 0; i < m_nButtonCount; ++i) {
        if (m_buttons[static_cast<std::size_t>(i)].enabled == 0)
            DrawButtonFrom(painter, m_bmpDisabled, i);
    }
}

bool CSkinButtonBar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // The text stays up while the mouse is inside the same button.
            for (int i = 0; i < m_nButtonCount; ++i) {
                if (ButtonRect(i).contains(help->pos())) {
                    QToolTip::showText(help->globalPos(), text, this, ButtonRect(i));
                    break;
                }
            }
        }
        return true;
    }
    return QWidget::event(event);
}

void CSkinButtonBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter);
}

void CSkinButtonBar::Capture() {
    if (isVisible() && QWidget::mouseGrabber() != this)
        grabMouse();
}

void CSkinButtonBar::ReleaseCapture() {
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
}

void CSkinButtonBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int hit = HitTest(event->position().toPoint());
    const int previous = m_nPressedIndex;
    m_nPressedIndex = hit;
    m_nHoverIndex = hit;
    if (m_nPressedIndex != previous)
        update();
    // Also beside every button: the release then belongs to this press and clicks nothing.
    Capture();
    m_bMouseHeld = true;
}

void CSkinButtonBar::mouseMoveEvent(QMouseEvent* event) {
    if (m_bMouseHeld)
        return; // the look of a press stays until the release
    const int hit = HitTest(event->position().toPoint());
    if (hit != -1) {
        if (hit != m_nHoverIndex) {
            m_nHoverIndex = hit;
            update();
        }
        // Held so that the bar also sees the mouse leave the button.
        Capture();
    } else {
        if (m_nHoverIndex != -1) {
            m_nHoverIndex = -1;
            update();
        }
        ReleaseCapture();
    }
}

void CSkinButtonBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_bMouseHeld)
        return;
    const int pressed = m_nPressedIndex;
    const bool clickedButton = pressed != -1 &&
                               ButtonRect(pressed).contains(event->position().toPoint()) &&
                               m_buttons[static_cast<std::size_t>(pressed)].enabled != 0;
    m_nPressedIndex = -1;
    m_nHoverIndex = -1;
    if (pressed != -1)
        update();
    ReleaseCapture();
    m_bMouseHeld = false;
    // Last, with the bar at rest: a receiver may show a menu or close the window.
    if (clickedButton)
        emit clicked(m_buttons[static_cast<std::size_t>(pressed)].id);
}

} // namespace kinovex
