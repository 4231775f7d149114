#pragma once
// The program's main window.

#include <QDialog>

namespace kinovex {

class CMoviePage;

class CMainDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMainDlg(QWidget* parent = nullptr);
    ~CMainDlg() override;

    CMoviePage* m_pPage = nullptr;

public slots:
    // The Play command: plays the movie chosen on the page, or stops the one playing. Filled
    // by the main window's playback work; for now it does nothing.
    void OnPlay();
};

} // namespace kinovex
