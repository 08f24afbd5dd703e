#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "storage/ZERI_WebDownloader.h"

namespace {

// The "remote" side is a file outside the download folder, fetched through a file: URL (no network).
struct DownloadFixture {
    QTemporaryDir source;
    QTemporaryDir cache;
    QString writeSource(const QString& name, QColor color)
    {
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(color);
        const QString path = source.filePath(name);
        image.save(path);
        return path;
    }
};

} // namespace

TEST(AsynchronousRenderWebImageView, ShowsTheDownloadersFileOnceItIsOnDisk)
{
    DownloadFixture f;
    const QString remote = f.writeSource(QStringLiteral("photo.png"), Qt::green);
    auto downloader = ZERI_WebDownloader::downloaderForUrl(QUrl::fromLocalFile(remote), f.cache.path());
    QVR_AsynchronousRenderWebImageView view(QRect(0, 0, 64, 32));
    view.show();
    view.setDownloader(downloader);
    EXPECT_EQ(view.downloader(), downloader);
    EXPECT_TRUE(view.imagePath().isEmpty()); // nothing on disk yet

    downloader->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.renderedImage().isNull(); }, 10000));
    EXPECT_EQ(view.imagePath(), downloader->filepath());
    const QImage shown = view.renderedImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::green));

    // A second view given a downloader that is already on disk shows it without waiting for a report.
    QVR_AsynchronousRenderWebImageView second(QRect(0, 0, 64, 32));
    second.setDownloader(downloader);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !second.renderedImage().isNull(); }, 10000));
}

TEST(AsynchronousRenderWebImageView, AFailingDownloadShowsNothingOrTheStandIn)
{
    DownloadFixture f;
    auto downloader = ZERI_WebDownloader::downloaderForUrl(
        QUrl::fromLocalFile(f.source.filePath(QStringLiteral("missing.png"))), f.cache.path());
    QVR_AsynchronousRenderWebImageView view(QRect(0, 0, 64, 32));
    view.show();
    view.setDownloader(downloader);
    downloader->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
    QCoreApplication::processEvents(); // the status report reaches the view at the end of the turn
    EXPECT_TRUE(view.renderedImage().isNull());
    EXPECT_TRUE(view.imagePath().isEmpty());

    // The low-quality stand-in stays while the real file cannot come.
    QImage standIn(8, 4, QImage::Format_RGB32);
    standIn.fill(Qt::red);
    view.setImage(standIn);
    EXPECT_FALSE(view.renderedImage().isNull());
    downloader->downloadAndCache(); // fails again
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.renderedImage().isNull());

    // Swapping to another downloader drops the old one's picture; a null downloader is harmless.
    view.setDownloader(nullptr);
    EXPECT_TRUE(view.renderedImage().isNull());
}
