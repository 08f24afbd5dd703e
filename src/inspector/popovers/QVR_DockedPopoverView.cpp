#include "inspector/popovers/QVR_DockedPopoverView.h"

#include <QResizeEvent>

#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"

namespace {
constexpr int kHolderExtraWidth = 4;

QWidget* blackLine(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Qt::black);
    line->setPalette(palette);
    line->setObjectName(QStringLiteral("dockedPopoverLine"));
    return line;
}
} // namespace

QVR_DockedPopoverView::QVR_DockedPopoverView(QWidget* parent)
    : QWidget(parent)
    , m_holder(new QWidget(this))
{
    m_holder->setHidden(true);
    blackLine(m_holder);
    blackLine(m_holder);
}

QVR_DockedPopoverView::~QVR_DockedPopoverView()
{
    clearRow();
}

void QVR_DockedPopoverView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_holder->resize(m_holder->width(), height());
    const QList<QWidget*> lines =
        m_holder->findChildren<QWidget*>(QStringLiteral("dockedPopoverLine"), Qt::FindDirectChildrenOnly);
    if (lines.size() == 2) {
        // A line along the right edge and one along the bottom.
        lines[0]->setGeometry(m_holder->width() - 1, 0, 1, m_holder->height());
        lines[1]->setGeometry(0, m_holder->height() - 1, m_holder->width(), 1);
        for (QWidget* line : lines)
            line->raise();
    }
    if (m_row)
        m_row->move(0, (m_holder->height() - m_row->height()) / 2);
}

void QVR_DockedPopoverView::clearRow()
{
    if (!m_row)
        return;
    // The controls are the controller's; a later row takes them again.
    if (m_controller)
        for (QWidget* view : m_controller->toolbarViews())
            if (view->parent() == m_row)
                view->setParent(nullptr);
    delete m_row.data();
    m_row = nullptr;
}

void QVR_DockedPopoverView::setTrackedMixedMediaObjects(
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects)
{
    if (objects == m_tracked)
        return;
    m_tracked = objects;
    clearRow();
    m_controller.reset();
    if (m_tracked.size() == 1)
        m_controller = QVRMMObjToolbarPopoverBase::controllerForObject(m_tracked.front(), true);
    if (!m_controller) {
        m_holder->resize(0, height());
        m_holder->setHidden(true);
        return;
    }
    m_controller->setFallbackHostWindow(this);
    m_controller->setupMMObjDefaultToolbarViews();
    refreshAndDisplayPopover();
}

void QVR_DockedPopoverView::refreshAndDisplayPopover()
{
    clearRow();
    if (!m_controller)
        return;
    m_holder->setHidden(false);
    m_row = m_controller->controlViewForPopover();
    if (!m_row) {
        m_holder->resize(0, height());
        return;
    }
    m_row->setParent(m_holder);
    m_holder->resize(m_row->width() + kHolderExtraWidth, height());
    m_row->move(0, (height() - m_row->height()) / 2);
    m_row->show();
    // The holder's size changed: lay the lines out again.
    QResizeEvent event(size(), size());
    resizeEvent(&event);
}

void QVR_DockedPopoverView::setVisible(bool visible)
{
    if (visible && m_controller) {
        m_controller->setupMMObjDefaultToolbarViews();
        refreshAndDisplayPopover();
    }
    QWidget::setVisible(visible);
}
