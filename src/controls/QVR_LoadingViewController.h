#pragma once

#include <QPointer>

#include "controls/ViewController.h"

class QPushButton;
class QTimer;
class CustomProgressView;

class QVR_LoadingViewDelegate {
public:
    virtual ~QVR_LoadingViewDelegate() = default;
    virtual void loadingViewCancelButtonPressed() = 0;
};

// A loading panel: a spinning ring, a progress bar and a Cancel button that tells the delegate.
class QVR_LoadingViewController : public ViewController {
    Q_OBJECT
public:
    explicit QVR_LoadingViewController(QObject* parent = nullptr);

    void startSpinner();
    void stopSpinner();
    bool isSpinning() const;

    // Fraction 0..1 (clamped).
    void setProgress(double progress);
    double progress() const { return m_progress; }

    // Not owned.
    void setDelegate(QVR_LoadingViewDelegate* delegate) { m_delegate = delegate; }

    QPushButton* cancelButton();
    CustomProgressView* progressView();
    QWidget* spinner();

protected:
    void loadView() override;

private:
    QVR_LoadingViewDelegate* m_delegate = nullptr;
    QPointer<QPushButton> m_cancelButton;
    QPointer<CustomProgressView> m_progressView;
    QPointer<QWidget> m_spinner;
    double m_progress = 0.0;
    bool m_spinning = false;
};
