#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>

class QMenu;
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"
class ZERI_FlowScreenModel;

// One screen item of a thumbnail bar. It owns its preview: an item of the bar only hosts the preview and hands it
// back when the item goes, so the preview outlives any rebuild of the bar.
class QVRThumbnailObject : public QObject {
    Q_OBJECT
public:
    // Takes ownership of the preview.
    explicit QVRThumbnailObject(TessarineBackgroundedScreenPreview* preview, QObject* parent = nullptr);
    ~QVRThumbnailObject() override;

    TessarineBackgroundedScreenPreview* singleScreen() const { return m_preview; }
    std::shared_ptr<ZERI_FlowScreenModel> screenModel() const;

    // Takes the preview back from whatever hosted it (hidden, without a parent).
    void reclaimPreview();

    // A right click on the preview offers "Delete" and "Duplicate" while `allowed` (unset: always) says yes.
    void enableRightClicks(std::function<bool()> allowed = {});
    // The preview's menu; nullptr while the menu is not allowed. The caller owns it.
    QMenu* makeContextMenu();

    // Removes the screen from its flow in one undo step. A screen without a flow as parent changes nothing.
    void deleteScreen();
    // Inserts a copy (fresh ids) right after the screen in one undo step.
    void duplicateScreen();

private:
    QPointer<TessarineBackgroundedScreenPreview> m_preview;
    std::function<bool()> m_menuAllowed;
};
