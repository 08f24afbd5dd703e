#include "elements/text/TextEditingItem.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QAction>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionGraphicsItem>
#include <QTextDocumentFragment>

#include "elements/text/SpellChecker.h"
#include "foundation/FontSubstitution.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

bool isParagraphBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

// The paragraph (without its break) around a stretch of the text.
TextRange paragraphAround(const QString& text, qsizetype from, qsizetype to)
{
    from = std::clamp<qsizetype>(from, 0, text.size());
    to = std::clamp<qsizetype>(to, from, text.size());
    while (from > 0 && !isParagraphBreak(text[from - 1]))
        --from;
    while (to < text.size() && !isParagraphBreak(text[to]))
        ++to;
    return {from, to - from};
}

void drawWavyLine(QPainter* painter, double x1, double x2, double y)
{
    QPolygonF wave;
    bool up = true;
    for (double x = x1; x < x2 + 2; x += 2) {
        wave << QPointF(std::min(x, x2), up ? y - 1.5 : y);
        up = !up;
    }
    painter->setPen(QPen(QColor(Qt::red), 1));
    painter->drawPolyline(wave);
}

} // namespace

TextEditingItem::TextEditingItem(std::shared_ptr<QVR_TextStorage> storage, const QSizeF& inset,
                                 const TextFrameAttributes& attributes, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_storage(std::move(storage))
    , m_inset(inset)
    , m_frameAttributes(attributes)
    , m_spellingCheck([this] { checkSpelling(); })
{
    setFlag(ItemIsFocusable, false); // until it is selectable or editable
    setFlag(ItemAcceptsInputMethod, true);
    setFlag(ItemUsesExtendedStyleOption, true); // paint only what an edit exposed
    setAcceptDrops(true);
    attachToStorage();
    if (m_storage && m_storage->length() > 0)
        m_typingAttributes = m_storage->attributesAtIndex(m_storage->length() - 1).value_or(TextAttributes());
}

TextEditingItem::~TextEditingItem()
{
    detachFromStorage();
}

void TextEditingItem::attachToStorage()
{
    if (!m_storage)
        return;
    m_layoutObserver = m_storage->addLayoutObserver([this](int editMask, TextRange range, qsizetype changeInLength) {
        storageEdited(editMask, range, changeInLength);
    });
}

void TextEditingItem::detachFromStorage()
{
    if (m_storage && m_layoutObserver)
        m_storage->removeLayoutObserver(m_layoutObserver);
    m_layoutObserver = 0;
}

void TextEditingItem::setTextStorage(std::shared_ptr<QVR_TextStorage> storage)
{
    if (storage == m_storage)
        return;
    detachFromStorage();
    m_storage = std::move(storage);
    attachToStorage();
    m_layout.reset();
    m_misspelled.clear();
    const qsizetype length = m_storage ? m_storage->length() : 0;
    setSelection(std::min(m_anchor, length), std::min(m_position, length));
    if (m_storage && length > 0) {
        m_spellFrom = 0;
        m_spellTo = length;
        m_spellingCheck.request();
    }
    update();
}

void TextEditingItem::storageEdited(int editMask, TextRange range, qsizetype changeInLength)
{
    // What changes on screen is the edited paragraph, and everything below it when the edit crossed a paragraph
    // break or the paragraph's height changed; the latter is known once the text is laid out again.
    const QString& text = m_storage->string();
    const qsizetype newLength = range.length + changeInLength;
    bool breakInserted = false;
    for (qsizetype i = range.location; i < std::min<qsizetype>(range.location + newLength, text.size()); ++i)
        breakInserted = breakInserted || isParagraphBreak(text[i]);
    if (m_layout && !m_pendingDirty) {
        const TextRange paragraph = m_layout->paragraphRange(range.location);
        const QRectF area = m_layout->paragraphRect(range.location);
        const bool inside = range.location >= paragraph.location && range.end() <= paragraph.end();
        m_pendingDirty = PendingDirty{range.location, area.top(), inside && !breakInserted ? area.bottom() : -1};
    } else if (m_layout) {
        m_pendingDirty->location = std::min(m_pendingDirty->location, range.location);
        m_pendingDirty->top = std::min(m_pendingDirty->top, m_layout->paragraphRect(range.location).top());
        m_pendingDirty->bottom = -1; // two stretches: repaint from the first one down
    } else if (m_pendingDirty && m_pendingDirty->bottom >= 0 && !breakInserted) {
        // Not laid out since the last edit: a further edit in the same paragraph keeps it at that.
        const qsizetype from = std::min(m_pendingDirty->location, range.location);
        const qsizetype to = std::min<qsizetype>(std::max(m_pendingDirty->location, range.location), text.size());
        for (qsizetype i = from; i < to; ++i) {
            if (isParagraphBreak(text[i])) {
                m_pendingDirty = PendingDirty{0, 0, -1};
                break;
            }
        }
    } else {
        m_pendingDirty = PendingDirty{0, 0, -1};
    }
    // Kept for the next layout, which takes over the paragraphs the edit did not touch.
    if (m_layout)
        m_editedLayout = std::move(m_layout);
    if (editMask & QVR_TextStorage::EditedCharacters) {
        // Marks after the edit move with it; those it touched go until the stretch is checked again.
        const qsizetype oldEnd = range.end();
        std::vector<TextRange> kept;
        for (TextRange mark : m_misspelled) {
            if (mark.end() <= range.location) {
                kept.push_back(mark);
            } else if (mark.location >= oldEnd) {
                mark.location += changeInLength;
                kept.push_back(mark);
            }
        }
        m_misspelled = std::move(kept);
        const qsizetype newEnd = range.location + range.length + changeInLength;
        m_spellFrom = m_spellFrom < 0 ? range.location : std::min(m_spellFrom, range.location);
        m_spellTo = std::max(m_spellTo < 0 ? newEnd : m_spellTo + changeInLength, newEnd);
        m_spellingCheck.request();
        // Someone else's edit (an undo, the inspector) leaves the selection inside the text.
        const qsizetype length = m_storage->length();
        m_anchor = std::min(m_anchor, length);
        m_position = std::min(m_position, length);
    }
    // The old paragraph now; the rest once the new layout shows what moved.
    if (m_pendingDirty && m_pendingDirty->bottom >= 0)
        update(QRectF(0, m_pendingDirty->top + m_inset.height() - 2, m_size.width(),
                      m_pendingDirty->bottom - m_pendingDirty->top + 4));
    else
        update();
}

QRectF TextEditingItem::dirtyArea() const
{
    const QRectF all = boundingRect();
    if (!m_pendingDirty || m_pendingDirty->bottom < 0)
        return all;
    return QRectF(0, m_pendingDirty->top + m_inset.height() - 2, all.width(), all.height()).intersected(all);
}

QRectF TextEditingItem::usedRectForWidth(double width)
{
    setSize(QSizeF(width, m_size.height()));
    return layout().usedRect();
}

void TextEditingItem::checkSpelling()
{
    if (!m_storage || m_spellFrom < 0)
        return;
    const QString& text = m_storage->string();
    const TextRange paragraph = paragraphAround(text, m_spellFrom, m_spellTo);
    m_spellFrom = m_spellTo = -1;
    if (!m_spellChecking || paragraph.length == 0)
        return;
    std::erase_if(m_misspelled, [&](const TextRange& mark) {
        return mark.end() > paragraph.location && mark.location < paragraph.end();
    });
    for (const TextRange& mark : SpellChecker::shared().misspelledRanges(text, paragraph))
        m_misspelled.push_back(mark);
    std::sort(m_misspelled.begin(), m_misspelled.end(),
              [](const TextRange& a, const TextRange& b) { return a.location < b.location; });
    // Only the checked paragraph's marks change.
    const QRectF area = layout().paragraphRect(paragraph.location).united(layout().paragraphRect(paragraph.end()));
    update(QRectF(0, area.top() + m_inset.height() - 2, m_size.width(), area.height() + 6));
}

void TextEditingItem::setSize(const QSizeF& size)
{
    if (size == m_size)
        return;
    prepareGeometryChange();
    if (size.width() != m_size.width())
        m_layout.reset();
    m_size = size;
    update();
}

void TextEditingItem::setFrameAttributes(const TextFrameAttributes& attributes)
{
    if (attributes.lineHeightMultiple == m_frameAttributes.lineHeightMultiple)
        return;
    m_frameAttributes = attributes;
    m_layout.reset();
    m_pendingDirty.reset();
    update();
}

void TextEditingItem::setBackgroundColor(const QColor& color)
{
    if (color == m_background)
        return;
    m_background = color;
    update();
}

const TextLayout& TextEditingItem::layout() const
{
    if (!m_layout) {
        const AttributedText text = m_storage ? m_storage->attributedString() : AttributedText();
        const double width = m_size.width() - 2 * m_inset.width();
        m_layout = m_editedLayout
                       ? std::make_unique<TextLayout>(text, width, m_frameAttributes, std::move(*m_editedLayout))
                       : std::make_unique<TextLayout>(text, width, m_frameAttributes);
        m_editedLayout.reset();
        if (m_pendingDirty) {
            // An edited paragraph that kept its height leaves the lines below it where they were.
            const QRectF below = dirtyArea();
            const PendingDirty dirty = *m_pendingDirty;
            m_pendingDirty.reset();
            const QRectF paragraph = m_layout->paragraphRect(dirty.location);
            if (dirty.bottom >= 0 && qFuzzyCompare(paragraph.bottom() + 1, dirty.bottom + 1)) {
                const double top = std::min(dirty.top, paragraph.top()) + m_inset.height() - 2;
                const_cast<TextEditingItem*>(this)->update(
                    QRectF(0, top, m_size.width(), paragraph.bottom() + m_inset.height() + 2 - top));
            } else {
                const_cast<TextEditingItem*>(this)->update(below);
            }
        }
    }
    return *m_layout;
}

TextRange TextEditingItem::selectedRange() const
{
    return {std::min(m_anchor, m_position), std::abs(m_position - m_anchor)};
}

void TextEditingItem::setSelectedRange(TextRange range)
{
    const qsizetype length = m_storage ? m_storage->length() : 0;
    const qsizetype from = std::clamp<qsizetype>(range.location, 0, length);
    const qsizetype to = std::clamp<qsizetype>(range.end(), from, length);
    setSelection(from, to);
}

void TextEditingItem::setSelection(qsizetype anchor, qsizetype position)
{
    if (anchor == m_anchor && position == m_position)
        return;
    const TextRange before = selectedRange();
    const qsizetype beforePosition = m_position;
    m_anchor = anchor;
    m_position = position;
    updateTypingAttributes();
    updateSelectionArea(before, beforePosition);
    if (onSelectionDidChange)
        onSelectionDidChange();
}

void TextEditingItem::updateSelectionArea(TextRange before, qsizetype beforePosition)
{
    if (!m_layout) {
        update(); // laid out anew at the next paint anyway
        return;
    }
    // Only the old and the new caret and highlight change.
    QRectF area = m_layout->caretRect(beforePosition).united(m_layout->caretRect(m_position));
    for (const QRectF& rect : m_layout->selectionRects(before))
        area = area.united(rect);
    for (const QRectF& rect : m_layout->selectionRects(selectedRange()))
        area = area.united(rect);
    update(area.translated(m_inset.width(), m_inset.height()).adjusted(-2, -2, 2, 2));
}

void TextEditingItem::updateTypingAttributes()
{
    if (!m_storage || m_storage->length() == 0)
        return; // an emptied text keeps the attributes it was typed in
    const qsizetype location = selectedRange().location;
    const qsizetype index = location > 0 ? location - 1 : 0;
    if (const auto attributes = m_storage->attributesAtIndex(index))
        m_typingAttributes = *attributes;
}

void TextEditingItem::setInsertionPointColor(const QColor& color)
{
    const QColor caret = color.isValid() ? color : QColor(Qt::black);
    if (caret == m_insertionPointColor)
        return;
    m_insertionPointColor = caret;
    update();
}

void TextEditingItem::setEditable(bool editable)
{
    m_editable = editable;
    if (!editable)
        m_preedit.clear(); // an input method's text in progress never outlives the editing
    setCursor(editable ? Qt::IBeamCursor : Qt::ArrowCursor);
    updateFocusability();
    update();
}

void TextEditingItem::setSelectable(bool selectable)
{
    m_selectable = selectable;
    updateFocusability();
    update();
}

void TextEditingItem::updateFocusability()
{
    const bool focusable = m_editable || m_selectable;
    if (!focusable) {
        // Also when the scene is not active (its view hidden, its window in the back), where clearFocus() does
        // nothing: the scene would hand the keyboard back to this item when its view shows again, and the item
        // would keep the clicks on it that belong to the canvas.
        if (QGraphicsScene* scene = this->scene(); scene && scene->focusItem() == this)
            scene->setFocusItem(nullptr);
        clearFocus();
    }
    // A scene gives its remembered focus item the keyboard back only while that item is focusable.
    setFlag(ItemIsFocusable, focusable);
}

void TextEditingItem::setContinuousSpellCheckingEnabled(bool enabled)
{
    if (enabled == m_spellChecking)
        return;
    m_spellChecking = enabled;
    if (enabled && m_storage) {
        m_spellFrom = 0;
        m_spellTo = m_storage->length();
        m_spellingCheck.request();
    }
    update();
}

QPointF TextEditingItem::layoutPoint(const QPointF& itemPoint) const
{
    return itemPoint - QPointF(m_inset.width(), m_inset.height());
}

qsizetype TextEditingItem::characterIndexForInsertionAtPoint(const QPointF& point) const
{
    return layout().indexAt(layoutPoint(point));
}

QString TextEditingItem::selectedText() const
{
    const TextRange range = selectedRange();
    return m_storage ? m_storage->string().mid(range.location, range.length) : QString();
}

bool TextEditingItem::replaceRange(TextRange range, const QString& text)
{
    if (!m_storage || !m_editable)
        return false;
    if (shouldChangeText && !shouldChangeText(range, text))
        return false;
    if (onTextWillChange)
        onTextWillChange(*this);
    const TextAttributes attributes = m_typingAttributes;
    m_storage->beginEditing();
    m_storage->replaceCharacters(range, text);
    if (!text.isEmpty())
        m_storage->setAttributes(attributes, {range.location, text.size()});
    const qsizetype caret = range.location + text.size();
    m_anchor = m_position = caret;
    m_storage->endEditing();
    m_typingAttributes = attributes;
    if (onSelectionDidChange)
        onSelectionDidChange();
    if (onTextDidChange)
        onTextDidChange();
    return true;
}

bool TextEditingItem::insertText(const QString& text)
{
    return replaceRange(selectedRange(), text);
}

void TextEditingItem::deleteBackward(bool byWord)
{
    TextRange range = selectedRange();
    if (range.length == 0) {
        const qsizetype from =
            byWord ? layout().previousWordPosition(range.location) : layout().previousCursorPosition(range.location);
        range = {from, range.location - from};
    }
    if (range.length > 0)
        replaceRange(range, QString());
}

void TextEditingItem::deleteForward(bool byWord)
{
    TextRange range = selectedRange();
    if (range.length == 0) {
        const qsizetype to =
            byWord ? layout().nextWordPosition(range.location) : layout().nextCursorPosition(range.location);
        range = {range.location, to - range.location};
    }
    if (range.length > 0)
        replaceRange(range, QString());
}

void TextEditingItem::selectAll()
{
    if (m_storage)
        setSelection(0, m_storage->length());
}

void TextEditingItem::copy()
{
    if (selectedRange().length > 0)
        QApplication::clipboard()->setText(selectedText());
}

void TextEditingItem::cut()
{
    if (selectedRange().length == 0)
        return;
    copy();
    replaceRange(selectedRange(), QString());
}

void TextEditingItem::paste()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data)
        return;
    if (data->hasText())
        pasteAsPlainText(data->text());
    else if (data->hasHtml())
        pasteAsPlainText(QTextDocumentFragment::fromHtml(data->html()).toPlainText());
}

