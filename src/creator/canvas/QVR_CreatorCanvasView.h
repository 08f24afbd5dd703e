#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QStackedWidget>

#include <optional>

#include <QPointF>

#include "controls/MouseEventShieldWindow.h"
#include "controls/UniversalPopover.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/addition/QVR_AddStreamingVideoViewController.h"
#include "elements/gallery/GalleryEditorDelegate.h"

class NavigationControllerFriendlyViewController;
class QDialog;
class QVRGalleryEditorViewController;
class ZERI_MixedMediaObjectProxy;

class ZERI_ContentURLDownloaderDataProcessor;

class QVR_SelectedItemView;
class UniversalPopover;
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
class QVR_CreatorCanvasView : public QStackedWidget,
                              public AddElementMenuViewControllerDelegate,
                              public QVR_AddShapeMenuDelegate,
                              public AddYouTubeVideoDelegate,
                              public GalleryEditorDelegate {
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

    // Plays the document from the shown screen: in a viewer window, which then starts the presenter notes on
    // another display when there is one, or in the tablet preview. Nothing happens while no screen shows; a
    // document that does not open is only logged.
    void launchViewMode();
    void launchiPadPreviewMode();

    // Lays a shield over the window (replacing any shield already up) and holds the window at its size until
    // the shield closes. A click on the shield beside its panels runs `onClose`, then closes it.
    MouseEventShieldWindow* presentShield(std::function<void()> onClose);
    // Closes the shield (without running its close block) and gives the window's size back.
    void dismissShield();
    MouseEventShieldWindow* shield() const { return m_shield; }

    // The add-screen popover: the new-screen chooser of the document's theme over a shield, anchored 14 points
    // below `rect` (the window's coordinates) with the allowed arrow positions; the object selection is cleared.
    // Asking again while it shows closes it.
    void beginAddNewScreenSelection(const QRect& rect, int popoverPosition);
    void dismissAddScreenPopover();
    UniversalPopover* addScreenPopover() const;
    // Where the popover was last asked for.
    QRect addScreenAnchorRect() const { return m_addScreenRect; }
    int addScreenPopoverPosition() const { return m_addScreenPosition; }

    // Content commands: new elements on the shown screen, centred on the suggested centre when there is one.
    std::optional<QPointF> insertionSuggestedCenter() const { return m_insertionSuggestedCenter; }
    void setInsertionSuggestedCenter(std::optional<QPointF> center) { m_insertionSuggestedCenter = center; }
    // The window's content addition, which files go through.
    void setContentAdditionManager(QVRContentAdditionManager* manager) { m_contentAddition = manager; }
    // The add-element menu in a popover at `rect` (window coordinates), over a shield.
    void beginAddElementsToCurrentScreenFromRect(const QRect& rect, int allowedArrowPositions,
                                                 int preferredArrowPosition = 0, int style = 0,
                                                 std::optional<QPointF> suggestedItemCenter = std::nullopt);
    void directlyAddElementOfType(int kind, std::optional<QPointF> center);
    void addElementMenuSelectionMadeWithType(int kind) override;
    void addTextObject();
    void addShape();
    void shapeChosen(int shapeType) override;
    void addShapeToCurrentScreen(int shapeType);
    // Files of the kind (1 movies, 2 pictures, 6 PDFs, 9 MP3; others any file) through the file chooser.
    void addElementFromFileWithType(int kind);
    void beginYoutubeVideoSelection();
    void addYoutubeVideoViewControllerSelectionCompletedWithVideoURL(const QString& url) override;
    void addVimeoVideoViewControllerSelectionCompletedWithVideoURL(const QString& url) override;
    void addStreamingVideoToCurrentScreen(const QString& urlText, const QString& embedFormat, const QString& source);
    // The shape menu and the web video dialog show in the window's dark panel with its close button.
    // Galleries go through the gallery editor, shown window-modal; a new one is one undo step.
    void addGallery();
    void editGalleryObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void galleryEditorEndedEditing(bool cancelled,
                                   const std::shared_ptr<ZERI_MixedMediaObjectProxy>& workingCopy) override;
    QVRGalleryEditorViewController* galleryEditor() const;
    // The popover shown over the canvas (add menu), or nullptr.
    UniversalPopover* contentPopover() const { return m_contentPopover; }
    void dismissContentPopover();
    // The site hosts of the embed links (tests point them at a local server).
    static void setEmbedHostsForTesting(const QString& youTubeHost, const QString& vimeoPlayerHost);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveFrameInto(QVR_SingleScreenArtBoardView* board);
    void playDocument(bool inTabletPreview);

    QWidget* m_emptyPage = nullptr;
    QPointer<QVR_SingleScreenArtBoardView> m_shown;
    QPointer<QVR_SelectedItemView> m_frame;
    std::weak_ptr<ZERI_TessarineModel> m_document;
    std::function<bool()> m_isAddingContent;
    QPointer<MouseEventShieldWindow> m_shield;
    void presentInPopover(ViewController* controller, const QRect& rect, int allowed, int preferred, int style);
    // Closes the popover kept in `slot` (emptied) with the shield it sits on.
    void dismissPopoverOverShield(QPointer<UniversalPopover>& slot);
    std::optional<QPointF> m_insertionSuggestedCenter;
    QPointer<QVRContentAdditionManager> m_contentAddition;
    QPointer<UniversalPopover> m_contentPopover;
    std::shared_ptr<ZERI_ContentURLDownloaderDataProcessor> m_streamingProcessor;
    void showGalleryEditor(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery);
    // Shows `page` in the creator window's dark panel; false (the page deleted) outside a creator window.
    bool presentInDarkPanel(NavigationControllerFriendlyViewController* page, bool withCloseButton);
    void dismissDarkPanel();
    void placeNewGallery(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery);
    QPointer<QDialog> m_galleryDialog;
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_galleryBeingEdited;
    std::unique_ptr<WindowSizeLock> m_shieldLock;
    QPointer<UniversalPopover> m_addScreenPopover;
    QRect m_addScreenRect;
    int m_addScreenPosition = 0;
};
