#pragma once

#include <memory>

#include <QAudioOutput>
#include <QMediaPlayer>

#include "elements/audio/QVOAudioClip.h"

// A clip played by QtMultimedia (the GStreamer back end on Linux) on the default audio output.
class QVOMediaPlayerClip : public QVOAudioClip {
public:
    explicit QVOMediaPlayerClip(const QUrl& url);
    static std::unique_ptr<QVOAudioClip> create(const QUrl& url);

    void play() override;
    void pause() override;
    void stop() override;
    double duration() const override;
    double currentTime() const override;
    void setFinishedHandler(std::function<void()> handler) override { m_finishedHandler = std::move(handler); }

    QMediaPlayer& player() { return m_player; }

private:
    QAudioOutput m_output;
    QMediaPlayer m_player;
    std::function<void()> m_finishedHandler;
};
