#include "inspector/popovers/QVRTextMMObjToolbarPopoverController.h"

#include <algorithm>
#include <map>

#include "creator/TessarineThemeCatalogue.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "elements/text/FontList.h"
#include "elements/text/QVR_TextHelperUtils.h"
#include "elements/text/TextEditingItem.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "foundation/Tessutils.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/pickers/QVRFontPicker_v2.h"
#include "inspector/pickers/QVRSizePicker.h"
#include "inspector/popovers/CoalescedUndoStep.h"
#include "inspector/popovers/PopoverColorPickerButton.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/AttachedTextView.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {
constexpr double kFontProbeSize = 10;
const QString kFallbackFontName = QStringLiteral("Helvetica");
constexpr double kFallbackFontSize = 12;

std::map<QString, std::shared_ptr<FontList>>& fontListCache()
{
    static std::map<QString, std::shared_ptr<FontList>> cache;
    return cache;
}

bool makesFont(const QString& postScriptName)
{
    return !postScriptName.isEmpty() && !FontList::documentFontsForNames({postScriptName}, kFontProbeSize).empty();
}

bool isParagraphSeparator(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator;
}

// The whole paragraphs `range` touches, their separators included.
TextRange paragraphRange(const QString& text, TextRange range)
{
    const qsizetype length = text.size();
    qsizetype start = std::clamp<qsizetype>(range.location, 0, length);
    while (start > 0 && !isParagraphSeparator(text.at(start - 1)))
        --start;
    qsizetype end = std::clamp<qsizetype>(range.end(), start, length);
    if (range.length > 0 && end > start && isParagraphSeparator(text.at(end - 1)))
        return {start, end - start};
    while (end < length && !isParagraphSeparator(text.at(end)))
        ++end;
    if (end < length)
        ++end;
    return {start, end - start};
}
} // namespace

QVRTextMMObjToolbarPopoverController::QVRTextMMObjToolbarPopoverController(bool docked)
    : QVRMMObjToolbarPopoverBase(docked)
    , m_colorStep(new CoalescedUndoStep(this))
    , m_typedSizeStep(new CoalescedUndoStep(this))
{
}

QVRTextMMObjToolbarPopoverController::~QVRTextMMObjToolbarPopoverController()
{
    m_selectionObservation.reset();
    m_colorStep->close();
    m_typedSizeStep->close();
}

std::shared_ptr<FontList> QVRTextMMObjToolbarPopoverController::fontListForTheme(const QString& themeID)
{
    auto& cache = fontListCache();
    if (auto found = cache.find(themeID); found != cache.end())
        return found->second;
    QStringList names = TessarineThemeCatalogue::shared().themeFonts(themeID);
    if (names.isEmpty()) {
        names = Tessutils::allAvailableFonts();
        std::sort(names.begin(), names.end());
    }
    auto list = std::make_shared<FontList>();
    // Only names that make a font are offered; documents keep the PostScript names.
    list->setList(FontList::documentFontsForNames(names, kFontProbeSize));
    cache.emplace(themeID, list);
    return list;
}

void QVRTextMMObjToolbarPopoverController::clearFontListCache()
{
    fontListCache().clear();
}

QList<QColor> QVRTextMMObjToolbarPopoverController::colorListForTheme(const QString& themeID)
{
    QList<QColor> colors = TessarineThemeCatalogue::shared().themeColors(themeID);
    if (!colors.isEmpty())
        return colors;
    for (const QString& text : Tessutils::standardDefaultColorList())
        if (const auto color = ZERI_AppDataModelCenter::colorFromRGBHexString(text))
            colors.append(*color);
    return colors;
}

std::shared_ptr<ZERI_MMObject_Text> QVRTextMMObjToolbarPopoverController::textObject() const
{
    const auto object = mmobj();
    return object ? object->as<ZERI_MMObject_Text>() : nullptr;
}

AttachedTextView* QVRTextMMObjToolbarPopoverController::textViewAssociatedWithMMObject() const
{
    const auto text = textObject();
    return text ? text->currentAttachedTextView() : nullptr;
}

