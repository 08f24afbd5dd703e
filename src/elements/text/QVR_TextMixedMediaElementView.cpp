#include "elements/text/QVR_TextMixedMediaElementView.h"

#include <algorithm>
#include <cmath>

#include "elements/text/QVRTextMMObjTextView.h"
#include "elements/text/QVR_TextHelperUtils.h"
#include "elements/text/TextLogging.h"
#include "foundation/BlockTimer.h"
#include "foundation/ZeroingWeakReference.h"
#include "strings/UFM.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/TextLayout.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

double s_typingPauseSeconds = QVR_TextMixedMediaElementView::kTypingPauseSeconds;

bool isFiniteRect(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) &&
           std::isfinite(rect.height());
}

// The point size the view draws at, kept to sizes a layout can handle.
double drawablePointSize(double pointSize)
{
    if (!std::isfinite(pointSize) || pointSize < QVR_TextMixedMediaElementView::kMinimumPointSize ||
        pointSize > QVR_TextMixedMediaElementView::kMaximumPointSize) {
        const double clamped = std::isfinite(pointSize)
                                   ? std::clamp(pointSize, QVR_TextMixedMediaElementView::kMinimumPointSize,
                                                QVR_TextMixedMediaElementView::kMaximumPointSize)
                                   : QVR_TextMixedMediaElementView::kMinimumPointSize;
        qCWarning(lcText) << "plain text view: point size" << pointSize << "drawn at" << clamped;
        return clamped;
    }
    return pointSize;
}

// The object's plain properties as the attributes of one run.
TextAttributes plainAttributes(const ZERI_MMObject_Text& object, double pointSize)
{
    TextAttributes attributes;
    attributes.fontName = object.fontName();
    attributes.fontSize = pointSize;
    attributes.foregroundColor = object.textColor();
    attributes.alignment = object.textAlignment();
    return attributes;
}

AttributedText plainText(const ZERI_MMObject_Text& object, double pointSize)
{
    return AttributedText(object.text(), plainAttributes(object, pointSize));
}

} // namespace

void QVR_TextMixedMediaElementView::setTypingPauseForTesting(double seconds)
{
    s_typingPauseSeconds = seconds;
}

QVR_TextMixedMediaElementView::QVR_TextMixedMediaElementView(const std::shared_ptr<ZERI_MMObject_Text>& object,
                                                             QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_object(object)
{
    if (!object)
        return;
    m_frame = QRectF(QPointF(0, 0), object->frame().size());
    const QSizeF pad = padding();
    const double size = drawablePointSize(object->fontSize());
    m_textView = new QVRTextMMObjTextView(std::make_shared<QVR_TextStorage>(plainText(*object, size)), this);
    m_textView->setPos(pad.width(), pad.height());
    m_textView->setSize(
        QSizeF(std::max(0.0, m_frame.width() - 2 * pad.width()), std::max(0.0, m_frame.height() - 2 * pad.height())));
    m_textView->setBackgroundColor(object->backgroundColor());
    m_textView->setTypingAttributes(plainAttributes(*object, size));
    m_textView->setContinuousSpellCheckingEnabled(true);
    m_textView->setEditable(false);
    m_textView->setSelectable(false);
    m_textView->onTextDidChange = [this] { textDidChange(); };

    const auto self = ZeroingWeakReference<QVR_TextMixedMediaElementView>::referenceWithObject(this);
    m_textChangedObserver = object->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>& keys) {
            if (auto* view = self.obj())
                view->objectDidChange(keys);
        },
        QStringList{QStringLiteral("text"), QStringLiteral("textAlignment"), QStringLiteral("font"),
                    QStringLiteral("textColor")});
    setAppropriatelyScaledTextProperties();
}

QVR_TextMixedMediaElementView::~QVR_TextMixedMediaElementView()
{
    onTextDidChange = {};
    m_textChangedObserver.reset();
    // A burst still open is closed, so the flow keeps no change that nobody will end.
    if (m_creatingUndoBlockFromTextEntry) {
        if (const auto flow = m_typingFlow.lock())
            flow->endUndoableChanges();
    }
    closeTypingChange();
    if (m_textView) {
        m_textView->onTextDidChange = {};
        delete m_textView;
        m_textView = nullptr;
    }
}

void QVR_TextMixedMediaElementView::paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*)
{
    // The text view draws the background and the text.
}

