#include "app/QVRWindowManager.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QWidget>
#include <QWindow>

#include "app/AppLogging.h"
#include "app/AppStartupHooks.h"
#include "app/QVRMainMenu.h"
#include "app/QVRTextEditingFocus.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "controls/WindowKeyboardReturn.h"
#include "platform/AlertPresenter.h"
#include "strings/UFM.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

QVRWindowManager::CreatorWindowFactory& creatorFactory()
{
    static QVRWindowManager::CreatorWindowFactory s_factory;
    return s_factory;
}

QVRWindowManager::ViewerWindowFactory& viewerFactory()
{
    static QVRWindowManager::ViewerWindowFactory s_factory;
    return s_factory;
}

QVRWindowManager::TabletPreviewWindowFactory& tabletFactory()
{
    static QVRWindowManager::TabletPreviewWindowFactory s_factory;
    return s_factory;
}

bool isTextEditingAction(const QString& action)
{
    static const QStringList kActions{QStringLiteral("cut"),       QStringLiteral("copy"), QStringLiteral("paste"),
                                      QStringLiteral("selectAll"), QStringLiteral("undo"), QStringLiteral("redo")};
    return kActions.contains(action);
}

bool isUndoAction(const QString& action)
{
    return action == QLatin1String("undo") || action == QLatin1String("redo");
}

bool isArrowAction(const QString& action)
{
    return action.startsWith(QLatin1String("nudge")) || action.startsWith(QLatin1String("shift"));
}

// The control holding `window`'s keyboard focus (the focus it has, or gets back when it is activated) when it
// takes typed keys and the arrows itself: a text field, a number field, a pop-up list, a slider or a list. While
// one has the keyboard, the arrow keys are its own and never move the selected objects.
QWidget* focusedField(QWidget* window)
{
    QWidget* focus = window ? window->focusWidget() : nullptr;
    if (!focus || focus->window() != window)
        return nullptr;
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
        qobject_cast<QAbstractSpinBox*>(focus) || qobject_cast<QComboBox*>(focus) ||
        qobject_cast<QAbstractSlider*>(focus) || qobject_cast<QAbstractItemView*>(focus))
        return focus;
    return nullptr;
}

// The text editor of a field: the field itself, or the line a number field or an editable pop-up list is typed
// into; null for a field without text.
QWidget* textEditorOf(QWidget* field)
{
    if (qobject_cast<QLineEdit*>(field) || qobject_cast<QTextEdit*>(field) || qobject_cast<QPlainTextEdit*>(field))
        return field;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
        return spin->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
    if (auto* combo = qobject_cast<QComboBox*>(field); combo && combo->isEditable())
        return combo->lineEdit();
    return nullptr;
}

// The editable text widget holding `window`'s keyboard focus, if any.
QWidget* focusedTextField(QWidget* window)
{
    return textEditorOf(focusedField(window));
}

// The shown view of the document in `window` that takes the keyboard (a creator's canvas, the largest such view),
// if any.
QWidget* documentView(QWidget* window)
{
    QWidget* largest = nullptr;
    const auto views = window->findChildren<QGraphicsView*>();
    for (QGraphicsView* view : views) {
        const bool takesKeyboard = view->isVisible() && view->isEnabled() && (view->focusPolicy() & Qt::ClickFocus);
        if (takesKeyboard && (!largest || view->width() * view->height() > largest->width() * largest->height()))
            largest = view;
    }
    return largest;
}

// A text item being edited in the focused graphics view of `window`, if any.
QVRTextEditingFocus* focusedTextItem(QWidget* window)
{
    QWidget* focus = window ? window->focusWidget() : nullptr;
    if (!focus || focus->window() != window)
        return nullptr;
    QGraphicsView* view = qobject_cast<QGraphicsView*>(focus);
    if (!view)
        view = qobject_cast<QGraphicsView*>(focus->parentWidget()); // the viewport has the focus
    if (!view || !view->scene())
        return nullptr;
    return dynamic_cast<QVRTextEditingFocus*>(view->scene()->focusItem());
}

bool isTextItemAction(const QString& action)
{
    return action == QLatin1String("cut") || action == QLatin1String("copy") || action == QLatin1String("paste") ||
           action == QLatin1String("selectAll");
}

