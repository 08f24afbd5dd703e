#pragma once

#include <QPixmap>
#include <QScrollBar>

// A scroll bar that looks exactly like the style's own but keeps its groove, which does not move with the value,
// as a picture: a scroll (an animated one repaints the bar every frame) then draws only the handle and the two
// arrows over it. A bar under the pointer or pressed, and styles whose split drawing is not known to match their
// whole drawing, paint as usual.
class GrooveCachingScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit GrooveCachingScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Whether paints take the cached groove with the current style.
    bool cachesGroove() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct GrooveKey {
        QSize size;
        qreal devicePixelRatio = 0;
        int state = 0;
        qint64 paletteKey = 0;
        int direction = 0;
        bool operator==(const GrooveKey&) const = default;
    };

    QPixmap m_groove;
    GrooveKey m_grooveKey;
};
