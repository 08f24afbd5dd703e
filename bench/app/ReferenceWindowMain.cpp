#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <QWindow>
#include <QtMultimedia/QMediaPlayer>
#include <QtPdf/QPdfDocument>
#include <QtSvg/QSvgRenderer>
#include <QtWebEngineWidgets/QWebEngineView>

// Shows one window with a menu bar and prints, like the application under TESS_EXIT_AFTER_FIRST_WINDOW, the
// microseconds from the start of main until the window is exposed; then quits.
class ExposeProbe : public QObject {
public:
    explicit ExposeProbe(QElapsedTimer clock)
        : m_clock(clock)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window && window->isExposed() && !m_done) {
            m_done = true;
            std::printf("first-window-exposed %lld\n", static_cast<long long>(m_clock.nsecsElapsed() / 1000));
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_clock;
    bool m_done = false;
};

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    ExposeProbe probe(clock);
    app.installEventFilter(&probe);
    // Referenced so the linker keeps every module's library, as the application's own code does.
    volatile auto keep = &QWebEngineView::staticMetaObject;
    volatile auto keepPlayer = &QMediaPlayer::staticMetaObject;
    volatile auto keepPdf = &QPdfDocument::staticMetaObject;
    volatile auto keepSvg = &QSvgRenderer::staticMetaObject;
    (void)keep;
    (void)keepPlayer;
    (void)keepPdf;
    (void)keepSvg;
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("File"));
    window.resize(1024, 748);
    window.show();
    return app.exec();
}
