#include <gtest/gtest.h>

#include <atomic>

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "controls/AsynchronousRenderImageView.h"
#include "controls/ViewUtils.h"

namespace {

// A 200 x 100 picture: left half red, right half blue.
QString writeTestImage(const QTemporaryDir& dir)
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            image.setPixelColor(x, y, Qt::blue);
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    image.save(path);
    return path;
}

class DecodeObserver {
public:
    DecodeObserver()
    {
        AsynchronousRenderImageView::setDecodeObserverForTesting([this](bool onMainThread) {
            ++decodes;
            if (onMainThread)
                ++decodesOnMainThread;
        });
    }
    ~DecodeObserver() { AsynchronousRenderImageView::setDecodeObserverForTesting(nullptr); }
    std::atomic<int> decodes{0};
    std::atomic<int> decodesOnMainThread{0};
};

} // namespace

TEST(AsynchronousRenderImageView, DecodesOffTheMainThreadAndShowsTheResult)
{
    QTemporaryDir dir;
    const QString path = writeTestImage(dir);
    DecodeObserver observer;
    AsynchronousRenderImageView view(QRect(0, 0, 100, 100));
    view.show();
    view.setContentMode(ViewUtils::ContentModeScaleAspectFit);
    view.setImagePath(path);
    EXPECT_TRUE(view.renderedImage().isNull()); // nothing decoded synchronously

    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.renderedImage().isNull(); }, 5000));
    EXPECT_GE(observer.decodes.load(), 1);
    EXPECT_EQ(observer.decodesOnMainThread.load(), 0);

    // Aspect fit of a 2:1 picture in a square: a 100 x 50 band centred vertically, transparent above and below.
    const QImage shown = view.renderedImage();
    const double dpr = shown.devicePixelRatio();
    EXPECT_EQ(shown.pixelColor(int(25 * dpr), int(50 * dpr)), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(int(75 * dpr), int(50 * dpr)), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(int(50 * dpr), int(10 * dpr)).alpha(), 0);
}

TEST(AsynchronousRenderImageView, ContentModesFitFillAndStretch)
{
    QImage source(200, 100, QImage::Format_RGB32);
    source.fill(Qt::green);
    const QSize square(100, 100);
    const QImage fit = AsynchronousRenderImageView::renderForContentMode(source, square, 1);
    EXPECT_EQ(fit.pixelColor(50, 5).alpha(), 0);
    EXPECT_EQ(fit.pixelColor(50, 50), QColor(Qt::green));
    const QImage fill = AsynchronousRenderImageView::renderForContentMode(source, square, 2);
    EXPECT_EQ(fill.pixelColor(50, 2), QColor(Qt::green));
    EXPECT_EQ(fill.pixelColor(2, 50), QColor(Qt::green));
    const QImage stretch = AsynchronousRenderImageView::renderForContentMode(source, square, 0);
    EXPECT_EQ(stretch.pixelColor(50, 2), QColor(Qt::green));
    EXPECT_TRUE(AsynchronousRenderImageView::renderForContentMode(QImage(), square, 1).isNull());
}

TEST(AsynchronousRenderImageView, UnreadableFileShowsNothingAndALaterPathWins)
{
    QTemporaryDir dir;
    const QString good = writeTestImage(dir);
    const QString bad = dir.filePath(QStringLiteral("not-an-image.png"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("definitely not a PNG");
    file.close();

    AsynchronousRenderImageView view(QRect(0, 0, 80, 80));
    view.show();
    QSignalSpy rendered(&view, &AsynchronousRenderImageView::contentsRendered);
    view.setImagePath(bad);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rendered.count() >= 1; }, 5000));
    EXPECT_TRUE(view.renderedImage().isNull());

    // Two paths in one turn: only the last one is rendered.
    view.setImagePath(dir.filePath(QStringLiteral("missing.png")));
    view.setImagePath(good);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.renderedImage().isNull(); }, 5000));

    view.setImagePath(QString());
    EXPECT_TRUE(view.renderedImage().isNull());
}

TEST(AsynchronousRenderImageView, DestroyingTheViewWhileRenderingIsSafe)
{
    QTemporaryDir dir;
    const QString path = writeTestImage(dir);
    DecodeObserver observer;
    for (int i = 0; i < 20; ++i) {
        auto* view = new AsynchronousRenderImageView(QRect(0, 0, 64, 64));
        view->setImagePath(path);
        view->redrawContents();
        QCoreApplication::processEvents(); // lets the render start
        delete view;
    }
    // Stale work drains without touching the deleted views.
    AsynchronousRenderImageView last(QRect(0, 0, 64, 64));
    last.setImagePath(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !last.renderedImage().isNull(); }, 5000));
}
