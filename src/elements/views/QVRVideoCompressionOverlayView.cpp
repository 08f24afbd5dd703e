#include "elements/views/QVRVideoCompressionOverlayView.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPropertyAnimation>

#include "app/QVRAppDelegate.h"
#include "controls/CustomProgressView.h"
#include "elements/video/QVBVideoCompressionManager.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/MainThread.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

QVRVideoCompressionOverlayView::UserNotificationPoster& notificationPoster()
{
    static QVRVideoCompressionOverlayView::UserNotificationPoster poster;
    return poster;
}

void postUserNotification(const QString& title, const QString& text)
{
    if (const auto& poster = notificationPoster())
        poster(title, text);
    else
        QVRAppDelegate::postUserNotification(title, text);
}

// Every overlay watching an asset receives the same did-end post; only the first one that handles it speaks.
bool isFirstToHandle(const Notification& notification)
{
    static const void* lastManager = nullptr;
    static const void* lastAsset = nullptr;
    static qint64 lastRun = -1;
    const QVariant run = notification.userInfo.value(QVBVideoCompressionManager::kVideoAssetCompressionRun);
    if (!run.isValid())
        return true;
    const void* manager = notification.userInfo.value(QVBVideoCompressionManager::kVideoAssetCompressionManager)
                              .value<VideoCompressionManager*>();
    const qint64 number = run.toLongLong();
    if (manager == lastManager && notification.sender == lastAsset && number == lastRun)
        return false;
    lastManager = manager;
    lastAsset = notification.sender;
    lastRun = number;
    return true;
}

// The message of the overlay's last word: brand blue at half strength behind white text.
class InfoLabelItem : public QGraphicsObject {
public:
    explicit InfoLabelItem(QGraphicsItem* parent)
        : QGraphicsObject(parent)
    {
        setAcceptedMouseButtons(Qt::NoButton);
        setAcceptHoverEvents(false);
        m_font = QFont(QStringLiteral("Helvetica"));
        m_font.setPixelSize(18);
    }

    QString text() const { return m_text; }
    void setText(const QString& text)
    {
        m_text = text;
        update();
    }
    void setRect(const QRectF& rect)
    {
        prepareGeometryChange();
        m_rect = rect;
    }

    QRectF boundingRect() const override { return m_rect; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        if (m_text.isEmpty() || m_rect.isEmpty())
            return;
        QColor background = Tessutils::tessarineBlue();
        background.setAlphaF(0.5);
        painter->fillRect(m_rect, background);
        painter->setPen(Qt::white);
        painter->setFont(m_font);
        painter->drawText(m_rect.adjusted(6, 0, -6, 0), Qt::AlignCenter | Qt::TextWordWrap, m_text);
    }

private:
    QString m_text;
    QRectF m_rect;
    QFont m_font;
};

} // namespace

QVRVideoCompressionOverlayView::QVRVideoCompressionOverlayView(QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_progressFont(QStringLiteral("Helvetica"))
{
    m_progressFont.setPixelSize(20);
    setAcceptedMouseButtons(Qt::NoButton);
    setAcceptHoverEvents(false);
    setFlag(QGraphicsItem::ItemHasNoContents, false);
    auto* label = new InfoLabelItem(this);
    label->setOpacity(0);
    m_infoLabel = label;
}

QVRVideoCompressionOverlayView::~QVRVideoCompressionOverlayView()
{
    m_observations.clear();
}

void QVRVideoCompressionOverlayView::setUserNotificationPosterForTesting(UserNotificationPoster poster)
{
    notificationPoster() = std::move(poster);
}

void QVRVideoCompressionOverlayView::setFrame(const QRectF& frame)
{
    prepareGeometryChange();
    setPos(frame.topLeft());
    m_size = frame.size();
    const double height = std::min(60.0, m_size.height());
    static_cast<InfoLabelItem*>(m_infoLabel)
        ->setRect(QRectF(0, (m_size.height() - height) / 2, m_size.width(), height));
    update();
}

QRectF QVRVideoCompressionOverlayView::progressRect() const
{
    const double width = std::max(0.0, std::min(m_size.width() - 40, 420.0));
    const double height = std::min(32.0, m_size.height());
    return QRectF((m_size.width() - width) / 2, (m_size.height() - height) / 2, width, height);
}

QString QVRVideoCompressionOverlayView::infoText() const
{
    return static_cast<InfoLabelItem*>(m_infoLabel)->text();
}

void QVRVideoCompressionOverlayView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (!m_progressVisible)
        return;
    const QRectF rect = progressRect();
    if (rect.isEmpty())
        return;
    CustomProgressView::paintBar(*painter, rect, m_progress, m_progressLabel, m_progressFont,
                                 Tessutils::tessarineBlue(), Qt::white, QColor::fromRgbF(0.95f, 0.95f, 0.95f, 0.8f));
}

