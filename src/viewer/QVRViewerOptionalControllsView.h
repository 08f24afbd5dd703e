#pragma once

#include <QPointer>
#include <QWidget>

#include "viewer/QVR_TessarineViewerView.h"

class HoverAreaView;
class QPropertyAnimation;
class QPushButton;

// Page buttons revealed by hovering the edges of a player, for hosts that do not show the viewer view
// controller's own buttons. Hovering the left edge widens the previous-page button to 60 points; hovering the
// right edge widens the next-page button to 60 and the expand button to 30; leaving collapses them to 0. Expand
// opens the played document in a viewer window. Only the two edge areas take the pointer: clicks elsewhere reach
// the player beneath.
//
// The host makes it the player's delegate and sets theViewer (not owned). Main thread only.
class QVRViewerOptionalControllsView : public QWidget, public TessarineViewerViewDelegate {
    Q_OBJECT
public:
    static constexpr int kPageButtonWidth = 60;
    static constexpr int kExpandButtonWidth = 30;
    static constexpr int kHoverAreaWidth = 90;

    explicit QVRViewerOptionalControllsView(QWidget* parent = nullptr);
    ~QVRViewerOptionalControllsView() override;

    QVR_TessarineViewerView* theViewer() const { return m_viewer; }
    void setTheViewer(QVR_TessarineViewerView* viewer) { m_viewer = viewer; }
    void setAllowsExpand(bool allows);

    QPushButton* leftButton() const { return m_leftButton; }
    QPushButton* rightButton() const { return m_rightButton; }
    QPushButton* expandButton() const { return m_expandButton; }
    HoverAreaView* leftHoverAreaView() const { return m_leftArea; }
    HoverAreaView* rightHoverAreaView() const { return m_rightArea; }

    // Opens the played document's string id in a viewer window.
    void expandPressed();

    // TessarineViewerViewDelegate
    void tessarineViewerWillScrollToLastPage() override;
    void tessarineViewerWillScrollToFirstPage() override;
    void tessarineViewerWillScrollAwayFromLastPage() override;
    void tessarineViewerWillScrollAwayFromFirstPage() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPushButton* makeButton(QWidget* parent, const QString& artwork, const QString& name);
    void animateWidth(QPushButton* button, int width);

    QPointer<QVR_TessarineViewerView> m_viewer;
    HoverAreaView* m_leftArea = nullptr;
    HoverAreaView* m_rightArea = nullptr;
    QPushButton* m_leftButton = nullptr;
    QPushButton* m_rightButton = nullptr;
    QPushButton* m_expandButton = nullptr;
    bool m_allowsExpand = true;
};
