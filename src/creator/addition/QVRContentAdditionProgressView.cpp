#include "creator/addition/QVRContentAdditionProgressView.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

#include "controls/CustomProgressView.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"

QVRContentAdditionProgressView::QVRContentAdditionProgressView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("contentAdditionProgress"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(10);
    m_bar = new CustomProgressView(this);
    m_bar->setBarColor(Tessutils::tessarineBlue());
    m_bar->setProgress(0.0f);
    layout->addWidget(m_bar, 1);
    m_cancelButton = new QPushButton(UFM::CANCEL_TEXT(), this);
    m_cancelButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_cancelButton);
    connect(m_cancelButton, &QPushButton::clicked, this, &QVRContentAdditionProgressView::cancelRequested);
    if (parent)
        parent->installEventFilter(this);
    followParent();
}

void QVRContentAdditionProgressView::setProgress(double fraction)
{
    if (!std::isfinite(fraction))
        return;
    const float value = float(std::clamp(fraction, 0.0, 1.0));
    if (value > m_bar->progress())
        m_bar->setProgress(value);
}

double QVRContentAdditionProgressView::progress() const
{
    return m_bar->progress();
}

bool QVRContentAdditionProgressView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        followParent();
    return QWidget::eventFilter(watched, event);
}

void QVRContentAdditionProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 160));
}

void QVRContentAdditionProgressView::followParent()
{
    auto* host = parentWidget();
    if (!host)
        return;
    setGeometry(0, host->height() - kHeight, host->width(), kHeight);
    raise();
}
