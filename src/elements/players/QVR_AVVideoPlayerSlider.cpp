#include "elements/players/QVR_AVVideoPlayerSlider.h"

#include <algorithm>

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>

#include "foundation/Tessutils.h"

namespace {

constexpr double kBarCornerRadius = 4.0;
constexpr double kBarThickness = 6.0;

} // namespace

QVR_AVVideoPlayerSlider::QVR_AVVideoPlayerSlider(QWidget* parent)
    : QVR_AVVideoPlayerSlider(Qt::Horizontal, parent)
{
}

QVR_AVVideoPlayerSlider::QVR_AVVideoPlayerSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent)
{
    initializeColors();
    connect(this, &QSlider::valueChanged, this, [this] { update(); });
    connect(this, &QSlider::rangeChanged, this, [this] { update(); });
}

void QVR_AVVideoPlayerSlider::initializeColors()
{
    if (!m_firstPortionColor.isValid())
        m_firstPortionColor = Tessutils::tessarineBlue();
    if (!m_secondPortionColor.isValid())
        m_secondPortionColor = QColor::fromRgbF(1, 1, 1, 0.5);
}

void QVR_AVVideoPlayerSlider::setFirstPortionColor(const QColor& color)
{
    m_firstPortionColor = color;
    update();
}

void QVR_AVVideoPlayerSlider::setSecondPortionColor(const QColor& color)
{
    m_secondPortionColor = color;
    update();
}

QRectF QVR_AVVideoPlayerSlider::barRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    if (orientation() == Qt::Horizontal) {
        const double thickness = std::min<double>(kBarThickness, groove.height());
        return QRectF(groove.x(), groove.center().y() + 0.5 - thickness / 2, groove.width(), thickness);
    }
    const double thickness = std::min<double>(kBarThickness, groove.width());
    return QRectF(groove.center().x() + 0.5 - thickness / 2, groove.y(), thickness, groove.height());
}

double QVR_AVVideoPlayerSlider::fraction() const
{
    const double span = double(maximum()) - double(minimum());
    if (span <= 0)
        return 0.0;
    return std::clamp((double(value()) - double(minimum())) / span, 0.0, 1.0);
}

void QVR_AVVideoPlayerSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar = barRect();
    const double f = fraction();
    painter.setPen(Qt::NoPen);
    if (orientation() == Qt::Horizontal) {
        const double split = f * bar.width();
        painter.setBrush(m_firstPortionColor);
        if (split > 0)
            painter.drawRoundedRect(QRectF(bar.x(), bar.y(), split, bar.height()), kBarCornerRadius, kBarCornerRadius);
        painter.setBrush(m_secondPortionColor);
        if (bar.width() - split > 0)
            painter.drawRoundedRect(QRectF(bar.x() + split, bar.y(), bar.width() - split, bar.height()),
                                    kBarCornerRadius, kBarCornerRadius);
    } else {
        // Vertical sliders grow from the bottom.
        const double split = f * bar.height();
        painter.setBrush(m_firstPortionColor);
        if (split > 0)
            painter.drawRoundedRect(QRectF(bar.x(), bar.bottom() - split, bar.width(), split), kBarCornerRadius,
                                    kBarCornerRadius);
        painter.setBrush(m_secondPortionColor);
        if (bar.height() - split > 0)
            painter.drawRoundedRect(QRectF(bar.x(), bar.y(), bar.width(), bar.height() - split), kBarCornerRadius,
                                    kBarCornerRadius);
    }

    // The style's knob only.
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
