#pragma once
// The Output Settings page: the output folder and the encoder values of the chosen profile.

#include "convert/OutputProfile.h"

#include <QString>
#include <QWidget>

namespace kinovex {

class CSettingsDlg : public QWidget {
    Q_OBJECT
public:
    explicit CSettingsDlg(QWidget* parent = nullptr);

    // The two values that outlive a run; start-up loads them before the window shows and
    // stores them after it has closed.
    int profileIndex = 0;
    QString outputFolder;

    // A filled profile record for a playback to copy.
    OutputProfile GetProfile() const;
};

} // namespace kinovex
