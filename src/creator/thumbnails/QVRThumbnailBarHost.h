#pragma once

#include <functional>
#include <memory>

#include <QRect>

class ZERI_FlowModel;
class ZERI_FlowScreenModel;

// What a thumbnail bar needs of the editing window it sits in (the bar finds it as its top-level window). A bar
// in any other window refuses drops and leaves key presses to its parents.
class QVRThumbnailBarHost {
public:
    virtual ~QVRThumbnailBarHost() = default;

    // The flow whose screens the bar shows (the document's first flow).
    virtual std::shared_ptr<ZERI_FlowModel> thumbnailBarFlow() const = 0;
    // Objects are selected on the canvas.
    virtual bool hasSelectedObjects() const = 0;
    // A popover's shield or another child window is open over the window.
    virtual bool hasChildWindows() const = 0;
    // The dark panel covers the window: a click in the bar keeps the canvas selection.
    virtual bool showsDarkPanel() const { return false; }
    virtual void removeAllSelectedViews() = 0;
    // Shows the new-screen chooser next to `rect` (the window's coordinates).
    virtual void beginAddNewScreenSelection(const QRect& rect, int popoverPosition) = 0;
    // A content addition is running: no menus, no drags.
    virtual bool isAddingContent() const = 0;
    // Adds the clipboard's objects to `screen` as one undo step, cancelled when the addition fails, with every
    // outcome alert; `done` runs when it has finished, whatever the outcome.
    virtual void addObjectsFromClipboardToScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                 std::function<void()> done) = 0;
};
