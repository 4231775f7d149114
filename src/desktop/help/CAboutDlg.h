#pragma once
// The about box: bitmap 162 in a borderless window with rounded corners. A left click anywhere
// on it, Enter or Escape closes it.

#include <QDialog>

class QLabel;

namespace kinovex {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 250;
    // The corners' curve: a 14 x 14 ellipse, that is a radius of 7.
    static constexpr int kCornerSize = 14;

    explicit CAboutDlg(QWidget* parent = nullptr);

    // Gives the window its rounded outline. Runs when the box is first shown.
    bool OnInitDialog();

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_wndPicture;
    bool m_bInitialised = false;
};

} // namespace kinovex