QRectF QVRTextMMObjToolbarPopoverController::sceneRectToKeepUncovered() const
{
    auto* item = dynamic_cast<TextEditingItem*>(textViewAssociatedWithMMObject());
    if (!item || !item->isEditable() || !item->scene())
        return {};
    const QRectF caret =
        item->layout().caretRect(item->selectedRange().end()).translated(item->inset().width(), item->inset().height());
    return item->mapRectToScene(QRectF(0, caret.top(), item->size().width(), caret.height()));
}

QWidget* QVRTextMMObjToolbarPopoverController::alignmentButton(int alignment) const
{
    switch (alignment) {
    case TextAttributes::Left:
        return m_leftButton;
    case TextAttributes::Center:
        return m_centerButton;
    case TextAttributes::Right:
        return m_rightButton;
    default:
        return nullptr;
    }
}

void QVRTextMMObjToolbarPopoverController::setMmobj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    m_textObserver.reset();
    QVRMMObjToolbarPopoverBase::setMmobj(object);
    if (!object)
        return;
    // Undo and other editors keep the controls true.
    QPointer<QVRTextMMObjToolbarPopoverController> self(this);
    m_textObserver = object->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (self && self->m_fontPicker)
                self->updateElementsToMatchTextPropertiesOfSelectedRangeTypingAttributes();
        },
        QStringLiteral("attributedString"));
}

void QVRTextMMObjToolbarPopoverController::followTextView()
{
    m_selectionObservation.reset();
    // A null sender would mean any text view's selection.
    if (const AttachedTextView* view = textViewAssociatedWithMMObject()) {
        QPointer<QVRTextMMObjToolbarPopoverController> self(this);
        m_selectionObservation =
            NotificationObservation(QVR_AttributedTextMixedMediaElementView::kTextViewDidChangeSelectionNotification,
                                    view, [self](const Notification&) {
                                        if (self)
                                            self->updateElementsToMatchTextPropertiesOfSelectedRangeTypingAttributes();
                                    });
    }
}

void QVRTextMMObjToolbarPopoverController::setupMMObjDefaultToolbarViews()
{
    QVRMMObjToolbarPopoverBase::setupMMObjDefaultToolbarViews();
    if (!m_dockButton || !m_linkButton || !m_forwardButton || !m_backButton)
        return;
    followTextView();
    const bool docked = isDocked();
    const AttachedTextView* view = textViewAssociatedWithMMObject();
    QPointer<QVRTextMMObjToolbarPopoverController> self(this);

    auto makeAlignButton = [&](const char* floating, const char* dockedName, const QString& tip, int alignment) {
        auto* button = toolBarButtonWithImageNamed(QString::fromLatin1(docked ? dockedName : floating), QString());
        button->setToolTip(tip);
        connect(button, &QAbstractButton::clicked, this, [this, alignment] { alignPressed(alignment); });
        return button;
    };
    m_leftButton = makeAlignButton("align-left", "left_align_icon", UFM::SAYS_LEFT_TEXT_ALIGN(), TextAttributes::Left);
    m_centerButton =
        makeAlignButton("align-center", "center_align_icon", UFM::SAYS_CENTER_TEXT_ALIGN(), TextAttributes::Center);
    m_rightButton =
        makeAlignButton("align-right", "right_align_icon", UFM::SAYS_RIGHT_TEXT_ALIGN(), TextAttributes::Right);
    handleEnablingOfAlignButtons();

    const QString themeID = getCurrentThemeID();
    m_fontList = fontListForTheme(themeID);
    auto* fontPicker = new QVRFontPicker_v2;
    fontPicker->setDocked(docked);
    fontPicker->setFontList(m_fontList.get());
    showFontContext(fontPicker, view);
    fontPicker->onFontChanged = [self](const QString& name) {
        if (self && !name.isEmpty())
            self->fontSelected(name);
    };
    m_fontPicker = fontPicker;

    auto* sizePicker = new QVRSizePicker;
    sizePicker->setDocked(docked);
    sizePicker->setCurrentSize(int(QVR_TextHelperUtils::fontSizeContextFromTextView(view)));
    sizePicker->onSizeChanged = [self](int size) {
        if (self)
            self->sizeAdjusted(size);
    };
    sizePicker->onEditingEnded = [self] {
        if (self)
            self->m_typedSizeStep->close();
    };
    m_sizePicker = sizePicker;

    auto* colorPicker = new QVRColorPicker;
    showColorContext(colorPicker, view);
    colorPicker->setColorList(colorListForTheme(themeID));
    colorPicker->onColorPicked = [self](const QColor& color) {
        if (self)
            self->colorPicked(color);
    };
    m_colorPicker = colorPicker;

    setToolbarViews(
        placedForDock({m_dockButton, spacerView(2), fontPicker, sizePicker, spacerView(6), dividerView(), m_leftButton,
                       m_centerButton, m_rightButton, dividerView(), PopoverColorPickerButton::make(colorPicker),
                       dividerView(), m_linkButton, m_forwardButton, m_backButton}));
}

