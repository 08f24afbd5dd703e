#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>

class QMenu;
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"
class ZERI_FlowScreenModel;

// One screen item of a thumbnail bar. An item of the bar only hosts the object's preview and hands it back when
// the item goes, so the preview outlives any rebuild of the bar.
//
// The object either owns a preview given to it for its whole life, or makes its screen's preview only while it is
// needed: while an item of the bar hosts it, and while the screen is the strip's current one (so that what is
// edited on the canvas keeps its stored picture current even with the strip scrolled away). A strip of many
// screens then holds previews only for those in reach of its view.
class QVRThumbnailObject : public QObject {
    Q_OBJECT
public:
    using PreviewMaker =
        std::function<TessarineBackgroundedScreenPreview*(const std::shared_ptr<ZERI_FlowScreenModel>& screen)>;

    // Takes ownership of the preview.
    explicit QVRThumbnailObject(TessarineBackgroundedScreenPreview* preview, QObject* parent = nullptr);
    // Makes the screen's preview with `maker` when it is needed (one maker serves every object of a strip).
    QVRThumbnailObject(const std::shared_ptr<ZERI_FlowScreenModel>& screen, std::shared_ptr<const PreviewMaker> maker,
                       QObject* parent = nullptr);
    ~QVRThumbnailObject() override;

    // Null while a preview made when needed is not needed.
    TessarineBackgroundedScreenPreview* singleScreen() const { return m_preview; }
    // The preview, made first when need be; for an item that hosts it.
    TessarineBackgroundedScreenPreview* previewForHosting();
    bool makesPreviewWhenNeeded() const { return m_maker != nullptr; }
    std::shared_ptr<ZERI_FlowScreenModel> screenModel() const;

    // Takes the preview back from whatever hosted it (hidden, without a parent). A preview made when needed goes
    // instead, unless the screen is current.
    void reclaimPreview();
    // The screen is (or no longer is) the current one of its strip: its preview is kept, and made when need be.
    void setCurrent(bool current);
    bool isCurrent() const { return m_current; }

    // A right click on the preview offers "Delete" and "Duplicate" while `allowed` (unset: always) says yes;
    // `duplicated` is given the copy a Duplicate made.
    void enableRightClicks(std::function<bool()> allowed = {},
                           std::function<void(const std::shared_ptr<ZERI_FlowScreenModel>&)> duplicated = {});
    // The preview's menu; nullptr while the menu is not allowed. The caller owns it.
    QMenu* makeContextMenu();

    // Removes the screen from its flow in one undo step. A screen without a flow as parent changes nothing.
    void deleteScreen();
    // Inserts a copy (fresh ids) right after the screen in one undo step.
    void duplicateScreen();
    // The same for any screen, the flow's watchers told at once (the window's boards and strip have the copy on
    // return); the copy, or nullptr for a screen without a flow. Every way of duplicating a screen goes through it.
    static std::shared_ptr<ZERI_FlowScreenModel>
    duplicateInItsFlow(const std::shared_ptr<ZERI_FlowScreenModel>& screen);

private:
    TessarineBackgroundedScreenPreview* makePreview();
    void connectRightClicks();
    // Lets a preview made when needed go once neither an item nor the current screen holds it.
    void letPreviewGoIfUnneeded();

    QPointer<TessarineBackgroundedScreenPreview> m_preview;
    std::weak_ptr<ZERI_FlowScreenModel> m_screen; // of a preview made when needed
    std::shared_ptr<const PreviewMaker> m_maker;
    std::function<bool()> m_menuAllowed;
    std::function<void(const std::shared_ptr<ZERI_FlowScreenModel>&)> m_duplicated;
    bool m_rightClicks = false;
    bool m_current = false;
};
