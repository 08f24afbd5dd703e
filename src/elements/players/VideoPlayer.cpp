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
        rate = rate > 0 ? 2.0 : -2.0;
        if (!m_fastTimer.isActive())
            m_fastPosition = m_player.position();
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
    return m_fastTimer.isActive() ? m_fastPosition : std::max<qint64>(0, m_player.position());
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
    if (m_fastTimer.isActive())
        m_fastPosition = milliseconds;
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

void VideoPlayer::fastStep()
{
    const qint64 total = duration();
    const qint64 step = m_rate < 0 ? -kFastStepMilliseconds : kFastStepMilliseconds;
    qint64 next = m_fastPosition + step;
    bool stop = false;
    if (next <= 0) {
        next = 0;
        stop = true;
    } else if (total > 0 && next >= total) {
        next = total;
        stop = true;
    }
    m_fastPosition = next;
    m_player.setPosition(next);
    if (!stop)
        return;
    const bool reachedEnd = m_rate > 0;
    stopFastPlay();
    m_rate = 0.0;
    emit rateChanged(m_rate);
    if (reachedEnd)
        emit playedToEnd();
}

void VideoPlayer::stopFastPlay()
{
    m_fastTimer.stop();
}
