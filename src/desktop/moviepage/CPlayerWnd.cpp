#include "desktop/moviepage/CPlayerWnd.h"

#include "core/record/PlayerThread.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kinovex {

CPlayerWnd::CPlayerWnd(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true); // the movie sees the pointer move without a button held
    setFocusPolicy(Qt::StrongFocus);
}

void CPlayerWnd::Attach(PlayerThread* thread) {
    m_pThread = thread;
}

void CPlayerWnd::TakeFrame() {
    if (m_pThread == nullptr)
        return;
    int width = 0;
    int height = 0;
    if (!m_pThread->Frames().Take(m_pixels, width, height) || width <= 0 || height <= 0)
        return;
    m_image = QImage(reinterpret_cast<const uchar*>(m_pixels.data()), width, height, width * 4,
                     QImage::Format_ARGB32_Premultiplied);
    update();
}

void CPlayerWnd::SetHandCursor(bool hand) {
    if (hand)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void CPlayerWnd::paintEvent(QPaintEvent* /*event*/) {
    if (m_image.isNull())
        return;
    QPainter(this).drawImage(0, 0, m_image);
}

void CPlayerWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_pThread == nullptr)
        return;
    PlayerEvent size;
    size.type = PlayerEvent::Type::ViewSize;
    size.width = width();
    size.height = height();
    m_pThread->Post(size);
}

void CPlayerWnd::PostMouse(QMouseEvent* event, bool press) {
    if (m_pThread == nullptr)
        return;
    PlayerEvent mouse;
    mouse.type = press ? PlayerEvent::Type::MouseDown : PlayerEvent::Type::MouseUp;
    if (event->button() == Qt::LeftButton)
        mouse.button = PlayerEvent::Button::Left;
    else if (event->button() == Qt::RightButton)
        mouse.button = PlayerEvent::Button::Right; // the thread drops it
    else
        return;
    mouse.x = event->position().x();
    mouse.y = event->position().y();
    m_pThread->Post(mouse);
}

void CPlayerWnd::mouseMoveEvent(QMouseEvent* event) {
    if (m_pThread == nullptr)
        return;
    PlayerEvent move;
    move.type = PlayerEvent::Type::MouseMove;
    move.x = event->position().x();
    move.y = event->position().y();
    m_pThread->Post(move);
}

void CPlayerWnd::mousePressEvent(QMouseEvent* event) {
    PostMouse(event, true);
}

void CPlayerWnd::mouseReleaseEvent(QMouseEvent* event) {
    PostMouse(event, false);
}

void CPlayerWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like the first.
    PostMouse(event, true);
}

int CPlayerWnd::FlashKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey; // 65..90 in both
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return qtKey; // 48..57
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F15)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return 222;
    default:
        return 0;
    }
}

void CPlayerWnd::PostKey(QKeyEvent* event, bool press) {
    const int code = FlashKeyCode(event->key());
    if (m_pThread == nullptr || code == 0) {
        event->ignore();
        return;
    }
    PlayerEvent key;
    key.type = press ? PlayerEvent::Type::KeyDown : PlayerEvent::Type::KeyUp;
    key.keyCode = code;
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint())
        key.charCode = text.toUcs4().value(0);
    else if (code == 8 || code == 9 || code == 13 || code == 27)
        key.charCode = static_cast<std::uint32_t>(code); // the control characters they type
    m_pThread->Post(key);
}

void CPlayerWnd::keyPressEvent(QKeyEvent* event) {
    PostKey(event, true);
}

void CPlayerWnd::keyReleaseEvent(QKeyEvent* event) {
    PostKey(event, false);
}

bool CPlayerWnd::focusNextPrevChild(bool /*next*/) {
    return false;
}

} // namespace kinovex