bool validateText(QWidget* field, const QString& action)
{
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        if (action == QLatin1String("cut"))
            return line->hasSelectedText() && !line->isReadOnly() && line->echoMode() == QLineEdit::Normal;
        if (action == QLatin1String("copy"))
            return line->hasSelectedText() && line->echoMode() == QLineEdit::Normal;
        if (action == QLatin1String("paste"))
            return !line->isReadOnly();
        if (action == QLatin1String("undo"))
            return line->isUndoAvailable();
        if (action == QLatin1String("redo"))
            return line->isRedoAvailable();
        return true;
    }
    bool readOnly = false;
    bool hasSelection = false;
    bool undo = false;
    bool redo = false;
    if (auto* text = qobject_cast<QTextEdit*>(field)) {
        readOnly = text->isReadOnly();
        hasSelection = text->textCursor().hasSelection();
        undo = text->document()->isUndoAvailable();
        redo = text->document()->isRedoAvailable();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(field)) {
        readOnly = plain->isReadOnly();
        hasSelection = plain->textCursor().hasSelection();
        undo = plain->document()->isUndoAvailable();
        redo = plain->document()->isRedoAvailable();
    }
    if (action == QLatin1String("cut"))
        return hasSelection && !readOnly;
    if (action == QLatin1String("copy"))
        return hasSelection;
    if (action == QLatin1String("paste"))
        return !readOnly;
    if (action == QLatin1String("undo"))
        return undo && !readOnly;
    if (action == QLatin1String("redo"))
        return redo && !readOnly;
    return true;
}

} // namespace

QVRWindowManager::QVRWindowManager()
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::focusWindowChanged, this, &QVRWindowManager::noteFocusWindowChanged);
}

QVRWindowManager& QVRWindowManager::sharedInstance()
{
    static QVRWindowManager* s_manager = new QVRWindowManager;
    return *s_manager;
}

void QVRWindowManager::prune() const
{
    m_windows.removeIf([](const ManagedWindow& managed) { return managed.window.isNull(); });
}

QList<QWidget*> QVRWindowManager::windows() const
{
    prune();
    QList<QWidget*> result;
    for (const ManagedWindow& managed : m_windows)
        result.append(managed.window);
    return result;
}

const QVRWindowManager::ManagedWindow* QVRWindowManager::record(const QWidget* window) const
{
    if (!window)
        return nullptr;
    for (const ManagedWindow& managed : m_windows) {
        if (managed.window == window)
            return &managed;
    }
    return nullptr;
}

std::shared_ptr<ZERI_TessarineModel> QVRWindowManager::documentForWindow(const QWidget* window) const
{
    const ManagedWindow* managed = record(window);
    return managed ? managed->document.lock() : nullptr;
}

QVRWindowManager::WindowKind QVRWindowManager::kindOfWindow(const QWidget* window) const
{
    const ManagedWindow* managed = record(window);
    return managed ? managed->kind : WindowKind::Other;
}

void QVRWindowManager::manage(QWidget* window, WindowKind kind, bool owned)
{
    if (!window)
        return;
    prune();
    if (record(window))
        return;
    m_windows.append(ManagedWindow{window, kind, owned, {}, {}});
    if (owned)
        window->setAttribute(Qt::WA_DeleteOnClose);
    window->installEventFilter(this);
}

void QVRWindowManager::addManagedWindow(QWidget* window)
{
    manage(window, WindowKind::Other, false);
}

void QVRWindowManager::removeManagedWindow(QWidget* window)
{
    if (window)
        window->removeEventFilter(this);
    m_windows.removeIf([window](const ManagedWindow& managed) { return managed.window == window; });
}

void QVRWindowManager::setCreatorWindowFactory(CreatorWindowFactory factory)
{
    creatorFactory() = std::move(factory);
}

void QVRWindowManager::setViewerWindowFactory(ViewerWindowFactory factory)
{
    viewerFactory() = std::move(factory);
}

void QVRWindowManager::setTabletPreviewWindowFactory(TabletPreviewWindowFactory factory)
{
    tabletFactory() = std::move(factory);
}

bool QVRWindowManager::hasTabletPreviewWindowFactory()
{
    return static_cast<bool>(tabletFactory());
}

bool QVRWindowManager::hasCreatorWindowFactory()
{
    return static_cast<bool>(creatorFactory());
}

bool QVRWindowManager::hasViewerWindowFactory()
{
    return static_cast<bool>(viewerFactory());
}

void QVRWindowManager::bringToFront(QWidget* window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    // A dialog being answered in another window (a file name being typed) keeps the keyboard and stays in front.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && modal->window() != window->window()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    window->activateWindow();
}

QWidget* QVRWindowManager::makeCreatorWindow()
{
    if (!creatorFactory()) {
        qCWarning(lcApp) << "no creator window is available yet";
        return nullptr;
    }
    QWidget* window = creatorFactory()();
    if (!window)
        return nullptr;
    placeNewCreatorWindow(window);
    manage(window, WindowKind::Creator, true);
    QVRMainMenu::installMenuBar(window);
    bringToFront(window);
    return window;
}

