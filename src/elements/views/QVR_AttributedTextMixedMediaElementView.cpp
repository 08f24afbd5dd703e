#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"

#include <QBuffer>
#include <QPainter>

#include "elements/images/ImageUtils.h"
#include "elements/text/QVR_AttributedTextView.h"
#include "elements/views/ElementsLogging.h"
#include "foundation/BlockTimer.h"
#include "foundation/Tessutils.h"
#include "foundation/ZeroingWeakReference.h"
#include "storage/ContentAssetStorage.h"
#include "storage/MixedMediaObjectStorage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

const QString QVR_AttributedTextMixedMediaElementView::kTextViewDidChangeSelectionNotification =
    QStringLiteral("textViewDidChangeSelectionNotification");

namespace {
double s_typingPauseSeconds = QVR_AttributedTextMixedMediaElementView::kTypingPauseSeconds;
}

void QVR_AttributedTextMixedMediaElementView::setTypingPauseForTesting(double seconds)
{
    s_typingPauseSeconds = seconds;
}

QVR_AttributedTextMixedMediaElementView::QVR_AttributedTextMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_VirtualMixedMediaElementView(object, parent)
    , m_remeasure([this] { remeasure(); })
{
    const auto text = textObject();
    if (!text)
        return;
    m_textView = new QVR_AttributedTextView(text->textStorage(), this);
    m_textView->setSize(bounds().size());
    m_textView->setBackgroundColor(text->backgroundColor());
    const auto self = ZeroingWeakReference<QVR_AttributedTextMixedMediaElementView>::referenceWithObject(this);
    m_textView->onTextWillChange = [self](TextEditingItem&) {
        if (auto* view = self.obj())
            view->textViewPropertiesWillChange();
    };
    m_textView->shouldChangeText = [this](TextRange range, const QString& replacement) {
        return shouldChangeText(range, replacement);
    };
    m_textView->onTextDidChange = [this] { textDidChange(); };
    m_textView->onSelectionDidChange = [this] { selectionDidChange(); };
    text->registerAttachedTextView(m_textView);
    m_attachedObject = text;
    m_textChangedObserver = object->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (auto* view = self.obj()) {
                view->attachStorage();
                view->textViewPropertiesDidChange();
            }
        },
        QStringLiteral("attributedString"));
}

QVR_AttributedTextMixedMediaElementView::~QVR_AttributedTextMixedMediaElementView()
{
    m_remeasure.cancel();
    m_textChangedObserver.reset();
    m_didEndObservation.reset();
    m_didCancelObservation.reset();
    // A burst still open is closed, so the flow keeps no change that nobody will end.
    if (m_creatingUndoBlockFromTextEntry) {
        if (const auto flow = m_typingFlow.lock())
            flow->endUndoableChanges();
    }
    closeTypingChange();
    if (m_textView) {
        m_textView->onTextWillChange = {};
        m_textView->shouldChangeText = {};
        m_textView->onTextDidChange = {};
        m_textView->onSelectionDidChange = {};
        // The object may have been replaced behind the proxy; unregister wherever the view is attached.
        if (const auto text = textObject())
            text->unregisterAttachedTextView(m_textView);
        if (const auto attached = m_attachedObject.lock())
            attached->unregisterAttachedTextView(m_textView);
        delete m_textView;
        m_textView = nullptr;
    }
}

std::shared_ptr<ZERI_MMObject_Text> QVR_AttributedTextMixedMediaElementView::textObject() const
{
    const auto proxy = mixedMediaObject();
    return proxy ? proxy->as<ZERI_MMObject_Text>() : nullptr;
}

void QVR_AttributedTextMixedMediaElementView::attachStorage()
{
    const auto text = textObject();
    if (!text || !m_textView)
        return;
    // An undo back to a text without attributes replaces the object's storage; follow the new one.
    if (text->textStorage() != m_textView->textStorage())
        m_textView->setTextStorage(text->textStorage());
    m_textView->setBackgroundColor(text->backgroundColor());
}

