#include "elements/video/MediaSampleBuffer.h"

extern "C" {
#include <libavutil/frame.h>
}

MediaSampleBuffer::MediaSampleBuffer(AVFrame* frame, MediaType type, MediaTime presentationTimeStamp,
                                     MediaTime duration)
    : m_frame(frame)
    , m_type(type)
    , m_presentationTimeStamp(presentationTimeStamp)
    , m_duration(duration)
{
}

MediaSampleBuffer::~MediaSampleBuffer()
{
    av_frame_free(&m_frame);
}
