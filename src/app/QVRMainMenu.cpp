#include "app/QVRMainMenu.h"

#include <QAction>
#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QSet>
#include <QVBoxLayout>
#include <QWidgetAction>

#include "app/AppLogging.h"
#include "app/QVRWindowManager.h"
#include "controls/INAppStoreWindow.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr char kCommandProperty[] = "tessCommand";
constexpr char kTargetProperty[] = "tessTarget";
constexpr char kTagProperty[] = "tessTag";
constexpr char kEntryProperty[] = "tessEntry";
// Marks the Window menu's items of the open document windows, made afresh each time the menu opens.
constexpr char kDocumentWindowProperty[] = "tessDocumentWindow";

const QString kEllipsis = QString(QChar(0x2026));

struct MenuState {
    QList<QPointer<QMenuBar>> bars;
    QList<std::pair<int, int>> removedTags; // (menu, tag)
    QVRMainMenu::ApplicationHandler handler;
    QVRMainMenu::ApplicationValidator validator;
    std::function<bool()> signedIn;
    std::function<bool()> snappingDisabled;
    QString quotaText;
    // The widget of each window that last had the keyboard, the window's bar and menus aside: where the keyboard
    // goes back when a menu closed with Escape leaves the bar.
    QHash<const QWidget*, QPointer<QWidget>> keyboardBeforeBar;
};

MenuState& state()
{
    static MenuState s_state;
    return s_state;
}

QString withEllipsis(const QString& title)
{
    return title + kEllipsis;
}

// The platform's Quit keys; Ctrl+Q where the platform names none.
QKeySequence quitShortcut()
{
    const QKeySequence standard(QKeySequence::Quit);
    return standard.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : standard;
}

QString pointsTitle(const QString& title, int points)
{
    return QStringLiteral("%1 (%2pt)").arg(title).arg(points);
}

using Entry = QVRMainMenu::Entry;
using Target = QVRMainMenu::Target;

Entry routed(int menu, const char* command, std::function<QString()> title, QKeySequence shortcut = {}, int tag = 0)
{
    return Entry{menu, QString::fromLatin1(command), std::move(title), std::move(shortcut), tag, Target::Routed};
}

Entry application(int menu, const char* command, std::function<QString()> title, QKeySequence shortcut = {})
{
    return Entry{menu, QString::fromLatin1(command), std::move(title), std::move(shortcut), 0, Target::Application};
}

Entry separator(int menu, int tag = 0)
{
    return Entry{menu, {}, {}, {}, tag, Target::Routed};
}

