#pragma once

#include <functional>

#include <QColor>
#include <QPointer>
#include <QWidget>

// The full-size view of a shield: swallows every mouse event that reaches it (wheel included) and runs the
// close block on a press. Children added to it (a popover, a guide panel) take their clicks as usual.
class ShieldCloseOnClickView : public QWidget {
    Q_OBJECT
public:
    explicit ShieldCloseOnClickView(QWidget* parent);

    void setOnCloseBlock(std::function<void()> block) { m_onCloseBlock = std::move(block); }
    std::function<void()> onCloseBlock() const { return m_onCloseBlock; }

    // Acts as a click.
    void performClose();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void()> m_onCloseBlock;
    friend class MouseEventShieldWindow;
    QColor m_tint = Qt::transparent;
};

// A clear surface laid over a window that catches clicks beside a transient panel.
//
// sheildWindowForWindow() lays the shield over the given window as a child surface that covers the window's whole
// area and follows its size; it stays exactly aligned wherever the window manager moves the window, and needs no
// compositor to be clear. The constructor with a rectangle makes a separate borderless, translucent window instead.
// In both cases the shield is created hidden: show() plays the part of adding it above the window and making it key.
// A shield laid over a window is that window's child and goes with it, so keep it through QPointer; close() hides
// it (and deletes it when WA_DeleteOnClose is set).
class MouseEventShieldWindow : public QWidget {
    Q_OBJECT
public:
    static MouseEventShieldWindow* sheildWindowForWindow(QWidget* window);
    explicit MouseEventShieldWindow(const QRect& contentRect);

    ShieldCloseOnClickView* closeOnClickView() const { return m_closeOnClickView; }
    void setOnCloseBlock(std::function<void()> block) { m_closeOnClickView->setOnCloseBlock(std::move(block)); }

    // Tints the whole shield (clear by default).
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return m_closeOnClickView->m_tint; }

    // The window this shield covers (null for a free-standing shield).
    QWidget* coveredWindow() const { return m_coveredWindow; }

    // For a panel that does not hold the window (a guide beside the work): a click or a wheel turn beside the
    // panel reaches what lies under it, and a click closes the panel as well. Only for a shield laid over a window.
    void setPassesEventsThrough(bool passes);
    bool passesEventsThrough() const { return m_passesEventsThrough; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    explicit MouseEventShieldWindow(QWidget* window, bool);
    void setUpCloseOnClickView();
    // In pass-through mode the shield takes events only where its panels lie.
    void updatePassThroughMask();

    ShieldCloseOnClickView* m_closeOnClickView = nullptr;
    QPointer<QWidget> m_coveredWindow;
    bool m_passesEventsThrough = false;
};
