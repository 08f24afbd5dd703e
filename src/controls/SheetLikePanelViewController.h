#pragma once

#include <QPointer>

#include "controls/ViewController.h"

class NavigationController;
class QLabel;
class QToolButton;

class SheetLikePanelViewControllerDelegate {
public:
    virtual ~SheetLikePanelViewControllerDelegate() = default;
    virtual void sheetLikePanelCloseButtonPressed() = 0;
};

// The dark sheet-like panel: a header with a back button (pops the navigation stack), the top page's title and a
// close button (tells the delegate), over the navigation controller's page area. The buttons are hidden until
// enabled; the back button shows only while enabled and there is a page to go back to.
class SheetLikePanelViewController : public ViewController {
    Q_OBJECT
public:
    explicit SheetLikePanelViewController(QObject* parent = nullptr);

    // Not owned.
    void setDelegate(SheetLikePanelViewControllerDelegate* delegate) { m_delegate = delegate; }
    SheetLikePanelViewControllerDelegate* delegate() const { return m_delegate; }

    void setEnableCloseButton(bool enable);
    // Whether Escape acts as the close button while the panel shows one (on by default; a page that keeps Escape
    // for itself turns it off).
    void setClosesOnEscape(bool closes);
    void setEnableNavigationBackButton(bool enable);

    NavigationController* navigationController() const { return m_navigationController; }

    QToolButton* closeButton();
    QToolButton* backButton();
    QLabel* titleLabel();

    static constexpr int kHeaderHeight = 44;
    static QColor panelColor();

protected:
    void loadView() override;

private:
    void updateHeader();
    void updateEscape();

    SheetLikePanelViewControllerDelegate* m_delegate = nullptr;
    NavigationController* m_navigationController = nullptr;
    QPointer<QToolButton> m_closeButton;
    QPointer<QToolButton> m_backButton;
    QPointer<QLabel> m_titleLabel;
    bool m_closeEnabled = false;
    bool m_closesOnEscape = true;
    bool m_backEnabled = false;
};
