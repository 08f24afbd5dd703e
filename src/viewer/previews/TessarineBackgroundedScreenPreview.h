#pragma once

#include <memory>
#include <vector>

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "foundation/BlockTimer.h"
#include "foundation/ZeroingWeakReference.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"

class TessarineBackgroundedScreenPreview;

class TessarineBackgroundedScreenPreviewDelegate {
public:
    virtual ~TessarineBackgroundedScreenPreviewDelegate() = default;
    // The view received the result of a preview request of its screen.
    virtual void previewFinishedGenerating(TessarineBackgroundedScreenPreview* /*preview*/) {}
};

// Shows one screen's stored preview picture, normal or text-less, scaled to the view, and keeps it current:
// 0.2 s after the screen or one of its objects last changed it asks the screen for its previews, and it shows
// what the screen's "ZERI_FlowScreenModelPreviewScreenshotGetNotification" brings. Main thread only.
class TessarineBackgroundedScreenPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr double kUpdateDelaySeconds = 0.2;

    // How a new view reads its screen's stored picture: at once, or on a worker thread, the view staying empty
    // (and not asking its screen for previews) until the picture is in; or on a worker thread once the view is
    // first shown (the many views of a long strip, few of which are ever shown).
    enum class StoredPicture { DecodeNow, DecodeInBackground, DecodeWhenShown };

    // `scale` and `theme` are accepted for the callers' sake and not used.
    TessarineBackgroundedScreenPreview(const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       double scale, bool drawText, QWidget* parent = nullptr);
    TessarineBackgroundedScreenPreview(const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       bool drawText, StoredPicture storedPicture, QWidget* parent = nullptr);
    TessarineBackgroundedScreenPreview(const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       QWidget* parent = nullptr);
    TessarineBackgroundedScreenPreview(const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       double scale, QWidget* parent = nullptr);
    TessarineBackgroundedScreenPreview(const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       double scale, const QString& theme, QWidget* parent = nullptr);
    ~TessarineBackgroundedScreenPreview() override;

    std::shared_ptr<ZERI_FlowScreenModel> screenModel() const { return m_weakScreenModel.obj(); }
    // Only when the screen differs: observes the new screen instead of the old one.
    void setScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen);

    // The picture shown, null when none. A picture larger than the view in device pixels is held at that size
    // once its scaling (on a worker) is done.
    QImage currentPreviewImage() const { return m_picture; }
    // The view's size in device pixels: what its picture is decoded and scaled to.
    QSize pictureSize() const;

    // For the many views of a long strip: while no part of the view can be seen it holds no picture, and reads its
    // stored one again when it is painted. Off by default.
    void setHoldsPictureOnlyInSight(bool holds) { m_holdsPictureOnlyInSight = holds; }
    bool holdsPictureOnlyInSight() const { return m_holdsPictureOnlyInSight; }
    // Lets the picture go when the view holds pictures only in sight, is out of sight and has a stored picture
    // to read again.
    void releasePictureOutOfSight();
    // True while the picture is let go for being out of sight.
    bool pictureSetAside() const { return m_pictureSetAside; }
    bool drawText() const { return m_drawText; }
    // A view that shows its screen as the current one (the selected item of a strip): the screen's previews are
    // made before those of every other screen.
    void setShownAsCurrent(bool current);
    bool shownAsCurrent() const { return m_marksCurrent; }
    bool drewNormalPreviewWhenTextlessPreviewWasRequested() const
    {
        return m_drewNormalPreviewWhenTextlessPreviewWasRequested;
    }
    bool acceptsFirstMouse() const { return true; }
    bool hasPendingUpdate() const { return m_updateTimer != nullptr; }
    // For a view about to go: the request that changes made in the last moments would have made shortly is made
    // now.
    void requestPendingPreviews();
    // True while the stored picture is being decoded on a worker thread.
    bool isDecodingStoredPicture() const { return m_decodingStoredPicture; }

    TessarineBackgroundedScreenPreviewDelegate* delegate() const { return m_delegate; }
    void setDelegate(TessarineBackgroundedScreenPreviewDelegate* delegate) { m_delegate = delegate; }

    // The stored preview decoded at the view's size: the normal one, or the text-less one (standing in the normal
    // one when the screen has none). Null when there is no asset or its file cannot be decoded (logged).
    QImage attemptToCreateCachedPreviewImageFromModel();
    void previewScreenshotGotten(const Notification& notification);

    // Corrects a bounds rectangle whose whole-pixel ratio misses the bitmap's: (0, 0, w ± 1, h ± 1) when that
    // comes strictly closer to the bitmap's width over height (the larger one winning a tie), else `bounds`.
    static QRectF cleanupBounds(const QRectF& bounds, const QRectF& bitmapContextBounds);

signals:
    // A decoding begun on a worker thread ended, with a picture shown or without one, or was dropped as the view
    // took another screen.
    void storedPictureDecoded();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPicture(const QImage& picture);
    bool outOfSight() const;
    // Whether the picture may go for now: the view holds pictures only in sight, is out of sight, and has a stored
    // picture to read again.
    bool mayLetPictureGo();
    void setPictureAside();
    // A picture shown at another size than its own is scaled to the view's size on a worker, ahead of the paint
    // that needs it; a paint that comes first scales it itself.
    void prepareScaledPicture();
    // The stored preview's file on disk, or empty.
    QString storedPicturePath();
    void decodeStoredPictureInBackground();
    void storedPictureArrived(const QImage& picture, const QString& problem);
    void observeObjects();
    void screenChanged(const QSet<QString>& changedKeys);
    void requestPreviews();

    ZeroingWeakReference<ZERI_FlowScreenModel> m_weakScreenModel;
    ObjectUpdateNotifierObserver m_screenModelObserver;
    std::vector<ObjectUpdateNotifierObserver> m_objectObservers;
    NotificationObservation m_previewObservation;
    bool m_drawText = true;
    bool m_drewNormalPreviewWhenTextlessPreviewWasRequested = false;
    bool m_wasShown = false;
    bool m_requestAgainWhenDone = false;
    bool m_decodingStoredPicture = false;
    bool m_holdsPictureOnlyInSight = false;
    bool m_decodeWhenShown = false;
    bool m_pictureSetAside = false;
    bool m_pictureReduced = false;       // m_picture was scaled down from a larger one
    quint64 m_storedPictureDecoding = 0; // counts the decodings begun; only the latest one's picture is shown
    QPointer<BlockTimer> m_updateTimer;
    TessarineBackgroundedScreenPreviewDelegate* m_delegate = nullptr;
    QImage m_picture;
    QImage m_scaledPicture;                 // m_picture at the view's size in device pixels, made once per size
    quint64 m_pictureScaling = 0;           // counts the scalings asked for; only the latest one's result is kept
    std::weak_ptr<const void> m_currentKey; // the screen marked current with the render threads
    bool m_marksCurrent = false;
};
