#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QLineEdit>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include "tessarine_data_model/ObjectUpdateNotifier.h"

class UndoableAction;
class ZERI_FlowModel;
class ZERI_MixedMediaObjectProxy;

// A palette entry: a dark gradient field with rounded corners and a little inner padding.
class XYPaletteTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit XYPaletteTextField(QWidget* parent = nullptr);

    // Whether a focus-out for `reason` goes to the field's own menu, which takes the focus while it is open. The
    // editing goes on through that menu, whose Undo and Redo use the field's own undo history (the line edit then
    // does not report its editing finished either); any other move of the focus ends the editing.
    bool losesFocusToOwnMenu(Qt::FocusReason reason) const;
};

// The numeric palette of the dock: x, y, width, height and the content percent of the selection. It follows the
// first tracked object's "frame" and "zoomScale" and writes entries into the model as they are typed; each
// field's editing, from its first keystroke to Return or focus-out, is one undo step that pages back to the
// objects' screen. With several objects only x and y can be edited. Main thread only.
class QVRXYPaletteView : public QWidget {
    Q_OBJECT
public:
    enum Field { XField, YField, WidthField, HeightField, PercentField, FieldCount };

    explicit QVRXYPaletteView(QWidget* parent = nullptr);
    ~QVRXYPaletteView() override;

    void setTrackedMixedMediaObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& trackedMixedMediaObjects() const
    {
        return m_tracked;
    }
    // Shows the model again; the field being edited keeps what the user typed.
    void respondToMMObjChange();

    XYPaletteTextField* field(Field which) const { return m_fields[which]; }
    bool constrainProportions() const { return m_constrainProportions; }
    bool isEditing() const { return m_editingField >= 0; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void beginEditing(int field);
    void textChanged(int field, const QString& text);
    void endEditing();
    void setFieldText(int field, const QString& text);
    void clearTracking();
    bool hasOpenChange() const;
    // Whether the context menu of one of the fields is open.
    bool fieldMenuIsOpen() const;

    XYPaletteTextField* m_fields[FieldCount] = {};
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> m_tracked;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_observed;
    ObjectUpdateNotifierObserver m_observer;
    bool m_constrainProportions = false;

    // The field being edited, and the object's state when its edit began.
    int m_editingField = -1;
    bool m_wroteDuringEditing = false;
    QRectF m_startRect;
    std::optional<double> m_startZoomScale;
    QSizeF m_startZoomOffset;
    std::weak_ptr<ZERI_FlowModel> m_openFlow;
    std::weak_ptr<UndoableAction> m_openAction;
};
