#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

// The root view of the presenter notes. Key presses are posted as "TessarineViewerViewKeyDownNotificationName"
// with the view as sender, so that the viewer pages and pauses from the presenter's screen too. The swap-displays
// button shows only while the window holding the view is full screen.
class QVRPresentationNotesView : public QWidget {
    Q_OBJECT
public:
    explicit QVRPresentationNotesView(QWidget* parent = nullptr);

    QPushButton* swapDisplaysButton() const { return m_swapDisplaysButton; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchWindow();
    void updateSwapButton();

    QPushButton* m_swapDisplaysButton = nullptr;
    QPointer<QWidget> m_watchedWindow;
};
