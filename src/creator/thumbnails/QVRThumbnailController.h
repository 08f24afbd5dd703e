#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>

#include "controls/SingleRowCollectionView.h"
class QVRThumbnailObject;
class TessarineBackgroundedScreenPreview;
class ZERI_FlowScreenModel;

// Owns the items of a thumbnail bar (or of another collection view showing screens): one QVRThumbnailObject per
// screen and, optionally, the trailing add-screen item. Every change updates the collection view keeping the
// items of objects that stay, so their previews are never rebuilt.
class QVRThumbnailController : public QObject {
    Q_OBJECT
public:
    explicit QVRThumbnailController(QObject* parent = nullptr);
    ~QVRThumbnailController() override;

    SingleRowCollectionView* collectionView() const { return m_collectionView; }
    void setCollectionView(SingleRowCollectionView* view);

    QList<QVRThumbnailObject*> screensArray() const;
    bool hasAddScreenItem() const { return m_hasAddScreenItem; }

    // Appends one new item per preview (the objects take ownership of the previews).
    void setupWithBackgroundedScreenPreviews(const QList<TessarineBackgroundedScreenPreview*>& previews);
    // Appends the add-screen item ("flowScreen_add-screen"), at most once.
    void addAddScreenItem();
    void removeAllScreens();

    // Shows exactly `screens`: the items of screens already shown are kept (moved where needed), items are made
    // only for new screens, and those of screens that left are deleted with their previews.
    void showScreens(const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens);

    // The size of the previews made by showScreens, and what every new item is set up with.
    void setPreviewSize(const QSize& size) { m_previewSize = size; }
    void setItemSetup(std::function<void(QVRThumbnailObject*)> setup) { m_itemSetup = std::move(setup); }
    int previewsMade() const { return m_previewsMade; }

signals:
    void screensArrayChanged();

private:
    QVRThumbnailObject* makeObject(TessarineBackgroundedScreenPreview* preview);
    void setObjects(const QList<QVRThumbnailObject*>& objects, bool addScreenItem);

    QPointer<SingleRowCollectionView> m_collectionView;
    QList<QVRThumbnailObject*> m_objects;
    bool m_hasAddScreenItem = false;
    QSize m_previewSize{136, 99};
    std::function<void(QVRThumbnailObject*)> m_itemSetup;
    int m_previewsMade = 0;
};
