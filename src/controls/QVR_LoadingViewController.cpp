#include "controls/QVR_LoadingViewController.h"

#include <algorithm>

#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/CustomProgressView.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"

namespace {

// A ring with a gap that turns while spinning; drawn in code so it is crisp at any scale.
class Spinner : public QWidget {
public:
    explicit Spinner(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(32, 32);
        m_timer.setInterval(16);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 8) % 360;
            update();
        });
    }
    void start()
    {
        m_timer.start();
        show();
    }
    void stop()
    {
        m_timer.stop();
        hide();
    }
    bool spinning() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF ring = QRectF(rect()).adjusted(3, 3, -3, -3);
        painter.setPen(QPen(QColor(255, 255, 255, 60), 3));
        painter.drawEllipse(ring);
        QPen arc(Tessutils::tessarineBlue(), 3);
        arc.setCapStyle(Qt::RoundCap);
        painter.setPen(arc);
        painter.drawArc(ring, -m_angle * 16, 270 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

} // namespace

QVR_LoadingViewController::QVR_LoadingViewController(QObject* parent)
    : ViewController(parent)
{
}

void QVR_LoadingViewController::loadView()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("QVR_LoadingViewController"));
    panel->resize(300, 140);
    auto* spinner = new Spinner(panel);
    spinner->hide();
    m_spinner = spinner;
    m_progressView = new CustomProgressView(panel);
    m_progressView->setMinimumHeight(18);
    m_cancelButton = new QPushButton(UFM::CANCEL_TEXT(), panel);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->loadingViewCancelButtonPressed();
    });

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->addWidget(spinner, 0, Qt::AlignHCenter);
    layout->addWidget(m_progressView);
    layout->addWidget(m_cancelButton, 0, Qt::AlignHCenter);
    setView(panel);
    m_progressView->setProgress(float(m_progress));
    if (m_spinning)
        spinner->start();
}

void QVR_LoadingViewController::startSpinner()
{
    m_spinning = true;
    view();
    static_cast<Spinner*>(m_spinner.data())->start();
}

void QVR_LoadingViewController::stopSpinner()
{
    m_spinning = false;
    if (m_spinner)
        static_cast<Spinner*>(m_spinner.data())->stop();
}

bool QVR_LoadingViewController::isSpinning() const
{
    return m_spinning;
}

void QVR_LoadingViewController::setProgress(double progress)
{
    m_progress = std::clamp(progress, 0.0, 1.0);
    if (m_progressView)
        m_progressView->setProgress(float(m_progress));
}

QPushButton* QVR_LoadingViewController::cancelButton()
{
    view();
    return m_cancelButton;
}

CustomProgressView* QVR_LoadingViewController::progressView()
{
    view();
    return m_progressView;
}

QWidget* QVR_LoadingViewController::spinner()
{
    view();
    return m_spinner;
}