QRect QVRWindowManager::cascadedFrame(const QRect& last, QSize size, QSize minimum, const QRect& available)
{
    size = size.boundedTo(available.size());
    minimum = minimum.boundedTo(size);
    if (last.isNull()) {
        return QRect(available.left() + (available.width() - size.width()) / 2,
                     available.top() + (available.height() - size.height()) / 2, size.width(), size.height());
    }
    QRect frame(last.topLeft() + QPoint(kCascadeStep, kCascadeStep), size);
    // A last window partly off the area (moved there by the user) cascades from the area's edge.
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    frame.setRight(std::min(frame.right(), available.right()));
    frame.setBottom(std::min(frame.bottom(), available.bottom()));
    if (frame.width() >= minimum.width() && frame.height() >= minimum.height())
        return frame;
    return QRect(available.topLeft(), size);
}

void QVRWindowManager::placeNewCreatorWindow(QWidget* window)
{
    // The last creator window still shown, as the user left it.
    QWidget* last = nullptr;
    for (const ManagedWindow& managed : m_windows) {
        if (managed.kind == WindowKind::Creator && managed.window && managed.window != window &&
            managed.window->isVisible() && !managed.window->isMinimized())
            last = managed.window;
    }
    QScreen* screen = last ? last->screen() : nullptr;
    if (!screen && QApplication::activeWindow())
        screen = QApplication::activeWindow()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The decorations a window manager puts around a window, as it put them around the last one.
    QMargins decorations;
    if (last) {
        const QRect frame = last->frameGeometry();
        const QRect inside = last->geometry();
        decorations = QMargins(inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
                               frame.bottom() - inside.bottom());
    }
    const QSize outer = window->size().grownBy(decorations);
    // Narrowed by a few steps at most: past a quarter of its size, a window starts again at the top left.
    const QSize minimum = window->minimumSize().grownBy(decorations).expandedTo(outer * 3 / 4);
    const QRect frame = cascadedFrame(last && !last->isFullScreen() ? last->frameGeometry() : QRect(), outer, minimum,
                                      screen->availableGeometry());
    window->resize(frame.size().shrunkBy(decorations));
    window->move(frame.topLeft());
}

QWidget* QVRWindowManager::makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!viewerFactory()) {
        qCWarning(lcApp) << "no viewer window is available yet";
        return nullptr;
    }
    QWidget* window = viewerFactory()(document);
    if (!window)
        return nullptr;
    manage(window, WindowKind::Viewer, true);
    for (ManagedWindow& managed : m_windows) {
        if (managed.window == window && managed.document.expired())
            managed.document = document;
    }
    QVRMainMenu::installMenuBar(window);
    bringToFront(window);
    return window;
}

QWidget* QVRWindowManager::makeiPadPreviewWindow()
{
    if (!tabletFactory()) {
        qCWarning(lcApp) << "no tablet preview window is available yet";
        return nullptr;
    }
    QWidget* window = tabletFactory()();
    if (!window)
        return nullptr;
    manage(window, WindowKind::TabletPreview, true);
    bringToFront(window);
    return window;
}

void QVRWindowManager::setDocumentForWindow(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document,
                                            const QString& documentID)
{
    for (ManagedWindow& managed : m_windows) {
        if (managed.window == window) {
            managed.document = document;
            managed.documentID = documentID;
            return;
        }
    }
    qCWarning(lcApp) << "a document was set for a window the manager does not manage";
}

std::vector<std::shared_ptr<ZERI_TessarineModel>> QVRWindowManager::documents() const
{
    prune();
    std::vector<std::shared_ptr<ZERI_TessarineModel>> result;
    for (const ManagedWindow& managed : m_windows) {
        auto document = managed.document.lock();
        if (document && std::find(result.begin(), result.end(), document) == result.end())
            result.push_back(std::move(document));
    }
    return result;
}

QWidget* QVRWindowManager::creatorWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& document) const
{
    prune();
    if (!document)
        return nullptr;
    for (const ManagedWindow& managed : m_windows) {
        if (managed.kind == WindowKind::Creator && managed.document.lock() == document)
            return managed.window;
    }
    return nullptr;
}

QWidget* QVRWindowManager::viewerWindowForDocumentID(const QString& documentID) const
{
    prune();
    if (documentID.isEmpty())
        return nullptr;
    for (const ManagedWindow& managed : m_windows) {
        if (managed.kind == WindowKind::Viewer && managed.documentID == documentID)
            return managed.window;
    }
    return nullptr;
}

