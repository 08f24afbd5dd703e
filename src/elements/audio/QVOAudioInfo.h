#pragma once

#include <memory>

#include <QString>
#include <QUrl>

#include "elements/audio/QVOAudioClip.h"

// One clip registered with the audio controller: the audio object's internal id, its file and its player.
class QVOAudioInfo {
public:
    enum State : unsigned { Stopped = 0, Playing = 1, Paused = 2 };

    static std::shared_ptr<QVOAudioInfo> audioInfoWithURL(const QUrl& url, const QString& uniqueId,
                                                          const QVOAudioClipFactory& factory);

    QString uniqueId() const { return m_uniqueId; }
    QUrl url() const { return m_url; }
    QVOAudioClip* player() const { return m_player.get(); }
    unsigned state() const { return m_state; }

    void play();
    void pause();
    void resume();
    void stop();

private:
    QString m_uniqueId;
    QUrl m_url;
    std::unique_ptr<QVOAudioClip> m_player;
    unsigned m_state = Stopped;
};
