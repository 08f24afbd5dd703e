#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QAbstractButton>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>
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

// The creator window's side menu. Its tabs and their outlets come from the set-up dictionaries the model objects
// answer for each tab type and outlet kind: the selected objects' answers joined (none as soon as one object has
// none), or with nothing selected the shown screen's. So "Screen" (the shown screen's colour and presenter notes)
// shows with nothing selected, "Object" (the selected shapes' colour) for a selection of shapes. It rebuilds on
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

    // The type of the tab pressed since the last rebuild; empty when none was.
    QString selectedTabType() const { return m_chosenTab; }
    const std::vector<QVR_SideMenuTab*>& tabs() const { return m_tabs; }
    QWidget* currentBody() const;
    // Posts the update notification once the current event has been handled (repeated calls post once).
    void scheduleUpdate();
    void rebuild();

    // Tab types and outlet kinds, in the order they are asked.
    static const QStringList& tabTypes();
    static const QStringList& outletTypes();
    // The window's answer for one outlet kind and tab type.
    static std::optional<QList<QVariantMap>>
    setupDictionaries(const QString& outletType, const QString& tabType,
                      const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& selected,
                      const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    // The outlet for the usable dictionaries of the array, or nullptr when none is usable or the kind has no view.
    static QWidget* makeOutlet(const QString& outletType, const QList<QVariantMap>& dictionaries);

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
