#pragma once

#include <memory>
#include <vector>

#include <QColor>
#include <QTimer>
#include <QWidget>

#include "tessarine_data_model/ObjectUpdateNotifier.h"
#include "tessarine_data_model/TessarineDataModelItem.h"

class QDoubleSpinBox;
class QPlainTextEdit;
class QSlider;
class QVRColorPicker;
class UndoManager;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;

// The side menu's colour row: a well showing the first object's colour, which opens the shared colour panel,
// and an opacity slider and field. Edits go to every object (screens' backgrounds or shapes' fills). One pick,
// one drag through the panel or one slider drag is one undo step for all of them: the row holds an undo group
// open on the flow until the drag ends, 0.5 s after the last change, or the row goes.
class QVR_ColorOutlet : public QWidget {
    Q_OBJECT
public:
    static constexpr int kGroupIdleMs = 500;

    QVR_ColorOutlet(std::vector<ModelItemRef> objects, bool showsAlpha, QWidget* parent = nullptr);
    ~QVR_ColorOutlet() override;

    QVRColorPicker* well() const { return m_well; }
    QSlider* opacitySlider() const { return m_slider; }
    QDoubleSpinBox* opacityField() const { return m_field; }
    QWidget* opacityRow() const { return m_opacityRow; }
    bool isGroupOpen() const { return m_groupOpen; }

    // Applies `picked`, at the opacity the row shows, to every object (the well's picks come here).
    void applyColor(const QColor& picked);
    // Applies `alpha` to every object; `editing`, the control the value came from, is not written back.
    void applyOpacity(double alpha, const QWidget* editing = nullptr);
    // Whether every object shows the same colour (true without objects); objects without a colour count as equal.
    bool doAllObjectsHaveTheSameColor() const;
    // Ends the open undo group, if any.
    void closeUndoGroup();

private:
    void refresh(const QWidget* editing = nullptr);
    void openUndoGroup();
    QColor shownColor() const;

    std::vector<ModelItemRef> m_objects;
    std::weak_ptr<ZERI_FlowModel> m_groupFlow;
    bool m_groupOpen = false;
    bool m_applying = false;
    QTimer m_groupTimer;
    QVRColorPicker* m_well = nullptr;
    QWidget* m_opacityRow = nullptr;
    QSlider* m_slider = nullptr;
    QDoubleSpinBox* m_field = nullptr;
    std::vector<ObjectUpdateNotifierObserver> m_observers;
};

// The presenter notes of one screen; each keystroke is saved. Notes changed elsewhere show at once unless the
// field is being typed in.
class QVR_BigTextOutlet : public QWidget {
    Q_OBJECT
public:
    QVR_BigTextOutlet(const std::shared_ptr<ZERI_FlowScreenModel>& screen, QWidget* parent = nullptr);

    QPlainTextEdit* textView() const { return m_text; }

private:
    void refresh();

    std::weak_ptr<ZERI_FlowScreenModel> m_screen;
    QPlainTextEdit* m_text = nullptr;
    bool m_refreshing = false;
    ObjectUpdateNotifierObserver m_observer;
};
