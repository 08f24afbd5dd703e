#include <gtest/gtest.h>

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "ServiceTestSupport.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

QStringList pieces(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
}

class DownloadBoundsTest : public ServiceTest {
protected:
    void TearDown() override
    {
        ZERI_WebDownloader::setBoundsForTesting(0, 0);
        ServiceTest::TearDown();
    }

    // Downloads `path` of the fake service into the folder and waits for the end.
    std::shared_ptr<ZERI_WebDownloader> fetch(const QString& path)
    {
        QUrl url = m_service.baseUrl();
        url.setPath(path);
        auto downloader = ZERI_WebDownloader::downloaderForUrl(url, m_folder.path());
        downloader->downloadAndCache();
        EXPECT_TRUE(waitUntil([&] { return downloader->downloadStatus() != ZERI_WebDownloader::Downloading; }, 20000))
            << path.toStdString();
        return downloader;
    }

    QTemporaryDir m_folder;
};

} // namespace

TEST_F(DownloadBoundsTest, AnOversizedEndlessOrSilentDownloadStopsAndLeavesNoPiece)
{
    EXPECT_EQ(ZERI_WebDownloader::kMaximumDownloadSize, qint64(2) << 30);
    ZERI_WebDownloader::setBoundsForTesting(64 * 1024, 400);
    m_service.setPageReply(QStringLiteral("/endless.bin"), FakeHttpReply::stall(QByteArray(256 * 1024, 'e')));
    m_service.setPageReply(QStringLiteral("/announced.bin"), FakeHttpReply::stall("x", qint64(10) << 30));
    m_service.setPageReply(QStringLiteral("/silent.bin"), FakeHttpReply::stall(QByteArray(1024, 's'), 8192));
    m_service.setPage(QStringLiteral("/fits.bin"), "application/octet-stream", QByteArray(60 * 1024, 'f'));

    for (const QString& path : {QStringLiteral("/endless.bin"), QStringLiteral("/announced.bin")}) {
        const auto downloader = fetch(path);
        EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::Failed) << path.toStdString();
        EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::TooLarge) << path.toStdString();
        EXPECT_FALSE(QFileInfo::exists(downloader->filepath()));
    }
    const auto silent = fetch(QStringLiteral("/silent.bin"));
    EXPECT_EQ(silent->downloadStatus(), ZERI_WebDownloader::Failed);
    EXPECT_EQ(silent->downloadError().code, ZERI_WebDownloader::TimedOut)
        << silent->downloadError().message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(silent->filepath()));

    const auto fits = fetch(QStringLiteral("/fits.bin"));
    EXPECT_EQ(fits->downloadStatus(), ZERI_WebDownloader::OnDisk) << fits->downloadError().message.toStdString();
    EXPECT_EQ(fits->fileSize(), 60 * 1024);
    EXPECT_TRUE(pieces(m_folder.path()).isEmpty()) << pieces(m_folder.path()).join(' ').toStdString();
}

// Run as a child process by the test below: starts a download that never ends and waits to be killed.
TEST(DownloadPieceChild, DownloadUntilKilled)
{
    const QString url = qEnvironmentVariable("TESS_DOWNLOAD_CHILD_URL");
    if (url.isEmpty())
        GTEST_SKIP() << "only run as the child of APieceLeftByAProcessThatEndedGoesWhenThePackageIsCleaned";
    auto downloader = ZERI_WebDownloader::downloaderForUrl(QUrl(url), qEnvironmentVariable("TESS_DOWNLOAD_CHILD_DIR"));
    downloader->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->progress() > 0; }, 20000));
    std::printf("downloading\n");
    std::fflush(stdout);
    EXPECT_FALSE(QTest::qWaitFor([] { return false; }, 120000)); // killed long before
}

TEST_F(DownloadBoundsTest, APieceLeftByAProcessThatEndedGoesWhenThePackageIsCleaned)
{
    QTemporaryDir packages;
    ZERI_qvdFilePackage::setPackagesFolder(packages.path());
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    ASSERT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document));
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    ASSERT_TRUE(package);
    const QString assets = package->assetsPath();
    m_service.setPageReply(QStringLiteral("/stalled.bin"), FakeHttpReply::stall(QByteArray(4096, 'p'), 1 << 20));
    m_service.setPageReply(QStringLiteral("/running.bin"), FakeHttpReply::stall(QByteArray(4096, 'r'), 1 << 20));
    QUrl stalled = m_service.baseUrl();
    stalled.setPath(QStringLiteral("/stalled.bin"));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TESS_DOWNLOAD_CHILD_URL"), stalled.toString());
    environment.insert(QStringLiteral("TESS_DOWNLOAD_CHILD_DIR"), assets);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=DownloadPieceChild.DownloadUntilKilled")});
    ASSERT_TRUE(child.waitForStarted(10000));
    QByteArray output;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            output += child.readAllStandardOutput();
            return output.contains("downloading") || child.state() == QProcess::NotRunning;
        },
        30000));
    ASSERT_TRUE(output.contains("downloading")) << output.toStdString();
    ASSERT_EQ(pieces(assets).size(), 1);

    // A download of this process is running too.
    QUrl runningUrl = m_service.baseUrl();
    runningUrl.setPath(QStringLiteral("/running.bin"));
    auto running = ZERI_WebDownloader::downloaderForUrl(runningUrl, assets);
    running->downloadAndCache();
    ASSERT_TRUE(waitUntil([&] { return running->progress() > 0; }));
    ASSERT_EQ(pieces(assets).size(), 2);

    // While both run, cleaning leaves their pieces alone.
    package->cleanDirectories();
    EXPECT_EQ(pieces(assets).size(), 2);

    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(pieces(assets).size(), 2) << "a killed process removes nothing";
    package->cleanDirectories();
    const QStringList left = pieces(assets);
    ASSERT_EQ(left.size(), 1) << left.join(' ').toStdString();
    EXPECT_TRUE(left.front().startsWith(QLatin1Char('.') + running->filename())) << left.front().toStdString();

    running->cancel();
    EXPECT_TRUE(pieces(assets).isEmpty());
    ZERI_qvdFilePackage::setPackagesFolder(QString());
}
