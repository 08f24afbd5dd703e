#pragma once

#include <functional>

#include <QColor>
#include <QList>
#include <QWidget>

class QVR_ToolbarButton;

// A colour swatch that opens the shared colour panel. Only a picker that presented the panel receives its picks,
// and leaving, it releases the panel only if it still owns it.
class QVRColorPicker : public QWidget {
    Q_OBJECT
public:
    explicit QVRColorPicker(QWidget* parent = nullptr);
    ~QVRColorPicker() override;

    QColor color() const { return m_color; }
    // Shows `color` (and, while this picker owns the panel, puts it in the panel) without calling back.
    void setColor(const QColor& color);
    // What the picker acts on holds several colours: the swatch shows none (a dash) until one is set or picked;
    // the panel opens on the colour shown before.
    void showMixedColors();
    bool showsMixedColors() const { return m_mixed; }
    void setColorList(const QList<QColor>& colors) { m_colorList = colors; }
    void setShowsAlpha(bool showsAlpha) { m_showsAlpha = showsAlpha; }

    // Takes the shared panel, fills it with this picker's colour and list, and shows it beside the control that
    // opened it, clear of the window's selection.
    void presentColorPanel();
    // The control the panel is put beside, when not the picker's own swatch (or the button showing it): a panel
    // of controls the panel should not cover either. Asked each time the panel is presented.
    void setPanelAnchor(std::function<QWidget*()> anchor) { m_panelAnchor = std::move(anchor); }
    // Where the panel is put beside, in global coordinates: the anchor, or the swatch's button, or the swatch;
    // nothing for a picker that shows nowhere.
    QRect panelAnchorRect() const;
    bool ownsColorPanel() const;

    // The toolbar button the object popovers show for this picker: an image of the swatch.
    QVR_ToolbarButton* makeToolbarButton(const QString& title = {}, QWidget* parent = nullptr);

    std::function<void(const QColor&)> onColorPicked;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void colorPicked(const QColor& color);

    QColor m_color = Qt::white;
    QList<QColor> m_colorList;
    bool m_showsAlpha = false;
    bool m_presenting = false;
    bool m_mixed = false;
    std::function<QWidget*()> m_panelAnchor;
};
