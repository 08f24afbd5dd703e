#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include "controls/SingleRowCollectionView.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
class TessarineBackgroundedScreenPreview;
class ZERI_FlowScreenModel;

// Owns the items of a thumbnail bar (or of another collection view showing screens): one QVRThumbnailObject per
// screen and, optionally, the trailing add-screen item. Every change updates the collection view keeping the
// items of objects that stay, so their previews are never rebuilt.
//
// The objects made by showScreens make their previews only while the bar needs them (see QVRThumbnailObject). In
// a bar that makes items only in view, the screens without a current stored picture get theirs made meanwhile, a
// few at a time in the order of the strip, after those in view.
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

    // Shows exactly `screens`: the items of screens already shown are kept (moved where needed), objects are made
    // only for new screens, and those of screens that left are deleted with their previews.
    void showScreens(const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens);

    // The size of the previews made by showScreens, and what every new item is set up with.
    void setPreviewSize(const QSize& size) { m_making->size = size; }
    void setItemSetup(std::function<void(QVRThumbnailObject*)> setup) { m_itemSetup = std::move(setup); }
    // The previews the objects of showScreens have made so far.
    int previewsMade() const { return m_making->made; }
    // The screens whose previews wait to be asked for (test hook).
    int screensWaitingForPreviews() const { return int(m_previewsToAskFor.size()); }

    // At most this many screens out of view are getting previews at once.
    static constexpr int kPreviewsAskedForAtOnce = 8;

signals:
    void screensArrayChanged();

private:
    QVRThumbnailObject* setUpObject(QVRThumbnailObject* object);
    void setObjects(const QList<QVRThumbnailObject*>& objects, bool addScreenItem);
    // Asks the next waiting screens for their previews while fewer than kPreviewsAskedForAtOnce are being made.
    void askForWaitingPreviews();

    QPointer<SingleRowCollectionView> m_collectionView;
    QList<QVRThumbnailObject*> m_objects;
    bool m_hasAddScreenItem = false;
    std::function<void(QVRThumbnailObject*)> m_itemSetup;
    struct PreviewMaking {
        QSize size{136, 99};
        int made = 0;
    };
    std::shared_ptr<PreviewMaking> m_making = std::make_shared<PreviewMaking>();
    std::shared_ptr<const QVRThumbnailObject::PreviewMaker> m_previewMaker;
    std::deque<std::weak_ptr<ZERI_FlowScreenModel>> m_previewsToAskFor;
    std::vector<std::weak_ptr<ZERI_FlowScreenModel>> m_previewsAskedFor; // and perhaps still being made
    QTimer m_askTimer;
};
