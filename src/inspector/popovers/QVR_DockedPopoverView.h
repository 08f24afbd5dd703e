#pragma once

#include <memory>
#include <vector>

#include <QPointer>
#include <QWidget>

class QVRMMObjToolbarPopoverBase;
class ZERI_MixedMediaObjectProxy;

// The docked form of the object popover, in the strip under the window's title bar: the row of the single
// selected object, or nothing (width 0) for none or several.
class QVR_DockedPopoverView : public QWidget {
    Q_OBJECT
public:
    explicit QVR_DockedPopoverView(QWidget* parent = nullptr);
    ~QVR_DockedPopoverView() override;

    // The same objects again change nothing; one object gets a docked popover, any other count none.
    void setTrackedMixedMediaObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& trackedMixedMediaObjects() const
    {
        return m_tracked;
    }
    void refreshAndDisplayPopover();

    // Showing rebuilds the row first, so it reflects the object as it is now.
    void setVisible(bool visible) override;

    QVRMMObjToolbarPopoverBase* popoverController() const { return m_controller.get(); }
    QWidget* popoverContentHolder() const { return m_holder; }
    QWidget* popoverContentView() const { return m_row; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void clearRow();

    QWidget* m_holder;
    QPointer<QWidget> m_row;
    std::unique_ptr<QVRMMObjToolbarPopoverBase> m_controller;
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> m_tracked;
};