QList<Entry> makeEntries()
{
    using M = QVRMainMenu;
    const QKeySequence none;
    QList<Entry> e;
    // The application menu has no Services, Hide Tessarine, Hide Others or Show All items: those commands belong
    // to the macOS menu bar and its application switching, which Linux desktops do not offer to an application.
    // Their table texts (SERVICES_TEXT, HIDE_TESSARINE_TEXT, HIDE_OTHERS_TEXT, SHOW_ALL_TEXT) stay unused.
    e << application(M::ApplicationMenu, "about", [] { return UFM::ABOUT_TESSARINE_TEXT(); })
      << application(
             M::ApplicationMenu, "preferences", [] { return withEllipsis(UFM::PREFERENCE_TEXT()); },
             QKeySequence(QKeySequence::Preferences))
      << separator(M::ApplicationMenu)
      << application(M::ApplicationMenu, "editProfile", [] { return withEllipsis(UFM::SAYS_EDIT_PROFILE()); })
      << application(M::ApplicationMenu, "signIn", [] { return UFM::SIGN_IN_TEXT(); })
      << Entry{M::ApplicationMenu, QStringLiteral("quota"), [] { return state().quotaText; }, none, 0,
               Target::Information}
      << separator(M::ApplicationMenu)
      << application(
             M::ApplicationMenu, "quit", [] { return UFM::QUIT_TESSARINE_TEXT(); }, quitShortcut());

    e << application(
             M::FileMenu, "new", [] { return withEllipsis(UFM::NEW_TEXT()); }, QKeySequence(QKeySequence::New))
      << application(
             M::FileMenu, "openURL", [] { return UFM::OPEN_URL_TEXT() + kEllipsis; },
             QKeySequence(Qt::CTRL | Qt::Key_L))
      << application(M::FileMenu, "importPowerpoint", [] { return withEllipsis(UFM::IMPORT_POWERPOINT_TEXT()); })
      << separator(M::FileMenu)
      << routed(
             M::FileMenu, "saveDraft", [] { return UFM::SAVE_DRAFT_TEXT(); }, QKeySequence(QKeySequence::Save))
      << routed(M::FileMenu, "publish", [] { return UFM::POST_TEXT(); })
      << routed(M::FileMenu, "unpublish", [] { return UFM::UNPOST_TEXT(); }) << separator(M::FileMenu)
      << routed(M::FileMenu, "exportToPDF", [] { return UFM::EXPORT_PDF_TEXT(); })
      << routed(
             M::FileMenu, "print", [] { return UFM::PRINT_TEXT(); }, QKeySequence(QKeySequence::Print))
      << separator(M::FileMenu)
      << routed(
             M::FileMenu, "refresh", [] { return UFM::REFRESH_TEXT(); }, QKeySequence(QKeySequence::Refresh))
      << application(
             M::FileMenu, "closeWindow", [] { return UFM::SAYS_CLOSE(); }, QKeySequence(QKeySequence::Close));

    e << routed(
             M::EditMenu, "undo", [] { return UFM::UNDO_TEXT(); }, QKeySequence(QKeySequence::Undo))
      << routed(
             M::EditMenu, "redo", [] { return UFM::REDO_TEXT(); }, QKeySequence(QKeySequence::Redo))
      << separator(M::EditMenu)
      << routed(
             M::EditMenu, "cut", [] { return UFM::SAYS_CUT(); }, QKeySequence(QKeySequence::Cut))
      << routed(
             M::EditMenu, "copy", [] { return UFM::SAYS_COPY(); }, QKeySequence(QKeySequence::Copy))
      << routed(
             M::EditMenu, "paste", [] { return UFM::SAYS_PASTE(); }, QKeySequence(QKeySequence::Paste))
      << routed(
             M::EditMenu, "deleteItems", [] { return UFM::DELETE_TEXT(); }, QKeySequence(QKeySequence::Delete))
      << routed(
             M::EditMenu, "selectAll", [] { return UFM::SELECT_ALL_TEXT(); }, QKeySequence(QKeySequence::SelectAll))
      << separator(M::EditMenu)
      << routed(
             M::EditMenu, "bringItemToFront", [] { return UFM::BRING_TO_FRONT_TEXT(); },
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight))
      << routed(
             M::EditMenu, "bringItemForward", [] { return UFM::BRING_FORWARD_TEXT(); },
             QKeySequence(Qt::CTRL | Qt::Key_BracketRight))
      << routed(
             M::EditMenu, "sendItemBackward", [] { return UFM::SEND_BACKWARD_TEXT(); },
             QKeySequence(Qt::CTRL | Qt::Key_BracketLeft))
      << routed(
             M::EditMenu, "sendItemToBack", [] { return UFM::SEND_TO_BACK_TEXT(); },
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft))
      << separator(M::EditMenu)
      << routed(
             M::EditMenu, "nudgeRight", [] { return pointsTitle(UFM::NUDGE_RIGHT_TEXT(), 1); },
             QKeySequence(Qt::Key_Right))
      << routed(
             M::EditMenu, "nudgeLeft", [] { return pointsTitle(UFM::NUDGE_LEFT_TEXT(), 1); },
             QKeySequence(Qt::Key_Left))
      << routed(
             M::EditMenu, "nudgeUp", [] { return pointsTitle(UFM::NUDGE_UP_TEXT(), 1); }, QKeySequence(Qt::Key_Up))
      << routed(
             M::EditMenu, "nudgeDown", [] { return pointsTitle(UFM::NUDGE_DOWN_TEXT(), 1); },
             QKeySequence(Qt::Key_Down))
      << routed(
             M::EditMenu, "shiftRight", [] { return pointsTitle(UFM::SHIFT_RIGHT_TEXT(), 10); },
             QKeySequence(Qt::SHIFT | Qt::Key_Right))
      << routed(
             M::EditMenu, "shiftLeft", [] { return pointsTitle(UFM::SHIFT_LEFT_TEXT(), 10); },
             QKeySequence(Qt::SHIFT | Qt::Key_Left))
      << routed(
             M::EditMenu, "shiftUp", [] { return pointsTitle(UFM::SHIFT_UP_TEXT(), 10); },
             QKeySequence(Qt::SHIFT | Qt::Key_Up))
      << routed(
             M::EditMenu, "shiftDown", [] { return pointsTitle(UFM::SHIFT_DOWN_TEXT(), 10); },
             QKeySequence(Qt::SHIFT | Qt::Key_Down))
      << separator(M::EditMenu)
      << application(M::EditMenu, "toggleSnapping", [] { return UFM::SAYS_DISABLE_SNAP_GUIDES(); });

    // The fourth menu: the auto-advance editors are debugging tools, removed at launch (tag 101).
    e << routed(M::ScreenMenu, "deleteScreen", [] { return UFM::DELETE_SCREEN(); })
      << routed(
             M::ScreenMenu, "duplicateScreen", [] { return UFM::DUPLICATE_SCREEN(); },
             QKeySequence(Qt::CTRL | Qt::Key_D))
      << routed(M::ScreenMenu, "changeBackgroundColor", [] { return UFM::CHANGE_BACKGROUND_COLOR_TEXT(); })
      << routed(
             M::ScreenMenu, "setPresenterNote", [] { return UFM::PRESENTER_NOTES_TEXT(); },
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N))
      << routed(M::ScreenMenu, "showScreenPropertiesMenu", [] { return UFM::SCREEN_PROPERTIES_TEXT(); })
      << separator(M::ScreenMenu, QVRMainMenu::kDebugItemTag)
      << routed(
             M::ScreenMenu, "setScreenAutoAdvanceSettings", [] { return UFM::SCREEN_AUTO_ADVANCE_TEXT(); }, none,
             QVRMainMenu::kDebugItemTag)
      << routed(
             M::ScreenMenu, "setFlowModelAutoAdvanceSettings", [] { return UFM::FLOW_AUTO_ADVANCE_TEXT(); }, none,
             QVRMainMenu::kDebugItemTag);

    e << routed(M::ViewMenu, "toggleXYPalette", [] { return UFM::SHOW_DIMENSIONS_PALETTE_TEXT(); })
      << routed(M::ViewMenu, "toggleDockedPopover", [] { return UFM::DOCK_POPOVER_TOOL_TIP(); })
      << routed(M::ViewMenu, "showiPadPreview", [] { return UFM::SAYS_PREVIEW(); });

    e << application(
             M::WindowMenu, "minimize", [] { return UFM::MINIMIZE_TEXT(); }, QKeySequence(Qt::CTRL | Qt::Key_M))
      << application(M::WindowMenu, "zoom", [] { return UFM::ZOOM_TEXT(); })
      << application(M::WindowMenu, "bringAllToFront", [] { return UFM::BRING_ALL_TO_FRONT_TEXT(); })
      << separator(M::WindowMenu)
      << application(M::WindowMenu, "myTessarines", [] { return UFM::MY_TESSARINES_TEXT(); });

    e << application(
             M::HelpMenu, "guide", [] { return withEllipsis(UFM::SAYS_TESSARINE_GUIDE()); },
             QKeySequence(QKeySequence::HelpContents))
      << application(M::HelpMenu, "faq", [] { return withEllipsis(UFM::SAYS_TESSARINE_FAQ()); })
      << application(M::HelpMenu, "feedback", [] { return withEllipsis(UFM::SAYS_SEND_FEEDBACK()); })
      << application(M::HelpMenu, "website", [] { return withEllipsis(UFM::SAYS_VISIT_TESSARINE_WEBSITE()); });
    return e;
}

