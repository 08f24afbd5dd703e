#include "inspector/panels/QVRXYPaletteView.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QRegularExpression>

#include "inspector/TypedNumber.h"
#include "storage/MixedMediaObjectStorage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

// The entry's leading number, read as a 32-bit float the way the fields always have, with the locale's decimal
// separator or a dot; none when the text does not start with a number or the number does not fit ("-", ".", "1e999").
std::optional<double> leadingNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)"));
    const auto match = number.match(TypedNumber::withDotDecimal(text));
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = double(float(match.captured(0).trimmed().toDouble(&ok)));
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // No measure beyond what a document holds: the document would read it back smaller, and undo with it.
    return std::clamp(value, -ModelJsonReader::kLargestMeasure, ModelJsonReader::kLargestMeasure);
}

QString formatted(double value)
{
    return QString::asprintf("%.0f", value);
}

bool positiveFinite(double value)
{
    return std::isfinite(value) && value > 0;
}

// A size a document can hold: positive, finite and no larger than the document reader takes back.
bool holdableSize(QSizeF size)
{
    return positiveFinite(size.width()) && positiveFinite(size.height()) &&
           size.width() <= ModelJsonReader::kLargestMeasure && size.height() <= ModelJsonReader::kLargestMeasure;
}

bool holdableOffset(QSizeF offset)
{
    return std::isfinite(offset.width()) && std::isfinite(offset.height()) &&
           std::fabs(offset.width()) <= ModelJsonReader::kLargestMeasure &&
           std::fabs(offset.height()) <= ModelJsonReader::kLargestMeasure;
}

bool hasImageZoom(const ZERI_MixedMediaObjectProxy& proxy)
{
    return proxy->originalImageAsset() && positiveFinite(MixedMediaObjectStorage::shownZoomScale(*proxy.object()));
}

// The scale the palette shows and scales from: the picture's as drawn (a picture with only its original is drawn
// filling its frame); none for an object without a picture or a scale.
std::optional<double> startingZoomScale(const ZERI_MixedMediaObject& object)
{
    const double shown = MixedMediaObjectStorage::shownZoomScale(object);
    return positiveFinite(shown) ? std::optional(shown) : object.zoomScale();
}

} // namespace

XYPaletteTextField::XYPaletteTextField(QWidget* parent)
    : QLineEdit(parent)
{
    setStyleSheet(
        QStringLiteral("QLineEdit { background: qlineargradient(x1:0, y1:1, x2:0, y2:0, stop:0 rgb(61, 61, 61), "
                       "stop:1 rgb(82, 79, 82)); border: 1px solid rgb(54, 54, 54); border-radius: 4px; padding: 4px; "
                       "color: white; } QLineEdit:disabled { color: rgb(128, 128, 128); }"));
}

bool XYPaletteTextField::losesFocusToOwnMenu(Qt::FocusReason reason) const
{
    const QWidget* popup = QApplication::activePopupWidget();
    return reason == Qt::PopupFocusReason && popup && popup->parentWidget() == this;
}

QVRXYPaletteView::QVRXYPaletteView(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    static const char* const names[FieldCount] = {"x", "y", "width", "height", "percent"};
    for (int i = 0; i < FieldCount; ++i) {
        auto* field = new XYPaletteTextField(this);
        field->setObjectName(QString::fromLatin1(names[i]));
        field->setFixedWidth(i == PercentField ? 48 : 60);
        field->setEnabled(false);
        field->installEventFilter(this);
        layout->addWidget(field);
        m_fields[i] = field;
        // Editing begins with the first keystroke, not with focus.
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (m_editingField != i) {
                endEditing();
                beginEditing(i);
            }
            textChanged(i, text);
        });
        connect(field, &QLineEdit::editingFinished, this, [this, i] {
            if (m_editingField == i)
                endEditing();
        });
    }
    // A left press anywhere in the application ends a field's editing, and takes the focus from a field it does
    // not land on; the press goes on.
    qApp->installEventFilter(this);
}

QVRXYPaletteView::~QVRXYPaletteView()
{
    qApp->removeEventFilter(this);
    endEditing();
}

