#pragma once

#include <memory>
#include <vector>

#include <QAbstractButton>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include "platform/NotificationCenter.h"

class QHBoxLayout;
class QStackedLayout;
class QVR_CreatorWindow;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;

// One tab of the side menu: white when selected, light grey otherwise.
class QVR_SideMenuTab : public QAbstractButton {
    Q_OBJECT
public:
    QVR_SideMenuTab(const QString& title, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {80, 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The creator window's side menu. It shows tabs for what the window edits: "Screen" (the shown screen's colour
// and presenter notes) with nothing selected, "Object" (the selected shapes' colour) otherwise. It rebuilds on
// "kSIDE_MENU_UPDATE_NOTIFICATION" posted for its own window, which it posts itself, at most once per turn of
// the event loop, when the selection or the shown screen changes, an undo or redo restores the document, and
// the menu opens.
class QVR_ContextualMenuView : public QWidget {
    Q_OBJECT
public:
    static const QString kUpdateNotification; // "kSIDE_MENU_UPDATE_NOTIFICATION"
    static constexpr int kOpenWidth = 240;

    explicit QVR_ContextualMenuView(QWidget* window, QWidget* parent = nullptr);
    ~QVR_ContextualMenuView() override;

    QString selectedTabType() const { return m_chosenTab; }
    const std::vector<QVR_SideMenuTab*>& tabs() const { return m_tabs; }
    QWidget* currentBody() const;
    // Posts the update notification once the current event has been handled (repeated calls post once).
    void scheduleUpdate();
    void rebuild();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct TabContent {
        QString type;
        QWidget* body;
    };
    void selectTab(int index);
    void followShownBoard();
    std::vector<TabContent> makeTabs();

    QPointer<QWidget> m_window;
    QVR_CreatorWindow* creatorWindow() const;
    QWidget* m_tabRow = nullptr;
    QHBoxLayout* m_tabLayout = nullptr;
    QStackedLayout* m_bodies = nullptr;
    std::vector<QVR_SideMenuTab*> m_tabs;
    QString m_chosenTab;
    bool m_updatePending = false;
    bool m_wasOpen = false;
    QMetaObject::Connection m_selectionConnection;
    QMetaObject::Connection m_canvasConnection;
    std::vector<NotificationObservation> m_observations;
};