void TextEditingItem::pasteAsPlainText(const QString& text)
{
    insertText(text);
}

bool TextEditingItem::validateTextCommand(const QString& action) const
{
    if (action == QLatin1String("copy"))
        return selectedRange().length > 0;
    if (action == QLatin1String("cut"))
        return m_editable && selectedRange().length > 0;
    if (action == QLatin1String("paste")) {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return m_editable && data && (data->hasText() || data->hasHtml());
    }
    if (action == QLatin1String("selectAll"))
        return m_selectable && m_storage && m_storage->length() > 0;
    return false;
}

void TextEditingItem::performTextCommand(const QString& action)
{
    if (action == QLatin1String("copy"))
        copy();
    else if (action == QLatin1String("cut"))
        cut();
    else if (action == QLatin1String("paste"))
        paste();
    else if (action == QLatin1String("selectAll"))
        selectAll();
}

void TextEditingItem::moveCaret(qsizetype position, bool extend)
{
    setSelection(extend ? m_anchor : position, position);
}

bool TextEditingItem::takesKey(const QKeyEvent* event) const
{
    if (!m_editable)
        return false;
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))
        return false;
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Paste) || event->matches(QKeySequence::SelectAll))
        return true;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        // With Ctrl, a word.
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        return true;
    default:
        break;
    }
    return isTypedText(event);
}

