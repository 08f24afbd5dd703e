#pragma once

#include <functional>
#include <memory>

#include <QPointer>

#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/pickers/QVRFontPicker_v2.h"
#include "inspector/pickers/QVRSizePicker.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/AttributedText.h"

class AttachedTextView;
class CoalescedUndoStep;
class FontList;
class ZERI_MMObject_Text;

// The popover of a text: font family and face, size, alignment and colour, applied to the selected text while
// the text is being edited (and to what is typed next), else to the whole text. The controls follow the text
// view's selection.
class QVRTextMMObjToolbarPopoverController : public QVRMMObjToolbarPopoverBase {
    Q_OBJECT
public:
    explicit QVRTextMMObjToolbarPopoverController(bool docked);
    ~QVRTextMMObjToolbarPopoverController() override;

    void setupMMObjDefaultToolbarViews() override;
    void setMmobj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) override;
    void dismissPopover(bool animated) override;

    AttachedTextView* textViewAssociatedWithMMObject() const;
    QVRFontPicker_v2* fontPicker() const { return m_fontPicker; }
    QVRSizePicker* sizePicker() const { return m_sizePicker; }
    QVRColorPicker* colorPicker() const { return m_colorPicker; }
    QWidget* alignmentButton(int alignment) const;
    CoalescedUndoStep* colorStep() const { return m_colorStep; }
    // The one step of a size typed into the size field, open until the field's editing ends.
    CoalescedUndoStep* typedSizeStep() const { return m_typedSizeStep; }

    // The edits. Alignment in TextAttributes numbers; each is one undo step, quick colour picks sharing one.
    void alignPressed(int alignment);
    void fontSelected(const QString& postScriptName);
    void sizeAdjusted(int size);
    void colorPicked(const QColor& color);

    void updateElementsToMatchTextPropertiesOfSelectedRangeTypingAttributes();
    void handleEnablingOfAlignButtons();

    // The fonts offered for a theme: its own, else every installed font, keeping those that make a font. Kept per
    // theme id.
    static std::shared_ptr<FontList> fontListForTheme(const QString& themeID);
    static void clearFontListCache();
    // The text colours offered for a theme: its own, else the standard defaults.
    static QList<QColor> colorListForTheme(const QString& themeID);

protected:
    // While the text is edited: the line holding the caret, across the text view.
    QRectF sceneRectToKeepUncovered() const override;

private:
    std::shared_ptr<ZERI_MMObject_Text> textObject() const;
    // The selection while the text is edited, else the whole text.
    TextRange targetRange() const;
    // Calls `change` on a copy of each run's attributes over `range` and stores the result, as one storage edit.
    void changeRuns(TextRange range, const std::function<void(TextAttributes&)>& change);
    void followTextView();
    // The font and colour of the text the popover acts on, or, where it holds several, none.
    static void showFontContext(QVRFontPicker_v2* picker, const AttachedTextView* view);
    static void showColorContext(QVRColorPicker* picker, const AttachedTextView* view);

    std::shared_ptr<FontList> m_fontList;
    QPointer<QVRFontPicker_v2> m_fontPicker;
    QPointer<QVRSizePicker> m_sizePicker;
    QPointer<QVRColorPicker> m_colorPicker;
    QPointer<QWidget> m_leftButton;
    QPointer<QWidget> m_centerButton;
    QPointer<QWidget> m_rightButton;
    CoalescedUndoStep* m_colorStep;
    CoalescedUndoStep* m_typedSizeStep;
    NotificationObservation m_selectionObservation;
    ObjectUpdateNotifierObserver m_textObserver;
};
