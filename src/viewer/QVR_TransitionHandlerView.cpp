#include "viewer/QVR_TransitionHandlerView.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>

QVR_TransitionHandlerView::QVR_TransitionHandlerView(const QRect& frame, qint64 transitionType, qint64 direction,
                                                     const QImage& fromPicture, const QImage& toPicture,
                                                     double duration, bool startAutomatically, QWidget* parent)
    : QWidget(parent)
    , m_transitionType(transitionType)
    , m_direction(direction)
    , m_from(fromPicture)
    , m_to(toPicture)
    , m_duration(std::isfinite(duration) ? std::max(0.0, duration) : 0.0)
    , m_autoStart(startAutomatically)
{
    setGeometry(frame);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QVR_TransitionHandlerView::~QVR_TransitionHandlerView()
{
    m_delegate = nullptr;
}

void QVR_TransitionHandlerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_autoStart)
        start();
}

void QVR_TransitionHandlerView::start()
{
    if (m_started)
        return;
    m_started = true;
    if (m_transitionType == kFade)
        beginFadeTransition();
    else if (m_transitionType == kSlideIn)
        beginSlideInTransition();
    else
        QTimer::singleShot(0, this, [this] { finish(); });
}

void QVR_TransitionHandlerView::beginFadeTransition()
{
    beginSlideInTransition(); // the same clock; painting tells the two apart
}

void QVR_TransitionHandlerView::beginSlideInTransition()
{
    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setDuration(static_cast<int>(std::lround(m_duration * 1000.0)));
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toDouble();
        update();
    });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        m_progress = 1.0;
        update();
        finish();
    });
    m_animation->start();
}

void QVR_TransitionHandlerView::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_delegate)
        m_delegate->transithonHandlerFinishedTransitioning();
}

QRectF QVR_TransitionHandlerView::pictureRect() const
{
    return QRectF(QPointF(0, 0), QSizeF(size()));
}

QRectF QVR_TransitionHandlerView::fromFrame() const
{
    const QRectF rect = pictureRect();
    if (m_transitionType != kSlideIn)
        return rect;
    const double sign = m_direction == kBackward ? -1.0 : 1.0;
    return rect.translated(-sign * rect.width() * m_progress, 0);
}

QRectF QVR_TransitionHandlerView::toFrame() const
{
    const QRectF rect = pictureRect();
    if (m_transitionType != kSlideIn)
        return rect;
    const double sign = m_direction == kBackward ? -1.0 : 1.0;
    return rect.translated(sign * rect.width() * (1.0 - m_progress), 0);
}

double QVR_TransitionHandlerView::fromOpacity() const
{
    return m_transitionType == kFade ? 1.0 - m_progress : 1.0;
}

static void drawFitted(QPainter& painter, const QImage& picture, const QRectF& frame)
{
    if (picture.isNull() || frame.isEmpty())
        return;
    QSizeF fitted = QSizeF(picture.size()).scaled(frame.size(), Qt::KeepAspectRatio);
    const QRectF target(frame.center().x() - fitted.width() / 2, frame.center().y() - fitted.height() / 2,
                        fitted.width(), fitted.height());
    painter.drawImage(target, picture);
}

void QVR_TransitionHandlerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    drawFitted(painter, m_to, toFrame());
    painter.setOpacity(fromOpacity());
    drawFitted(painter, m_from, fromFrame());
}