bool TextEditingItem::isTypedText(const QKeyEvent* event)
{
    // Alt with a letter opens a menu of the window's bar; Ctrl and Meta make commands.
    const Qt::KeyboardModifiers commands =
        event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier);
    return !commands && !event->text().isEmpty() && event->text().at(0).isPrint();
}

bool TextEditingItem::sceneEvent(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (takesKey(key)) {
            key->accept();
            return true;
        }
        key->ignore();
        return false;
    }
    return QGraphicsObject::sceneEvent(event);
}

void TextEditingItem::keyPressEvent(QKeyEvent* event)
{
    if (!m_editable || !m_storage) {
        event->ignore();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const TextRange selection = selectedRange();
    const TextLayout& lines = layout();
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->ignore();
        return;
    } else {
        switch (event->key()) {
        case Qt::Key_Left:
            if (selection.length > 0 && !shift)
                moveCaret(selection.location, false);
            else
                moveCaret(control ? lines.previousWordPosition(m_position) : lines.previousCursorPosition(m_position),
                          shift);
            break;
        case Qt::Key_Right:
            if (selection.length > 0 && !shift)
                moveCaret(selection.end(), false);
            else
                moveCaret(control ? lines.nextWordPosition(m_position) : lines.nextCursorPosition(m_position), shift);
            break;
        case Qt::Key_Up:
            moveCaret(lines.lineAbove(m_position), shift);
            break;
        case Qt::Key_Down:
            moveCaret(lines.lineBelow(m_position), shift);
            break;
        case Qt::Key_Home:
            moveCaret(control ? 0 : lines.lineStart(m_position), shift);
            break;
        case Qt::Key_End:
            moveCaret(control ? m_storage->length() : lines.lineEnd(m_position), shift);
            break;
        case Qt::Key_Backspace:
            deleteBackward(control);
            break;
        case Qt::Key_Delete:
            deleteForward(control);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            insertText(QStringLiteral("\n"));
            break;
        case Qt::Key_Tab:
            insertText(QStringLiteral("\t"));
            break;
        default: {
            if (!isTypedText(event)) {
                event->ignore();
                return;
            }
            insertText(event->text());
            break;
        }
        }
    }
    event->accept();
}

void TextEditingItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (!m_selectable || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (m_editable && !hasFocus())
        setFocus(Qt::MouseFocusReason);
    moveCaret(characterIndexForInsertionAtPoint(event->pos()), event->modifiers() & Qt::ShiftModifier);
    m_dragging = true;
    event->accept();
}

void TextEditingItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (!m_dragging) {
        event->ignore();
        return;
    }
    moveCaret(characterIndexForInsertionAtPoint(event->pos()), true);
}

void TextEditingItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (!m_dragging) {
        event->ignore();
        return;
    }
    m_dragging = false;
}

void TextEditingItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    if (!m_selectable || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const TextRange word = layout().wordRangeAt(characterIndexForInsertionAtPoint(event->pos()));
    setSelection(word.location, word.end());
    m_dragging = false;
}

void TextEditingItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    if (!m_editable) {
        event->ignore(); // the element's own menu, from the items below
        return;
    }
    QMenu* menu = menuForEvent(event);
    if (!menu) {
        event->ignore();
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->screenPos());
    event->accept();
}

QMenu* TextEditingItem::menuForEvent(QGraphicsSceneContextMenuEvent*)
{
    return nullptr;
}

void TextEditingItem::addSpellingSuggestions(QMenu* menu, qsizetype index)
{
    if (!menu || !m_storage || !m_editable)
        return;
    const auto mark = std::find_if(m_misspelled.begin(), m_misspelled.end(), [index](const TextRange& range) {
        return index >= range.location && index <= range.end();
    });
    if (mark == m_misspelled.end())
        return;
    const TextRange word = *mark;
    const QString misspelt = m_storage->string().mid(word.location, word.length);
    const QStringList guesses = SpellChecker::shared().suggestions(misspelt);
    if (guesses.isEmpty())
        return;
    QAction* first = menu->actions().value(0);
    for (const QString& guess : guesses) {
        auto* action = new QAction(guess, menu);
        QFont bold = action->font();
        bold.setBold(true);
        action->setFont(bold);
        menu->insertAction(first, action);
        connect(action, &QAction::triggered, this, [this, word, misspelt, guess] {
            // The text may have changed while the menu was open: only the same word is replaced.
            if (!m_storage || !m_editable || m_storage->string().mid(word.location, word.length) != misspelt)
                return;
            setSelection(word.location, word.end());
            insertText(guess);
        });
    }
    if (first)
        menu->insertSeparator(first);
}