// The title an item shows now: the table's, or the state-dependent one.
QString currentTitle(const Entry& entry)
{
    const MenuState& s = state();
    if (entry.command == QLatin1String("signIn"))
        return s.signedIn && s.signedIn() ? UFM::SIGN_OUT_TEXT() : UFM::SIGN_IN_TEXT();
    if (entry.command == QLatin1String("toggleSnapping"))
        return s.snappingDisabled && s.snappingDisabled() ? UFM::SAYS_ENABLE_SNAP_GUIDES()
                                                          : UFM::SAYS_DISABLE_SNAP_GUIDES();
    return entry.title ? entry.title() : QString();
}

bool signedIn()
{
    return state().signedIn && state().signedIn();
}

// Account items that act on the signed-in user's account.
bool needsSignedInUser(const QString& command)
{
    return command == QLatin1String("editProfile");
}

bool isRemoved(int menu, int tag)
{
    return tag != 0 && state().removedTags.contains(std::make_pair(menu, tag));
}

QMenu* topMenu(QMenuBar* bar, int menu)
{
    const QList<QAction*> actions = bar->actions();
    return menu >= 0 && menu < actions.size() ? actions.at(menu)->menu() : nullptr;
}

void prune()
{
    state().bars.removeIf([](const QPointer<QMenuBar>& bar) { return bar.isNull(); });
}