void QVRTextMMObjToolbarPopoverController::dismissPopover(bool animated)
{
    m_colorStep->close();
    m_typedSizeStep->close();
    QVRMMObjToolbarPopoverBase::dismissPopover(animated);
}

TextRange QVRTextMMObjToolbarPopoverController::targetRange() const
{
    const AttachedTextView* view = textViewAssociatedWithMMObject();
    if (view && view->isEditable())
        return view->selectedRange();
    const auto text = textObject();
    return text ? TextRange{0, text->mutableAttributedString().length()} : TextRange{};
}

void QVRTextMMObjToolbarPopoverController::changeRuns(TextRange range,
                                                      const std::function<void(TextAttributes&)>& change)
{
    const auto text = textObject();
    if (!text || range.length <= 0)
        return;
    QVR_TextStorage& storage = text->mutableAttributedString();
    // The run ranges stay valid while attributes change: no characters are added or removed.
    const std::vector<AttributedText::Run> runs = storage.attributedString().runs();
    storage.beginEditing();
    for (const AttributedText::Run& run : runs) {
        const qsizetype start = std::max(run.range.location, range.location);
        const qsizetype end = std::min(run.range.end(), range.end());
        if (end <= start)
            continue;
        TextAttributes attributes = run.attributes;
        change(attributes);
        if (attributes != run.attributes)
            storage.setAttributes(attributes, {start, end - start});
    }
    storage.endEditing();
}

void QVRTextMMObjToolbarPopoverController::alignPressed(int alignment)
{
    const auto text = textObject();
    const auto flow = objectFlow();
    if (!text || !flow)
        return;
    const AttachedTextView* view = textViewAssociatedWithMMObject();
    TextRange range = targetRange();
    if (view && view->isEditable())
        range = paragraphRange(text->mutableAttributedString().string(), range);
    flow->beginUndoableChangesPagingToScreen(objectScreen());
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_TEXT_MODIFICATION_TAG());
    changeRuns(range, [alignment](TextAttributes& attributes) { attributes.alignment = alignment; });
    flow->endUndoableChanges();
    handleEnablingOfAlignButtons();
}

void QVRTextMMObjToolbarPopoverController::fontSelected(const QString& postScriptName)
{
    const auto text = textObject();
    const auto flow = objectFlow();
    if (!text || !flow || postScriptName.isEmpty())
        return;
    const bool exists = makesFont(postScriptName);
    flow->beginUndoableChangesPagingToScreen(objectScreen());
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_TEXT_MODIFICATION_TAG());
    if (AttachedTextView* view = textViewAssociatedWithMMObject()) {
        TextAttributes typing = view->typingAttributes();
        typing.fontName = exists ? postScriptName : kFallbackFontName;
        if (!exists || typing.fontSize <= 0)
            typing.fontSize = kFallbackFontSize;
        view->setTypingAttributes(typing);
    }
    // Each run keeps its own size.
    changeRuns(targetRange(),
               [&](TextAttributes& attributes) { attributes.fontName = exists ? postScriptName : QString(); });
    flow->endUndoableChanges();
}

