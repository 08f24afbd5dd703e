#include "elements/video/MediaAssetReader.h"

#include "elements/video/FFmpegError.h"
#include "elements/video/MediaAsset.h"
#include "elements/video/MediaAssetReaderTrackOutput.h"
#include "elements/video/VideoLogging.h"

void MediaAssetReaderState::fail(const Error& failure)
{
    std::lock_guard lock(mutex);
    Status expected = Status::Reading;
    if (status.compare_exchange_strong(expected, Status::Failed))
        error = failure;
}

void MediaAssetReaderState::outputReachedEnd()
{
    if (outputsAtEnd.fetch_add(1) + 1 == outputCount) {
        Status expected = Status::Reading;
        status.compare_exchange_strong(expected, Status::Completed);
    }
}

MediaAssetReader::MediaAssetReader(std::shared_ptr<MediaAsset> asset)
    : m_asset(std::move(asset))
    , m_state(std::make_shared<MediaAssetReaderState>())
{
}

std::unique_ptr<MediaAssetReader> MediaAssetReader::create(std::shared_ptr<MediaAsset> asset, Error* error)
{
    if (!asset || !asset->isLoaded()) {
        setError(error, asset ? asset->loadError()
                              : Error(QString::fromLatin1(kFFmpegErrorDomain), -1, QStringLiteral("No asset")));
        return nullptr;
    }
    return std::unique_ptr<MediaAssetReader>(new MediaAssetReader(std::move(asset)));
}

void MediaAssetReader::addOutput(std::shared_ptr<MediaAssetReaderTrackOutput> output)
{
    m_outputs.push_back(std::move(output));
}

bool MediaAssetReader::startReading(Error* error)
{
    if (m_state->status != Status::Unknown) {
        setError(error,
                 Error(QStringLiteral("FFmpegErrorDomain"), -1, QStringLiteral("The reader has already started")));
        return false;
    }
    m_state->outputCount = int(m_outputs.size());
    for (const auto& output : m_outputs) {
        Error failure;
        if (!output->open(m_asset->path(), m_state, &failure)) {
            qCWarning(lcVideo) << "cannot read" << m_asset->path() << failure.message;
            m_state->status = Status::Failed;
            m_state->error = failure;
            setError(error, failure);
            return false;
        }
    }
    m_state->status = Status::Reading;
    return true;
}

void MediaAssetReader::cancelReading()
{
    Status expected = Status::Reading;
    if (!m_state->status.compare_exchange_strong(expected, Status::Cancelled)) {
        expected = Status::Unknown;
        m_state->status.compare_exchange_strong(expected, Status::Cancelled);
    }
}

Error MediaAssetReader::error() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->error;
}
