#pragma once

#include <functional>

#include <QPointer>
#include <QPushButton>
#include <QWidget>

// The content of the crop popover: a Crop button and a Cancel button on the popover's blue, 153 × 48. Its views
// come from the interface file named after the class.
class QVR_CropPopoverButtonsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 153;
    static constexpr int kHeight = 48;

    static QVR_CropPopoverButtonsView* cropPopoverButtonsView(QWidget* parent = nullptr);
    explicit QVR_CropPopoverButtonsView(QWidget* parent = nullptr);

    QPushButton* cropButton() const { return m_cropButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    std::function<void()> onComplete;
    std::function<void()> onCancel;

public slots:
    void cropButtonPressed();
    void cancelButtonPressed();

private:
    static void registerNib();

    QPointer<QPushButton> m_cropButton;
    QPointer<QPushButton> m_cancelButton;
};
