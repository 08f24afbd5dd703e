#include "controls/NavigationController.h"

#include <QEvent>
#include <QVariantAnimation>

#include "controls/NavigationControllerFriendlyViewController.h"

namespace {

// Where a page lies in the container: filling it, or centred in it at most at the page's maximum size (a page
// made for a size of its own).
QRect pageFrame(const QWidget* container, const QWidget* page)
{
    const QRect area = container->rect();
    if (!page)
        return area;
    QRect frame(QPoint(0, 0), area.size().boundedTo(page->maximumSize()));
    frame.moveCenter(area.center());
    return frame;
}

// The container keeps the current page in place as it resizes.
class PageContainer : public QWidget {
public:
    using QWidget::QWidget;
    QPointer<QWidget> current;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (current)
            current->setGeometry(pageFrame(this, current));
    }
};

constexpr int kSlideMilliseconds = 250;

} // namespace

NavigationController::NavigationController(QObject* parent)
    : QObject(parent)
    , m_container(new PageContainer)
{
}

NavigationController::~NavigationController()
{
    if (m_animation)
        m_animation->stop();
    for (auto& page : m_stack)
        delete page.data();
    if (m_container && !m_container->parentWidget())
        delete m_container.data();
}

NavigationControllerFriendlyViewController* NavigationController::rootViewController() const
{
    return m_stack.empty() ? nullptr : m_stack.front().data();
}

NavigationControllerFriendlyViewController* NavigationController::topViewController() const
{
    return m_stack.empty() ? nullptr : m_stack.back().data();
}

void NavigationController::setRootViewController(NavigationControllerFriendlyViewController* root)
{
    auto old = m_stack;
    m_stack.clear();
    for (auto& page : old)
        if (page && page != root)
            release(page);
    if (root) {
        root->setParent(this);
        root->setNavigationController(this);
        m_stack.emplace_back(root);
    }
    show(root, 0, false);
}

void NavigationController::pushViewController(NavigationControllerFriendlyViewController* controller, bool animated)
{
    if (!controller)
        return;
    controller->setParent(this);
    controller->setNavigationController(this);
    m_stack.emplace_back(controller);
    show(controller, 1, animated);
}

bool NavigationController::popViewControllerAnimated(bool animated)
{
    if (m_stack.size() < 2)
        return false;
    QPointer<NavigationControllerFriendlyViewController> popped = m_stack.back();
    m_stack.pop_back();
    show(topViewController(), -1, animated);
    if (popped)
        release(popped);
    return true;
}

void NavigationController::release(NavigationControllerFriendlyViewController* controller)
{
    controller->setNavigationController(nullptr);
    if (controller->isViewLoaded())
        controller->view()->hide();
    controller->deleteLater();
}

void NavigationController::show(NavigationControllerFriendlyViewController* controller, int direction, bool animated)
{
    auto* container = static_cast<PageContainer*>(m_container.data());
    if (!container)
        return;
    if (m_animation)
        m_animation->stop();
    QPointer<QWidget> outgoing = container->current;
    QWidget* incoming = controller ? controller->view() : nullptr;
    container->current = incoming;
    if (incoming) {
        incoming->setParent(container);
        incoming->setGeometry(pageFrame(container, incoming));
        incoming->show();
        incoming->raise();
    }
    if (!animated || !incoming || !outgoing || outgoing == incoming || direction == 0 || !container->isVisible()) {
        if (outgoing && outgoing != incoming)
            outgoing->hide();
        emit topViewControllerChanged();
        return;
    }
    const int width = container->width();
    auto* animation = new QVariantAnimation(this);
    m_animation = animation;
    animation->setDuration(kSlideMilliseconds);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    QPointer<QWidget> incomingGuard = incoming;
    QPointer<PageContainer> containerGuard = container;
    const QPoint incomingRest = incoming->pos();
    const QPoint outgoingRest = outgoing->pos();
    connect(animation, &QVariantAnimation::valueChanged, this, [=](const QVariant& v) {
        const double t = v.toDouble();
        if (incomingGuard)
            incomingGuard->move(incomingRest + QPoint(int(direction * width * (1.0 - t)), 0));
        if (outgoing)
            outgoing->move(outgoingRest + QPoint(int(-direction * width * t), 0));
    });
    connect(animation, &QAbstractAnimation::stateChanged, this, [=](QAbstractAnimation::State state) {
        if (state != QAbstractAnimation::Stopped)
            return;
        if (incomingGuard && containerGuard)
            incomingGuard->setGeometry(pageFrame(containerGuard, incomingGuard));
        if (outgoing && (!containerGuard || outgoing != containerGuard->current)) {
            outgoing->hide();
            outgoing->move(outgoingRest);
        }
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    emit topViewControllerChanged();
}
