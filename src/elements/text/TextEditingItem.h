#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QColor>
#include <QGraphicsObject>
#include <QSizeF>

#include "app/QVRTextEditingFocus.h"
#include "platform/EndOfTurn.h"
#include "tessarine_data_model/AttachedTextView.h"
#include "tessarine_data_model/TextLayout.h"

class QMenu;
class QVR_TextStorage;

// The editing core of the canvas's text views: a graphics item over a text storage that it edits in place, laid
// out inside an inset with the model's own text layout and painted with the model's routine, so the canvas, the
// pictures and the model's drawing agree. On top it draws the caret, the selection, the input method's pre-edit
// text (never stored) and, while editing, the spelling marks (never stored either).
//
// Keys follow the Linux desktop: arrows step by character (Ctrl: by word), Up and Down by line, Home and End to
// the line's ends (Ctrl: the text's), Shift extends the selection, Backspace and Delete remove a grapheme (Ctrl: a
// word), Return breaks the paragraph, Tab types a tab, Ctrl+A, C, X and V select all, copy, cut and paste. While
// editing it takes the shortcut override for these keys, so they never reach the window's nudge or delete items;
// undo and redo stay the window's.
//
// Every change goes through the storage's primitives between beginEditing() and endEditing(); onTextWillChange
// runs before each change the item makes (never for moves, selection or copy). Main thread only.
class TextEditingItem : public QGraphicsObject, public AttachedTextView, public QVRTextEditingFocus {
    Q_OBJECT
public:
    // Whether the key types its text (no Ctrl, Meta or Alt held, a printable character).
    static bool isTypedText(const QKeyEvent* event);

    TextEditingItem(std::shared_ptr<QVR_TextStorage> storage, const QSizeF& inset,
                    const TextFrameAttributes& attributes = {}, QGraphicsItem* parent = nullptr);
    ~TextEditingItem() override;

    std::shared_ptr<QVR_TextStorage> textStorage() const override { return m_storage; }
    // Follows another storage (an undo may replace the object's); the selection is clamped to it.
    void setTextStorage(std::shared_ptr<QVR_TextStorage> storage);

    QSizeF size() const { return m_size; }
    void setSize(const QSizeF& size);
    QSizeF inset() const { return m_inset; }
    TextFrameAttributes frameAttributes() const { return m_frameAttributes; }
    void setFrameAttributes(const TextFrameAttributes& attributes);
    QColor backgroundColor() const { return m_background; }
    void setBackgroundColor(const QColor& color);

    // AttachedTextView.
    TextRange selectedRange() const override;
    bool isEditable() const override { return m_editable; }
    TextAttributes typingAttributes() const override { return m_typingAttributes; }
    void setTypingAttributes(const TextAttributes& attributes) override { m_typingAttributes = attributes; }
    QColor insertionPointColor() const override { return m_insertionPointColor; }
    void setInsertionPointColor(const QColor& color) override;
    QRectF usedRectForWidth(double width) override;

    // Selection changes follow onSelectionDidChange; the typing attributes become the character's before the
    // caret (kept when there is none).
    void setSelectedRange(TextRange range);
    void setEditable(bool editable);
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool selectable);
    bool isContinuousSpellCheckingEnabled() const { return m_spellChecking; }
    void setContinuousSpellCheckingEnabled(bool enabled);

    // The insertion index nearest to a point in item coordinates.
    qsizetype characterIndexForInsertionAtPoint(const QPointF& point) const;
    const TextLayout& layout() const;
    QString preeditString() const { return m_preedit; }
    // The misspelt words found so far (shown only while editing).
    const std::vector<TextRange>& misspelledRanges() const { return m_misspelled; }
    // Puts the spelling checker's guesses for the misspelt word at `index` at the top of `menu`, each replacing
    // the word when chosen; nothing when no misspelt word lies there or there is no guess.
    void addSpellingSuggestions(QMenu* menu, qsizetype index);

    // Replaces the selection with `text` as typing does, in the typing attributes. False when refused.
    bool insertText(const QString& text);
    void deleteBackward(bool byWord = false);
    void deleteForward(bool byWord = false);
    void selectAll();
    virtual void copy();
    virtual void cut();
    virtual void paste();
    // Pastes text without its attributes, in the typing attributes.
    void pasteAsPlainText(const QString& text);

    // QVRTextEditingFocus.
    bool validateTextCommand(const QString& action) const override;
    void performTextCommand(const QString& action) override;

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    // The text as the model draws it, with the caret, selection, pre-edit and marks when asked.
    void paintContent(QPainter* painter, bool withEditingMarks, const QRectF& exposed = QRectF()) const;

    // Before each change the item makes; may refuse it (and make another instead); after each change; after each
    // selection change.
    std::function<void(TextEditingItem& item)> onTextWillChange;
    std::function<bool(TextRange range, const QString& replacement)> shouldChangeText;
    std::function<void()> onTextDidChange;
    std::function<void()> onSelectionDidChange;

protected:
    bool sceneEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void dragEnterEvent(QGraphicsSceneDragDropEvent* event) override;
    void dragMoveEvent(QGraphicsSceneDragDropEvent* event) override;
    void dropEvent(QGraphicsSceneDragDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    // The scene moves the focus on Tab before its focus item sees the key; while editing, Tab types.
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The context menu for an event while editing; nullptr for none. The caller owns it.
    virtual QMenu* menuForEvent(QGraphicsSceneContextMenuEvent* event);
    // Whether the item takes this key away from the window's shortcuts.
    virtual bool takesKey(const QKeyEvent* event) const;
    // Replaces a range as an edit of the user, asking shouldChangeText and running onTextWillChange first.
    bool replaceRange(TextRange range, const QString& text);
    QString selectedText() const;

private:
    void attachToStorage();
    void detachFromStorage();
    void storageEdited(int editMask, TextRange range, qsizetype changeInLength);
    void moveCaret(qsizetype position, bool extend);
    void setSelection(qsizetype anchor, qsizetype position);
    void updateTypingAttributes();
    void updateSelectionArea(TextRange before, qsizetype beforePosition);
    QRectF dirtyArea() const;
    void checkSpelling();
    // Focusable only while selectable or editable; giving that up gives up the scene's keyboard too.
    void updateFocusability();
    QPointF layoutPoint(const QPointF& itemPoint) const;

    std::shared_ptr<QVR_TextStorage> m_storage;
    int m_layoutObserver = 0;
    QSizeF m_size{0, 0};
    QSizeF m_inset;
    TextFrameAttributes m_frameAttributes;
    QColor m_background;
    mutable std::unique_ptr<TextLayout> m_layout;
    // The layout before the last edit, until the next layout takes over its unchanged paragraphs.
    mutable std::unique_ptr<TextLayout> m_editedLayout;
    // Where the last edits were, in the layout before them, until the text is laid out again.
    struct PendingDirty {
        qsizetype location = 0;
        double top = 0;
        double bottom = -1; // negative: repaint everything
    };
    mutable std::optional<PendingDirty> m_pendingDirty;
    qsizetype m_anchor = 0;
    qsizetype m_position = 0;
    bool m_editable = false;
    bool m_selectable = false;
    bool m_spellChecking = true;
    bool m_dragging = false;
    TextAttributes m_typingAttributes;
    QColor m_insertionPointColor = Qt::black;
    QString m_preedit;
    std::vector<TextRange> m_misspelled;
    qsizetype m_spellFrom = -1; // the edited stretch still to check
    qsizetype m_spellTo = -1;
    EndOfTurnCoalescer m_spellingCheck;
};
