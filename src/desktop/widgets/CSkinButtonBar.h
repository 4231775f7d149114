#pragma once
// Buttons drawn from bitmaps: one bar image and any number of rectangular buttons on it.
//
// Each button has four looks, taken from four images of the same layout (normal, hover,
// pressed, disabled): a button's rectangle in the window is also its rectangle in each image.
// A click on an enabled button is announced with `clicked` and the button's id; windows that
// act on it after the mouse event has been handled connect with a queued connection.

#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>

class QPainter;

namespace kinovex {

struct SkinButton {
    std::int32_t enabled; // 0 = disabled: drawn from the disabled image, deaf to the mouse
    std::int32_t id;      // what `clicked` carries
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
    const char* tooltip; // not copied: must outlive the bar; null for none
};

class CSkinButtonBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxButtons = 100;

    explicit CSkinButtonBar(QWidget* parent = nullptr);
    ~CSkinButtonBar() override;

    // Copies `count` buttons (at most kMaxButtons) and loads the four bitmaps by resource id.
    void SetButtons(int count, const SkinButton* buttons, int normalId, int hoverId, int pressedId,
                    int disabledId);
    // The same with images at hand.
    void SetButtons(int count, const SkinButton* buttons, const QPixmap& normal,
                    const QPixmap& hover, const QPixmap& pressed, const QPixmap& disabled);

    // Gives the first button with `id` the enabled value; repaints only if the value changes.
    void SetButtonState(int id, int enabled);

    // The index of the first enabled button whose rectangle holds `point`; -1 for none.
    int HitTest(const QPoint& point) const;

    // The tooltip text of the button under `point` (any button with a text); empty for none.
    QString ToolTipAt(const QPoint& point) const;

    int ButtonCount() const { return m_nButtonCount; }
    const SkinButton& Button(int index) const { return m_buttons[static_cast<std::size_t>(index)]; }
    int HoverIndex() const { return m_nHoverIndex; }
    int PressedIndex() const { return m_nPressedIndex; }

signals:
    // The mouse was pressed and released on the enabled button `id`.
    void clicked(int id);

protected:
    virtual void Draw(QPainter& painter);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect ButtonRect(int index) const;
    void DrawButtonFrom(QPainter& painter, const QPixmap& image, int index);
    void Capture();
    void ReleaseCapture();

    int m_nButtonCount = 0;
    std::array<SkinButton, kMaxButtons> m_buttons{};
    QPixmap m_bmpHover;
    QPixmap m_bmpNormal;
    QPixmap m_bmpPressed;
    QPixmap m_bmpDisabled;
    QSize m_sizeNormal;
    int m_nHoverIndex = -1;
    int m_nPressedIndex = -1;
    bool m_bMouseHeld = false;
};

} // namespace kinovex
