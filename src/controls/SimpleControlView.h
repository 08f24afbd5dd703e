#pragma once

#include <QWidget>

// A view that tracks the pointer like a button: currentControlState is 0 with the pointer outside, 1 inside,
// 2 pressed inside. A release inside while enabled calls clicked(), and so do Return, Enter and Space while it has
// the keyboard. Subclasses redraw in setCurrentControlState.
class SimpleControlView : public QWidget {
    Q_OBJECT
public:
    enum ControlState { PointerOutside = 0, PointerInside = 1, PressedInside = 2 };

    explicit SimpleControlView(QWidget* parent = nullptr);

    int currentControlState() const { return m_state; }
    virtual void setCurrentControlState(int state);

signals:
    void controlClicked();

protected:
    // Called on a release inside while enabled; emits controlClicked().
    virtual void clicked();

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int m_state = PointerOutside;
    bool m_pressed = false;
};