void TextEditingItem::inputMethodEvent(QInputMethodEvent* event)
{
    if (!m_editable) {
        event->ignore();
        return;
    }
    if (!event->commitString().isEmpty())
        insertText(event->commitString());
    m_preedit = event->preeditString();
    update();
    event->accept();
}

QVariant TextEditingItem::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return m_editable;
    case Qt::ImCursorRectangle:
        return layout().caretRect(m_position).translated(m_inset.width(), m_inset.height());
    case Qt::ImSurroundingText:
        return m_storage ? m_storage->string() : QString();
    case Qt::ImCursorPosition:
        return int(m_position);
    case Qt::ImAnchorPosition:
        return int(m_anchor);
    case Qt::ImCurrentSelection:
        return selectedText();
    case Qt::ImFont:
        return FontSubstitution::fontForPostScriptName(
            m_typingAttributes.fontName.isEmpty() ? ZERI_MMObject_Text::defaultFontName() : m_typingAttributes.fontName,
            m_typingAttributes.fontSize > 0 ? m_typingAttributes.fontSize : ZERI_MMObject_Text::defaultFontSize());
    default:
        return QGraphicsObject::inputMethodQuery(query);
    }
}

void TextEditingItem::dragEnterEvent(QGraphicsSceneDragDropEvent* event)
{
    event->setAccepted(m_editable && event->mimeData() && event->mimeData()->hasText());
}

