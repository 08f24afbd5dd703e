#pragma once

// What other windows may ask of a window that plays a document (the viewer window, the tablet preview): the
// creator starts play at the screen being edited. Found on a window with dynamic_cast. Main thread only.
class ViewerWindowHandle {
public:
    virtual ~ViewerWindowHandle() = default;
    // Shows the page of the played flow (clamped to its pages).
    virtual void scrollToPage(int page, bool animated) = 0;
    // Starts the presenter notes full screen on another display, when there is one; otherwise does nothing.
    virtual void showPresentationNotesIfAble() {}
};