constexpr char kPlainTextProperty[] = "tessPlainText";

// `title` with a keyboard mnemonic on a letter none of `used` has taken, preferring the first letter of a word;
// ampersands of the title itself stay literal.
QString withMnemonic(const QString& title, QSet<QChar>& used)
{
    QString escaped = title;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    const auto free = [&](qsizetype i) {
        const QChar c = escaped.at(i);
        return c.isLetterOrNumber() && !used.contains(c.toLower()) && (i == 0 || escaped.at(i - 1) != QLatin1Char('&'));
    };
    qsizetype chosen = -1;
    for (qsizetype i = 0; i < escaped.size() && chosen < 0; ++i) {
        const bool wordStart = i == 0 || !escaped.at(i - 1).isLetterOrNumber();
        if (wordStart && free(i))
            chosen = i;
    }
    for (qsizetype i = 0; i < escaped.size() && chosen < 0; ++i) {
        if (free(i))
            chosen = i;
    }
    if (chosen < 0)
        return escaped;
    used.insert(escaped.at(chosen).toLower());
    return escaped.insert(chosen, QLatin1Char('&'));
}

// Gives each action of the list its plain title with a mnemonic of its own among its siblings.
void assignMnemonics(const QList<QAction*>& actions)
{
    QSet<QChar> used;
    for (QAction* action : actions) {
        if (action->isSeparator() || action->property(kDocumentWindowProperty).isValid())
            continue;
        const QString text = withMnemonic(action->property(kPlainTextProperty).toString(), used);
        if (action->text() != text)
            action->setText(text);
    }
}

// Sets an item's (or menu's) title; returns whether it changed, and the caller then assigns the mnemonics of its
// siblings again.
bool setPlainText(QAction* action, const QString& text)
{
    const QVariant current = action->property(kPlainTextProperty);
    if (current.isValid() && current.toString() == text)
        return false;
    action->setProperty(kPlainTextProperty, text);
    // A menu draws an item's title on one line; an information item shows its lines in its own label.
    if (auto* information = qobject_cast<QWidgetAction*>(action)) {
        if (auto* label = qobject_cast<QLabel*>(information->defaultWidget()))
            label->setText(text);
    }
    return true;
}

// An item that only informs, such as the upload allowance: its title's lines shown one under the other, greyed
// as a disabled item is.
QAction* addInformationItem(QMenu* menu, const QString& text)
{
    auto* item = new QWidgetAction(menu);
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("informationItemLabel"));
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(28, 4, 16, 4);
    item->setDefaultWidget(label);
    item->setText(text);
    menu->addAction(item);
    return item;
}

void assignMnemonics(QMenuBar* bar)
{
    assignMnemonics(bar->actions());
    for (QAction* top : bar->actions()) {
        if (top->menu())
            assignMnemonics(top->menu()->actions());
    }
}

// The name the window's undo manager gives the step that Undo (or Redo) would take, if any.
QString undoStepName(QWidget* window, bool redo)
{
    const char* method = redo ? "redoActionName()" : "undoActionName()";
    if (!window || window->metaObject()->indexOfMethod(method) < 0)
        return {};
    QString name;
    QMetaObject::invokeMethod(window, redo ? "redoActionName" : "undoActionName", Qt::DirectConnection,
                              Q_RETURN_ARG(QString, name));
    return name;
}

} // namespace