QSizeF QVR_TextMixedMediaElementView::padding() const
{
    const auto object = textObject();
    if (!object)
        return QSizeF(0, 0);
    return QSizeF(float(object->textViewXPadding()), float(object->textViewYPadding()));
}

double QVR_TextMixedMediaElementView::scale() const
{
    const auto object = textObject();
    if (!object)
        return 1;
    const double objectWidth = object->frame().width();
    if (!std::isfinite(objectWidth) || objectWidth <= 0)
        return 1;
    const float ratio = float(m_frame.width() / objectWidth);
    return std::isfinite(ratio) && ratio > 0 ? double(ratio) : 1.0;
}

void QVR_TextMixedMediaElementView::setFrame(const QRectF& frame)
{
    if (!isFiniteRect(frame)) {
        qCWarning(lcText) << "plain text view: frame refused" << frame;
        return;
    }
    const QRectF normalized(frame.topLeft(), QSizeF(std::max(0.0, frame.width()), std::max(0.0, frame.height())));
    if (normalized.size() != m_frame.size())
        prepareGeometryChange();
    m_frame = normalized;
    setPos(m_frame.topLeft());
    setAppropriatelyScaledTextProperties();
}

void QVR_TextMixedMediaElementView::applyObjectAttributes(double pointSize)
{
    const auto object = textObject();
    if (!object || !m_textView)
        return;
    const std::shared_ptr<QVR_TextStorage> storage = m_textView->textStorage();
    const TextAttributes attributes = plainAttributes(*object, pointSize);
    if (storage->length() > 0) {
        const auto current = storage->attributesAtIndex(0);
        if (!current || *current != attributes || storage->attributedString().runs().size() != 1)
            storage->setAttributes(attributes, {0, storage->length()});
    }
    m_textView->setTypingAttributes(attributes);
}

void QVR_TextMixedMediaElementView::objectDidChange(const QSet<QString>& keys)
{
    const auto object = textObject();
    if (!object || !m_textView)
        return;
    const std::shared_ptr<QVR_TextStorage> storage = m_textView->textStorage();
    if (object->text() != storage->string()) {
        const qsizetype length = object->text().size();
        storage->setAttributedString(plainText(*object, drawablePointSize(object->fontSize() * scale())));
        const TextRange selection = m_textView->selectedRange();
        if (selection.end() > length)
            m_textView->setSelectedRange({length, 0});
    }
    // Alignment, font and colour all come in with the view's attributes; one re-measure covers them together.
    if (keys.contains(QStringLiteral("textAlignment")) || keys.contains(QStringLiteral("font")) ||
        keys.contains(QStringLiteral("textColor")))
        setAppropriatelyScaledTextProperties();
}

void QVR_TextMixedMediaElementView::setEditable(bool editable)
{
    m_editable = editable;
    const auto object = textObject();
    if (!m_textView || !object)
        return;
    const qsizetype length = m_textView->textStorage()->length();
    if (editable) {
        m_textView->setEditable(true);
        m_textView->setSelectable(true);
        m_textView->setFocus(Qt::OtherFocusReason);
        // A theme text is replaced as a whole by the first keystroke; another keeps its selection.
        if (object->isThemeText())
            m_textView->setSelectedRange({0, length});
    } else {
        if (m_textView->hasFocus())
            m_textView->clearFocus();
        m_textView->setEditable(false);
        m_textView->setSelectable(false);
        m_textView->setSelectedRange({length, 0});
    }
    // The edge band of the text view follows the editing state.
    m_textView->update();
}

void QVR_TextMixedMediaElementView::attemptToPlaceInsertionCursorAtPosition(const QPointF& point)
{
    if (!m_textView || m_textView->selectedRange().length > 0)
        return;
    m_textView->setSelectedRange({m_textView->characterIndexForInsertionAtPoint(point), 0});
}

