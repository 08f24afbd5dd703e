#pragma once

#include <functional>
#include <memory>

#include <QColor>
#include <QPointer>

#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "controls/SimpleControlView.h"

class QLabel;
class ZERI_MMObject_Shape;

class QVR_AddShapeMenuDelegate {
public:
    virtual ~QVR_AddShapeMenuDelegate() = default;
    virtual void shapeChosen(int shapeType) = 0;
};

// One sample of the add-shape menu: the shape drawn by the shape model itself inside a thin border whose colour,
// like the shape's, follows the pointer (blue at rest, greys under the pointer and while pressed).
class QVR_ShapeButtonView : public SimpleControlView {
    Q_OBJECT
public:
    // The outline that marks the shape holding the keyboard.
    static constexpr QColor kFocusRingColor{0x8C, 0xC4, 0xFF};
    explicit QVR_ShapeButtonView(QWidget* parent = nullptr);
    ~QVR_ShapeButtonView() override;

    int shapeType() const { return m_shapeType; }
    void setShapeType(int shapeType);
    std::function<void(QVR_ShapeButtonView*)> onClick() const { return m_onClick; }
    void setOnClick(std::function<void(QVR_ShapeButtonView*)> block) { m_onClick = std::move(block); }

    void setCurrentControlState(int state) override;
    // Invalid for a state other than 0, 1 and 2 (nothing drawn).
    QColor borderColor() const;
    QColor shapeColor() const;

protected:
    void clicked() override;
    void paintEvent(QPaintEvent* event) override;
    // Return, Enter and Space choose the focused shape.

private:
    int m_shapeType = 0;
    std::function<void(QVR_ShapeButtonView*)> m_onClick;
    std::shared_ptr<ZERI_MMObject_Shape> m_myShape;
};

// The add-shape menu, 900 × 200 points: a title and eight sample buttons in one row. In a narrower window the row
// shrinks to fit, every shape still in sight. The keyboard starts on the first shape when the menu shows; the left
// and right arrows move along the row.
class QVR_AddShapeMenuView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kSize{900, 200};

    explicit QVR_AddShapeMenuView(QWidget* parent = nullptr);

    QVR_AddShapeMenuDelegate* delegate() const { return m_delegate; }
    void setDelegate(QVR_AddShapeMenuDelegate* delegate) { m_delegate = delegate; }
    QLabel* titleLabel() const { return m_title; }
    QList<QVR_ShapeButtonView*> buttons() const { return m_buttons; }

    void shapeSelected(int shapeType);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOutButtons();

    QVR_AddShapeMenuDelegate* m_delegate = nullptr;
    QLabel* m_title = nullptr;
    QList<QVR_ShapeButtonView*> m_buttons;
};

class QVR_AddShapeMenuViewController : public NavigationControllerFriendlyViewController {
    Q_OBJECT
public:
    explicit QVR_AddShapeMenuViewController(QObject* parent = nullptr);

    QVR_AddShapeMenuView* menuView() const { return m_menuView; }
    QVR_AddShapeMenuDelegate* delegate() const { return m_menuView ? m_menuView->delegate() : nullptr; }
    void setDelegate(QVR_AddShapeMenuDelegate* delegate)
    {
        if (m_menuView)
            m_menuView->setDelegate(delegate);
    }

private:
    QPointer<QVR_AddShapeMenuView> m_menuView;
};
