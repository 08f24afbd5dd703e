#pragma once

#include <QWidget>

class CustomProgressView;
class QPushButton;

// The strip at the foot of the canvas while content is being added: the progress bar and a cancel button. It
// keeps itself over the whole width of its parent's foot. The bar never moves back.
class QVRContentAdditionProgressView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 36;

    explicit QVRContentAdditionProgressView(QWidget* parent);

    CustomProgressView* progressBar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    // Ignored when it would move the bar back.
    void setProgress(double fraction);
    double progress() const;

signals:
    void cancelRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void followParent();

    CustomProgressView* m_bar = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
