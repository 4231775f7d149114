#include "ui/CSettingsDlg.h"

namespace kinovex {

CSettingsDlg::CSettingsDlg(QWidget* parent) : QWidget(parent) {}

OutputProfile CSettingsDlg::GetProfile() const {
    OutputProfile profile;
    profile.profileIndex = profileIndex;
    profile.outputFolder = outputFolder.toStdString();
    ApplyProfilePreset(profileIndex, profile);
    return profile;
}

} // namespace kinovex