void QVRVideoCompressionOverlayView::watchCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    if (asset == m_watchedContentAsset)
        return;
    stopWatchingCompression();
    if (!asset)
        return; // a null sender would mean "every asset"
    m_watchedContentAsset = asset;
    m_progressLabel = UFM::QUEUED_FOR_COMPRESSION();
    const auto manager = asset->videoCompressionManager();
    setProgressVisible(manager && manager->hasAsset(asset));

    const void* sender = asset.get();
    auto observe = [&](const QString& name, void (QVRVideoCompressionOverlayView::*handler)(const Notification&)) {
        m_observations.emplace_back(name, sender, [this, handler](const Notification& n) { (this->*handler)(n); });
    };
    observe(QVBVideoCompressionManager::queuedNotification, &QVRVideoCompressionOverlayView::compressionQueued);
    observe(QVBVideoCompressionManager::willBeginNotification, &QVRVideoCompressionOverlayView::compressionWillBegin);
    observe(QVBVideoCompressionManager::didProgressNotification,
            &QVRVideoCompressionOverlayView::compressionDidProgress);
    observe(QVBVideoCompressionManager::didEndNotification, &QVRVideoCompressionOverlayView::compressionDidEnd);
    observe(QVBVideoCompressionManager::enqueueAbortedNotification,
            &QVRVideoCompressionOverlayView::compressionSkipped);
}

void QVRVideoCompressionOverlayView::stopWatchingCompression()
{
    m_observations.clear();
    m_watchedContentAsset.reset();
    setProgressVisible(false);
}

void QVRVideoCompressionOverlayView::setProgressVisible(bool visible)
{
    if (m_progressVisible == visible)
        return;
    m_progressVisible = visible;
    update();
}

void QVRVideoCompressionOverlayView::setCompressionProgress(double progress)
{
    const float clamped = std::isnan(progress) ? 0.0f : float(std::clamp(progress, 0.0, 1.0));
    m_progress = clamped;
    const int percent = int(std::ceil(clamped * 100.0f));
    m_progressLabel = QStringLiteral("%1 %2%").arg(UFM::COMPRESSING_WITH_ELIPSES()).arg(percent);
    setProgressVisible(true);
    update();
}

void QVRVideoCompressionOverlayView::compressionQueued(const Notification&)
{
    m_progressLabel = UFM::QUEUED_FOR_COMPRESSION();
    setProgressVisible(true);
    update();
}

void QVRVideoCompressionOverlayView::compressionWillBegin(const Notification&)
{
    setCompressionProgress(0);
}

void QVRVideoCompressionOverlayView::compressionDidProgress(const Notification& notification)
{
    const auto* manager = notification.userInfo.value(QVBVideoCompressionManager::kVideoAssetCompressionManager)
                              .value<VideoCompressionManager*>();
    if (manager)
        setCompressionProgress(manager->progress());
}

void QVRVideoCompressionOverlayView::compressionDidEnd(const Notification& notification)
{
    setProgressVisible(false);
    const auto asset = m_watchedContentAsset;
    const bool speak = isFirstToHandle(notification);
    const QVariant error = notification.userInfo.value(QVBVideoCompressionManager::kVidoeAssetCompressionError);
    if (!error.isValid()) {
        showInfo(UFM::COMPRESSION_COMPLETE_TEXT());
        if (speak) {
            const auto document = asset ? asset->tessarineModel() : nullptr;
            postUserNotification(UFM::COMPRESSION_COMPLETE_TEXT(), document ? document->title() : QString());
        }
        return;
    }
    if (!speak)
        return;
    QString name = asset ? asset->sourceFileName() : QString();
    if (name.isEmpty() && asset)
        name = QFileInfo(asset->localFilePath()).fileName();
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = UFM::ERROR_TEXT();
    request.informativeText = UFM::VIDEO_COMPRESSION_ERROR_TEXT().arg(name);
    AlertPresenter::shared().show(request, hostWindow(), {});
}

void QVRVideoCompressionOverlayView::compressionSkipped(const Notification&)
{
    setProgressVisible(false);
    showInfo(QStringLiteral("%1 %2").arg(UFM::SKIPPING_COMPRESSION_TEXT(), UFM::VIDEO_ALREADY_OPTIMIZED()));
}

void QVRVideoCompressionOverlayView::showInfo(const QString& text)
{
    static_cast<InfoLabelItem*>(m_infoLabel)->setText(text);
    fadeInfoTo(1.0);
    const quint64 generation = ++m_infoGeneration;
    MainThread::runAfter(kInfoFadeDelaySeconds, this, [this, generation] {
        if (generation == m_infoGeneration)
            fadeInfoTo(0.0);
    });
}

void QVRVideoCompressionOverlayView::fadeInfoTo(qreal opacity)
{
    if (m_fade)
        m_fade->stop();
    auto* fade = new QPropertyAnimation(m_infoLabel, "opacity", this);
    fade->setDuration(kFadeDurationMs);
    fade->setStartValue(m_infoLabel->opacity());
    fade->setEndValue(opacity);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
    m_fade = fade;
}

QWidget* QVRVideoCompressionOverlayView::hostWindow() const
{
    if (const QGraphicsScene* owner = scene()) {
        const auto views = owner->views();
        if (!views.isEmpty())
            return views.first()->window();
    }
    return nullptr;
}
