#pragma once
// The bar between the folder tree and the movie list. Dragging it draws an inverted tracking
// line across its owner; releasing announces the drop point with `moved`, and the page lays the
// controls out again. The bar itself moves and resizes nothing.

#include <QImage>
#include <QPointer>
#include <QWidget>

namespace kinovex {

// Where the tracking line may go inside an owner spanning screen x `left` to `right`
// (exclusive): at least 200 pixels for the tree, and 200 for the list inside the left third.
// On a narrow owner the right limit wins.
int ClampSplitterX(int x, int left, int right);

class CSplitterBar : public QWidget {
    Q_OBJECT
public:
    enum { IDC_SPLITTER = 1045 };

    explicit CSplitterBar(QWidget* parent = nullptr);
    ~CSplitterBar() override;

    // The window the line is drawn across and bounded by; the parent when unset.
    void SetOwner(QWidget* owner);
    QWidget* Owner() const;

    // The tracking line now on the screen, in screen coordinates.
    bool IsLineDrawn() const { return m_bLineDrawn; }
    int m_nX = 0;
    int m_nY = 0;

signals:
    // The mouse was released at `screenPoint` (screen coordinates, as it is: the receiver
    // applies its own limits).
    void moved(QPoint screenPoint);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnLButtonDown(QPoint screenPoint);
    void OnMouseMove(QPoint screenPoint);
    void OnLButtonUp(QPoint screenPoint);
    void DrawLine(int screenX);
    void EraseLine();

    QPointer<QWidget> m_pOwner;
    QPointer<QWidget> m_pLine; // the tracking line, a one-pixel overlay on the owner
    QImage m_ownerImage;       // the owner as it looked when the drag began
    bool m_bLineDrawn = false;

    // Shared by every bar, as only one drag can run at a time.
    static bool s_bDragging;
};

} // namespace kinovex
