#pragma once

#include <QtGlobal>

struct AVFrame;

enum class MediaType { Video, Audio };

// A point or span on a track's time line: value / timescale seconds. A timescale of 0 marks a time
// that is not known (a sample without a duration, a file without a readable length).
struct MediaTime {
    qint64 value = 0;
    qint32 timescale = 0;

    bool isValid() const { return timescale > 0; }
    double seconds() const { return isValid() ? double(value) / double(timescale) : 0.0; }
    static MediaTime fromSeconds(double seconds, qint32 timescale = 90000)
    {
        return {qint64(seconds * timescale + (seconds < 0 ? -0.5 : 0.5)), timescale};
    }
};

// One decoded sample of a track (a picture, or a run of audio frames) in the decoder's own format.
// Owns its frame. Handed from a reader output through a channel into a writer input, which converts it
// to its encoder's format.
class MediaSampleBuffer {
public:
    MediaSampleBuffer(AVFrame* frame, MediaType type, MediaTime presentationTimeStamp, MediaTime duration);
    ~MediaSampleBuffer();

    MediaSampleBuffer(const MediaSampleBuffer&) = delete;
    MediaSampleBuffer& operator=(const MediaSampleBuffer&) = delete;

    AVFrame* frame() const { return m_frame; }
    MediaType mediaType() const { return m_type; }
    MediaTime presentationTimeStamp() const { return m_presentationTimeStamp; }
    MediaTime duration() const { return m_duration; }

private:
    AVFrame* m_frame;
    MediaType m_type;
    MediaTime m_presentationTimeStamp;
    MediaTime m_duration;
};
