#include "creator/window/QVRDockToolbarView.h"

#include <QPainter>
#include <QVariant>

namespace {
constexpr const char* kAlignmentProperty = "dockToolbarAlignment";
}

QVRDockToolbarView::QVRDockToolbarView(QWidget* parent)
    : QWidget(parent)
{
}

void QVRDockToolbarView::dockToolbarView(QWidget* view)
{
    if (!view || m_docked.contains(view))
        return;
    const bool hidden = view->isHidden();
    view->setParent(this);
    view->setVisible(!hidden);
    m_docked.append(view);
    layoutDockedViews();
}

void QVRDockToolbarView::undockToolbarView(QWidget* view)
{
    if (!view || !m_docked.removeAll(view))
        return;
    if (view->parentWidget() == this)
        view->setParent(nullptr);
    layoutDockedViews();
}

QList<QWidget*> QVRDockToolbarView::undockAllToolbarViews()
{
    const QList<QWidget*> views = dockedViews();
    m_docked.clear();
    for (QWidget* view : views)
        if (view->parentWidget() == this)
            view->setParent(nullptr);
    return views;
}

QList<QWidget*> QVRDockToolbarView::dockedViews() const
{
    QList<QWidget*> views;
    for (const QPointer<QWidget>& view : m_docked)
        if (view)
            views.append(view);
    return views;
}

void QVRDockToolbarView::setDockToolbarAlignment(QWidget* view, int alignment)
{
    if (!view)
        return;
    view->setProperty(kAlignmentProperty, alignment);
    if (auto* bar = qobject_cast<QVRDockToolbarView*>(view->parentWidget()))
        bar->layoutDockedViews();
}

int QVRDockToolbarView::dockToolbarAlignment(const QWidget* view)
{
    return view ? view->property(kAlignmentProperty).toInt() : 0;
}

void QVRDockToolbarView::layoutDockedViews()
{
    int left = 0;
    int right = width();
    for (QWidget* view : dockedViews()) {
        const int w = view->width();
        switch (dockToolbarAlignment(view)) {
        case AlignRight:
            view->setGeometry(right - w, 0, w, height());
            if (!view->isHidden())
                right -= w;
            break;
        case AlignLeft:
            view->setGeometry(left, 0, w, height());
            if (!view->isHidden())
                left += w;
            break;
        default:
            break;
        }
    }
}

void QVRDockToolbarView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutDockedViews();
}

void QVRDockToolbarView::drawTopLine(QPainter& painter)
{
    painter.fillRect(QRect(0, 0, width(), 1), QColor::fromRgbF(1, 1, 1, 0.07f));
}

void QVRDockToolbarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawTopLine(painter);
}
