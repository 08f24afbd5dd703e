#include "viewer/QVR_GalleryViewerView.h"

#include <cmath>

#include <QAbstractAnimation>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVariantAnimation>

#include "app/QVRTimedAnalytics.h"
#include "controls/ContentSheddingScrollView.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "controls/ViewUtils.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLogging.h"

namespace {

const QString kViewGalleryEvent = QStringLiteral("View Gallery");

// One of the viewer's SVG pictures at its own size in points, drawn for the pixel ratio of the view.
QPixmap artwork(const QString& name, double devicePixelRatio)
{
    QSvgRenderer renderer(QStringLiteral(":/viewer/%1.svg").arg(name));
    if (!renderer.isValid())
        return {};
    const QSize points = renderer.defaultSize();
    QPixmap pixmap(points * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(points)));
    return pixmap;
}

QPushButton* makeControl(QWidget* parent, QLabel*& chevron, const QString& artworkName)
{
    auto* control = new QPushButton(parent);
    control->setFlat(true);
    control->setFocusPolicy(Qt::NoFocus);
    control->setStyleSheet(QStringLiteral("QPushButton { background-color: rgba(0, 0, 0, 179); border: none; }"));
    chevron = new QLabel(control);
    chevron->setAlignment(Qt::AlignCenter);
    chevron->setAttribute(Qt::WA_TransparentForMouseEvents);
    chevron->setPixmap(artwork(artworkName, parent->devicePixelRatioF()));
    return control;
}

} // namespace

QVR_GalleryViewerView::QVR_GalleryViewerView(const QRect& frame,
                                             const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QWidget* parent)
    : QVR_ModalViewWithCloseButton(frame, parent)
    , m_object(object)
{
    setFocusPolicy(Qt::StrongFocus);

    m_scrollView = new ContentSheddingScrollView(rect(), this);
    m_scrollView->setFocusPolicy(Qt::NoFocus);
    ViewUtils::setBackgroundColor(m_scrollView->viewport(), Qt::black);
    m_documentView = new QWidget;
    ViewUtils::setBackgroundColor(m_documentView, Qt::black);
    m_documentView->resize(width(), height());
    m_scrollView->setDocumentView(m_documentView);
    m_scrollView->setPage_Width(width());

    auto* left = makeControl(this, m_leftChevron, QStringLiteral("arrow_left_macapp"));
    auto* right = makeControl(this, m_rightChevron, QStringLiteral("arrow_right_macapp"));
    connect(left, &QPushButton::clicked, this, &QVR_GalleryViewerView::leftPressed);
    connect(right, &QPushButton::clicked, this, &QVR_GalleryViewerView::rightPressed);
    m_leftControl = left;
    m_rightControl = right;
    m_leftControl->raise();
    m_rightControl->raise();
    closeButton()->raise();
    layoutPages();

    if (object && object->object()) {
        const QString galleryID = object->object()->internalID();
        QVRTimedAnalytics::logTimedEvent(kViewGalleryEvent, galleryID, {{QStringLiteral("Gallery ID"), galleryID}},
                                         object->object()->tessarineModel());
    }
}

QVR_GalleryViewerView::~QVR_GalleryViewerView()
{
    QVRTimedAnalytics::finishTimedEvent(kViewGalleryEvent);
}

void QVR_GalleryViewerView::showEvent(QShowEvent* event)
{
    QVR_ModalViewWithCloseButton::showEvent(event);
    if (!m_pagesBuilt) {
        m_pagesBuilt = true;
        buildPages();
    }
}

void QVR_GalleryViewerView::buildPages()
{
    const auto proxy = m_object.lock();
    const auto object = proxy ? proxy->object() : nullptr;
    std::shared_ptr<QVB_GalleryAssetManager> manager;
    if (object && object->type() == ZERI_MixedMediaObject::Gallery)
        manager = object->existingGalleryAssetManager();
    else
        qCWarning(lcViewer) << "the gallery viewer was given no gallery object; it shows nothing";

    if (manager) {
        for (const auto& asset : manager->fullsizedImageAssetsArray()) {
            auto* holder = new QVR_AsynchronousRenderWebImageView(m_documentView);
            holder->setContentMode(ViewUtils::ContentModeScaleAspectFit);
            // The image view draws translucently: the black behind it is the document view's.
            const QString assetID = asset ? asset->internalID() : QString();
            connect(holder, &AsynchronousRenderImageView::contentsRendered, holder, [holder, assetID] {
                if (holder->renderedImage().isNull() && !holder->imagePath().isEmpty())
                    qCWarning(lcViewer) << "gallery image" << assetID << "cannot be shown:" << holder->imagePath();
            });
            if (const auto downloader = asset ? ContentAssetStorage::downloader(*asset) : nullptr) {
                // Started when missing, so a file that arrives late still shows.
                if (!downloader->fileExists())
                    downloader->downloadAndCache();
                holder->setDownloader(downloader);
            } else if (const QString local = asset ? asset->localFilePath() : QString(); !local.isEmpty()) {
                // A document without a package yet: its files are where they were imported from.
                holder->setImagePath(local);
            } else {
                qCWarning(lcViewer) << "gallery image" << assetID << "has no file to show";
            }
            holder->show();
            m_viewsArray.push_back(holder);
        }
    }
    m_numScreens = int(m_viewsArray.size());
    m_page = 0;
    layoutPages();
}

