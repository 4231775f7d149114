#pragma once
// The movie page: a strip of three panels (browser, player, Output Settings).

#include <QString>
#include <QWidget>

namespace kinovex {

class CSettingsDlg;

class CMoviePage : public QWidget {
    Q_OBJECT
public:
    explicit CMoviePage(QWidget* parent = nullptr);
    ~CMoviePage() override;

    // The folder of the chosen movie; loaded from and stored to the settings by start-up.
    QString m_strMovieFolder;

    CSettingsDlg* m_pSettingsDlg = nullptr;
};

} // namespace kinovex