void TextEditingItem::dragMoveEvent(QGraphicsSceneDragDropEvent* event)
{
    event->setAccepted(m_editable && event->mimeData() && event->mimeData()->hasText());
}

void TextEditingItem::dropEvent(QGraphicsSceneDragDropEvent* event)
{
    if (!m_editable || !event->mimeData() || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    const qsizetype index = characterIndexForInsertionAtPoint(event->pos());
    setSelection(index, index);
    pasteAsPlainText(event->mimeData()->text());
    event->acceptProposedAction();
}

void TextEditingItem::focusInEvent(QFocusEvent* event)
{
    QGraphicsObject::focusInEvent(event);
    update();
}

void TextEditingItem::focusOutEvent(QFocusEvent* event)
{
    QGraphicsObject::focusOutEvent(event);
    update();
}

QVariant TextEditingItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSceneChange && scene())
        scene()->removeEventFilter(this);
    else if (change == ItemSceneHasChanged && scene())
        scene()->installEventFilter(this);
    return QGraphicsObject::itemChange(change, value);
}

bool TextEditingItem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == scene() && event->type() == QEvent::KeyPress && m_editable && hasFocus()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QGraphicsObject::eventFilter(watched, event);
}

void TextEditingItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*)
{
    paintContent(painter, true, option ? option->exposedRect : QRectF());
}

