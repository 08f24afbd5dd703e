#pragma once

#include <functional>

#include <QWidget>

// A view that runs a block when the pointer enters it and another when it leaves.
class HoverAreaView : public QWidget {
    Q_OBJECT
public:
    explicit HoverAreaView(QWidget* parent = nullptr);

    void setOnMouseEnterBlock(std::function<void()> block) { m_onEnter = std::move(block); }
    void setOnMouseExitBlock(std::function<void()> block) { m_onExit = std::move(block); }

    // Re-reads whether the pointer is inside (after the view moved under a still pointer) and runs the matching
    // block when that changed.
    void updateTrackingAreas();
    bool isPointerInside() const { return m_inside; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setInside(bool inside);

    std::function<void()> m_onEnter;
    std::function<void()> m_onExit;
    bool m_inside = false;
};
