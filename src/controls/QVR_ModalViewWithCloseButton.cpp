#include "controls/QVR_ModalViewWithCloseButton.h"

#include <QChildEvent>
#include <QIcon>
#include <QPushButton>

#include "controls/ControlsArtwork.h"
#include "controls/ViewUtils.h"

QVR_ModalViewWithCloseButton::QVR_ModalViewWithCloseButton(QWidget* parent)
    : QVR_ModalViewWithCloseButton(QRect(0, 0, 400, 300), parent)
{
}

QVR_ModalViewWithCloseButton::QVR_ModalViewWithCloseButton(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    m_closeButton = new QPushButton(this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setFlat(true);
    m_closeButton->setFocusPolicy(Qt::NoFocus);
    m_closeButton->setIcon(ControlsArtwork::icon(QStringLiteral("modal_close"), QSize(36, 36)));
    m_closeButton->setIconSize(QSize(kCloseButtonSize - 8, kCloseButtonSize - 8));
    m_closeButton->setFixedSize(kCloseButtonSize, kCloseButtonSize);
    m_closeButton->setAccessibleName(tr("Close"));
    m_closeButton->move(width() - kCloseButtonSize - kCloseButtonMargin, kCloseButtonMargin);
    connect(m_closeButton, &QPushButton::clicked, this, &QVR_ModalViewWithCloseButton::closedButtonPressed);
}

void QVR_ModalViewWithCloseButton::addSubview(QWidget* view)
{
    if (!view || view == m_closeButton)
        return;
    view->setParent(this);
    view->raise();
    view->show();
    keepCloseButtonOnTop();
}

void QVR_ModalViewWithCloseButton::addSubview(QWidget* view, Ordering positioned, QWidget* relativeTo)
{
    if (!view || view == m_closeButton)
        return;
    view->setParent(this);
    const bool relativeIsChild = relativeTo && relativeTo != view && relativeTo->parentWidget() == this;
    if (positioned == Ordering::Above) {
        if (relativeIsChild) {
            view->stackUnder(relativeTo);
            relativeTo->stackUnder(view);
        } else {
            view->raise();
        }
    } else {
        if (relativeIsChild)
            view->stackUnder(relativeTo);
        else
            view->lower();
    }
    view->show();
    keepCloseButtonOnTop();
}

void QVR_ModalViewWithCloseButton::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    ViewUtils::setBackgroundColor(this, color);
}

void QVR_ModalViewWithCloseButton::closedButtonPressed()
{
    // Copy first: the block commonly closes and deletes this view.
    if (auto block = m_closedPressedBlock)
        block();
}

void QVR_ModalViewWithCloseButton::childEvent(QChildEvent* event)
{
    QWidget::childEvent(event);
    if (event->added() && m_closeButton && event->child() != m_closeButton)
        keepCloseButtonOnTop();
}

void QVR_ModalViewWithCloseButton::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_closeButton->move(width() - kCloseButtonSize - kCloseButtonMargin, kCloseButtonMargin);
}

void QVR_ModalViewWithCloseButton::keepCloseButtonOnTop()
{
    m_closeButton->raise();
}
