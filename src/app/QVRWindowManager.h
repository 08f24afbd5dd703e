#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPainterPath>
#include <QPointer>
#include <QRect>
#include <QRectF>

class QPainter;
class QWidget;
class ZERI_TessarineModel;

// The owner of the document windows and the router of menu commands.
//
// Managed windows are top-level widgets: creator, viewer and tablet preview windows made through the factories
// that their libraries register, and windows added with addManagedWindow (the lists window). A managed window
// is dropped from the list when it is destroyed; the manager deletes the windows it made when they close.
//
// Menu commands go to the active managed window: the application's active window when it is managed, else the
// managed window that was active last and is still visible, else none (every routed item disabled). The
// validator of an item decides its enabled state; an item without a validator in the table is enabled when the
// window has its performer; a window without the validator of an item disables the item. While a text field has
// the keyboard focus, the edit commands act on the text and the nudge and shift items are disabled, so that
// their keys move the text cursor.
//
// Main thread only.
class QVRWindowManager : public QObject {
    Q_OBJECT
public:
    enum class WindowKind { Creator, Viewer, TabletPreview, Other };

    using CreatorWindowFactory = std::function<QWidget*()>;
    using ViewerWindowFactory = std::function<QWidget*(const std::shared_ptr<ZERI_TessarineModel>& document)>;
    using TabletPreviewWindowFactory = std::function<QWidget*()>;
    // Same parameters as INAppStoreWindow::TitleBarDrawingBlock, so it can be handed to the window chrome as is.
    using TitleBarDrawingBlock =
        std::function<void(QPainter* painter, bool drawsAsMainWindow, const QRectF& drawingRect, Qt::Edge edge,
                           const QPainterPath& clippingPath)>;

    static QVRWindowManager& sharedInstance();

    QList<QWidget*> windows() const;
    WindowKind kindOfWindow(const QWidget* window) const;

    // Adds a window the manager did not make (the lists window). It stays the caller's to delete.
    void addManagedWindow(QWidget* window);
    void removeManagedWindow(QWidget* window);

    static void setCreatorWindowFactory(CreatorWindowFactory factory);
    static void setViewerWindowFactory(ViewerWindowFactory factory);
    static void setTabletPreviewWindowFactory(TabletPreviewWindowFactory factory);
    // Whether the viewer library registered its tablet preview window (the creator's preview command waits).
    static bool hasTabletPreviewWindowFactory();
    static bool hasCreatorWindowFactory();
    static bool hasViewerWindowFactory();