void QVR_TextMixedMediaElementView::textDidChange()
{
    const auto object = textObject();
    if (!object || !m_textView)
        return;
    if (onTextDidChange)
        onTextDidChange();
    // The undo snapshot is taken before the object takes the new text.
    if (!m_creatingUndoBlockFromTextEntry) {
        // Without a flow above the object (not placed yet) there is nothing to undo into; typing goes on.
        if (const auto flow = object->nearestParentItemOfClass<ZERI_FlowModel>()) {
            flow->beginUndoableChangesPagingToScreen(object->nearestParentItemOfClass<ZERI_FlowScreenModel>(), true);
            if (const auto action = flow->currentUndoableAction())
                action->setActionDescription(UFM::UNDO_MANAGER_TEXT_MODIFICATION_TAG());
            m_typingFlow = flow;
            m_didEndObservation =
                NotificationObservation(TessarineDataModelItem::kDidEndUndoableChangesNotification, flow.get(),
                                        [this](const Notification&) { flowModelUndoableChangesWillEnd(); });
            m_didCancelObservation =
                NotificationObservation(TessarineDataModelItem::kDidCancelUndoableChangesNotification, flow.get(),
                                        [this](const Notification&) { flowModelUndoableChangesWillCancel(); });
        }
        m_creatingUndoBlockFromTextEntry = true;
    }
    startOrResetTextEntryUndoableChangesTimer();
    applyObjectAttributes(drawablePointSize(object->fontSize()));
    object->setText(m_textView->textStorage()->string());
    object->setIsThemeText(false);
    setAppropriatelyScaledTextProperties();
}

void QVR_TextMixedMediaElementView::startOrResetTextEntryUndoableChangesTimer()
{
    if (m_textEntryUndoableChangesTimer)
        m_textEntryUndoableChangesTimer->stop();
    const auto self = ZeroingWeakReference<QVR_TextMixedMediaElementView>::referenceWithObject(this);
    m_textEntryUndoableChangesTimer = std::make_unique<BlockTimer>(
        [self] {
            auto* view = self.obj();
            if (!view || !view->m_creatingUndoBlockFromTextEntry)
                return;
            if (const auto flow = view->m_typingFlow.lock())
                flow->endUndoableChanges(); // its did-end closes the typing state
            view->closeTypingChange();
        },
        1, s_typingPauseSeconds, 0.0);
}

void QVR_TextMixedMediaElementView::flowModelUndoableChangesWillEnd()
{
    closeTypingChange();
}

void QVR_TextMixedMediaElementView::flowModelUndoableChangesWillCancel()
{
    closeTypingChange();
}

void QVR_TextMixedMediaElementView::closeTypingChange()
{
    // The timer may be the caller: it allows being destroyed from inside its block.
    if (m_textEntryUndoableChangesTimer) {
        m_textEntryUndoableChangesTimer->stop();
        m_textEntryUndoableChangesTimer.reset();
    }
    m_creatingUndoBlockFromTextEntry = false;
    m_typingFlow.reset();
    m_didEndObservation.reset();
    m_didCancelObservation.reset();
}

void QVR_TextMixedMediaElementView::setAppropriatelyScaledTextProperties()
{
    const auto object = textObject();
    if (!object || !m_textView)
        return;
    const QString fontName = object->fontName();
    const double pointSize = drawablePointSize(object->fontSize());
    const double multiple = QVR_TextHelperUtils::lineHeightMultipleToApproximateIOSTextViewsForFont(fontName);
    const TextFrameAttributes frameAttributes{multiple};
    const QSizeF pad = padding();

    // Measured at the column the text is drawn in, so a line that just fits the element keeps its place.
    const QRectF objectFrame = object->frame();
    const double column = objectFrame.width() - 2 * pad.width();
    const TextLayout measured(plainText(*object, pointSize), column, frameAttributes);
    const double lineHeight = TextLayout::lineHeightForFont(fontName, pointSize);
    double height = measured.usedRect().height();
    if (height <= 0)
        height = lineHeight;
    height += 2 * pad.height();
    // The empty line after a final line feed.
    if (object->text().endsWith(u'\n'))
        height += lineHeight;
    if (std::isfinite(height) && height != objectFrame.height())
        object->setFrame(QRectF(objectFrame.topLeft(), QSizeF(objectFrame.width(), height)));

    applyObjectAttributes(drawablePointSize(pointSize * scale()));
    m_textView->setFrameAttributes(frameAttributes);
    m_textView->setBackgroundColor(object->backgroundColor());
    m_textView->setPos(pad.width(), pad.height());
    m_textView->setSize(
        QSizeF(std::max(0.0, m_frame.width() - 2 * pad.width()), std::max(0.0, m_frame.height() - 2 * pad.height())));
    m_textView->update();
}
