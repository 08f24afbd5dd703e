#include "inspector/pickers/QVRSizePicker.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QToolButton>

#include "foundation/FontSubstitution.h"
#include "foundation/Tessutils.h"

namespace {
constexpr int kMaximumTextLength = 16;

// The size a typed text names, or 0 when it names none.
int parseSize(const QString& text)
{
    if (text.size() > kMaximumTextLength * 4)
        return 0;
    const QLocale locale;
    bool ok = false;
    int value = locale.toInt(text.trimmed(), &ok);
    if (!ok) {
        QString compact = text;
        compact.remove(QLatin1Char(' '));
        value = locale.toInt(compact, &ok);
    }
    return ok ? value : 0;
}
} // namespace

QVRSizePicker::QVRSizePicker(QWidget* parent)
    : QWidget(parent)
{
    m_field = new QLineEdit(this);
    m_field->setFixedWidth(44);
    m_field->installEventFilter(this);
    m_arrow = new QToolButton(this);
    m_arrow->setArrowType(Qt::DownArrow);
    m_arrow->setAutoRaise(true);
    m_menu = new QMenu(this);
    m_menu->setFont(FontSubstitution::fontForPostScriptName(QStringLiteral("Helvetica-Bold"), 10));
    for (const QString& entry : Tessutils::defaultFontSizeList()) {
        QAction* action = m_menu->addAction(entry);
        const int size = entry.toInt();
        connect(action, &QAction::triggered, this, [this, size] { choose(size); });
    }
    connect(m_arrow, &QToolButton::clicked, this,
            [this] { m_menu->popup(m_field->mapToGlobal(QPoint(0, m_field->height()))); });
    connect(m_field, &QLineEdit::editingFinished, this, &QVRSizePicker::commitText);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_field);
    layout->addWidget(m_arrow);
    showSize();
}

void QVRSizePicker::setCurrentSize(int size)
{
    m_size = (size >= kMinimumSize && size <= kMaximumSize) ? size : 0;
    showSize();
}

void QVRSizePicker::showSize()
{
    m_field->setText(m_size > 0 ? QString::number(m_size) : QStringLiteral(" "));
}

void QVRSizePicker::commitText()
{
    const int size = parseSize(m_field->text());
    if (size < kMinimumSize || size > kMaximumSize || size == m_size) {
        showSize();
        return;
    }
    choose(size);
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
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            // Steps from the size shown; a blank field has none to step from.
            const int step = key->key() == Qt::Key_Up ? 1 : -1;
            const int next = m_size + step;
            if (m_size > 0 && next >= kMinimumSize && next <= kMaximumSize)
                choose(next);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