void QVR_AttributedTextMixedMediaElementView::setEditable(bool editable)
{
    const bool wasEditable = m_editable;
    m_editable = editable;
    const auto text = textObject();
    if (!m_textView || !text)
        return;
    attachStorage();
    const qsizetype length = m_textView->textStorage() ? m_textView->textStorage()->length() : 0;
    if (editable) {
        m_textView->setEditable(true);
        m_textView->setSelectable(true);
        text->registerAttachedTextView(m_textView); // the view being edited takes over
        m_textView->setFocus(Qt::OtherFocusReason);
        // A theme text is replaced as a whole by the first keystroke.
        m_textView->setSelectedRange(text->isThemeText() ? TextRange{0, length} : TextRange{length, 0});
    } else {
        if (m_textView->hasFocus())
            m_textView->clearFocus();
        m_textView->setEditable(false);
        m_textView->setSelectable(false);
        m_textView->setSelectedRange({length, 0});
        if (wasEditable)
            makeACroppedAssetFromTextView();
    }
}

void QVR_AttributedTextMixedMediaElementView::attemptToPlaceInsertionCursorAtPosition(const QPointF& point)
{
    if (!m_textView || m_textView->selectedRange().length > 0)
        return;
    const qsizetype index = m_textView->characterIndexForInsertionAtPoint(point);
    m_textView->setSelectedRange({index, 0});
}

void QVR_AttributedTextMixedMediaElementView::setFrame(const QRectF& frame)
{
    QVR_VirtualMixedMediaElementView::setFrame(frame);
    if (!m_textView)
        return;
    m_textView->setSize(frame.size());
    const auto text = textObject();
    if (text && frame.size() != text->frame().size())
        textViewPropertiesDidChange();
}

void QVR_AttributedTextMixedMediaElementView::willBeginFrameChanges()
{
    const auto proxy = mixedMediaObject();
    const auto text = textObject();
    if (!text || isPreviewMode())
        return;
    m_pictureText.reset();
    if (text->croppedImageAsset())
        MixedMediaObjectStorage::setCroppedImageAsset(proxy, nullptr);
}

void QVR_AttributedTextMixedMediaElementView::didEndFrameChanges()
{
    makeACroppedAssetFromTextView();
}

void QVR_AttributedTextMixedMediaElementView::textViewPropertiesWillChange()
{
    const auto text = textObject();
    if (!text)
        return;
    if (!m_creatingUndoBlockFromTextEntry) {
        // Without a flow above the object (not placed yet) there is nothing to undo into; typing goes on.
        if (const auto flow = text->nearestParentItemOfClass<ZERI_FlowModel>()) {
            flow->beginUndoableChangesPagingToScreen(text->nearestParentItemOfClass<ZERI_FlowScreenModel>(), true);
            if (const auto action = flow->currentUndoableAction())
                action->setActionDescription(UFM::UNDO_MANAGER_TEXT_MODIFICATION_TAG());
            m_typingFlow = flow;
            m_didEndObservation =
                NotificationObservation(TessarineDataModelItem::kDidEndUndoableChangesNotification, flow.get(),
                                        [this](const Notification&) { closeTypingChange(); });
            m_didCancelObservation =
                NotificationObservation(TessarineDataModelItem::kDidCancelUndoableChangesNotification, flow.get(),
                                        [this](const Notification&) { closeTypingChange(); });
        }
        m_creatingUndoBlockFromTextEntry = true;
    }
    startOrResetTextEntryUndoableChangesTimer();
    if (!isPreviewMode())
        text->setIsThemeText(false);
}

