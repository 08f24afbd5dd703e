#pragma once

#include <functional>
#include <memory>

#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QString>

#include "tessarine_data_model/ObjectUpdateNotifier.h"

class ZERI_MixedMediaObjectProxy;
class ZERI_WebDownloader;

// The picture of an image-bearing object (image, gallery, PDF, video): the object's regular cropped file and,
// when it has one, its retina cropped file (twice the pixels), held as two representations of one picture of
// the object's frame size in points. Whoever draws it picks the representation for its pixel density
// (representationForPixelsPerPoint).
//
// Finding the files: when the cropped assets' files are missing they are downloaded; when a cropped download
// fails the original picture is downloaded and cropped locally; when that fails too, onImageDownloadDidFail
// tells the owner to wait for the network and call retryImageDownload. The object's "croppedImageAsset" and
// "retinaCroppedImageAsset" changes switch to the new assets' downloaders.
//
// Decoding happens on a worker thread; a file already decoded by anyone (the shared model image cache) is used
// at once. A file found on disk while the picture is being made is shown without onImageRepresentationUpdate
// (representationsChanged still tells the drawing view to repaint); every later representation calls it.
//
// The object is held weakly through its proxy. Main thread only.
class QVR_CroppedImage : public QObject {
    Q_OBJECT
public:
    enum Kind { Regular, Retina };

    // Size fixed to the object's frame size (zero for a missing object).
    explicit QVR_CroppedImage(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    ~QVR_CroppedImage() override;

    QSizeF size() const { return m_size; }
    std::shared_ptr<ZERI_MixedMediaObjectProxy> mmobj() const { return m_mmobj.lock(); }

    std::shared_ptr<ZERI_WebDownloader> regularImageDownloader() const { return m_reps[Regular].downloader; }
    std::shared_ptr<ZERI_WebDownloader> retinaImageDownloader() const { return m_reps[Retina].downloader; }
    std::shared_ptr<ZERI_WebDownloader> originalImageDownloader() const { return m_originalDownloader; }
    void setRegularImageDownloader(const std::shared_ptr<ZERI_WebDownloader>& downloader);
    void setRetinaImageDownloader(const std::shared_ptr<ZERI_WebDownloader>& downloader);

    QImage regularImageRep() const { return m_reps[Regular].image; }
    QImage retinaImageRep() const { return m_reps[Retina].image; }
    bool hasRepresentation() const { return !regularImageRep().isNull() || !retinaImageRep().isNull(); }
    // The retina representation above one device pixel per point when there is one, else the regular one.
    QImage representationForPixelsPerPoint(double pixelsPerPoint) const;
    QString regularImageFilepath() const { return m_reps[Regular].path; }
    QString retinaImageFilepath() const { return m_reps[Retina].path; }

    void setRegularImageRepFromFilepath(const QString& path) { setImageRepFromFilepath(Regular, path); }
    void setRetinaImageRepFromFilepath(const QString& path) { setImageRepFromFilepath(Retina, path); }

    void findAndSetAssets();
    void assignCroppedImageDownloaders();
    void updateImageRepsFromDownloaders();
    void attemptDownloadOfOriginalImageAsset();

    // True while a file is being decoded or a held downloader is downloading.
    bool isLoading() const;

    // True when the original picture failed and so did the regular cropped file (or there is none to fetch).
    bool didDownloadersFail() const;
    void retryImageDownload() { findAndSetAssets(); }

    std::function<void(QVR_CroppedImage*)> onImageRepresentationUpdate() const { return m_onImageRepresentationUpdate; }
    void setOnImageRepresentationUpdate(std::function<void(QVR_CroppedImage*)> block);
    std::function<void(QVR_CroppedImage*)> onImageDownloadDidFail() const { return m_onImageDownloadDidFail; }
    void setOnImageDownloadDidFail(std::function<void(QVR_CroppedImage*)> block);

signals:
    // A representation was added or removed (also for files decoded after construction).
    void representationsChanged();

private:
    struct Representation {
        std::shared_ptr<ZERI_WebDownloader> downloader;
        ObjectUpdateNotifierObserver statusObserver;
        QImage image;
        QString path;
        // Size, inode and modification time of the file when it was read: a file replaced at the same path
        // is read again.
        QString fileStamp;
        quint64 generation = 0;
    };

    void setImageDownloader(Kind kind, const std::shared_ptr<ZERI_WebDownloader>& downloader);
    void setImageRepFromFilepath(Kind kind, const QString& path);
    void installRepresentation(Kind kind, const QImage& image, bool announce);
    void removeRepresentation(Kind kind, bool forgetPath);
    void downloadStatusChanged(const void* downloader);
    void makeCroppedImagesFromOriginal();
    ObjectUpdateNotifierObserver observeStatus(const std::shared_ptr<ZERI_WebDownloader>& downloader);

    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_mmobj;
    QSizeF m_size;
    Representation m_reps[2];
    std::shared_ptr<ZERI_WebDownloader> m_originalDownloader;
    ObjectUpdateNotifierObserver m_originalStatusObserver;
    std::function<void(QVR_CroppedImage*)> m_onImageRepresentationUpdate;
    std::function<void(QVR_CroppedImage*)> m_onImageDownloadDidFail;
    ObjectUpdateNotifierObserver m_updateObserver;
    bool m_constructing = true;
    int m_pendingDecodes = 0;
    bool m_cropping = false;
    // Lets decoding workers find out, back on the main thread, whether this picture still exists.
    std::shared_ptr<char> m_lifetime = std::make_shared<char>();
};
