#include <QEvent>

#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"

namespace {
// Keeps the panel's view covering the content view.
class CoverFollower : public QObject {
public:
    CoverFollower(QWidget* content, QWidget* cover)
        : QObject(cover)
        , m_cover(cover)
    {
        content->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && m_cover)
            m_cover->setGeometry(static_cast<QWidget*>(watched)->rect());
        return false;
    }

private:
    QPointer<QWidget> m_cover;
};
} // namespace

void QVR_CreatorWindow::presentDarkPanelWithRootViewController(NavigationControllerFriendlyViewController* root,
                                                               bool closeButton, bool allowBackNavigation)
{
    if (m_sheetLikeViewController)
        dismissDarkPanel();
    if (m_toolBarView)
        m_toolBarView->setEnabled(false);
    auto* panel = new SheetLikePanelViewController(this);
    m_sheetLikeViewController = panel;
    panel->setDelegate(this);
    panel->setEnableCloseButton(closeButton);
    panel->setEnableNavigationBackButton(allowBackNavigation);
    QWidget* cover = panel->view();
    cover->setParent(contentView());
    cover->setGeometry(contentView()->rect());
    new CoverFollower(contentView(), cover);
    cover->show();
    cover->raise();
    panel->navigationController()->setRootViewController(root);
}

void QVR_CreatorWindow::dismissDarkPanel()
{
    if (m_toolBarView)
        m_toolBarView->setEnabled(true);
    SheetLikePanelViewController* panel = m_sheetLikeViewController;
    m_sheetLikeViewController = nullptr;
    if (!panel)
        return;
    panel->setDelegate(nullptr);
    // The page that asked may still be running: the panel and its pages go once control returns to the loop.
    if (panel->isViewLoaded())
        panel->view()->hide();
    panel->deleteLater();
}