// "undo" or "redo" for an Undo or Redo key pressed in a text field of a document's window, which act on the
// document; empty otherwise.
static QString undoKeyOfDocument(QWidget* widget, const QKeyEvent* key)
{
    if (!widget || !QVRWindowManager::sharedInstance().keyUndoesDocument(widget))
        return {};
    if (key->matches(QKeySequence::Undo))
        return QStringLiteral("undo");
    if (key->matches(QKeySequence::Redo))
        return QStringLiteral("redo");
    return {};
}

// A Quit key press delivered to a widget of a window that has no bar of ours.
bool quitsWithoutBar(QObject* watched, QKeyEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (!widget->isWindow() && widget != QApplication::focusWidget()))
        return false;
    if (QKeySequence(event->keyCombination()) != quitShortcut())
        return false;
    QWidget* window = widget->window();
    for (QMenuBar* bar : QVRMainMenu::menuBars())
        if (bar->window() == window)
            return false;
    return true;
}

QVRMainMenu& QVRMainMenu::instance()
{
    static QVRMainMenu* s_instance = [] {
        auto* menu = new QVRMainMenu;
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installEventFilter(menu);
        return menu;
    }();
    return *s_instance;
}

const QList<QVRMainMenu::Entry>& QVRMainMenu::entries()
{
    static const QList<Entry> s_entries = makeEntries();
    return s_entries;
}

QString QVRMainMenu::menuTitle(int menu)
{
    switch (menu) {
    case ApplicationMenu:
        return QApplication::applicationDisplayName();
    case FileMenu:
        return UFM::FILE_TEXT();
    case EditMenu:
        return UFM::EDIT_TEXT();
    case ScreenMenu:
        return UFM::SAYS_SCREEN();
    case ViewMenu:
        return UFM::SAYS_VIEW();
    case WindowMenu:
        return UFM::WINDOW_TEXT();
    case HelpMenu:
        return UFM::HELP_TEXT();
    default:
        return {};
    }
}

