#include "inspector/pickers/QVRColorPicker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>

#include "creator/toolbar/QVR_ToolbarButton.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/PopoverToolbarButton.h"
#include "strings/UFM.h"

namespace {
constexpr QSize kHolderSize(18, 20);
constexpr QRectF kSwatchRect(0, 1, 18, 18);
constexpr qreal kSwatchRadius = 2;
} // namespace

QVRColorPicker::QVRColorPicker(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(kHolderSize);
    setCursor(Qt::PointingHandCursor);
}

QVRColorPicker::~QVRColorPicker()
{
    if (ColorPanel* panel = ColorPanel::existing())
        panel->releaseOwnership(this);
}

void QVRColorPicker::setColor(const QColor& color)
{
    m_color = color.isValid() ? color.toRgb() : QColor(Qt::white);
    m_mixed = false;
    if (ownsColorPanel()) {
        m_presenting = true;
        ColorPanel::shared()->setColorQuietly(m_color);
        m_presenting = false;
    }
    update();
}

void QVRColorPicker::showMixedColors()
{
    m_mixed = true;
    update();
}

bool QVRColorPicker::ownsColorPanel() const
{
    const ColorPanel* panel = ColorPanel::existing();
    return panel && panel->owner() == this;
}

QRect QVRColorPicker::panelAnchorRect() const
{
    QWidget* anchor = m_panelAnchor ? m_panelAnchor() : nullptr;
    if (!anchor && isVisible()) {
        // In an object popover the swatch lies over its toolbar button: the button is the control.
        anchor = qobject_cast<QAbstractButton*>(parentWidget()) ? parentWidget() : const_cast<QVRColorPicker*>(this);
    }
    if (!anchor || !anchor->isVisible())
        return {};
    return QRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
}

void QVRColorPicker::presentColorPanel()
{
    ColorPanel* panel = ColorPanel::shared();
    QWidget* opener = isVisible() ? window() : QApplication::activeWindow();
    panel->placeBeside(panelAnchorRect(), ColorPanel::keepClearAreaFor(opener));
    m_presenting = true;
    {
        const QSignalBlocker blocker(panel->dialog());
        panel->takeOwnership(this, [this](const QColor& color) { colorPicked(color); });
        panel->setShowsAlpha(m_showsAlpha);
        panel->setColorList(m_colorList);
        panel->setColorQuietly(m_color);
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
    m_presenting = false;
}

void QVRColorPicker::colorPicked(const QColor& color)
{
    // The panel's own set-up echoes a colour, and a hidden panel picks nothing; the picker itself may well be
    // hidden (the canvas's background picker is never shown).
    const ColorPanel* panel = ColorPanel::existing();
    if (m_presenting || !panel || !panel->isVisible())
        return;
    m_color = color.toRgb();
    m_mixed = false;
    update();
    if (onColorPicked)
        onColorPicked(m_color);
}

QVR_ToolbarButton* QVRColorPicker::makeToolbarButton(const QString& title, QWidget* parent)
{
    auto* button = PopoverToolbarButton::make(grab(), title, parent);
    button->setToolTip(UFM::SAYS_COLOR());
    connect(button, &QAbstractButton::clicked, this, &QVRColorPicker::presentColorPanel);
    return button;
}

void QVRColorPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(kSwatchRect, kSwatchRadius, kSwatchRadius);
    painter.fillPath(path, m_mixed ? QColor(Qt::white) : m_color);
    painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
    painter.drawPath(path);
    if (hasFocus()) {
        // A well that takes the keyboard shows it has it.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawPath(path);
    }
    if (m_mixed) {
        painter.setPen(QPen(QColor(0x51, 0x51, 0x51), 2, Qt::SolidLine, Qt::RoundCap));
        const double y = kSwatchRect.center().y();
        painter.drawLine(QPointF(kSwatchRect.left() + 5, y), QPointF(kSwatchRect.right() - 5, y));
    }
}

void QVRColorPicker::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        presentColorPanel();
}

void QVRColorPicker::keyPressEvent(QKeyEvent* event)
{
    // A well that takes the keyboard opens the panel as a button does.
    if (!event->modifiers() &&
        (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        presentColorPanel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
