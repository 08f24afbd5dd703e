#include "elements/audio/QVOAudioInfo.h"

#include "elements/audio/AudioLogging.h"

std::shared_ptr<QVOAudioInfo> QVOAudioInfo::audioInfoWithURL(const QUrl& url, const QString& uniqueId,
                                                             const QVOAudioClipFactory& factory)
{
    auto info = std::make_shared<QVOAudioInfo>();
    info->m_url = url;
    info->m_uniqueId = uniqueId;
    info->m_player = factory ? factory(url) : nullptr;
    if (!info->m_player)
        qCWarning(lcAudio).noquote() << "error creating audio player:" << url.toString();
    return info;
}

void QVOAudioInfo::play()
{
    m_state = Playing;
    if (m_player)
        m_player->play();
}

void QVOAudioInfo::pause()
{
    m_state = Paused;
    if (m_player)
        m_player->pause();
}

void QVOAudioInfo::resume()
{
    play();
}

void QVOAudioInfo::stop()
{
    m_state = Stopped;
    if (m_player)
        m_player->stop();
}
