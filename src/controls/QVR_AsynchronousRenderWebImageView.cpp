#include "controls/QVR_AsynchronousRenderWebImageView.h"

#include "storage/ZERI_WebDownloader.h"

QVR_AsynchronousRenderWebImageView::QVR_AsynchronousRenderWebImageView(QWidget* parent)
    : AsynchronousRenderImageView(parent)
{
}

QVR_AsynchronousRenderWebImageView::QVR_AsynchronousRenderWebImageView(const QRect& frame, QWidget* parent)
    : AsynchronousRenderImageView(frame, parent)
{
}

QVR_AsynchronousRenderWebImageView::~QVR_AsynchronousRenderWebImageView() = default;

void QVR_AsynchronousRenderWebImageView::setDownloader(std::shared_ptr<ZERI_WebDownloader> downloader)
{
    if (downloader == m_downloader)
        return;
    m_observation.reset();
    const bool hadDownloader = m_downloader != nullptr;
    m_downloader = std::move(downloader);
    // The previous downloader's picture is not this one's (a stand-in given before the first one stays).
    if (hadDownloader)
        setImagePath(QString());
    if (!m_downloader)
        return;
    // Reported at the end of the turn on the main thread; the observation goes with this view.
    m_observation = m_downloader->updateNotifier().addObservationBlock(
        [this](const void*, const QSet<QString>&) { downloaderChanged(); }, QStringLiteral("downloadStatus"));
    downloaderChanged();
}

void QVR_AsynchronousRenderWebImageView::setImage(const QImage& image)
{
    showImageNow(image);
}

void QVR_AsynchronousRenderWebImageView::downloaderChanged()
{
    if (!m_downloader)
        return;
    const bool onDisk = m_downloader->downloadStatus() == ZERI_WebDownloader::OnDisk || m_downloader->fileExists();
    if (onDisk && imagePath() != m_downloader->filepath())
        setImagePath(m_downloader->filepath());
}
