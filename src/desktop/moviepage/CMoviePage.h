#pragma once
// The movie page: a strip of three panels (browser, player, Output Settings), each as wide as
// the main window's visible area. The main window slides the page sideways to show one.

#include "core/convert/OutputProfile.h"
#include "desktop/browser/CMovieListCtrl.h"
#include "desktop/browser/CSplitterBar.h"
#include "desktop/browser/CTreeFileCtrl.h"

#include <QBrush>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

namespace kinovex {

class CPlayerWidget;
class CPlayerWnd;
class CSettingsDlg;
class DesktopDialogs;
class RecordingRun;

class CMoviePage : public QWidget {
    Q_OBJECT
public:
    enum { IDD = 129, IDB_BACKGROUND = 195 };
    enum HeadState { HeadNotPainted = 0, HeadShown = 1, HeadDestroyed = 2 };

    // `run` plays the chosen movie, `dialogs` shows the page's message; both outlive the page.
    // Recordings make their temporary files in `tempFolder`.
    CMoviePage(RecordingRun& run, DesktopDialogs& dialogs, std::string tempFolder,
               QWidget* parent = nullptr);
    ~CMoviePage() override;

    // Fills the folder tree and the list from m_strMovieFolder, sizes the settings page and
    // starts the introductory movie. Runs by itself the first time the page is shown.
    void OnInitDialog();
    bool IsInitialised() const { return m_bInitialised; }

    // The main window's visible area changed: the page becomes three of them wide.
    void LayoutPanels(int panelWidth, int panelHeight);

    // The file of movie `name` (without ".swf") in `folder` (ending in a separator): the name
    // with ".swf", or the file whose extension is ".swf" in another letter case when only
    // that one exists.
    static QString MovieFilePath(const QString& folder, const QString& name);

    // Playback. The main window sets m_rcMovie and shows panel 1 before StartPlayback.
    //
    // Copies the output profile and has the run play the chosen movie, with its window at
    // m_rcMovie. The first playback removes the introductory movie. The window goes when the
    // player thread has ended (the run's StopPlaying asks it to).
    void StartPlayback();

    // The window that shows the playing movie while the player thread runs; null otherwise.
    CPlayerWnd* PlayerWindow() const { return m_pPlayerWnd; }
    bool IsPlayerRunning() const;
    // The temporary base name of the chosen movie's recording.
    std::string TempBase() const;

    // Shown when the engine cannot load the movie to play; the engine's reason follows on a
    // line of its own.
    static constexpr const char* kCannotPlayText = "This movie could not be played.";

    CSettingsDlg* m_pSettingsDlg = nullptr;
    // The folder of the chosen movie, ending in a separator; loaded from and stored to the
    // settings by start-up.
    QString m_strMovieFolder;
    QString m_strMovieName; // the selected movie without ".swf"; empty when none
    // The movie (without ".swf") that the list selects when the page is first filled.
    QString m_strStartMovie;
    QRect m_rcMovie; // where the player window goes, set by the main window
    int m_nMovieWidth = 500;
    int m_nMovieHeight = 300;
    CSplitterBar m_wndSplitter;
    CTreeFileCtrl m_wndFolderTree;
    CMovieListCtrl m_wndFileList;
    QBrush m_brBackground;
    int m_nHeadState = HeadNotPainted;
    // The window that shows the introductory movie in panel 1; null once playback replaced it.
    CPlayerWidget* m_pHeadWnd = nullptr;
    OutputProfile m_profile; // the output profile when playback started

signals:
    // The movie information for the main window's three text lines.
    void InfoText(const QString& line1, const QString& line2, const QString& line3);
    // A movie in the list was double-clicked: the main window's Play command (OnPlay).
    void Play();

public slots:
    void OnTreeSelChanged();
    void OnListItemChanged(int item);
    void OnListDblClk(int item);
    // The splitter's drop point, in screen coordinates.
    void OnSplitterMoved(QPoint screenPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void SetInfoText(const QString& line1, const QString& line2, const QString& line3);

    // Ends the player thread (after asking it to, if nobody has) and removes its window.
    void FinishPlayerThread();
    void OnPlayerThreadEnded(std::uint64_t run);

    RecordingRun& m_run;
    DesktopDialogs& m_dialogs;
    std::string m_strTempFolder;
    bool m_bInitialised = false;
    CPlayerWnd* m_pPlayerWnd = nullptr;
    std::uint64_t m_nPlayerRun = 0; // tells a late message of an earlier thread apart
};

} // namespace kinovex
