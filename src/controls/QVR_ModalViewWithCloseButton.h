#pragma once

#include <functional>

#include <QColor>
#include <QWidget>

class QPushButton;

// Base of the full-window modal views: a square close button that always stays the topmost child, whichever way
// children are added (addSubview, or a plain setParent/constructor parent). Subclasses read closeButton() directly
// and restyle it; it sits at the top-right corner.
class QVR_ModalViewWithCloseButton : public QWidget {
    Q_OBJECT
public:
    enum class Ordering { Above, Below };

    explicit QVR_ModalViewWithCloseButton(QWidget* parent = nullptr);
    explicit QVR_ModalViewWithCloseButton(const QRect& frame, QWidget* parent = nullptr);

    QPushButton* closeButton() const { return m_closeButton; }

    void addSubview(QWidget* view);
    // Adds the view above or below `relativeTo` (on top, or at the bottom, when relativeTo is not a child).
    void addSubview(QWidget* view, Ordering positioned, QWidget* relativeTo);

    std::function<void()> closedPressedBlock() const { return m_closedPressedBlock; }
    void setClosedPressedBlock(std::function<void()> block) { m_closedPressedBlock = std::move(block); }

    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);

    static constexpr int kCloseButtonSize = 44;
    static constexpr int kCloseButtonMargin = 12;

public slots:
    // What the close button does: runs the closed-pressed block.
    virtual void closedButtonPressed();

protected:
    void childEvent(QChildEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void keepCloseButtonOnTop();

    QPushButton* m_closeButton = nullptr;
    std::function<void()> m_closedPressedBlock;
    QColor m_backgroundColor;
};
