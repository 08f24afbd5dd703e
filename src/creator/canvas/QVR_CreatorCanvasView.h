#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QStackedWidget>

#include "controls/MouseEventShieldWindow.h"

class QVR_SelectedItemView;
class QVR_SingleScreenArtBoardView;
class WindowSizeLock;
class ZERI_TessarineModel;

// The editing area of a creator window: holds one art board per screen and shows one at a time on a light grey
// ground (227, 227, 227), which is all it shows while the document has no screens. Paging swaps the shown board:
// the old board's crop is cancelled, its selection is cleared, and the window's one selection frame moves into
// the new board's scene.
//
// It also hosts the window's shield (one at a time, holding the window at its size while up) and forwards the
// document's save and publish commands to the registered publishing part. Main thread only.
class QVR_CreatorCanvasView : public QStackedWidget {
    Q_OBJECT
public:
    static constexpr int kBackgroundGrey = 227;

    explicit QVR_CreatorCanvasView(QWidget* parent = nullptr);
    ~QVR_CreatorCanvasView() override;

    // The page shown while no board is (no screens, or between documents).
    QWidget* emptyPage() const { return m_emptyPage; }

    // The shown board, or nullptr.
    QVR_SingleScreenArtBoardView* theArtBoard() const;
    // Shows `board` (one of this view's pages), or the empty page for nullptr. Showing the shown board again
    // does nothing.
    void setTheArtBoard(QVR_SingleScreenArtBoardView* board);

    // The window's selection frame; it moves into the scene of whichever board is shown.
    void setSelectionFrame(QVR_SelectedItemView* frame);
    QVR_SelectedItemView* selectionFrame() const { return m_frame; }

    // The document the commands act on.
    void setDocument(const std::shared_ptr<ZERI_TessarineModel>& document) { m_document = document; }
    std::shared_ptr<ZERI_TessarineModel> document() const { return m_document.lock(); }

    // Whether content is being added; right clicks and the canvas commands are ignored meanwhile.
    void setIsAddingContentProvider(std::function<bool()> provider) { m_isAddingContent = std::move(provider); }
    bool isAddingContent() const { return m_isAddingContent && m_isAddingContent(); }
    // Whether a right click on the canvas may open a menu: no sheet (window-modal dialog) up, no addition.
    bool acceptsRightClicks() const;

    // Document commands, inert until a publishing part registers.
    bool canSaveDraft() const;
    void saveDraft();
    bool canPublish() const;
    void publish(bool asAdmin);

    // Lays a shield over the window (replacing any shield already up) and holds the window at its size until
    // the shield closes. A click on the shield beside its panels runs `onClose`, then closes it.
    MouseEventShieldWindow* presentShield(std::function<void()> onClose);
    // Closes the shield (without running its close block) and gives the window's size back.
    void dismissShield();
    MouseEventShieldWindow* shield() const { return m_shield; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveFrameInto(QVR_SingleScreenArtBoardView* board);

    QWidget* m_emptyPage = nullptr;
    QPointer<QVR_SingleScreenArtBoardView> m_shown;
    QPointer<QVR_SelectedItemView> m_frame;
    std::weak_ptr<ZERI_TessarineModel> m_document;
    std::function<bool()> m_isAddingContent;
    QPointer<MouseEventShieldWindow> m_shield;
    std::unique_ptr<WindowSizeLock> m_shieldLock;
};
