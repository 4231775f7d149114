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
};

} // namespace kinovex
