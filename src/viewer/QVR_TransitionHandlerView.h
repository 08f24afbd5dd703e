#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

class QVariantAnimation;

// Told when a transition view has finished its one run.
class TransitionHandlerViewDelegate {
public:
    virtual ~TransitionHandlerViewDelegate() = default;
    virtual void transithonHandlerFinishedTransitioning() = 0;
};

// Plays one transition between two still pictures of screens, laid over the player that has already jumped to
// the new page: type 0 slides the "to" picture in beside the "from" picture in the direction of travel (1
// forward, 2 backward), type 2 fades the "from" picture out over the "to" picture. Any other type animates
// nothing and reports finished on the next event-loop turn, so its owner is never left waiting.
//
// Both pictures are fitted into the view's rectangle. One animation of `duration` seconds, ease in-out, drives
// the painting. With autoStart the view starts the first time it is shown. The delegate is not owned; the view
// never calls it after setDelegate(nullptr). Main thread only.
class QVR_TransitionHandlerView : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kSlideIn = 0;
    static constexpr qint64 kFade = 2;
    static constexpr qint64 kForward = 1;
    static constexpr qint64 kBackward = 2;

    QVR_TransitionHandlerView(const QRect& frame, qint64 transitionType, qint64 direction, const QImage& fromPicture,
                              const QImage& toPicture, double duration, bool startAutomatically,
                              QWidget* parent = nullptr);
    ~QVR_TransitionHandlerView() override;

    TransitionHandlerViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(TransitionHandlerViewDelegate* delegate) { m_delegate = delegate; }

    // Starts the transition once; later calls do nothing.
    void start();

    qint64 transitionType() const { return m_transitionType; }
    qint64 direction() const { return m_direction; }
    double duration() const { return m_duration; }
    bool hasStarted() const { return m_started; }
    bool hasFinished() const { return m_finished; }
    // Where the pictures are painted now (view coordinates) and the from picture's opacity.
    QRectF fromFrame() const;
    QRectF toFrame() const;
    double fromOpacity() const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void beginFadeTransition();
    void beginSlideInTransition();
    void finish();
    QRectF pictureRect() const;

    qint64 m_transitionType;
    qint64 m_direction;
    QImage m_from;
    QImage m_to;
    double m_duration;
    bool m_autoStart;
    bool m_started = false;
    bool m_finished = false;
    double m_progress = 0.0;
    QVariantAnimation* m_animation = nullptr;
    TransitionHandlerViewDelegate* m_delegate = nullptr;
};
