#pragma once
// A window that plays a movie through our engine: the introductory movie in the player panel.
//
// The widget owns its engine and its time. While shown, a timer ticks at the movie's frame
// rate and each tick hands the engine the time that really passed on a monotonic clock, so a
// late or skipped tick never makes the movie drift from real time. Hidden, it stops.

#include "engine/Player.h"
#include "platform/SoundPlayback.h"

#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace kinovex {

class CPlayerWidget : public QWidget {
    Q_OBJECT
public:
    explicit CPlayerWidget(QWidget* parent = nullptr);
    ~CPlayerWidget() override;

    // Loads `path` and shows its first frame. False (and an empty window) when it cannot be
    // loaded.
    bool LoadMovie(const QString& path);
    bool IsLoaded() const { return m_player.isLoaded(); }

    // Whether the clock runs (the widget is shown with a movie in it).
    bool IsRunning() const { return m_timer.isActive(); }

    // The current frame drawn at the widget's size; a null image when nothing is loaded.
    QImage CurrentImage();

    const flash::Player& Player() const { return m_player; }

    // Whether the movie's sound goes to the sound server.
    bool IsSoundOpen() const { return m_playback.isOpen(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Start();
    void Stop();
    void OnTick();
    // Hands the sound the engine mixed for the frames just shown to the sound server. The
    // server is only contacted once the movie makes a sound, so a silent movie costs nothing.
    void OnSoundTick();

    flash::Player m_player;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_nClockMs = 0; // clock time already given to the engine
    QImage m_frame;
    bool m_bFrameDirty = true;
    SoundPlayback m_playback;
    std::vector<std::int16_t> m_sound;
};

} // namespace kinovex