QMenuBar* QVRMainMenu::createMenuBar(QWidget* window)
{
    QVRMainMenu& self = instance();
    auto* bar = new QMenuBar(window);
    bar->setNativeMenuBar(false);
    QList<QMenu*> menus;
    for (int menu = 0; menu < MenuCount; ++menu) {
        QMenu* top = bar->addMenu(menuTitle(menu));
        setPlainText(top->menuAction(), menuTitle(menu));
        menus.append(top);
        connect(top, &QMenu::aboutToShow, &self, [bar] { validate(bar); });
        if (menu == WindowMenu)
            connect(top, &QMenu::aboutToShow, &self, [bar] { listDocumentWindows(bar); });
    }
    const QList<Entry>& table = entries();
    for (qsizetype i = 0; i < table.size(); ++i) {
        const Entry& entry = table.at(i);
        if (isRemoved(entry.menu, entry.tag))
            continue;
        QAction* action = nullptr;
        if (entry.command.isEmpty())
            action = menus[entry.menu]->addSeparator();
        else if (entry.target == Target::Information)
            action = addInformationItem(menus[entry.menu], currentTitle(entry));
        else
            action = menus[entry.menu]->addAction(currentTitle(entry));
        action->setProperty(kCommandProperty, entry.command);
        action->setProperty(kTargetProperty, int(entry.target));
        action->setProperty(kTagProperty, entry.tag);
        action->setProperty(kEntryProperty, int(i));
        if (entry.command.isEmpty())
            continue;
        setPlainText(action, currentTitle(entry));
        if (!entry.shortcut.isEmpty()) {
            action->setShortcut(entry.shortcut);
            // Each window has its own bar: its shortcuts act in that window only.
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (entry.target == Target::Information) {
            action->setEnabled(false);
            action->setVisible(!state().quotaText.isEmpty());
        }
        connect(action, &QAction::triggered, &self, [action] { trigger(action); });
    }
    if (auto* mainWindow = qobject_cast<QMainWindow*>(window))
        mainWindow->setMenuBar(bar);
    else if (window && window->layout())
        window->layout()->setMenuBar(bar);
    state().bars.append(bar);
    assignMnemonics(bar);
    validate(bar);
    return bar;
}

QMenuBar* QVRMainMenu::installMenuBar(QWidget* window)
{
    if (!window)
        return nullptr;
    window = window->window();
    QMenuBar* bar = barOf(window);
    if (!bar) {
        // A window drawing its own title band holds the bar at the top of its content, under the band; other
        // windows at their own top.
        QWidget* host = window;
        if (auto* chrome = qobject_cast<INAppStoreWindow*>(window))
            host = chrome->contentView();
        if (!qobject_cast<QMainWindow*>(host) && !host->layout()) {
            auto* layout = new QVBoxLayout(host);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        bar = createMenuBar(host);
        // On a dark band (the player's) the titles are drawn light, so that they can be read.
        if (bar->palette().color(QPalette::Window).lightnessF() < 0.5) {
            QPalette palette = bar->palette();
            const QColor light(0xF2, 0xF2, 0xF2);
            palette.setColor(QPalette::WindowText, light);
            palette.setColor(QPalette::ButtonText, light);
            palette.setColor(QPalette::Text, light);
            bar->setPalette(palette);
        }
    }
    // A bar added to a window already shown stays hidden unless shown.
    bar->show();
    return bar;
}

QMenuBar* QVRMainMenu::barOf(const QWidget* window)
{
    for (QMenuBar* bar : menuBars()) {
        if (bar->window() == window)
            return bar;
    }
    return nullptr;
}

QString QVRMainMenu::plainText(const QAction* action)
{
    return action ? action->property(kPlainTextProperty).toString() : QString();
}

QList<QMenuBar*> QVRMainMenu::menuBars()
{
    prune();
    QList<QMenuBar*> bars;
    for (const QPointer<QMenuBar>& bar : state().bars)
        bars.append(bar);
    return bars;
}

void QVRMainMenu::removeItemsWithTag(int menu, int tag)
{
    if (!isRemoved(menu, tag))
        state().removedTags.append({menu, tag});
    for (QMenuBar* bar : menuBars()) {
        QMenu* top = topMenu(bar, menu);
        if (!top)
            continue;
        for (QAction* action : top->actions()) {
            if (action->property(kTagProperty).toInt() == tag) {
                top->removeAction(action);
                action->deleteLater();
            }
        }
        assignMnemonics(top->actions());
    }
}

void QVRMainMenu::updateTitles()
{
    const QList<Entry>& table = entries();
    for (QMenuBar* bar : menuBars()) {
        const QList<QAction*> tops = bar->actions();
        for (int menu = 0; menu < tops.size() && menu < MenuCount; ++menu) {
            setPlainText(tops[menu], menuTitle(menu));
            for (QAction* action : tops[menu]->menu()->actions()) {
                const int index = action->property(kEntryProperty).toInt();
                if (action->isSeparator() || index < 0 || index >= table.size())
                    continue;
                setPlainText(action, currentTitle(table.at(index)));
                if (table.at(index).target == Target::Information)
                    action->setVisible(!state().quotaText.isEmpty());
            }
        }
        assignMnemonics(bar);
        validate(bar);
    }
}

void QVRMainMenu::validate(QMenuBar* bar)
{
    if (!bar)
        return;
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    // A window's bar shows what its own window can do, whichever window is active.
    QWidget* commandWindow = manager.commandWindowFor(bar);
    // Validation runs before every key press: the letters are worked out again only when a title changed.
    bool retitled = false;
    for (QAction* top : bar->actions()) {
        for (QAction* action : top->menu()->actions()) {
            const QString command = action->property(kCommandProperty).toString();
            if (command.isEmpty())
                continue;
            const auto target = Target(action->property(kTargetProperty).toInt());
            if (target == Target::Routed) {
                action->setEnabled(manager.validateMenuItem(command, commandWindow));
                if (command == QLatin1String("toggleXYPalette")) {
                    // Only the creator window has the palette; other windows are asked nothing.
                    bool hidden = true;
                    QWidget* window = commandWindow;
                    if (window && window->metaObject()->indexOfMethod("xyPaletteHidden()") >= 0) {
                        QMetaObject::invokeMethod(window, "xyPaletteHidden", Qt::DirectConnection,
                                                  Q_RETURN_ARG(bool, hidden));
                    }
                    // The title says what the item does: a check beside "Hide" would read as the palette hidden.
                    retitled |= setPlainText(action, hidden ? UFM::SHOW_DIMENSIONS_PALETTE_TEXT()
                                                            : UFM::HIDE_DIMENSIONS_PALETTE_TEXT());
                } else if (command == QLatin1String("toggleDockedPopover")) {
                    // The item says what it will do: dock the object toolbar, or float the docked one again.
                    retitled |= setPlainText(action, Tessutils::isPopoverDocked() ? UFM::DOCK_POPOVER_TOOL_TIP_DOCKED()
                                                                                  : UFM::DOCK_POPOVER_TOOL_TIP());
                } else if (command == QLatin1String("undo") || command == QLatin1String("redo")) {
                    // "Undo Move Object": the step's name when the window's undo manager has one for it; a
                    // focused text undoes its own typing, which has none.
                    const bool redo = command == QLatin1String("redo");
                    const QString plain = redo ? UFM::REDO_TEXT() : UFM::UNDO_TEXT();
                    const bool forText = manager.undoActsOnText(commandWindow);
                    const QString name =
                        action->isEnabled() && !forText ? undoStepName(commandWindow, redo) : QString();
                    retitled |= setPlainText(action, name.isEmpty() ? plain : plain + QLatin1Char(' ') + name);
                }
            } else if (target == Target::Application) {
                // The account may have changed since the titles were set (a sign-in from any window).
                if (command == QLatin1String("signIn")) {
                    const int index = action->property(kEntryProperty).toInt();
                    if (index >= 0 && index < entries().size())
                        retitled |= setPlainText(action, currentTitle(entries().at(index)));
                }
                const MenuState& s = state();
                action->setEnabled((!s.validator || s.validator(command)) &&
                                   (!needsSignedInUser(command) || signedIn()));
            }
        }
    }
    if (retitled)
        assignMnemonics(bar);
}

QAction* QVRMainMenu::action(QMenuBar* bar, const QString& command)
{
    if (!bar)
        return nullptr;
    for (QAction* top : bar->actions()) {
        for (QAction* action : top->menu()->actions()) {
            if (action->property(kCommandProperty).toString() == command)
                return action;
        }
    }
    return nullptr;
}

QList<QAction*> QVRMainMenu::listDocumentWindows(QMenuBar* bar)
{
    QList<QAction*> items;
    QMenu* menu = bar ? topMenu(bar, WindowMenu) : nullptr;
    if (!menu)
        return items;
    for (QAction* old : menu->actions()) {
        if (old->property(kDocumentWindowProperty).isValid()) {
            menu->removeAction(old);
            old->deleteLater();
        }
    }
    QVRWindowManager& manager = QVRWindowManager::sharedInstance();
    QList<QWidget*> windows;
    for (QWidget* window : manager.windows()) {
        const auto kind = manager.kindOfWindow(window);
        if (window->isVisible() && manager.documentForWindow(window) &&
            (kind == QVRWindowManager::WindowKind::Creator || kind == QVRWindowManager::WindowKind::Viewer))
            windows.append(window);
    }
    if (windows.isEmpty())
        return items;
    QAction* separator = menu->addSeparator();
    separator->setProperty(kDocumentWindowProperty, true);
    separator->setProperty(kEntryProperty, -1);
    QWidget* own = bar->window();
    for (QWidget* window : std::as_const(windows)) {
        const QString name = manager.documentForWindow(window)->title();
        // The document's name as the user typed it: no letter of it becomes a mnemonic.
        QString title = name.trimmed().isEmpty() ? UFM::UNTITLED_TEXT() : name;
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = menu->addAction(title);
        item->setProperty(kDocumentWindowProperty, true);
        item->setProperty(kEntryProperty, -1);
        item->setCheckable(true);
        item->setChecked(window == own);
        QPointer<QWidget> target(window);
        connect(item, &QAction::triggered, item, [target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            target->show();
            target->raise();
            target->activateWindow();
        });
        items.append(item);
    }
    return items;
}

void QVRMainMenu::trigger(QAction* action)
{
    const QString command = action->property(kCommandProperty).toString();
    const auto target = Target(action->property(kTargetProperty).toInt());
    if (target == Target::Routed) {
        const QKeySequence shortcut = action->shortcut();
        const uint mask = shortcut.isEmpty() ? 0u : uint(shortcut[0].keyboardModifiers().toInt());
        // An item of a window's bar acts on that window.
        QVRWindowManager& manager = QVRWindowManager::sharedInstance();
        QWidget* menu = qobject_cast<QWidget*>(action->parent());
        QWidget* bar = menu ? qobject_cast<QMenuBar*>(menu->parent()) : nullptr;
        manager.performMenuAction(command, mask, manager.commandWindowFor(bar));
    } else if (target == Target::Application) {
        if (state().handler)
            state().handler(command);
        else
            qCInfo(lcApp) << "no handler for the menu command" << command;
    }
}

void QVRMainMenu::setApplicationHandler(ApplicationHandler handler, ApplicationValidator validator)
{
    instance(); // its key filter serves windows without a bar too
    state().handler = std::move(handler);
    state().validator = std::move(validator);
}

void QVRMainMenu::setSignedInQuery(std::function<bool()> signedIn)
{
    state().signedIn = std::move(signedIn);
}

void QVRMainMenu::setSnappingDisabledQuery(std::function<bool()> disabled)
{
    state().snappingDisabled = std::move(disabled);
}

void QVRMainMenu::setQuotaText(const QString& text)
{
    state().quotaText = text;
    updateTitles();
}

void QVRMainMenu::resetForTesting()
{
    for (QMenuBar* bar : menuBars())
        delete bar;
    state() = MenuState();
}

bool QVRMainMenu::eventFilter(QObject* watched, QEvent* event)
{
    // Shortcuts of disabled actions never fire, so the states must be fresh before a key is matched; the
    // focus object receives ShortcutOverride right before the shortcut map looks at the key.
    // A window without a bar (the home window) still quits with the Quit keys; windows with a bar match them
    // through their own Quit item.
    if (event->type() == QEvent::KeyPress && quitsWithoutBar(watched, static_cast<QKeyEvent*>(event))) {
        if (state().handler)
            state().handler(QStringLiteral("quit"));
        return true;
    }
    // F10 opens the window's first menu, so the bar is reached from the keyboard.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F10 &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget->isWindow() || widget == QApplication::focusWidget())) {
            for (QMenuBar* bar : menuBars()) {
                if (bar->window() == widget->window() && bar->isVisible() && !bar->actions().isEmpty()) {
                    validate(bar);
                    bar->setActiveAction(bar->actions().first());
                    return true;
                }
            }
        }
    }
    if (event->type() == QEvent::FocusIn) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && !widget->isWindow() && !qobject_cast<QMenuBar*>(widget) && !qobject_cast<QMenu*>(widget))
            state().keyboardBeforeBar.insert(widget->window(), widget);
    }
    // Escape closing a menu of a window's bar leaves the bar as well (the bar would wait for arrows, take the next
    // Escape and then give the keyboard to nobody): the keyboard goes back to where it was before the menu.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            for (QMenuBar* bar : menuBars()) {
                if (!bar->actions().contains(menu->menuAction()))
                    continue;
                QTimer::singleShot(0, bar, [bar] {
                    if (!bar->hasFocus() || QApplication::activePopupWidget())
                        return;
                    // Losing the keyboard ends the bar's keyboard mode (an Escape sent to it would reach the
                    // window's own Escape handling too).
                    const QPointer<QWidget> back = state().keyboardBeforeBar.value(bar->window());
                    if (back && back->isVisible() && back->isEnabled())
                        back->setFocus(Qt::MenuBarFocusReason);
                    else
                        bar->clearFocus();
                });
            }
        }
    }
    if (event->type() == QEvent::ShortcutOverride) {
        if (auto* widget = qobject_cast<QWidget*>(watched)) {
            QWidget* window = widget->window();
            for (QMenuBar* bar : menuBars()) {
                if (bar->window() == window)
                    validate(bar);
            }
            // A field of a document's window would take the Undo and Redo keys for its own typing. They come to
            // this filter as key presses instead (every key of both, not only the items' own shortcuts).
            if (!undoKeyOfDocument(widget, static_cast<QKeyEvent*>(event)).isEmpty()) {
                event->accept();
                return true;
            }
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (const QString command = undoKeyOfDocument(widget, key); !command.isEmpty()) {
            QVRWindowManager::sharedInstance().performMenuAction(command, uint(key->modifiers().toInt()),
                                                                 widget->window());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
