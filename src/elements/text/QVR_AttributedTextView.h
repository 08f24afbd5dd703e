#pragma once

#include "elements/text/TextEditingItem.h"

class QAction;
class QMenu;

// The editable text view inside a text element on the canvas, with the rules that make it sit well among the
// elements of a screen:
//  - copy and cut with nothing selected, and a paste of something that is no text, act on the selected elements
//    (the window's own copy, cut and paste), never on the text;
//  - a paste of text (plain or HTML) takes the typing attributes: only the characters come in;
//  - its context menu holds only the plain text commands, and while the text is not being edited a right click
//    passes to the element below it.
class QVR_AttributedTextView : public TextEditingItem {
    Q_OBJECT
public:
    QVR_AttributedTextView(std::shared_ptr<QVR_TextStorage> storage, QGraphicsItem* parent = nullptr);

    // Whether the menu command ("copy:", "paste:", ...) is enabled.
    bool validateMenuItem(const QString& command) const;
    void copy() override;
    void cut() override;
    void paste() override;

    bool validateTextCommand(const QString& action) const override;

    // Undo, Redo, Cut, Copy, Paste, Delete and Select All, each tagged with its command, pruned to the text
    // commands. The caller owns the menu.
    QMenu* makeEditingMenu() const;

    // Tagging and pruning of the text menus. The command of an action is its data ("cut:"); an action without
    // one (headings, submenu holders) has none.
    static QString commandOf(const QAction* action);
    static void setCommand(QAction* action, const QString& command);
    static bool isAllowedCommand(const QString& command);
    // Prunes in place, depth first: submenus first (an emptied submenu goes with its holder), then every item
    // whose command is not allowed, then any separator that is at that moment the first item of its menu.
    static void pruneMenu(QMenu* menu);

protected:
    // For text views with another inset.
    QVR_AttributedTextView(std::shared_ptr<QVR_TextStorage> storage, const QSizeF& inset, QGraphicsItem* parent);

    QMenu* menuForEvent(QGraphicsSceneContextMenuEvent* event) override;
};
