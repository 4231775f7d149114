#include "desktop/moviepage/CPlayerWidget.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kinovex {

CPlayerWidget::CPlayerWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CPlayerWidget::OnTick);
}

CPlayerWidget::~CPlayerWidget() = default;

bool CPlayerWidget::LoadMovie(const QString& path) {
    Stop();
    const flash::LoadResult result = m_player.load(path.toStdString());
    m_bFrameDirty = true;
    m_frame = QImage();
    if (result.ok) {
        m_player.play();
        if (isVisible())
            Start();
    }
    update();
    return result.ok;
}

void CPlayerWidget::Start() {
    if (!m_player.isLoaded() || m_timer.isActive())
        return;
    // One tick per frame; the engine counts the real time, so rounding here only moves the
    // moment a frame shows by under a millisecond, never the movie's pace.
    const double rate = m_player.frameRate();
    const int interval =
        rate > 0 ? std::clamp(static_cast<int>(std::lround(1000.0 / rate)), 1, 1000) : 1000;
    m_clock.start();
    m_nClockMs = 0;
    m_timer.start(interval);
}

void CPlayerWidget::Stop() {
    m_timer.stop();
    m_playback.stop(); // what is queued belongs to a picture no longer shown
}

void CPlayerWidget::OnTick() {
    const qint64 now = m_clock.elapsed();
    const qint64 passed = now - m_nClockMs;
    if (passed <= 0)
        return;
    m_nClockMs = now;
    // A stall of more than a few seconds (a suspended machine) is not made up frame by frame.
    const auto step = static_cast<std::uint32_t>(std::min<qint64>(passed, 5000));
    if (m_player.advance(step) > 0) {
        m_bFrameDirty = true;
        update();
    }
    OnSoundTick();
}

void CPlayerWidget::OnSoundTick() {
    m_sound.clear();
    m_player.takeSound(m_sound);
    if (m_sound.empty())
        return;
    if (!m_playback.isOpen()) {
        const bool audible =
            std::any_of(m_sound.begin(), m_sound.end(), [](std::int16_t s) { return s != 0; });
        // No sound server: the movie plays on silently, as the playback layer promises.
        if (!audible || !m_playback.open(44100, 2, "Kinovex introduction"))
            return;
    }
    m_playback.write(m_sound);
}

QImage CPlayerWidget::CurrentImage() {
    if (!m_player.isLoaded() || width() <= 0 || height() <= 0)
        return QImage();
    if (m_frame.size() != size()) {
        m_frame = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        m_bFrameDirty = true;
    }
    if (m_bFrameDirty) {
        m_player.draw(reinterpret_cast<std::uint32_t*>(m_frame.bits()), m_frame.width(),
                      m_frame.height(), static_cast<int>(m_frame.bytesPerLine()));
        m_bFrameDirty = false;
    }
    return m_frame;
}

void CPlayerWidget::paintEvent(QPaintEvent* /*event*/) {
    const QImage frame = CurrentImage();
    if (frame.isNull())
        return; // no movie: an empty window over the page's backdrop
    QPainter(this).drawImage(0, 0, frame);
}

void CPlayerWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Start();
}

void CPlayerWidget::hideEvent(QHideEvent* event) {
    Stop();
    QWidget::hideEvent(event);
}

void CPlayerWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_bFrameDirty = true;
}

} // namespace kinovex
