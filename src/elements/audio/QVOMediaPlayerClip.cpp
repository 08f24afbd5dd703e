#include "elements/audio/QVOMediaPlayerClip.h"

#include <QFileInfo>

#include "elements/audio/AudioLogging.h"

QVOMediaPlayerClip::QVOMediaPlayerClip(const QUrl& url)
{
    m_player.setAudioOutput(&m_output);
    QObject::connect(&m_player, &QMediaPlayer::errorOccurred, &m_player,
                     [url](QMediaPlayer::Error, const QString& message) {
                         qCWarning(lcAudio).noquote() << "error creating audio player:" << url.toString() << message;
                     });
    // Queued, so the handler (which may drop this clip) never runs inside the player's own signal.
    QObject::connect(
        &m_player, &QMediaPlayer::mediaStatusChanged, &m_player,
        [this](QMediaPlayer::MediaStatus status) {
            // A file that turns out unplayable ends at once: its object must not show a sound that never comes.
            // Without a decoder for it, the media back end may load such a file as a stream with no sound in it
            // rather than call it invalid, so a loaded file without sound ends too.
            const bool silent =
                (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia) && !m_player.hasAudio();
            if ((status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia || silent) &&
                m_finishedHandler)
                m_finishedHandler();
        },
        Qt::QueuedConnection);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        qCWarning(lcAudio).noquote() << "error creating audio player: no file at" << url.toLocalFile();
    m_player.setSource(url);
}

std::unique_ptr<QVOAudioClip> QVOMediaPlayerClip::create(const QUrl& url)
{
    return std::make_unique<QVOMediaPlayerClip>(url);
}

void QVOMediaPlayerClip::play()
{
    m_player.play();
}

void QVOMediaPlayerClip::pause()
{
    m_player.pause();
}

void QVOMediaPlayerClip::stop()
{
    m_player.stop();
}

double QVOMediaPlayerClip::duration() const
{
    return m_player.duration() / 1000.0;
}

double QVOMediaPlayerClip::currentTime() const
{
    return m_player.position() / 1000.0;
}