void QVRWindowManager::closeAllWindowsExceptMyFlows()
{
    prune();
    QList<QPointer<QWidget>> toClose;
    for (const ManagedWindow& managed : m_windows) {
        if (managed.kind != WindowKind::Other)
            toClose.append(managed.window);
    }
    for (const QPointer<QWidget>& window : toClose) {
        if (window)
            window->close();
    }
}

QVRWindowManager::TitleBarDrawingBlock QVRWindowManager::tessarineWindowTitleViewDrawingBlock()
{
    return [](QPainter* painter, bool drawsAsMainWindow, const QRectF& rect, Qt::Edge, const QPainterPath& clip) {
        painter->save();
        if (!clip.isEmpty())
            painter->setClipPath(clip);
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        if (drawsAsMainWindow) {
            gradient.setColorAt(0.0, QColor(0x4A, 0x4A, 0x4A));
            gradient.setColorAt(1.0, QColor(0x2B, 0x2B, 0x2B));
        } else {
            gradient.setColorAt(0.0, QColor(0x5C, 0x5C, 0x5C));
            gradient.setColorAt(1.0, QColor(0x46, 0x46, 0x46));
        }
        painter->fillRect(rect, gradient);
        painter->setPen(QColor(0x18, 0x18, 0x18));
        painter->drawLine(QPointF(rect.left(), rect.bottom() - 0.5), QPointF(rect.right(), rect.bottom() - 0.5));
        painter->restore();
    };
}

void QVRWindowManager::noteFocusWindowChanged()
{
    QWidget* active = QApplication::activeWindow();
    if (!record(active))
        return;
    m_activationOrder.removeIf([active](const QPointer<QWidget>& window) { return !window || window == active; });
    m_activationOrder.append(active);
}

void QVRWindowManager::giveActivationBack(QWidget* hidden)
{
    // Where a window the manager does not know is in front and takes the keyboard (the first-launch tour over My
    // Documents, say), the application's keyboard keeper gives the keyboard back to it if the hidden window was
    // opened from it: activating the last managed window here first would take the keyboard away from it.
    if (WindowKeyboardReturn::isInstalled()) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top != hidden && top->isVisible() && !record(top) && WindowKeyboardReturn::takesKeyboard(top))
                return;
        }
    }
    QWidget* active = QApplication::activeWindow();
    if (active && active != hidden)
        return;
    for (auto it = m_activationOrder.crbegin(); it != m_activationOrder.crend(); ++it) {
        QWidget* window = *it;
        if (window && window != hidden && window->isVisible() && record(window)) {
            window->raise();
            window->activateWindow();
            return;
        }
    }
}

QWidget* QVRWindowManager::activeManagedWindow() const
{
    prune();
    QWidget* active = QApplication::activeWindow();
    if (record(active))
        return active;
    // No managed window is active (activation lags, or the active one just closed): the latest that still shows.
    for (auto it = m_activationOrder.crbegin(); it != m_activationOrder.crend(); ++it) {
        QWidget* window = *it;
        if (window && window->isVisible() && record(window))
            return window;
    }
    return nullptr;
}

QWidget* QVRWindowManager::commandWindowFor(const QWidget* widget) const
{
    QWidget* window = widget ? widget->window() : nullptr;
    if (window && record(window))
        return window;
    return activeManagedWindow();
}

bool QVRWindowManager::textHasFocus(QWidget* window) const
{
    return focusedTextField(window) || focusedTextItem(window);
}

QWidget* QVRWindowManager::commandTextField(const QString& action, QWidget* window) const
{
    QWidget* field = focusedTextField(window);
    if (!field || !isTextEditingAction(action))
        return nullptr;
    // In a document's window the fields (pickers, the palette, the side menu) write the document as they are
    // typed in: Undo and Redo there act on the document's steps. The field's own undo would write its old text
    // back as one more change.
    if (isUndoAction(action) && kindOfWindow(window) == WindowKind::Creator)
        return nullptr;
    return field;
}

bool QVRWindowManager::undoActsOnText(QWidget* window) const
{
    return commandTextField(QStringLiteral("undo"), window) != nullptr;
}

bool QVRWindowManager::keyUndoesDocument(const QWidget* focus) const
{
    QWidget* window = focus ? focus->window() : nullptr;
    return window && focusedTextField(window) && focusedField(window) == focus &&
           kindOfWindow(window) == WindowKind::Creator;
}

bool QVRWindowManager::validateMenuItem(const QString& action) const
{
    return validateMenuItem(action, activeManagedWindow());
}

