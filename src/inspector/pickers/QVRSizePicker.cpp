#include "inspector/pickers/QVRSizePicker.h"

#include <optional>

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>

#include "controls/QVR_StretchableBorderView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "foundation/FontSubstitution.h"
#include "foundation/Tessutils.h"
#include "inspector/TypedNumber.h"
#include "inspector/pickers/QVRFontPicker_v2.h"

namespace {
constexpr int kMaximumTextLength = 64;

QFont pickerFont()
{
    return FontSubstitution::fontForPostScriptName(QStringLiteral("Helvetica-Bold"), 10);
}

// The whole number a text names, if any: the locale's digits and grouping; a decimal separator ends the number.
std::optional<int> wholeNumber(const QString& text)
{
    if (text.size() > kMaximumTextLength)
        return std::nullopt;
    bool ok = false;
    const int value = QLocale().toInt(TypedNumber::wholePart(text), &ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

QVRSizePicker::QVRSizePicker(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(kPickerSize);
    m_field = new QLineEdit(this);
    m_field->setFont(pickerFont());
    m_field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_field->installEventFilter(this);
    m_arrow = new QVR_ToolbarButton(this);
    m_arrow->setIconImage(QVRFontPicker_v2::arrowIcon(QColor(0x80, 0x80, 0x80)), QSize(8, 5));
    m_menu = new QMenu(this);
    m_menu->setFont(pickerFont());
    for (const QString& entry : Tessutils::defaultFontSizeList()) {
        QAction* action = m_menu->addAction(entry);
        const int size = entry.toInt();
        connect(action, &QAction::triggered, this, [this, size] { choose(size); });
    }
    connect(m_arrow, &QAbstractButton::clicked, this,
            [this] { m_menu->popup(m_field->mapToGlobal(QPoint(0, m_field->height()))); });
    connect(m_field, &QLineEdit::textEdited, this, &QVRSizePicker::textEdited);
    // Whatever is left in the field when editing ends shows the size again.
    connect(m_field, &QLineEdit::editingFinished, this, [this] {
        showSize();
        if (const auto ended = onEditingEnded)
            ended();
    });
    setDocked(true);
    showSize();
}

void QVRSizePicker::layoutViews()
{
    // The arrow at the right end, centred; the field to its left, running 2 points under it.
    const int inset = m_docked ? 2 : 0;
    const QRect arrow(kPickerSize.width() - kArrowSize.width(), (kPickerSize.height() - kArrowSize.height()) / 2,
                      kArrowSize.width(), kArrowSize.height());
    m_arrow->setGeometry(arrow);
    m_field->setGeometry(inset, arrow.y(), kPickerSize.width() - kArrowSize.width() + 2 - inset, arrow.height());
    m_arrow->raise();
    if (m_floatingBorder) {
        m_floatingBorder->setGeometry(0, arrow.y(), arrow.right() + 1, arrow.height());
        m_floatingBorder->lower();
    }
}

void QVRSizePicker::setDocked(bool docked)
{
    m_docked = docked;
    const QString border =
        docked ? QStringLiteral("1px solid #%1").arg(kDockedBorderColor & 0xffffff, 6, 16, QLatin1Char('0'))
               : QStringLiteral("none");
    const QColor ink = Tessutils::tessarineBlackColor();
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: white; color: %1; border: %2; "
                                          "border-radius: %3px; padding: 0px 2px; }")
                               .arg(ink.name(QColor::HexArgb), border)
                               .arg(docked ? 1 : 2));
    if (docked) {
        delete m_floatingBorder;
    } else if (!m_floatingBorder) {
        m_floatingBorder = new QVR_StretchableBorderView(QRect(), false, this);
        m_floatingBorder->show();
    }
    layoutViews();
}

void QVRSizePicker::setCurrentSize(int size)
{
    m_size = size;
    // The text's change notice comes a turn after the size typed here was applied: the field keeps what is being
    // typed ("12." stays) while it names that size.
    if (m_field->hasFocus() && wholeNumber(m_field->text()) == std::optional<int>(size))
        return;
    showSize();
}

bool QVRSizePicker::isBeingTyped() const
{
    return m_field->hasFocus();
}

void QVRSizePicker::showSize()
{
    const QString shown = m_size != 0 ? QString::number(m_size) : QStringLiteral(" ");
    if (m_field->text() != shown)
        m_field->setText(shown);
}

void QVRSizePicker::textEdited(const QString& text)
{
    std::optional<int> size = wholeNumber(text);
    // A blank field holds a single space: what is typed beside it still counts.
    if (!size && m_size == 0) {
        QString compact = text;
        compact.remove(QLatin1Char(' '));
        size = wholeNumber(compact);
    }
    if (!size || !isAllowableSizeValue(*size)) {
        showSize();
        return;
    }
    // A fraction typed after the size stays in the field, ignored, until editing ends.
    if (TypedNumber::wholePart(text) != text) {
        if (*size != m_size) {
            m_size = *size;
            if (onSizeChanged)
                onSizeChanged(*size);
        }
        return;
    }
    choose(*size);
}

void QVRSizePicker::choose(int size)
{
    m_size = size;
    showSize();
    if (onSizeChanged)
        onSizeChanged(size);
}

bool QVRSizePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::ShortcutOverride) {
        // Up and Down step the size here, before any shortcut of the window (moving the selection) takes them.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) && key->modifiers() == Qt::NoModifier) {
            key->accept();
            return true;
        }
    }
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            // A blank field stands for several sizes at once: there is no size to step from.
            if (m_size != 0) {
                if (key->key() == Qt::Key_Up && m_size < kMaximumSize)
                    choose(m_size + 1);
                else if (key->key() == Qt::Key_Down && m_size > kMinimumSize)
                    choose(m_size - 1);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
