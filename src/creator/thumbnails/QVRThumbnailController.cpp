#include "creator/thumbnails/QVRThumbnailController.h"

#include <utility>

#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

QVRThumbnailController::QVRThumbnailController(QObject* parent)
    : QObject(parent)
{
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

QVRThumbnailObject* QVRThumbnailController::makeObject(TessarineBackgroundedScreenPreview* preview)
{
    auto* object = new QVRThumbnailObject(preview);
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
            objects.append(makeObject(preview));
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
    for (const auto& screen : screens) {
        const auto kept = std::find_if(spare.begin(), spare.end(),
                                       [&](QVRThumbnailObject* object) { return object->screenModel() == screen; });
        if (kept != spare.end()) {
            objects.append(*kept);
            spare.erase(kept);
            continue;
        }
        ++m_previewsMade;
        // Read off the main thread once its item shows; a preview scrolled out of sight holds no picture.
        auto* preview =
            new TessarineBackgroundedScreenPreview(QRect(QPoint(0, 0), m_previewSize), screen, true,
                                                   TessarineBackgroundedScreenPreview::StoredPicture::DecodeWhenShown);
        preview->setHoldsPictureOnlyInSight(true);
        objects.append(makeObject(preview));
        // A row that makes items only in view shows most previews late or never: the screens without a current
        // picture get theirs made meanwhile, after those in view.
        if (m_collectionView && m_collectionView->makesItemsInViewOnly() &&
            (!screen->previewScreenShotAsset() || screen->previewInvalidated()))
            screen->getScreenPreviewImages();
    }
    setObjects(objects, m_hasAddScreenItem);
}

void QVRThumbnailController::setObjects(const QList<QVRThumbnailObject*>& objects, bool addScreenItem)
{
    QList<QVRThumbnailObject*> removed;
    for (QVRThumbnailObject* object : std::as_const(m_objects))
        if (!objects.contains(object))
            removed.append(object);
    m_objects = objects;
    m_hasAddScreenItem = addScreenItem;
    if (m_collectionView) {
        QVariantList content;
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
