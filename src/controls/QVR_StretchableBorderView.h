#pragma once

#include <QPixmap>
#include <QWidget>

// The background of a docked or floating panel, drawn as a nine-part stretchable border: docked, a flat panel with
// a separator line on its left edge; floating, a rounded card with a soft shadow. Never takes clicks.
class QVR_StretchableBorderView : public QWidget {
    Q_OBJECT
public:
    QVR_StretchableBorderView(const QRect& frame, bool docked, QWidget* parent = nullptr);

    bool isDocked() const { return m_docked; }
    // The border image chosen by the docked flag, at the given pixel ratio; its caps are kCap points.
    static QPixmap borderImage(bool docked, double devicePixelRatio);
    static constexpr double kCap = 12.0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_docked;
};