bool QVRXYPaletteView::eventFilter(QObject* watched, QEvent* event)
{

    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // A field's own menu (its Undo, Paste, ...) edits the field: the editing goes on through it.
        if (fieldMenuIsOpen())
            return QWidget::eventFilter(watched, event);
        // The press that lands on a field has given it the focus already: it keeps it and edits itself.
        for (auto* field : m_fields)
            if (field->hasFocus() && field != watched)
                field->clearFocus();
        if (m_editingField >= 0)
            endEditing();
    } else if (event->type() == QEvent::FocusOut && m_editingField >= 0 && watched == m_fields[m_editingField] &&
               !m_fields[m_editingField]->losesFocusToOwnMenu(static_cast<QFocusEvent*>(event)->reason())) {
        endEditing();
    }
    return QWidget::eventFilter(watched, event);
}

bool QVRXYPaletteView::fieldMenuIsOpen() const
{
    // A press while a popup is open goes to it (its window first), wherever it lands: outside, it closes the popup.
    const QWidget* popup = QApplication::activePopupWidget();
    if (!popup)
        return false;
    return std::any_of(std::begin(m_fields), std::end(m_fields),
                       [popup](const XYPaletteTextField* field) { return popup->parentWidget() == field; });
}

void QVRXYPaletteView::clearTracking()
{
    m_observer.reset();
    m_observed.reset();
    m_tracked.clear();
    m_constrainProportions = false;
    m_startRect = QRectF();
    m_startZoomScale.reset();
    m_startZoomOffset = QSizeF(0, 0);
    for (auto* field : m_fields) {
        field->setEnabled(false);
        field->clear();
    }
}

void QVRXYPaletteView::setTrackedMixedMediaObjects(
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects)
{
    if (objects == m_tracked)
        return;
    // An edit in progress ends on the objects it began with.
    endEditing();
    clearTracking();
    for (const auto& object : objects)
        if (object && object->object())
            m_tracked.push_back(object);
    if (m_tracked.empty())
        return;
    m_observed = m_tracked.front();
    QPointer<QVRXYPaletteView> self(this);
    m_observer = m_observed->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (self)
                self->respondToMMObjChange();
        },
        QStringList{QStringLiteral("frame"), QStringLiteral("zoomScale")});
    m_constrainProportions = true;
    m_fields[XField]->setEnabled(true);
    m_fields[YField]->setEnabled(true);
    if (m_tracked.size() == 1) {
        m_fields[WidthField]->setEnabled(true);
        m_fields[HeightField]->setEnabled(true);
        const int type = m_observed->type();
        if (type == ZERI_MixedMediaObject::Shape)
            m_constrainProportions = false;
        else if (type == ZERI_MixedMediaObject::Text)
            m_fields[HeightField]->setEnabled(false);
        else
            m_fields[PercentField]->setEnabled(true);
    }
    respondToMMObjChange();
}

void QVRXYPaletteView::setFieldText(int field, const QString& text)
{
    // The field being typed in keeps the user's text ("12." stays "12.").
    if (field == m_editingField)
        return;
    m_fields[field]->setText(text);
}

void QVRXYPaletteView::respondToMMObjChange()
{
    if (m_tracked.empty())
        return;
    const QRectF rect = ZERI_MixedMediaObject::rectContainingAllMMObjs(m_tracked);
    setFieldText(XField, formatted(rect.x()));
    setFieldText(YField, formatted(rect.y()));
    setFieldText(WidthField, formatted(rect.width()));
    setFieldText(HeightField, formatted(rect.height()));
    if (m_fields[PercentField]->isEnabled())
        setFieldText(PercentField,
                     QString::asprintf("%2.0f", startingZoomScale(*m_observed->object()).value_or(0) * 100.0));
    else
        setFieldText(PercentField, QString());
}

bool QVRXYPaletteView::hasOpenChange() const
{
    const auto flow = m_openFlow.lock();
    const auto action = m_openAction.lock();
    return flow && action && flow->currentUndoableAction() == action;
}

