#include "ui/main/CMainDlg.h"

#include "movie/page/CMoviePage.h"

#include <QVBoxLayout>

namespace kinovex {

CMainDlg::CMainDlg(QWidget* parent) : QDialog(parent), m_pPage(new CMoviePage(this)) {
    setWindowTitle(QStringLiteral("Kinovex"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pPage);
    resize(808, 630);
    connect(m_pPage, &CMoviePage::Play, this, &CMainDlg::OnPlay);
}

CMainDlg::~CMainDlg() = default;

void CMainDlg::OnPlay() {}

} // namespace kinovex
