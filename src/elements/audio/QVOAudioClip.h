#pragma once

#include <functional>
#include <memory>

#include <QUrl>

// One playable sound file, as the audio controller needs it. Main thread only.
class QVOAudioClip {
public:
    virtual ~QVOAudioClip() = default;

    virtual void play() = 0; // from the start, or from where it was paused
    virtual void pause() = 0;
    virtual void stop() = 0; // back to the start
    // Seconds; 0 while not known.
    virtual double duration() const = 0;
    virtual double currentTime() const = 0;
    // Called when playback reaches the end by itself (not after stop()), from the event loop: never from
    // inside play(), pause() or stop(), so the handler may destroy the clip.
    virtual void setFinishedHandler(std::function<void()> handler) = 0;
};

// Makes the clip for a file; a file that cannot be played still gives a clip, which ends as soon as that is known.
using QVOAudioClipFactory = std::function<std::unique_ptr<QVOAudioClip>(const QUrl& url)>;
