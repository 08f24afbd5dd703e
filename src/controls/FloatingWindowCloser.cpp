#include "controls/FloatingWindowCloser.h"

#include <QEvent>
#include <QPalette>
#include <QShortcut>
#include <QToolButton>
#include <QWidget>

FloatingWindowCloser* FloatingWindowCloser::install(QWidget* window, const QString& closeToolTip)
{
    if (!window)
        return nullptr;
    if (FloatingWindowCloser* existing = of(window))
        return existing;
    return new FloatingWindowCloser(window, closeToolTip);
}

FloatingWindowCloser* FloatingWindowCloser::of(const QWidget* window)
{
    return window ? window->findChild<FloatingWindowCloser*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

FloatingWindowCloser::FloatingWindowCloser(QWidget* window, const QString& closeToolTip)
    : QObject(window)
    , m_window(window)
{
    // A shortcut is matched before the key reaches the focused child, so a child with Escape handling of its own
    // (a colour dialog would reject and hide itself) never sees it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setObjectName(QStringLiteral("closeOnEscape"));
    connect(escape, &QShortcut::activated, window, &QWidget::close);
    m_escape = escape;
    // The Close key too: a window without a menu bar of its own has no File › Close to take it.
    auto* closeKey = new QShortcut(QKeySequence::Close, window); // every binding of the key: Ctrl+W and Ctrl+F4
    closeKey->setObjectName(QStringLiteral("closeOnCloseKey"));
    connect(closeKey, &QShortcut::activated, window, &QWidget::close);

    m_button = new QToolButton(window);
    m_button->setObjectName(QStringLiteral("floatingWindowCloseButton"));
    m_button->setText(QString(QChar(0x00D7)));
    m_button->setToolTip(closeToolTip);
    m_button->setAccessibleName(closeToolTip);
    m_button->setAutoRaise(true);
    m_button->setFocusPolicy(Qt::TabFocus);
    m_button->setFixedSize(kStripHeight - 2, kStripHeight - 2);
    connect(m_button, &QToolButton::clicked, window, &QWidget::close);

    QMargins margins = window->contentsMargins();
    margins.setTop(margins.top() + kStripHeight);
    window->setContentsMargins(margins);
    window->installEventFilter(this);
    place();
}

void FloatingWindowCloser::useLightButton()
{
    QPalette palette = m_button->palette();
    palette.setColor(QPalette::ButtonText, QColor(0xF2, 0xF2, 0xF2));
    palette.setColor(QPalette::WindowText, QColor(0xF2, 0xF2, 0xF2));
    m_button->setPalette(palette);
}

void FloatingWindowCloser::leaveEscapeToWindow()
{
    m_escape->setEnabled(false);
}

void FloatingWindowCloser::place()
{
    if (!m_window)
        return;
    m_button->move(m_window->width() - m_button->width() - 2, 1);
    m_button->raise();
}

bool FloatingWindowCloser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        place();
    return QObject::eventFilter(watched, event);
}
