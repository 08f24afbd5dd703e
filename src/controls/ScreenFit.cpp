#include "controls/ScreenFit.h"

#include <QApplication>
#include <QBasicTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimerEvent>
#include <QWidget>

namespace {

// Watches one window: fits it when it shows, and once more when its window manager has decorated it.
class Keeper : public QObject {
public:
    Keeper(QWidget* window, ScreenFit::SizeForRoom rule)
        : QObject(window)
        , sizeForRoom(std::move(rule))
        , m_window(window)
    {
        setObjectName(QStringLiteral("screenFitKeeper"));
        window->installEventFilter(this);
    }

    const ScreenFit::SizeForRoom sizeForRoom;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window || !m_window->isWindow())
            return false;
        switch (event->type()) {
        case QEvent::Show:
            // Shown again after being minimised: where the user left it.
            if (event->spontaneous())
                break;
            if (!ScreenFit::decorations(m_window).isNull()) {
                ScreenFit::fit(m_window, ScreenFit::decorations(m_window));
                break;
            }
            ScreenFit::fit(m_window, decorationsOfActiveWindow());
            // A window manager decorates a window after it maps it, and the window need not move for it.
            m_decorationChecks = kDecorationChecks;
            m_decorationCheck.start(kDecorationCheckIntervalMs, this);
            break;
        case QEvent::Move:
        case QEvent::Resize:
            checkDecorations();
            break;
        default:
            break;
        }
        return false;
    }

    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() == m_decorationCheck.timerId() && (!m_window->isVisible() || --m_decorationChecks <= 0))
            m_decorationCheck.stop();
        checkDecorations();
    }

private:
    // Until it is decorated, a window is taken to get the decorations of the window in front.
    QMargins decorationsOfActiveWindow() const
    {
        const QWidget* front = QApplication::activeWindow();
        return front && front != m_window && front->isVisible() ? ScreenFit::decorations(front) : QMargins();
    }

    void checkDecorations()
    {
        if (!m_decorationCheck.isActive() || !m_window->isVisible())
            return;
        const QMargins decorations = ScreenFit::decorations(m_window);
        if (decorations.isNull())
            return;
        m_decorationCheck.stop();
        ScreenFit::fit(m_window, decorations);
    }

    static constexpr int kDecorationCheckIntervalMs = 50;
    static constexpr int kDecorationChecks = 40; // two seconds: a window without a window manager stays bare

    QWidget* m_window;
    QBasicTimer m_decorationCheck;
    int m_decorationChecks = 0;
};

const Keeper* keeperOf(const QWidget* window)
{
    return dynamic_cast<const Keeper*>(
        window->findChild<QObject*>(QStringLiteral("screenFitKeeper"), Qt::FindDirectChildrenOnly));
}

} // namespace

namespace ScreenFit {

QMargins decorations(const QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

QRect fittedFrame(const QRect& frame, QSize minimum, const QRect& available)
{
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()).expandedTo(minimum));
    if (fitted.right() > available.right())
        fitted.moveRight(available.right());
    if (fitted.bottom() > available.bottom())
        fitted.moveBottom(available.bottom());
    if (fitted.left() < available.left())
        fitted.moveLeft(available.left());
    if (fitted.top() < available.top())
        fitted.moveTop(available.top());
    return fitted;
}

void fit(QWidget* window, const QMargins& decorations, QScreen* screen)
{
    if (!window || !window->isWindow() ||
        (window->windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized | Qt::WindowMinimized)))
        return;
    if (!screen)
        screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize room = available.size().shrunkBy(decorations);
    QSize wanted = window->size();
    if (const Keeper* keeper = keeperOf(window); keeper && keeper->sizeForRoom)
        wanted = keeper->sizeForRoom(wanted, room); // the window's own rule says how it shrinks
    const QRect frame = fittedFrame(QRect(window->pos(), wanted.grownBy(decorations)),
                                    window->minimumSize().grownBy(decorations), available);
    const QSize size = frame.size().shrunkBy(decorations);
    if (size != window->size())
        window->resize(size);
    // A window the application has not placed is placed by its window manager: until then only its size is known.
    if (frame.topLeft() != window->pos() && (window->testAttribute(Qt::WA_Moved) || !decorations.isNull()))
        window->move(frame.topLeft());
}

void keepWhole(QWidget* window, SizeForRoom sizeForRoom)
{
    if (window && !keeperOf(window))
        new Keeper(window, std::move(sizeForRoom));
}

} // namespace ScreenFit
