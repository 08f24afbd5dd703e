#pragma once

#include <QWidget>

// A progress ring for a circle gesture: the part done in white, the rest in grey, split at the progress.
// Nothing in the application shows one yet.
class QVR_CounterClockwiseCircleGestureHandlerView : public QWidget {
    Q_OBJECT
public:
    explicit QVR_CounterClockwiseCircleGestureHandlerView(QWidget* parent = nullptr);

    float progress() const { return m_progress; }
    void setProgress(float progress) { m_progress = progress; }
    // Sets the progress (0 to 1) and redraws the rings split at it.
    void setPercentComplete(double percent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float m_progress = 0;
    double m_split = 0;
};