void QVR_GalleryViewerView::layoutPages()
{
    const int w = width();
    const int h = height();
    m_leftControl->setGeometry(0, 0, kControlWidth, h);
    m_rightControl->setGeometry(w - kControlWidth, 0, kControlWidth, h);
    m_leftChevron->setGeometry(m_leftControl->rect());
    m_rightChevron->setGeometry(m_rightControl->rect());

    m_scrollView->setGeometry(rect());
    m_scrollView->setPage_Width(w);
    m_documentView->resize(std::max(1, int(m_viewsArray.size())) * w, h);
    for (std::size_t i = 0; i < m_viewsArray.size(); ++i)
        m_viewsArray[i]->setGeometry(int(i) * w + kControlWidth, 0, w - 2 * kControlWidth, h);
    m_scrollView->scrollToPoint(QPoint(m_page * w, 0));
    updateChevrons();
}

void QVR_GalleryViewerView::updateChevrons()
{
    m_leftChevron->setVisible(m_page > 0);
    m_rightChevron->setVisible(m_page < m_numScreens - 1);
}

int QVR_GalleryViewerView::scrollViewPageNumber() const
{
    const int w = m_scrollView->viewport()->width();
    return w > 0 ? m_scrollView->visibleOrigin().x() / w : 0;
}

void QVR_GalleryViewerView::rightPressed()
{
    qCInfo(lcViewer) << "right pressed in gallery";
    if (m_isAnimating)
        return;
    const int page = scrollViewPageNumber();
    if (page >= m_numScreens - 1) {
        // The block commonly removes this view: nothing of it is touched afterwards.
        closedButtonPressed();
        return;
    }
    m_page = page;
    if (VazScrollViewAnimation::animatedScrollToNextPageinScrollView(m_scrollView, width(), this))
        updateChevrons();
}

void QVR_GalleryViewerView::leftPressed()
{
    const int page = scrollViewPageNumber();
    if (page <= 0)
        return;
    qCInfo(lcViewer) << "left pressed in gallery";
    if (m_isAnimating)
        return;
    m_page = page;
    if (VazScrollViewAnimation::animatedScrollToPreviousPageinScrollView(m_scrollView, width(), this))
        updateChevrons();
}

bool QVR_GalleryViewerView::animationShouldStart(QAbstractAnimation* animation)
{
    m_isAnimating = true;
    m_currentAnimation = animation;
    // The scroll has not moved yet: the page it leaves is the one the visible origin is on.
    const auto* variant = qobject_cast<QVariantAnimation*>(animation);
    const double targetX = variant ? variant->endValue().toPointF().x() : m_page * double(width());
    m_page = width() > 0 ? int(std::lround(targetX / width())) : 0;
    return true;
}

void QVR_GalleryViewerView::animationDidEnd(QAbstractAnimation*)
{
    m_isAnimating = false;
    m_currentAnimation = nullptr;
}

void QVR_GalleryViewerView::animationDidStop(QAbstractAnimation*)
{
    m_isAnimating = false;
    m_currentAnimation = nullptr;
}

bool QVR_GalleryViewerView::handleKey(QKeyCombination key)
{
    if (key.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        closedButtonPressed();
        return true;
    case Qt::Key_Left:
        leftPressed();
        return true;
    case Qt::Key_Right:
        rightPressed();
        return true;
    default:
        return false;
    }
}

void QVR_GalleryViewerView::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event->keyCombination())) {
        event->accept();
        return;
    }
    QVR_ModalViewWithCloseButton::keyPressEvent(event);
}

void QVR_GalleryViewerView::resizeEvent(QResizeEvent* event)
{
    QVR_ModalViewWithCloseButton::resizeEvent(event);
    // A live resize sends one event per step: the kept page is scrolled to at once, never animated, and a page
    // turn still running ends where it was going.
    if (m_currentAnimation)
        m_currentAnimation->stop();
    layoutPages();
}
