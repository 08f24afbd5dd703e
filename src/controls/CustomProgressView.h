#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class QPainter;

// A progress bar with a text label drawn across it: over the filled part the text is in the label colour, beside
// it (over the empty track) in the bar colour, so it stays readable at every progress.
class CustomProgressView : public QWidget {
    Q_OBJECT
public:
    explicit CustomProgressView(QWidget* parent = nullptr);

    float progress() const { return m_progress; }
    // 0..1 (clamped).
    void setProgress(float progress);

    QString labelText() const { return m_labelText; }
    void setLabelText(const QString& text);
    QFont labelFont() const { return m_labelFont; }
    void setLabelFont(const QFont& font);
    QColor barColor() const { return m_barColor; }
    void setBarColor(const QColor& color);
    QColor barLabelTextColor() const { return m_barLabelTextColor; }
    void setBarLabelTextColor(const QColor& color);

    // The filled part of the bar for the current progress.
    QRectF filledRect() const;

    QSize sizeHint() const override { return QSize(200, 18); }

    // Draws the bar, in this view's look, into `rect` of any painter (views that are not widgets share it):
    // the rounded track on `background`, the part up to `progress` (clamped to 0..1) in `barColor`, and the label
    // in `labelColor` over the filled part and in `barColor` beside it.
    static void paintBar(QPainter& painter, const QRectF& rect, float progress, const QString& label, const QFont& font,
                         const QColor& barColor, const QColor& labelColor,
                         const QColor& background = QColor(255, 255, 255, 230));

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float m_progress = 0.0f;
    QString m_labelText;
    QFont m_labelFont;
    QColor m_barColor;
    QColor m_barLabelTextColor = Qt::white;
};
