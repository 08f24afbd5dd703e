#include "elements/text/QVR_AttributedTextView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGraphicsSceneContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextDocumentFragment>

#include "app/QVRWindowManager.h"
#include "strings/StringTables.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

bool clipboardHasText()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && (data->hasText() || data->hasHtml());
}

} // namespace

QVR_AttributedTextView::QVR_AttributedTextView(std::shared_ptr<QVR_TextStorage> storage, QGraphicsItem* parent)
    : TextEditingItem(
          std::move(storage),
          QSizeF(ZERI_MMObject_Text::textContainerInsetWidth(), ZERI_MMObject_Text::textContainerInsetHeight()), {},
          parent)
{
}

QVR_AttributedTextView::QVR_AttributedTextView(std::shared_ptr<QVR_TextStorage> storage, const QSizeF& inset,
                                               QGraphicsItem* parent)
    : TextEditingItem(std::move(storage), inset, {}, parent)
{
}

bool QVR_AttributedTextView::validateMenuItem(const QString& command) const
{
    const bool empty = selectedRange().length == 0;
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    if (command == QLatin1String("copy:") || command == QLatin1String("cut:")) {
        if (empty)
            return manager.validateWindowCommand(command.chopped(1));
        return command == QLatin1String("copy:") || isEditable();
    }
    if (command == QLatin1String("paste:"))
        return (isEditable() && clipboardHasText()) || manager.validateWindowCommand(QStringLiteral("paste"));
    if (command == QLatin1String("delete:"))
        return isEditable() && !empty;
    if (command == QLatin1String("selectAll:"))
        return isSelectable();
    return false;
}

bool QVR_AttributedTextView::validateTextCommand(const QString& action) const
{
    return validateMenuItem(action + u':');
}

void QVR_AttributedTextView::copy()
{
    if (selectedRange().length == 0)
        QVRWindowManager::sharedInstance().performWindowCommand(QStringLiteral("copy"));
    else
        TextEditingItem::copy();
}

void QVR_AttributedTextView::cut()
{
    // With nothing selected the Cut command cuts the element, as the menu item would: with the item's modifiers,
    // which let the element go although its text is being edited.
    if (selectedRange().length == 0)
        QVRWindowManager::sharedInstance().performWindowCommand(
            QStringLiteral("cut"), uint(QKeySequence(QKeySequence::Cut)[0].keyboardModifiers().toInt()));
    else
        TextEditingItem::cut();
}

void QVR_AttributedTextView::paste()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (data && data->hasText())
        pasteAsPlainText(data->text());
    else if (data && data->hasHtml())
        pasteAsPlainText(QTextDocumentFragment::fromHtml(data->html()).toPlainText());
    else
        QVRWindowManager::sharedInstance().performWindowCommand(QStringLiteral("paste"));
}

QString QVR_AttributedTextView::commandOf(const QAction* action)
{
    return action ? action->data().toString() : QString();
}

void QVR_AttributedTextView::setCommand(QAction* action, const QString& command)
{
    action->setData(command);
}

bool QVR_AttributedTextView::isAllowedCommand(const QString& command)
{
    static const QStringList kAllowed{
        QStringLiteral("cut:"),
        QStringLiteral("copy:"),
        QStringLiteral("paste:"),
        QStringLiteral("showGuessPanel:"),
        QStringLiteral("checkSpelling:"),
        QStringLiteral("toggleContinuousSpellChecking:"),
        QStringLiteral("toggleGrammarChecking:"),
        QStringLiteral("toggleAutomaticSpellingCorrection:"),
        QStringLiteral("toggleSmartInsertDelete:"),
        QStringLiteral("toggleAutomaticQuoteSubstitution:"),
        QStringLiteral("toggleAutomaticDashSubstitution:"),
        QStringLiteral("toggleAutomaticTextReplacement:"),
        QStringLiteral("uppercaseWord:"),
        QStringLiteral("lowercaseWord:"),
        QStringLiteral("capitalizeWord:"),
        QStringLiteral("startSpeaking:"),
        QStringLiteral("stopSpeaking:"),
    };
    return kAllowed.contains(command);
}

void QVR_AttributedTextView::pruneMenu(QMenu* menu)
{
    if (!menu)
        return;
    const QList<QAction*> items = menu->actions();
    for (QAction* item : items) {
        if (QMenu* submenu = item->menu()) {
            pruneMenu(submenu);
            if (submenu->actions().isEmpty())
                menu->removeAction(item);
            continue;
        }
        if (item->isSeparator()) {
            if (menu->actions().value(0) == item)
                menu->removeAction(item);
            continue;
        }
        const QString command = commandOf(item);
        if (!command.isEmpty() && !isAllowedCommand(command))
            menu->removeAction(item);
    }
}

QMenu* QVR_AttributedTextView::makeEditingMenu() const
{
    auto* menu = new QMenu;
    auto* self = const_cast<QVR_AttributedTextView*>(this);
    const auto add = [&](const QString& title, const QString& command, std::function<void()> perform) {
        QAction* action = menu->addAction(title);
        setCommand(action, command);
        action->setEnabled(validateMenuItem(command));
        QObject::connect(action, &QAction::triggered, self, std::move(perform));
    };
    add(LocalizedStringWithEnglishFallback(QStringLiteral("UNDO_TEXT")), QStringLiteral("undo:"),
        [] { QVRWindowManager::sharedInstance().performWindowCommand(QStringLiteral("undo")); });
    add(LocalizedStringWithEnglishFallback(QStringLiteral("REDO_TEXT")), QStringLiteral("redo:"),
        [] { QVRWindowManager::sharedInstance().performWindowCommand(QStringLiteral("redo")); });
    add(UFM::SAYS_CUT(), QStringLiteral("cut:"), [self] { self->cut(); });
    add(UFM::SAYS_COPY(), QStringLiteral("copy:"), [self] { self->copy(); });
    add(UFM::SAYS_PASTE(), QStringLiteral("paste:"), [self] { self->paste(); });
    add(UFM::DELETE_TEXT(), QStringLiteral("delete:"), [self] { self->deleteForward(); });
    add(UFM::SELECT_ALL_TEXT(), QStringLiteral("selectAll:"), [self] { self->selectAll(); });
    pruneMenu(menu);
    return menu;
}

QMenu* QVR_AttributedTextView::menuForEvent(QGraphicsSceneContextMenuEvent* event)
{
    QMenu* menu = makeEditingMenu();
    if (event)
        addSpellingSuggestions(menu, characterIndexForInsertionAtPoint(event->pos()));
    return menu;
}
