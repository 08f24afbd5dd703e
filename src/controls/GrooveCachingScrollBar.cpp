#include "controls/GrooveCachingScrollBar.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

constexpr QStyle::SubControls kMovingParts = QStyle::SC_ScrollBarSlider;
constexpr QStyle::SubControls kArrows = QStyle::SubControls(QStyle::SC_ScrollBarAddLine) | QStyle::SC_ScrollBarSubLine;

} // namespace

GrooveCachingScrollBar::GrooveCachingScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
}

bool GrooveCachingScrollBar::cachesGroove() const
{
    // The fusion style draws the groove first, then the handle, then the arrows, each part on its own: drawn in
    // that order from separate calls, the bar comes out pixel for pixel as from one call.
    return style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) == 0;
}

void GrooveCachingScrollBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::StyleChange)
        m_groove = QPixmap();
    QScrollBar::changeEvent(event);
}

void GrooveCachingScrollBar::paintEvent(QPaintEvent* event)
{
    // Under the pointer or pressed, the style may light up any part: the bar paints as usual then.
    if (!cachesGroove() || underMouse() || isSliderDown() || QGuiApplication::mouseButtons() != Qt::NoButton) {
        QScrollBar::paintEvent(event);
        return;
    }
    // As QScrollBar paints itself at rest (no part hovered or pressed), with the parts drawn separately.
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;

    const GrooveKey key{size(), devicePixelRatioF(), int(option.state), qint64(option.palette.cacheKey()),
                        int(option.direction)};
    if (m_groove.isNull() || !(key == m_grooveKey)) {
        m_groove = QPixmap(size() * devicePixelRatioF());
        m_groove.setDevicePixelRatio(devicePixelRatioF());
        m_groove.fill(Qt::transparent);
        QStyleOptionSlider groove = option;
        groove.subControls &= ~(kMovingParts | kArrows);
        QPainter painter(&m_groove);
        style()->drawComplexControl(QStyle::CC_ScrollBar, &groove, &painter, this);
        m_grooveKey = key;
    }

    QPainter painter(this);
    painter.drawPixmap(0, 0, m_groove);
    QStyleOptionSlider handle = option;
    handle.subControls = kMovingParts;
    style()->drawComplexControl(QStyle::CC_ScrollBar, &handle, &painter, this);
    QStyleOptionSlider arrows = option;
    arrows.subControls = kArrows;
    style()->drawComplexControl(QStyle::CC_ScrollBar, &arrows, &painter, this);
}
