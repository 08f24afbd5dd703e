#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "platform/EndOfTurn.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/AttributedText.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class BlockTimer;
class QVR_AttributedTextView;
class ZERI_ContentAsset;
class ZERI_FlowModel;
class ZERI_MMObject_Text;

// The view of a text object. It holds one attributed text view that edits the object's own text storage, so model
// and view share one store, and around it:
//  - it switches the text view's editing on and off when its container asks;
//  - it keeps the object's height that of its laid-out text (the width follows the view), measured once at the
//    end of the turn in which something changed;
//  - it gathers the changes of one burst of typing into one undoable change of the flow above the object, closed
//    two seconds after the last change, or when any other change begins on the flow;
//  - after editing and after each move or resize it renders the text into a PNG that becomes the object's cropped
//    image asset, which previews, PDF pages and peers draw instead of laying the text out again.
// In preview mode it changes nothing of the object. Main thread only.
class QVR_AttributedTextMixedMediaElementView : public QVR_VirtualMixedMediaElementView {
    Q_OBJECT
public:
    static constexpr double kTypingPauseSeconds = 2.0;
    static const QString kTextViewDidChangeSelectionNotification;

    explicit QVR_AttributedTextMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                     QGraphicsItem* parent = nullptr);
    ~QVR_AttributedTextMixedMediaElementView() override;

    QVR_AttributedTextView* textView() const { return m_textView; }
    std::shared_ptr<ZERI_MMObject_Text> textObject() const;

    bool editable() const { return m_editable; }
    void setEditable(bool editable);
    // With an empty selection, puts the caret at the index nearest to the point (text view coordinates).
    void attemptToPlaceInsertionCursorAtPosition(const QPointF& point);

    void setFrame(const QRectF& frame) override;
    void willBeginFrameChanges() override;
    void didEndFrameChanges() override;
    bool acceptsFirstMouse() const override { return true; }

    void textViewPropertiesWillChange();
    // Asks for a re-measure at the end of the turn.
    void textViewPropertiesDidChange();
    void makeACroppedAssetFromTextView();
    void startOrResetTextEntryUndoableChangesTimer();

    bool creatingUndoBlockFromTextEntry() const { return m_creatingUndoBlockFromTextEntry; }
    // The container's text-change block.
    std::function<void()> onTextDidChange;

    // The length of a typing pause that closes a burst (tests shorten it).
    static void setTypingPauseForTesting(double seconds);

public:
    void remeasure();

private:
    void closeTypingChange();
    void attachStorage();
    bool shouldChangeText(TextRange range, const QString& replacement);
    void textDidChange();
    void selectionDidChange();

    QVR_AttributedTextView* m_textView = nullptr;
    std::weak_ptr<ZERI_MMObject_Text> m_attachedObject;
    ObjectUpdateNotifierObserver m_textChangedObserver;
    bool m_editable = false;
    bool m_creatingUndoBlockFromTextEntry = false;
    std::unique_ptr<BlockTimer> m_textEntryUndoableChangesTimer;
    std::weak_ptr<ZERI_FlowModel> m_typingFlow;
    NotificationObservation m_didEndObservation;
    NotificationObservation m_didCancelObservation;
    EndOfTurnCoalescer m_remeasure;
    // The text and size the object's current picture shows; a re-measure keeps the picture while both hold.
    std::weak_ptr<ZERI_ContentAsset> m_pictureAsset;
    std::optional<AttributedText> m_pictureText;
    QSizeF m_pictureSize;
};