void QVR_AttributedTextMixedMediaElementView::startOrResetTextEntryUndoableChangesTimer()
{
    if (m_textEntryUndoableChangesTimer)
        m_textEntryUndoableChangesTimer->stop();
    const auto self = ZeroingWeakReference<QVR_AttributedTextMixedMediaElementView>::referenceWithObject(this);
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

void QVR_AttributedTextMixedMediaElementView::closeTypingChange()
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

void QVR_AttributedTextMixedMediaElementView::textViewPropertiesDidChange()
{
    m_remeasure.request();
}

void QVR_AttributedTextMixedMediaElementView::remeasure()
{
    const auto proxy = mixedMediaObject();
    const auto text = textObject();
    if (!text || isPreviewMode())
        return;
    const double width = bounds().width();
    const QRectF used = text->layoutManagerUsedRectForWidth(float(width));
    const double height =
        used == QRectF() ? text->frame().height() : used.height() + 2 * ZERI_MMObject_Text::textContainerInsetHeight();
    const QRectF target = TessutilsIntegralRectInside(QRectF(text->frame().topLeft(), QSizeF(width, height)));
    // A picture this view did not make came with the object's state (a document read, an undo): it shows the
    // text and size it came with.
    if (const auto picture = text->croppedImageAsset(); picture && picture != m_pictureAsset.lock()) {
        m_pictureAsset = picture;
        m_pictureText = text->attributedString();
        m_pictureSize = text->frame().size();
    }
    // The picture goes only when it no longer shows the text at its size; merely showing or re-measuring an
    // unchanged text keeps it (and leaves the document unchanged).
    if (!m_pictureText || *m_pictureText != text->attributedString() || m_pictureSize != target.size()) {
        m_pictureText.reset();
        if (text->croppedImageAsset())
            MixedMediaObjectStorage::setCroppedImageAsset(proxy, nullptr);
    }
    if (target.size() != text->frame().size())
        text->setFrame(target);
}

void QVR_AttributedTextMixedMediaElementView::makeACroppedAssetFromTextView()
{
    const auto proxy = mixedMediaObject();
    const auto text = textObject();
    if (!text || !m_textView || isPreviewMode())
        return;
    const QSizeF size = text->frame().size();
    const QSize pixels = MixedMediaObjectStorage::croppedPixelSize(size, 1);
    const QString folder = text->assetStoragePath();
    if (pixels.isEmpty() || folder.isEmpty()) {
        qCWarning(lcElements) << "no picture for the text object" << text->internalID()
                              << (pixels.isEmpty() ? "of zero size" : "without an asset folder");
        return;
    }
    QImage image = ImageUtils::createCGBitmapContextWithWidth(quint64(pixels.width()), quint64(pixels.height()));
    if (image.isNull()) {
        qCWarning(lcElements) << "no bitmap for the picture of the text object" << text->internalID();
        return;
    }
    {
        // The text as the model draws it: no caret, selection, pre-edit or spelling marks.
        QPainter painter(&image);
        const TextLayout layout(text->attributedString(),
                                size.width() - 2 * ZERI_MMObject_Text::textContainerInsetWidth());
        ZERI_MMObject_Text::drawTextLayout(&painter, QRectF(QPointF(0, 0), size), 1.0, text->backgroundColor(), layout);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        qCWarning(lcElements) << "the picture of the text object" << text->internalID() << "could not be encoded";
        return;
    }
    const auto asset = ZERI_ContentAsset::create();
    Error error;
    if (!ContentAssetStorage::storeData(*asset, png, folder, Tessutils::generateUniversalID() + QStringLiteral(".png"),
                                        &error)) {
        qCWarning(lcElements) << "the picture of the text object" << text->internalID()
                              << "could not be stored:" << error.message;
        return;
    }
    MixedMediaObjectStorage::setCroppedImageAsset(proxy, asset);
    m_pictureAsset = asset;
    m_pictureText = text->attributedString();
    m_pictureSize = size;
}

bool QVR_AttributedTextMixedMediaElementView::shouldChangeText(TextRange, const QString& replacement)
{
    if (!replacement.startsWith(u'\t'))
        return true;
    // A tab becomes four spaces; the rest of a pasted text that began with one comes in after them.
    m_textView->insertText(QStringLiteral("    ") + replacement.mid(1));
    return false;
}

void QVR_AttributedTextMixedMediaElementView::textDidChange()
{
    if (onTextDidChange)
        onTextDidChange();
    textViewPropertiesDidChange();
}

void QVR_AttributedTextMixedMediaElementView::selectionDidChange()
{
    if (!m_textView || !m_textView->isEditable() || !m_textView->isSelectable())
        return;
    NotificationCenter::defaultCenter().post(kTextViewDidChangeSelectionNotification,
                                             static_cast<const AttachedTextView*>(m_textView));
}
