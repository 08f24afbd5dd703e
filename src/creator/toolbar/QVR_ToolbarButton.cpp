#include "creator/toolbar/QVR_ToolbarButton.h"

#include <cmath>

#include <QEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

#include "foundation/FontSubstitution.h"

namespace {
constexpr int kLabelExtraWidth = 15;
constexpr int kLabelBottomMargin = 6;
constexpr int kIconAboveLabel = 12;
} // namespace

QVR_ToolbarButton::QVR_ToolbarButton(QWidget* parent)
    : QAbstractButton(parent)
    , m_labelFont(FontSubstitution::fontForPostScriptName(QStringLiteral("Helvetica"), 9))
{
    // One point is one pixel on the toolbar, as everywhere in the editor.
    m_labelFont.setPixelSize(9);
    // Reached with Tab, never taking the focus from the canvas on a click.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::ArrowCursor);
}

void QVR_ToolbarButton::setTitle(const QString& title)
{
    m_title = title;
    if (title.isEmpty()) {
        m_labelSize = QSize();
    } else {
        const QFontMetricsF metrics(m_labelFont);
        m_labelSize = QSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(title))) + kLabelExtraWidth,
                            static_cast<int>(std::ceil(metrics.height())));
    }
    setAccessibleName(title);
    layoutParts();
    updateGeometry();
    update();
}

void QVR_ToolbarButton::setTextColor(const QColor& color)
{
    m_textColor = color;
    update();
}

void QVR_ToolbarButton::setIconImage(const QIcon& icon, const QSize& size)
{
    m_icon = icon;
    m_iconSize = size;
    layoutParts();
    updateGeometry();
    update();
}

QSize QVR_ToolbarButton::sizeHint() const
{
    const int width = std::max(m_iconSize.width(), m_labelSize.width());
    const int height =
        m_title.isEmpty() ? m_iconSize.height() + 10 : m_labelSize.height() + kIconAboveLabel + m_iconSize.height() + 6;
    return {std::max(width, 24), std::max(height, 24)};
}

void QVR_ToolbarButton::layoutParts()
{
    const int W = width();
    const int H = height();
    const int iw = m_iconSize.width();
    const int ih = m_iconSize.height();
    // Frames are taken to whole points outward, so a half-point centre never blurs the icon.
    const auto integral = [](double x, double y, double w, double h) {
        const int left = static_cast<int>(std::floor(x));
        const int top = static_cast<int>(std::floor(y));
        return QRect(left, top, static_cast<int>(std::ceil(x + w)) - left, static_cast<int>(std::ceil(y + h)) - top);
    };
    if (!m_title.isEmpty()) {
        const int w = m_labelSize.width();
        const int h = m_labelSize.height();
        m_labelFrame = integral(W / 2.0 - w / 2.0, H - (h + kLabelBottomMargin), w, h);
        m_iconFrame = integral(W / 2.0 - iw / 2.0, H - (h + kIconAboveLabel + ih), iw, ih);
    } else {
        m_labelFrame = QRect();
        m_iconFrame = integral(W / 2.0 - iw / 2.0, H / 2.0 - ih / 2.0, iw, ih);
    }
}

void QVR_ToolbarButton::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    layoutParts();
}

void QVR_ToolbarButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

void QVR_ToolbarButton::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !event->isAutoRepeat() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void QVR_ToolbarButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_icon.isNull() && !m_iconFrame.isEmpty()) {
        painter.setOpacity(iconOpacity());
        m_icon.paint(&painter, m_iconFrame);
        painter.setOpacity(1.0);
    }
    if (!m_title.isEmpty()) {
        painter.setFont(m_labelFont);
        painter.setPen(m_textColor);
        painter.drawText(m_labelFrame, Qt::AlignCenter, m_title);
    }
    m_cell.highlight(&painter, isDown(), rect());
    if (hasFocus())
        paintFocusRing(painter, rect());
}

void QVR_ToolbarButton::paintFocusRing(QPainter& painter, const QRectF& bounds)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(235, 235, 235, 170), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
    painter.restore();
}