void TextEditingItem::paintContent(QPainter* painter, bool withEditingMarks, const QRectF& exposed) const
{
    const TextLayout& lines = layout();
    ZERI_MMObject_Text::drawTextLayout(painter, boundingRect(), 1.0, m_background, lines, exposed);
    if (!withEditingMarks || !m_editable)
        return;
    painter->save();
    painter->setClipRect(boundingRect(), Qt::IntersectClip);
    painter->translate(m_inset.width(), m_inset.height());
    const TextRange selection = selectedRange();
    if (m_selectable && selection.length > 0) {
        QColor highlight = QApplication::palette().color(QPalette::Highlight);
        highlight.setAlpha(90);
        for (const QRectF& rect : lines.selectionRects(selection))
            painter->fillRect(rect, highlight);
    }
    if (m_spellChecking) {
        for (const TextRange& mark : m_misspelled) {
            const qsizetype end = std::min(mark.end(), lines.textLength());
            if (mark.location >= end)
                continue;
            const QRectF first = lines.caretRect(mark.location);
            const QRectF last = lines.caretRect(end);
            if (qFuzzyCompare(first.y() + 1, last.y() + 1))
                drawWavyLine(painter, first.x(), last.x(), first.bottom() - 1);
        }
    }
    const QRectF caret = lines.caretRect(m_position);
    if (!m_preedit.isEmpty()) {
        // The input method's text in progress, at the caret, underlined; not part of the text.
        const TextAttributes& attributes = m_typingAttributes;
        const QFont font = FontSubstitution::fontForPostScriptName(
            attributes.fontName.isEmpty() ? ZERI_MMObject_Text::defaultFontName() : attributes.fontName,
            attributes.fontSize > 0 ? attributes.fontSize : ZERI_MMObject_Text::defaultFontSize());
        QFont underlined = font;
        underlined.setUnderline(true);
        const QFontMetricsF metrics(underlined);
        const QRectF box(caret.topLeft(), QSizeF(metrics.horizontalAdvance(m_preedit), caret.height()));
        painter->fillRect(box, m_background.isValid() ? m_background : QColor(Qt::white));
        painter->setFont(underlined);
        painter->setPen(attributes.foregroundColor.isValid() ? attributes.foregroundColor : QColor(Qt::black));
        painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, m_preedit);
    } else if (hasFocus() && selection.length == 0) {
        // The caret is one unit wide, less than a device pixel below 100 % zoom, and drawn without antialiasing
        // it would fall between pixels at some positions. It covers whole device pixels, at least one column.
        const QTransform toDevice = painter->deviceTransform();
        if (toDevice.isInvertible() && !toDevice.isRotating()) {
            const QRectF onDevice = toDevice.mapRect(caret);
            const qreal left = std::floor(onDevice.left());
            const qreal top = std::floor(onDevice.top());
            const QRectF pixels(left, top, std::max<qreal>(1.0, std::round(onDevice.width())),
                                std::max<qreal>(1.0, std::ceil(onDevice.bottom()) - top));
            // What is left of the device transform without the world's: the device pixel ratio, an offset.
            painter->setWorldTransform(QTransform());
            painter->fillRect(painter->deviceTransform().inverted().mapRect(pixels), insertionPointColor());
        } else {
            painter->fillRect(caret, insertionPointColor());
        }
    }
    painter->restore();
}