bool QVRWindowManager::validateMenuItem(const QString& action, QWidget* window) const
{
    if (!window)
        return false;
    if (focusedField(window) && isArrowAction(action))
        return false;
    if (QWidget* field = focusedTextField(window); field && commandTextField(action, window))
        return validateText(field, action);
    if (QVRTextEditingFocus* item = focusedTextItem(window)) {
        if (isArrowAction(action))
            return false;
        if (isTextItemAction(action))
            return item->validateTextCommand(action);
    }
    return validateWindowCommand(action, window);
}

bool QVRWindowManager::validateWindowCommand(const QString& action) const
{
    return validateWindowCommand(action, activeManagedWindow());
}

bool QVRWindowManager::validateWindowCommand(const QString& action, QWidget* window) const
{
    if (!window)
        return false;
    const QVRManagedWindowCommand* command = QVRWindowManagerManagedWindow::command(action);
    if (!command)
        return false;
    if (!command->validator)
        return QVRWindowManagerManagedWindow::respondsTo(window, command->performer);
    return QVRWindowManagerManagedWindow::callValidator(window, command->validator).value_or(false);
}

bool QVRWindowManager::performMenuAction(const QString& action, uint modifierMask)
{
    return performMenuAction(action, modifierMask, activeManagedWindow());
}

bool QVRWindowManager::performMenuAction(const QString& action, uint modifierMask, QWidget* window)
{
    // A key equivalent can arrive without the menu having been validated since the state changed.
    if (!validateMenuItem(action, window))
        return false;
    if (QWidget* field = commandTextField(action, window))
        return QMetaObject::invokeMethod(field, action.toLatin1().constData(), Qt::DirectConnection);
    if (QWidget* field = focusedTextField(window); field && isUndoAction(action)) {
        // What the field was editing ends first, as a step of its own, so that it is the step undone. The keyboard
        // goes to the document the undo acts on (the window's canvas), where the next key is not lost.
        focusedField(window)->clearFocus();
        if (!window->focusWidget())
            if (QWidget* canvas = documentView(window))
                canvas->setFocus(Qt::OtherFocusReason);
        if (!validateWindowCommand(action, window))
            return false;
    }
    if (QVRTextEditingFocus* item = focusedTextItem(window); item && isTextItemAction(action)) {
        item->performTextCommand(action);
        return true;
    }
    const QVRManagedWindowCommand* command = QVRWindowManagerManagedWindow::command(action);
    return command && QVRWindowManagerManagedWindow::callPerformer(window, command->performer, modifierMask);
}

bool QVRWindowManager::performWindowCommand(const QString& action, uint modifierMask)
{
    if (!validateWindowCommand(action))
        return false;
    const QVRManagedWindowCommand* command = QVRWindowManagerManagedWindow::command(action);
    return command &&
           QVRWindowManagerManagedWindow::callPerformer(activeManagedWindow(), command->performer, modifierMask);
}

bool QVRWindowManager::confirmCloseWhileCompressing(QWidget* window)
{
    if (m_quitting)
        return true;
    const ManagedWindow* closing = record(window);
    if (!closing || (closing->kind != WindowKind::Creator && closing->kind != WindowKind::Viewer))
        return true;
    // Only a video of the closing window's own document matters: another document's re-encoding goes on.
    const auto document = closing->document.lock();
    if (!document)
        return true;
    const auto compression = document->documentVideoCompressionManager();
    if (!compression || compression->contentAssetCount() == 0)
        return true;
    // Ask whenever the close stops the run. The last creator window of a document cancels its re-encoding even
    // while a viewer still plays it, so only another creator window keeps a creator's run going; a viewer's
    // close stops nothing while any other window holds the document.
    for (const ManagedWindow& managed : m_windows) {
        if (managed.window == window || !managed.window || !managed.window->isVisible() ||
            managed.document.lock() != document)
            continue;
        if (closing->kind != WindowKind::Creator || managed.kind == WindowKind::Creator)
            return true;
    }
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = UFM::CLOSE_COMPRESSION_WARNING_TEXT();
    request.buttons = {UFM::SAYS_CLOSE(), UFM::CANCEL_TEXT()};
    request.becomesMoot = [compression] { return compression->contentAssetCount() == 0; };
    return AlertPresenter::shared().runModal(request, window).button == 0;
}

bool QVRWindowManager::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && window->isWindow() && record(window) && !m_quitting)
            giveActivationBack(window);
    }
    if (event->type() == QEvent::Close) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && record(window) && !confirmCloseWhileCompressing(window)) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