void QVRTextMMObjToolbarPopoverController::sizeAdjusted(int size)
{
    AttachedTextView* view = textViewAssociatedWithMMObject();
    const auto flow = objectFlow();
    if (!view || !textObject() || !flow || size <= 0)
        return;
    // A size typed key by key ("1", "12") is one step, as a typed position is: it stays open until the field's
    // editing ends. A size chosen from the menu is a step of its own.
    const bool typed = m_sizePicker && m_sizePicker->isBeingTyped();
    if (typed) {
        m_typedSizeStep->touch(flow, objectScreen());
        m_typedSizeStep->closeTimer()->stop();
    } else {
        flow->beginUndoableChangesPagingToScreen(objectScreen());
    }
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_TEXT_MODIFICATION_TAG());
    TextAttributes typing = view->typingAttributes();
    typing.fontSize = size;
    view->setTypingAttributes(typing);
    // Each run keeps its own family.
    changeRuns(targetRange(), [size](TextAttributes& attributes) {
        if (!attributes.fontName.isEmpty())
            attributes.fontSize = size;
    });
    if (!typed)
        flow->endUndoableChanges();
}

void QVRTextMMObjToolbarPopoverController::colorPicked(const QColor& picked)
{
    const auto text = textObject();
    const auto flow = objectFlow();
    if (!text || !flow || !picked.isValid())
        return;
    const QColor color = picked.toRgb();
    AttachedTextView* view = textViewAssociatedWithMMObject();
    const TextRange range = targetRange();
    // The current colour of the target (or, for an empty selection, of the typing format) changes nothing.
    const bool typingOnly = range.length <= 0;
    std::optional<QColor> current;
    if (typingOnly && view)
        current = view->typingAttributes().foregroundColor;
    else if (!typingOnly)
        current = view ? QVR_TextHelperUtils::colorContextFromTextView(view, range) : std::nullopt;
    if (current && current->isValid() && current->toRgb() == color)
        return;
    m_colorStep->touch(flow, objectScreen());
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_TEXT_MODIFICATION_TAG());
    if (view) {
        TextAttributes typing = view->typingAttributes();
        typing.foregroundColor = color;
        view->setTypingAttributes(typing);
        view->setInsertionPointColor(color);
    }
    changeRuns(range, [&color](TextAttributes& attributes) { attributes.foregroundColor = color; });
}

void QVRTextMMObjToolbarPopoverController::updateElementsToMatchTextPropertiesOfSelectedRangeTypingAttributes()
{
    AttachedTextView* view = textViewAssociatedWithMMObject();
    // The caret shows the colour of the text it is in.
    if (view)
        view->setInsertionPointColor(QVR_TextHelperUtils::colorContextFromTextView(view).value_or(QColor(Qt::black)));
    if (m_fontPicker)
        showFontContext(m_fontPicker, view);
    if (m_colorPicker)
        showColorContext(m_colorPicker, view);
    if (m_sizePicker)
        m_sizePicker->setCurrentSize(int(QVR_TextHelperUtils::fontSizeContextFromTextView(view)));
    handleEnablingOfAlignButtons();
}

void QVRTextMMObjToolbarPopoverController::showFontContext(QVRFontPicker_v2* picker, const AttachedTextView* view)
{
    // Text of several fonts shows none, as the size box shows no size: never the family shown last.
    if (const auto name = QVR_TextHelperUtils::fontNameContextFromTextView(view)) {
        const auto fonts = FontList::documentFontsForNames({*name}, kFontProbeSize);
        if (!fonts.empty())
            picker->setSelectedFont(fonts.front());
    } else if (view) {
        picker->showNoFontChosen();
    }
}

void QVRTextMMObjToolbarPopoverController::showColorContext(QVRColorPicker* picker, const AttachedTextView* view)
{
    if (const auto color = QVR_TextHelperUtils::colorContextFromTextView(view))
        picker->setColor(*color);
    else if (view)
        picker->showMixedColors();
    else
        picker->setColor(Qt::black);
}

void QVRTextMMObjToolbarPopoverController::handleEnablingOfAlignButtons()
{
    for (QWidget* button : {m_leftButton.data(), m_centerButton.data(), m_rightButton.data()})
        if (button)
            button->setEnabled(true);
    const AttachedTextView* view = textViewAssociatedWithMMObject();
    if (!view)
        return;
    const quint64 alignment = QVR_TextHelperUtils::textAlignmentContextFromTextView(view);
    if (alignment == TextAttributes::Left || alignment == TextAttributes::Center || alignment == TextAttributes::Right)
        if (QWidget* button = alignmentButton(int(alignment)))
            button->setEnabled(false);
}
