#pragma once

#include <vector>

#include <QPointer>
#include <QWidget>

class NavigationControllerFriendlyViewController;
class QStackedWidget;
class QVariantAnimation;

// A stack of pages shown one at a time in a container view (the content of the dark sheet-like panel).
// The navigation controller owns the pages on its stack: popping a page deletes it (later). Pages pushed animated
// slide in from the right (0.25 s); popping slides back.
class NavigationController : public QObject {
    Q_OBJECT
public:
    explicit NavigationController(QObject* parent = nullptr);
    ~NavigationController() override;

    // The container the top page's view fills; owned by whoever places it (the panel), else by this controller.
    QWidget* view() const { return m_container; }

    // Clears the stack and shows `root` alone.
    void setRootViewController(NavigationControllerFriendlyViewController* root);
    NavigationControllerFriendlyViewController* rootViewController() const;
    NavigationControllerFriendlyViewController* topViewController() const;
    int count() const { return int(m_stack.size()); }

    void pushViewController(NavigationControllerFriendlyViewController* controller, bool animated);
    // Removes the top page unless it is the root; returns false when there was nothing to pop.
    bool popViewControllerAnimated(bool animated);

signals:
    void topViewControllerChanged();

private:
    void show(NavigationControllerFriendlyViewController* controller, int direction, bool animated);
    void release(NavigationControllerFriendlyViewController* controller);

    QPointer<QWidget> m_container;
    std::vector<QPointer<NavigationControllerFriendlyViewController>> m_stack;
    QPointer<QVariantAnimation> m_animation;
};
