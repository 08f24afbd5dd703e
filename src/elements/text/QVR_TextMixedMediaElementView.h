#pragma once

#include <functional>
#include <memory>

#include <QGraphicsObject>
#include <QRectF>

#include "platform/NotificationCenter.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class BlockTimer;
class QVRTextMMObjTextView;
class ZERI_FlowModel;
class ZERI_MMObject_Text;

// The plain text variant of a text element's view. It edits the text object's plain properties (text, font,
// alignment, colours) through a text view over a storage of its own, and scales the font with the view so the text
// keeps its line breaks at any zoom. Line spacing follows the per-font line-height table. It keeps the object's
// height that of its text measured at the column the text view draws in, and gathers a burst of typing into one
// undoable change of the flow, closed five seconds after the last keystroke or when another change begins.
// Main thread only.
class QVR_TextMixedMediaElementView : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr double kTypingPauseSeconds = 5.0;
    // Point sizes the text view draws at are kept within these bounds.
    static constexpr double kMinimumPointSize = 1;
    static constexpr double kMaximumPointSize = 1000;

    explicit QVR_TextMixedMediaElementView(const std::shared_ptr<ZERI_MMObject_Text>& object,
                                           QGraphicsItem* parent = nullptr);
    ~QVR_TextMixedMediaElementView() override;

    QVRTextMMObjTextView* textView() const { return m_textView; }
    std::shared_ptr<ZERI_MMObject_Text> textObject() const { return m_object.lock(); }

    // The view's rectangle in its parent's coordinates; a rectangle that is not finite is refused.
    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF& frame);

    bool editable() const { return m_editable; }
    void setEditable(bool editable);
    // With an empty selection, puts the caret at the index nearest to the point (text view coordinates).
    void attemptToPlaceInsertionCursorAtPosition(const QPointF& point);

    // Re-measures the object's height and sets the text view's font, line spacing and frame for the view's size.
    void setAppropriatelyScaledTextProperties();
    void startOrResetTextEntryUndoableChangesTimer();
    void flowModelUndoableChangesWillEnd();
    void flowModelUndoableChangesWillCancel();

    bool creatingUndoBlockFromTextEntry() const { return m_creatingUndoBlockFromTextEntry; }
    // Called first on every change the user makes to the text.
    std::function<void()> onTextDidChange;

    // The x and y padding of the text view inside the element, from the object's font size.
    QSizeF padding() const;
    // The scale from the object's size to the view's: the view's width over the object's, or 1 when either is not a
    // positive number.
    double scale() const;

    // The length of a typing pause that closes a burst (tests shorten it).
    static void setTypingPauseForTesting(double seconds);

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_frame.size()); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    void textDidChange();
    void objectDidChange(const QSet<QString>& keys);
    // Sets the view's text to one run in the object's font (at `pointSize`), text colour and alignment.
    void applyObjectAttributes(double pointSize);
    void closeTypingChange();

    std::weak_ptr<ZERI_MMObject_Text> m_object;
    QVRTextMMObjTextView* m_textView = nullptr;
    ObjectUpdateNotifierObserver m_textChangedObserver;
    QRectF m_frame;
    bool m_editable = false;
    bool m_creatingUndoBlockFromTextEntry = false;
    std::unique_ptr<BlockTimer> m_textEntryUndoableChangesTimer;
    std::weak_ptr<ZERI_FlowModel> m_typingFlow;
    NotificationObservation m_didEndObservation;
    NotificationObservation m_didCancelObservation;
};
