#include "controls/FittingPanelArea.h"

#include <QApplication>
#include <QStyle>

FittingPanelArea::FittingPanelArea(QWidget* panel, QWidget* parent)
    : QScrollArea(parent)
    , m_panel(panel)
{
    setObjectName(QStringLiteral("fittingPanelArea"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignCenter);
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Only the panel draws: what lies around it (a dimming layer) shows through.
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QScrollArea#fittingPanelArea { background: transparent; }"));
    viewport()->setAutoFillBackground(false);
    if (panel)
        setWidget(panel);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { keepFocusVisible(now); });
}

QWidget* FittingPanelArea::releasePanel(QWidget* newParent)
{
    QWidget* panel = m_panel ? takeWidget() : nullptr;
    m_panel = nullptr;
    if (panel)
        panel->setParent(newParent);
    return panel;
}

void FittingPanelArea::placeWithin(const QRect& area, Qt::Alignment alignment)
{
    QSize wanted = m_panel ? m_panel->size() : QSize();
    // Room for the scroll bar beside the panel, so that scrolling one way does not make it scroll the other.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool tall = wanted.height() > area.height();
    if (tall)
        wanted.rwidth() += bar;
    const bool wide = wanted.width() > area.width();
    if (wide)
        wanted.rheight() += bar;
    // A panel that fits shows no scroll bar at all, not even one the area's first, smaller layout asked for.
    setVerticalScrollBarPolicy(tall ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(wide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    QRect frame(QPoint(0, 0), wanted.boundedTo(area.size()));
    frame.moveCenter(area.center());
    if (alignment & Qt::AlignLeft)
        frame.moveLeft(area.left());
    else if (alignment & Qt::AlignRight)
        frame.moveRight(area.right());
    if (alignment & Qt::AlignTop)
        frame.moveTop(area.top());
    else if (alignment & Qt::AlignBottom)
        frame.moveBottom(area.bottom());
    setGeometry(frame);
}

void FittingPanelArea::followParent(const QMargins& margins, Qt::Alignment alignment)
{
    m_margins = margins;
    m_alignment = alignment;
    if (!m_followsParent && parentWidget()) {
        m_followsParent = true;
        parentWidget()->installEventFilter(this);
    }
    if (parentWidget())
        placeWithin(parentWidget()->rect().marginsRemoved(m_margins), m_alignment);
}

bool FittingPanelArea::eventFilter(QObject* watched, QEvent* event)
{
    if (m_followsParent && watched == parentWidget() && event->type() == QEvent::Resize)
        placeWithin(parentWidget()->rect().marginsRemoved(m_margins), m_alignment);
    return QScrollArea::eventFilter(watched, event);
}

void FittingPanelArea::keepFocusVisible(QWidget* now)
{
    if (now && m_panel && m_panel->isAncestorOf(now))
        ensureWidgetVisible(now);
}
