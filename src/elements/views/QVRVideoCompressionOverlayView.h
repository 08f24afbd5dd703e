#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QFont>
#include <QGraphicsObject>
#include <QPointer>
#include <QRectF>
#include <QString>

#include "platform/NotificationCenter.h"

class QPropertyAnimation;
class ZERI_ContentAsset;
struct Notification;

// Lies over a video element and shows how the re-encoding of its video asset goes: "queued", a bar with the
// percentage while it runs, and a label that says how it ended (faded out 5 s later). A failure raises one
// alert (not modal to the application) and a success one desktop notice, however many overlays watch the asset.
//
// The overlay takes no mouse buttons and no hover, so clicks reach the element under it. The owner sets its
// frame to the element's bounds and watches the element's video asset. Main thread only.
class QVRVideoCompressionOverlayView : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr double kInfoFadeDelaySeconds = 5.0;
    static constexpr int kFadeDurationMs = 250;

    explicit QVRVideoCompressionOverlayView(QGraphicsItem* parent = nullptr);
    ~QVRVideoCompressionOverlayView() override;

    // Starts watching an asset (nothing when it is the one already watched). No asset: watches nothing and
    // observes nothing.
    void watchCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    void stopWatchingCompression();
    std::shared_ptr<ZERI_ContentAsset> watchedContentAsset() const { return m_watchedContentAsset; }

    // Shows the bar at `progress` (clamped to 0..1) with "Compressing… N%".
    void setCompressionProgress(double progress);

    // The overlay's place in its parent and its size.
    void setFrame(const QRectF& frame);
    QRectF frame() const { return QRectF(pos(), m_size); }

    // What is shown, for the owner and tests.
    bool isProgressVisible() const { return m_progressVisible; }
    QString progressLabelText() const { return m_progressLabel; }
    float progressValue() const { return m_progress; }
    QString infoText() const;
    QGraphicsObject* infoLabel() const { return m_infoLabel; }
    // Where the bar is drawn, in item coordinates.
    QRectF progressRect() const;

    // Desktop notices go through QVRAppDelegate::postUserNotification unless tests set another receiver
    // (nullptr restores it).
    using UserNotificationPoster = std::function<void(const QString& title, const QString& informativeText)>;
    static void setUserNotificationPosterForTesting(UserNotificationPoster poster);

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    void compressionQueued(const Notification& notification);
    void compressionWillBegin(const Notification& notification);
    void compressionDidProgress(const Notification& notification);
    void compressionDidEnd(const Notification& notification);
    void compressionSkipped(const Notification& notification);
    void setProgressVisible(bool visible);
    void showInfo(const QString& text);
    void fadeInfoTo(qreal opacity);
    QWidget* hostWindow() const;

    std::shared_ptr<ZERI_ContentAsset> m_watchedContentAsset;
    std::vector<NotificationObservation> m_observations;
    QSizeF m_size{0, 0};
    bool m_progressVisible = false;
    float m_progress = 0;
    QString m_progressLabel;
    QFont m_progressFont;
    QGraphicsObject* m_infoLabel = nullptr;
    QPointer<QPropertyAnimation> m_fade;
    quint64 m_infoGeneration = 0; // a fade scheduled for an earlier message is dropped
};
