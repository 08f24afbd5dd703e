#pragma once

#include <QAudioOutput>
#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>

// The player behind the full-window video view: a QMediaPlayer with its audio output and a video sink that
// receives every decoded frame. Times are in milliseconds.
//
// The rate follows the full-window player's transport: 0 paused, 1 playing, 2 fast forward, −2 rewind. Fast play
// in either direction is emulated the same way on every back end (reverse play is not dependable): the media
// player pauses and a 100 ms timer seeks 0.2 s forward or back (to where double speed has got to, when a step
// comes late); position() follows double speed between the steps. Rewinding stops at 0 with rate 0; fast forward
// stops at the end with rate 0 and reports the end of the media. Main thread only.
class VideoPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr int kFastStepIntervalMilliseconds = 100;
    static constexpr qint64 kFastStepMilliseconds = 200;

    explicit VideoPlayer(QObject* parent = nullptr);
    ~VideoPlayer() override;

    QMediaPlayer* mediaPlayer() { return &m_player; }
    QAudioOutput* audioOutput() { return &m_audioOutput; }
    QVideoSink* videoSink() { return &m_videoSink; }

    QUrl source() const { return m_player.source(); }
    // Pauses and replaces the media (an empty URL empties the player).
    void setSource(const QUrl& url);

    double rate() const { return m_rate; }
    // 0 pauses, up to 1 plays; faster rates play at ±2 by stepping the position, only once the duration is known.
    void setRate(double rate);
    void play() { setRate(1.0); }
    void pause() { setRate(0.0); }

    qint64 position() const;
    qint64 duration() const;
    // Clamped to 0..duration (0 while the duration is unknown would stop any seek, so then only below 0 is
    // clamped).
    void setPosition(qint64 milliseconds);

    // 0..1.
    float volume() const { return m_audioOutput.volume(); }
    void setVolume(float volume);

    bool hasVideo() const { return m_player.hasVideo(); }
    bool hasAudio() const { return m_player.hasAudio(); }
    QMediaPlayer::MediaStatus mediaStatus() const { return m_player.mediaStatus(); }

    // At the end: the media reported its end, or the position is within 40 ms of a known duration.
    bool isAtEnd() const;

signals:
    void rateChanged(double rate);
    void durationChanged(qint64 milliseconds);
    void mediaStatusChanged(QMediaPlayer::MediaStatus status);
    void errorOccurred(QMediaPlayer::Error error, const QString& errorString);
    // The media played (or was fast-forwarded) to its end.
    void playedToEnd();

private:
    void fastStep();
    qint64 fastPosition() const;
    void stopFastPlay();

    QMediaPlayer m_player;
    QAudioOutput m_audioOutput;
    QVideoSink m_videoSink;
    QTimer m_fastTimer;
    QElapsedTimer m_fastClock;
    double m_rate = 0.0;
    // The emulated fast play runs from m_fastOrigin at double speed since m_fastClock started; the media
    // player's own position lags behind its seeks.
    qint64 m_fastOrigin = 0;
};
