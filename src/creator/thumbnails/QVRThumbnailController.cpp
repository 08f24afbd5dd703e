#include "creator/thumbnails/QVRThumbnailController.h"

#include <algorithm>
#include <utility>

#include <QSet>

#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

QVRThumbnailController::QVRThumbnailController(QObject* parent)
    : QObject(parent)
{
    // Read off the main thread once its item shows; a preview scrolled out of sight holds no picture.
    m_previewMaker = std::make_shared<const QVRThumbnailObject::PreviewMaker>(
        [making = m_making](const std::shared_ptr<ZERI_FlowScreenModel>& screen) {
            ++making->made;
            auto* preview = new TessarineBackgroundedScreenPreview(
                QRect(QPoint(0, 0), making->size), screen, true,
                TessarineBackgroundedScreenPreview::StoredPicture::DecodeWhenShown);
            preview->setHoldsPictureOnlyInSight(true);
            return preview;
        });
    // Polled: a screen says nothing when its previews are in unless observed, and observing every screen of a long
    // document costs more than looking at the few asked for now and then.
    m_askTimer.setInterval(50);
    connect(&m_askTimer, &QTimer::timeout, this, &QVRThumbnailController::askForWaitingPreviews);
}

QVRThumbnailController::~QVRThumbnailController()
{
    // The previews go first, where their items host them: handing each back to its object (a reparenting per
    // preview, each walking the window's focus chain) would grow with the square of a long strip. The items then
    // find nothing to hand back.
    const QList<QVRThumbnailObject*> objects = std::exchange(m_objects, {});
    qDeleteAll(objects);
    if (m_collectionView)
        m_collectionView->updateContent({});
}

void QVRThumbnailController::setCollectionView(SingleRowCollectionView* view)
{
    m_collectionView = view;
    setObjects(m_objects, m_hasAddScreenItem);
}

QList<QVRThumbnailObject*> QVRThumbnailController::screensArray() const
{
    return m_objects;
}

QVRThumbnailObject* QVRThumbnailController::setUpObject(QVRThumbnailObject* object)
{
    if (m_itemSetup)
        m_itemSetup(object);
    return object;
}

void QVRThumbnailController::setupWithBackgroundedScreenPreviews(
    const QList<TessarineBackgroundedScreenPreview*>& previews)
{
    QList<QVRThumbnailObject*> objects = m_objects;
    for (TessarineBackgroundedScreenPreview* preview : previews)
        if (preview)
            objects.append(setUpObject(new QVRThumbnailObject(preview)));
    setObjects(objects, m_hasAddScreenItem);
}

void QVRThumbnailController::addAddScreenItem()
{
    if (!m_hasAddScreenItem)
        setObjects(m_objects, true);
}

void QVRThumbnailController::removeAllScreens()
{
    setObjects({}, false);
}

void QVRThumbnailController::showScreens(const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens)
{
    QList<QVRThumbnailObject*> spare = m_objects;
    QList<QVRThumbnailObject*> objects;
    objects.reserve(qsizetype(screens.size()));
    const bool askMeanwhile = m_collectionView && m_collectionView->makesItemsInViewOnly();
    for (const auto& screen : screens) {
        const auto kept = std::find_if(spare.begin(), spare.end(),
                                       [&](QVRThumbnailObject* object) { return object->screenModel() == screen; });
        if (kept != spare.end()) {
            objects.append(*kept);
            spare.erase(kept);
            continue;
        }
        objects.append(setUpObject(new QVRThumbnailObject(screen, m_previewMaker)));
        // A row that makes items only in view shows most previews late or never: the screens without a current
        // picture get theirs made meanwhile, after those in view.
        if (askMeanwhile && (!screen->previewScreenShotAsset() || screen->previewInvalidated()))
            m_previewsToAskFor.push_back(screen);
    }
    setObjects(objects, m_hasAddScreenItem);
    if (!m_previewsToAskFor.empty() && !m_askTimer.isActive()) {
        m_askTimer.start();
        // The first ones at once, once the items in view have asked for theirs.
        QTimer::singleShot(0, this, &QVRThumbnailController::askForWaitingPreviews);
    }
}

void QVRThumbnailController::askForWaitingPreviews()
{
    const auto stillBeingMade = [](const std::weak_ptr<ZERI_FlowScreenModel>& weak) {
        const auto screen = weak.lock();
        return screen && screen->gettingScreenPreview();
    };
    m_previewsAskedFor.erase(std::remove_if(m_previewsAskedFor.begin(), m_previewsAskedFor.end(),
                                            [&](const auto& weak) { return !stillBeingMade(weak); }),
                             m_previewsAskedFor.end());
    while (int(m_previewsAskedFor.size()) < kPreviewsAskedForAtOnce && !m_previewsToAskFor.empty()) {
        const auto screen = m_previewsToAskFor.front().lock();
        m_previewsToAskFor.pop_front();
        // Gone, or given a current picture meanwhile (its item showed).
        if (!screen ||
            (screen->previewScreenShotAsset() && !screen->previewInvalidated() && !screen->gettingScreenPreview()))
            continue;
        screen->getScreenPreviewImages();
        if (screen->gettingScreenPreview())
            m_previewsAskedFor.push_back(screen);
    }
    if (m_previewsToAskFor.empty()) {
        m_askTimer.stop();
        m_previewsAskedFor.clear();
        std::deque<std::weak_ptr<ZERI_FlowScreenModel>>().swap(m_previewsToAskFor);
    }
}

void QVRThumbnailController::setObjects(const QList<QVRThumbnailObject*>& objects, bool addScreenItem)
{
    // A set: a long strip's objects would otherwise be compared each with each.
    QList<QVRThumbnailObject*> removed;
    if (!m_objects.isEmpty()) {
        const QSet<QVRThumbnailObject*> staying(objects.begin(), objects.end());
        for (QVRThumbnailObject* object : std::as_const(m_objects))
            if (!staying.contains(object))
                removed.append(object);
    }
    m_objects = objects;
    m_hasAddScreenItem = addScreenItem;
    if (m_collectionView) {
        QVariantList content;
        content.reserve(m_objects.size() + 1);
        for (QVRThumbnailObject* object : std::as_const(m_objects))
            content.append(QVRThumbnailBar::contentObject(object));
        if (m_hasAddScreenItem)
            content.append(QVRThumbnailBar::kAddScreenImageName);
        m_collectionView->updateContent(content);
        if (auto* bar = qobject_cast<QVRThumbnailBar*>(m_collectionView.data()); bar && !m_objects.isEmpty())
            bar->thumbnailItemsReordered();
    }
    // Only now, with the items that hosted them gone.
    qDeleteAll(removed);
    emit screensArrayChanged();
}
