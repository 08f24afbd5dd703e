#pragma once

#include <functional>
#include <span>

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The application's menus, built from one table. Linux has no global menu bar, so every top-level window
// (lists, creator, viewer, the plain start-up window) carries its own bar made from the table.
//
// Routed items (cut, undo, nudgeRight, ...) go through the window manager to the active managed window: the
// enabled state comes from its validator, refreshed when a menu opens and before a key press is matched
// against the shortcuts, and a chosen item calls its performer with the item's key-equivalent modifier mask.
// Application items (quit, sign in, about, ...) go to the application handler the delegate registers.
// Titles come from the text table, each given a mnemonic letter of its own within its menu (Alt+F opens File);
// standard shortcuts use QKeySequence::StandardKey where one exists. Undo and Redo name the step they take
// when the window answers `Q_INVOKABLE QString undoActionName() const` (and redoActionName) with a name.
//
// Main thread only.
class QVRMainMenu : public QObject {
    Q_OBJECT
public:
    enum class Target { Routed, Application, Information };

    struct Entry {
        int menu = 0;    // index of the top-level menu
        QString command; // routed action or application command; empty = separator
        std::function<QString()> title;
        QKeySequence shortcut;
        int tag = 0;
        Target target = Target::Routed;
    };

    // Top-level menus, in order.
    enum Menu {
        ApplicationMenu = 0,
        FileMenu = 1,
        EditMenu = 2,
        ScreenMenu = 3,
        ViewMenu = 4,
        WindowMenu = 5,
        HelpMenu = 6,
        MenuCount = 7
    };
    static constexpr int kDebugItemTag = 101;

    // The one table (built on first use).
    static const QList<Entry>& entries();
    static QString menuTitle(int menu);

    // Makes the bar for `window`: set on a QMainWindow, or put on the window's layout when it has one.
    static QMenuBar* createMenuBar(QWidget* window);
    // Where a top-level window carries the application's bar, whatever its class: a QMainWindow's own bar, the
    // top of the content under a drawn title band, else the top of the window's layout (made when it has none).
    // Shows the bar; a window that has its bar already keeps it. Returns the window's bar.
    static QMenuBar* installMenuBar(QWidget* window);
    // The bar of a top-level window, or nullptr.
    static QMenuBar* barOf(const QWidget* window);
    // An item's or menu's title without its mnemonic marker.
    static QString plainText(const QAction* action);
    static QList<QMenuBar*> menuBars();

    // Removes, from every bar now and later, the items with `tag` in the top-level menu `menu`.
    static void removeItemsWithTag(int menu, int tag);
    // Re-reads every title from the text table (the language may have changed) and the state-dependent
    // titles (sign in/out, snap guides, dimensions palette).
    static void updateTitles();
    // Refreshes the enabled state of the routed items of one bar.
    static void validate(QMenuBar* bar);

    // The action of `command` in `bar`, or nullptr.
    static QAction* action(QMenuBar* bar, const QString& command);
    // The Window menu ends with one item per open document window (creator and viewer windows, in the order they
    // opened), titled with the document's name and checked for the bar's own window; choosing one brings that
    // window to the front. The list is made afresh each time the menu opens; this makes it now and returns it.
    static QList<QAction*> listDocumentWindows(QMenuBar* bar);

    using ApplicationHandler = std::function<void(const QString& command)>;
    using ApplicationValidator = std::function<bool(const QString& command)>;
    static void setApplicationHandler(ApplicationHandler handler, ApplicationValidator validator = {});
    // Titles that depend on state; nullptr functions use the defaults.
    static void setSignedInQuery(std::function<bool()> signedIn);
    static void setSnappingDisabledQuery(std::function<bool()> disabled);
    static void setQuotaText(const QString& text); // empty hides the quota item

    // Drops every bar's registration and the handlers (tests).
    static void resetForTesting();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVRMainMenu() = default;
    static QVRMainMenu& instance();
    static void trigger(QAction* action);
};
