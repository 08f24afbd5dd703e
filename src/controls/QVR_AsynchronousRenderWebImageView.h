#pragma once

#include <memory>

#include "controls/AsynchronousRenderImageView.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class ZERI_WebDownloader;

// An AsynchronousRenderImageView fed by a web downloader: it shows the downloader's file once the download is on
// disk (at once when it already is), rendered off the main thread like any image path. The view keeps the
// downloader alive; starting the download is the caller's business. While the download runs or after it failed,
// the view shows the picture given to setImage (the low-quality stand-in), or nothing.
class QVR_AsynchronousRenderWebImageView : public AsynchronousRenderImageView {
    Q_OBJECT
public:
    explicit QVR_AsynchronousRenderWebImageView(QWidget* parent = nullptr);
    explicit QVR_AsynchronousRenderWebImageView(const QRect& frame, QWidget* parent = nullptr);
    ~QVR_AsynchronousRenderWebImageView() override;

    void setDownloader(std::shared_ptr<ZERI_WebDownloader> downloader);
    std::shared_ptr<ZERI_WebDownloader> downloader() const { return m_downloader; }

    // Shows the picture at once (drawn with the view's content mode); a later file from the downloader or a later
    // image path replaces it.
    void setImage(const QImage& image);

private:
    void downloaderChanged();

    std::shared_ptr<ZERI_WebDownloader> m_downloader;
    ObjectUpdateNotifierObserver m_observation;
};
