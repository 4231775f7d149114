#include "movie/page/CMoviePage.h"

#include "ui/CSettingsDlg.h"

namespace kinovex {

CMoviePage::CMoviePage(QWidget* parent) : QWidget(parent), m_pSettingsDlg(new CSettingsDlg(this)) {}

CMoviePage::~CMoviePage() = default;

} // namespace kinovex
