#include "elements/players/VideoPlayer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kEndToleranceMilliseconds = 40;

} // namespace

VideoPlayer::VideoPlayer(QObject* parent)
    : QObject(parent)
{
    m_player.setAudioOutput(&m_audioOutput);
    m_player.setVideoSink(&m_videoSink);
    m_fastTimer.setInterval(kFastStepIntervalMilliseconds);
    connect(&m_fastTimer, &QTimer::timeout, this, &VideoPlayer::fastStep);
    connect(&m_player, &QMediaPlayer::durationChanged, this, &VideoPlayer::durationChanged);
    connect(&m_player, &QMediaPlayer::errorOccurred, this, &VideoPlayer::errorOccurred);
    connect(&m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia && m_rate > 0 && !m_fastTimer.isActive()) {
            // The media player stops by itself at the end; the transport reads paused.
            m_rate = 0.0;
            emit rateChanged(m_rate);
            emit playedToEnd();
        }
        emit mediaStatusChanged(status);
    });
}

VideoPlayer::~VideoPlayer()
{
    m_fastTimer.stop();
    m_player.stop();
}

void VideoPlayer::setSource(const QUrl& url)
{
    stopFastPlay();
    m_player.pause();
    if (m_rate != 0.0) {
        m_rate = 0.0;
        emit rateChanged(m_rate);
    }
    m_player.setSource(url);
}

void VideoPlayer::setRate(double rate)
{
    if (!std::isfinite(rate))
        return;
    if (rate == 0.0) {
        stopFastPlay();
        m_player.pause();
    } else if (rate > 0.0 && rate <= 1.0) {
        stopFastPlay();
        rate = 1.0;
        m_player.play();
    } else {
        // Fast play moves within the media's length: nothing to move through until it is known.
        if (duration() <= 0)
            return;
        rate = rate > 0 ? 2.0 : -2.0;
        if (!m_fastTimer.isActive() || (rate < 0) != (m_rate < 0)) {
            // Anchored where the media stands, or where the fast play in the other direction has got to.
            m_fastOrigin = m_fastTimer.isActive() ? fastPosition() : std::max<qint64>(0, m_player.position());
            m_fastClock.start();
        }
        m_player.pause();
        m_fastTimer.start();
    }
    if (rate != m_rate) {
        m_rate = rate;
        emit rateChanged(m_rate);
    }
}

qint64 VideoPlayer::position() const
{
    return m_fastTimer.isActive() ? fastPosition() : std::max<qint64>(0, m_player.position());
}

qint64 VideoPlayer::duration() const
{
    return std::max<qint64>(0, m_player.duration());
}

void VideoPlayer::setPosition(qint64 milliseconds)
{
    const qint64 total = duration();
    milliseconds = std::max<qint64>(0, milliseconds);
    if (total > 0)
        milliseconds = std::min(milliseconds, total);
    if (m_fastTimer.isActive()) {
        m_fastOrigin = milliseconds;
        m_fastClock.start();
    }
    m_player.setPosition(milliseconds);
}

void VideoPlayer::setVolume(float volume)
{
    m_audioOutput.setVolume(std::isfinite(volume) ? std::clamp(volume, 0.0f, 1.0f) : 0.0f);
}

bool VideoPlayer::isAtEnd() const
{
    if (m_player.mediaStatus() == QMediaPlayer::EndOfMedia)
        return true;
    const qint64 total = duration();
    return total > 0 && total - position() <= kEndToleranceMilliseconds;
}

qint64 VideoPlayer::fastPosition() const
{
    // Twice the time since the anchor, in the direction of the rate, within the media.
    const qint64 moved = 2 * (m_fastClock.isValid() ? m_fastClock.elapsed() : 0);
    qint64 at = m_fastOrigin + (m_rate < 0 ? -moved : moved);
    at = std::max<qint64>(0, at);
    const qint64 total = duration();
    return total > 0 ? std::min(at, total) : at;
}

void VideoPlayer::fastStep()
{
    const qint64 total = duration();
    // Where the emulated play stands now; a tick that comes late (a busy main thread) still lands where double
    // speed would be, so the speed stays double.
    const qint64 next = fastPosition();
    const bool stop = next <= 0 || total <= 0 || next >= total;
    m_player.setPosition(next);
    if (!stop)
        return;
    const bool reachedEnd = m_rate > 0;
    stopFastPlay();
    m_fastOrigin = next;
    m_rate = 0.0;
    emit rateChanged(m_rate);
    if (reachedEnd)
        emit playedToEnd();
}

void VideoPlayer::stopFastPlay()
{
    m_fastTimer.stop();
    m_fastClock.invalidate();
}
