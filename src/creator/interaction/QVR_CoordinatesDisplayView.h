#pragma once

#include <memory>
#include <vector>

#include <QRect>
#include <QString>
#include <QWidget>

#include "tessarine_data_model/ObjectUpdateNotifier.h"

class QVR_SelectedItemView;
class ZERI_MixedMediaObjectProxy;

// A small dark badge reading out, in model units, the position and size of the selected objects: up to four
// labels ("x:", "y:", the width and the height, each followed by a whole number), in two columns whose rows
// count from the bottom edge. It follows its object's frame live. Drawn by hand; main thread only.
class QVR_CoordinatesDisplayView : public QWidget {
    Q_OBJECT
public:
    enum Coordinate { X = 1, Y = 2, Width = 4, Height = 8 };
    static constexpr int kMargin = 5;

    explicit QVR_CoordinatesDisplayView(QWidget* parent = nullptr);

    // The object whose x, width and height show (and y, without a secondary object).
    void setMmObj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    std::shared_ptr<ZERI_MixedMediaObjectProxy> mmObj() const { return m_object; }
    // Takes the leftmost selected object as the main one and the topmost for y (first found wins ties).
    void setSelectedItem(const QVR_SelectedItemView* selection);
    void setDisplayCoordinates(int mask) { m_displayCoordinates = mask; }
    int displayCoordinates() const { return m_displayCoordinates; }
    void redrawLayerContents();
    void releaseCurrentObject();

    static QString attStringForFloatValue(float value, const QString& prepend);

    // The labels as laid out, in widget coordinates (for checks).
    struct Label {
        QString text;
        QRect rect;
    };
    const std::vector<Label>& labels() const { return m_labels; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_object;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_secondary;
    ObjectUpdateNotifierObserver m_updateObserver;
    int m_displayCoordinates = 0;
    std::vector<Label> m_labels;
};