void QVRXYPaletteView::beginEditing(int field)
{
    if (!m_observed || !m_observed->object())
        return;
    m_editingField = field;
    m_wroteDuringEditing = false;
    const auto& object = m_observed->object();
    m_startRect = object->frame();
    m_startZoomScale = startingZoomScale(*object);
    m_startZoomOffset = object->zoomOffset();
    if (auto flow = object->nearestParentItemOfClass<ZERI_FlowModel>()) {
        flow->beginUndoableChangesPagingToScreen(object->parentFlowScreenModel());
        m_openFlow = flow;
        m_openAction = flow->currentUndoableAction();
        if (const auto action = m_openAction.lock())
            action->setActionDescription(field == XField || field == YField ? UFM::UNDO_MANAGER_MOVE_OBJECT_TAG()
                                                                            : UFM::UNDO_MANAGER_RESIZE_OBJECT_TAG());
    }
}

void QVRXYPaletteView::textChanged(int field, const QString& text)
{
    if (field != m_editingField || !m_observed || !m_observed->object())
        return;
    const auto entry = leadingNumber(text);
    if (text.isEmpty() || !entry)
        return;
    const double value = *entry;
    const auto& object = m_observed->object();
    const QRectF frame = object->frame();
    switch (field) {
    case XField:
    case YField: {
        const QRectF all = ZERI_MixedMediaObject::rectContainingAllMMObjs(m_tracked);
        const double dx = field == XField ? value - all.x() : 0.0;
        const double dy = field == YField ? value - all.y() : 0.0;
        for (const auto& tracked : m_tracked)
            if (tracked->object())
                tracked->object()->setFrame(tracked->object()->frame().translated(dx, dy));
        break;
    }
    case WidthField:
    case HeightField: {
        if (!positiveFinite(value))
            return;
        const bool width = field == WidthField;
        QSizeF size = frame.size();
        (width ? size.rwidth() : size.rheight()) = value;
        double factor = 0;
        if (m_constrainProportions && m_startRect.width() > 0 && m_startRect.height() > 0) {
            factor = width ? value / m_startRect.width() : value / m_startRect.height();
            if (width)
                size.setHeight(m_startRect.height() * factor);
            else
                size.setWidth(m_startRect.width() * factor);
        }
        if (!holdableSize(size) || (factor > 0 && !holdableOffset(m_startZoomOffset * factor)))
            return;
        object->setFrame(QRectF(frame.topLeft(), size));
        if (factor > 0 && m_startZoomScale && positiveFinite(*m_startZoomScale)) {
            object->setZoomScale(*m_startZoomScale * factor);
            object->setZoomOffset(m_startZoomOffset * factor);
        }
        break;
    }
    case PercentField: {
        const double percent = value / 100.0;
        if (!positiveFinite(percent) || !m_startZoomScale || !positiveFinite(*m_startZoomScale))
            return;
        const double q = percent / *m_startZoomScale;
        const QSizeF size = m_startRect.size() * q;
        if (!holdableSize(size) || !holdableOffset(m_startZoomOffset * q))
            return;
        object->setFrame(QRectF(frame.topLeft(), size));
        object->setZoomOffset(m_startZoomOffset * q);
        object->setZoomScale(percent);
        break;
    }
    default:
        return;
    }
    m_wroteDuringEditing = true;
    respondToMMObjChange();
}

void QVRXYPaletteView::endEditing()
{

    if (m_editingField < 0)
        return;
    const int field = m_editingField;
    const QString text = m_fields[field]->text();
    const bool keep = !text.isEmpty() && leadingNumber(text) && m_wroteDuringEditing;
    m_editingField = -1;
    m_wroteDuringEditing = false;
    const bool open = hasOpenChange();
    auto flow = m_openFlow.lock();
    m_openFlow.reset();
    m_openAction.reset();
    if (open) {
        if (keep)
            flow->endUndoableChanges();
        else
            flow->cancelUndoableChanges();
    }
    // A new size or zoom needs the picture cut again, once per edit.
    if (open && keep && field != XField && field != YField && m_observed && m_observed->object() &&
        hasImageZoom(*m_observed))
        MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(m_observed);
    respondToMMObjChange();
}