    // Makes a window through its factory, manages it, shows it in front and activates it. nullptr (logged)
    // while no factory is registered. A new creator window cascades from the last creator window still shown
    // (centred on the screen when there is none); the document it then shows may bring back its own saved frame.
    QWidget* makeCreatorWindow();
    QWidget* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& document);
    QWidget* makeiPadPreviewWindow();
    // Shows the window in front and gives it the keyboard, unless a dialog of another window is being answered:
    // that dialog keeps the keyboard and stays in front.
    static void bringToFront(QWidget* window);

    // Creator and viewer windows tell the manager which document they show (and its id) whenever it changes.
    void setDocumentForWindow(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document,
                              const QString& documentID);
    // The document a managed window shows, or nullptr.
    std::shared_ptr<ZERI_TessarineModel> documentForWindow(const QWidget* window) const;
    // The documents the managed windows show, each once.
    std::vector<std::shared_ptr<ZERI_TessarineModel>> documents() const;
    // The creator window showing the document, or nullptr.
    QWidget* creatorWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& document) const;
    // The viewer window showing a document with that id, or nullptr.
    QWidget* viewerWindowForDocumentID(const QString& documentID) const;
    template <class Document> QWidget* viewerWindowForModel(const std::shared_ptr<Document>& document) const
    {
        return document ? viewerWindowForDocumentID(document->qvdID()) : nullptr;
    }

    // Closes every creator, viewer and preview window, leaving the lists windows.
    void closeAllWindowsExceptMyFlows();

    static TitleBarDrawingBlock tessarineWindowTitleViewDrawingBlock();

    // Points a cascaded window's frame is moved right and down from the last one.
    static constexpr int kCascadeStep = 24;
    // The frame (decorations included) of a new window whose frame wants `size`, within `available` (a screen's
    // available geometry): kCascadeStep right and down from `last` (the frame of the last window), narrowed to
    // stay inside when the step would take it out; back at the top left, whole, when that leaves it smaller than
    // `minimum`. Centred in `available` when `last` is empty. Never larger than `available`.
    static QRect cascadedFrame(const QRect& last, QSize size, QSize minimum, const QRect& available);

    QWidget* activeManagedWindow() const;
    // The window the menu items of `widget`'s window act on: that window when the manager manages it (each
    // window's menu bar speaks for its own window, active or not), else the active managed window.
    QWidget* commandWindowFor(const QWidget* widget) const;
    // Whether a text field or a text being edited on a canvas of `window` has the keyboard focus (the edit items
    // then act on the text).
    bool textHasFocus(QWidget* window) const;
    // Whether Undo and Redo act on the focused text field of `window` rather than on its document.
    bool undoActsOnText(QWidget* window) const;
    // Whether the Undo and Redo keys pressed in `focus`, a text field, are the document's (its window's menu
    // items), not the field's own.
    bool keyUndoesDocument(const QWidget* focus) const;
    // Whether the item of that menu action is enabled for the active managed window (or the one given).
    bool validateMenuItem(const QString& action) const;
    bool validateMenuItem(const QString& action, QWidget* window) const;
    // Runs the item's command on the active managed window (or the one given) with the item's modifier mask.
    // Returns whether it reached a performer (or the focused text field).
    bool performMenuAction(const QString& action, uint modifierMask);
    bool performMenuAction(const QString& action, uint modifierMask, QWidget* window);
    // The same for the window itself, passing by a focused text: what a text hands back (copy with nothing
    // selected, paste of something that is no text) goes here, never back to the text.
    bool validateWindowCommand(const QString& action) const;
    bool validateWindowCommand(const QString& action, QWidget* window) const;
    bool performWindowCommand(const QString& action, uint modifierMask = 0);
    void cut(uint modifierMask = 0) { performMenuAction(QStringLiteral("cut"), modifierMask); }
    void copy(uint modifierMask = 0) { performMenuAction(QStringLiteral("copy"), modifierMask); }
    void paste(uint modifierMask = 0) { performMenuAction(QStringLiteral("paste"), modifierMask); }

    // While quitting (already confirmed), closing a window does not ask again.
    void setQuitting(bool quitting) { m_quitting = quitting; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ManagedWindow {
        QPointer<QWidget> window;
        WindowKind kind = WindowKind::Other;
        bool ownedByManager = false;
        std::weak_ptr<ZERI_TessarineModel> document;
        QString documentID;
    };

    QVRWindowManager();
    void manage(QWidget* window, WindowKind kind, bool owned);
    void placeNewCreatorWindow(QWidget* window);
    const ManagedWindow* record(const QWidget* window) const;
    void prune() const;
    // The focused text field of `window` that performs `action` itself, if any.
    QWidget* commandTextField(const QString& action, QWidget* window) const;
    void noteFocusWindowChanged();
    bool confirmCloseWhileCompressing(QWidget* window);

    // A managed window that hides while it (or nothing) is active hands the activation back to the managed window
    // active before it, as closing a player gives its creator back. Left to WindowKeyboardReturn where the
    // application installed it.
    void giveActivationBack(QWidget* hidden);

    mutable QList<ManagedWindow> m_windows;
    // Managed windows in the order they were last active, the latest last.
    QList<QPointer<QWidget>> m_activationOrder;
    bool m_quitting = false;
};
