#pragma once
// The player window: shows the frames of the player thread in the player panel and passes the
// user's mouse and keys on to the movie.
//
// It draws nothing itself. The thread tells the page that a frame waits, the page asks this
// window to take it, and the window shows the newest one; until the first frame (and for a
// movie that could not be loaded) it stays empty.

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace kinovex {

class PlayerThread;

class CPlayerWnd : public QWidget {
    Q_OBJECT
public:
    explicit CPlayerWnd(QWidget* parent = nullptr);

    // Where input goes and frames come from; null detaches. The thread must outlive this
    // window or be detached first.
    void Attach(PlayerThread* thread);

    // Takes the newest frame from the thread, if one waits, and repaints.
    void TakeFrame();
    void SetHandCursor(bool hand);

    bool HasFrame() const { return !m_image.isNull(); }
    // The frame shown; a null image while none has come.
    QImage CurrentImage() const { return m_image; }

    // The movie's key code (Key.getCode()) for a Qt key; 0 for keys a movie cannot see.
    static int FlashKeyCode(int qtKey);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // Tab belongs to the movie while it has the focus.
    bool focusNextPrevChild(bool next) override;

private:
    void PostMouse(QMouseEvent* event, bool press);
    void PostKey(QKeyEvent* event, bool press);

    PlayerThread* m_pThread = nullptr;
    std::vector<std::uint32_t> m_pixels;
    QImage m_image; // over m_pixels
};

} // namespace kinovex
