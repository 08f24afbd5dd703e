#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "LocalHttpServer.h"
#include "platform/AppPaths.h"
#include "platform/MainThread.h"
#include "storage/FailedAddresses.h"
#include "storage/ZERI_WebDownloader.h"

namespace {

struct StatusRecorder {
    std::vector<int> states;
    bool allOnMainThread = true;
    ObjectUpdateNotifierObserver observation;

    explicit StatusRecorder(const std::shared_ptr<ZERI_WebDownloader>& downloader)
    {
        std::weak_ptr<ZERI_WebDownloader> weak = downloader;
        observation = downloader->updateNotifier().addObservationBlock(
            [this, weak](const void*, const QSet<QString>&) {
                allOnMainThread = allOnMainThread && MainThread::isMainThread();
                if (auto d = weak.lock(); d && (states.empty() || states.back() != d->downloadStatus()))
                    states.push_back(d->downloadStatus());
            },
            QStringLiteral("downloadStatus"));
    }
};

QByteArray payload(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 31 + 7) & 0xff);
    return data;
}

bool waitForStatus(const std::shared_ptr<ZERI_WebDownloader>& d, int status)
{
    return QTest::qWaitFor([&] { return d->downloadStatus() == status; }, 10000);
}

class WebDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }
    LocalHttpServer server;
    QTemporaryDir cache;
};

} // namespace

TEST_F(WebDownloaderTest, DownloadGoesIdleDownloadingOnDiskWithTheServedBytes)
{
    const QByteArray body = payload(300 * 1024);
    server.setRoute(QStringLiteral("/media/image.png"), {200, body});
    auto downloader =
        ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/media/image.png")), cache.path());
    StatusRecorder recorder(downloader);
    EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::Idle);
    EXPECT_FALSE(downloader->fileExists());
    EXPECT_EQ(downloader->fileSize(), 0);

    downloader->downloadAndCache();
    ASSERT_TRUE(waitForStatus(downloader, ZERI_WebDownloader::OnDisk));
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.states.size() >= 2; }, 2000));

    EXPECT_EQ(recorder.states, (std::vector<int>{ZERI_WebDownloader::Downloading, ZERI_WebDownloader::OnDisk}));
    EXPECT_TRUE(recorder.allOnMainThread);
    QFile file(downloader->filepath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), body);
    EXPECT_EQ(downloader->fileSize(), body.size());
    EXPECT_DOUBLE_EQ(downloader->progress(), 1.0);
    EXPECT_GE(downloader->downloadTime(), 0.0);
    EXPECT_TRUE(downloader->downloadError().isNull());
    // Only the finished file is left in the folder: no temporary pieces.
    EXPECT_EQ(QDir(cache.path()).entryList(QDir::Files | QDir::Hidden), QStringList{downloader->filename()});
}

TEST_F(WebDownloaderTest, HttpErrorFailsWithStatusAndLeavesNoFile)
{
    server.setRoute(QStringLiteral("/gone.jpg"), {404, "<html>missing</html>"});
    auto downloader = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/gone.jpg")), cache.path());
    downloader->downloadAndCache();
    ASSERT_TRUE(waitForStatus(downloader, ZERI_WebDownloader::Failed));
    const Error error = downloader->downloadError();
    EXPECT_EQ(error.domain, QStringLiteral("ZERI_WebDownloaderError"));
    EXPECT_EQ(error.code, ZERI_WebDownloader::HTTPError);
    EXPECT_EQ(error.userInfo.value(QStringLiteral("httpStatus")).toInt(), 404);
    EXPECT_FALSE(QFileInfo::exists(downloader->filepath()));
    EXPECT_TRUE(QDir(cache.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(WebDownloaderTest, SecondStartWhileDownloadingSendsNoSecondRequestAndSharesTheDownloader)
{
    server.setRoute(QStringLiteral("/slow.mov"), {200, payload(4096), -1, true});
    const QUrl url = server.url(QStringLiteral("/slow.mov"));
    auto first = ZERI_WebDownloader::downloaderForUrl(url, cache.path());
    first->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount(QStringLiteral("/slow.mov")) == 1; }, 5000));

    auto again = ZERI_WebDownloader::downloaderForUrl(url, cache.path() + QStringLiteral("/."));
    EXPECT_EQ(again, first);
    again->downloadAndCache();
    first->downloadAndCache();
    QTest::qWait(50); // give a (wrong) second request the chance to arrive
    EXPECT_EQ(server.requestCount(QStringLiteral("/slow.mov")), 1);
    EXPECT_FALSE(QFileInfo::exists(first->filepath()));

    server.release();
    ASSERT_TRUE(waitForStatus(first, ZERI_WebDownloader::OnDisk));
    EXPECT_EQ(first->fileSize(), 4096);
    // Once on disk, a new start fetches nothing.
    first->downloadAndCache();
    EXPECT_EQ(first->downloadStatus(), ZERI_WebDownloader::OnDisk);
    EXPECT_EQ(server.requestCount(QStringLiteral("/slow.mov")), 1);
}

TEST_F(WebDownloaderTest, ConnectionCutHalfWayFailsAndLeavesNoFileThatLooksComplete)
{
    server.setRoute(QStringLiteral("/cut.mp4"), {200, payload(200000), 100000, true});
    auto downloader = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/cut.mp4")), cache.path());
    downloader->downloadAndCache();
    // Half the body has reached the temporary file; the target name is still free.
    const auto partBytes = [&] {
        qint64 total = 0;
        for (const QFileInfo& info : QDir(cache.path()).entryInfoList(QDir::Files | QDir::Hidden))
            total += info.size();
        return total;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return partBytes() >= 100000; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return downloader->progress() >= 0.5; }, 5000));
    EXPECT_FALSE(QFileInfo::exists(downloader->filepath()));
    EXPECT_FALSE(downloader->fileExists());
    EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::Downloading);

    server.release();
    ASSERT_TRUE(waitForStatus(downloader, ZERI_WebDownloader::Failed));
    EXPECT_EQ(downloader->downloadError().code, ZERI_WebDownloader::NetworkError);
    EXPECT_FALSE(QFileInfo::exists(downloader->filepath()));
    EXPECT_TRUE(QDir(cache.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(WebDownloaderTest, CancelStopsTheTransferAndReturnsToIdle)
{
    server.setRoute(QStringLiteral("/big.bin"), {200, payload(10000), -1, true});
    auto downloader = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/big.bin")), cache.path());
    downloader->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount(QStringLiteral("/big.bin")) == 1; }, 5000));
    downloader->cancel();
    EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::Idle);
    server.release();
    QTest::qWait(50);
    EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::Idle);
    EXPECT_TRUE(QDir(cache.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// Pictures shown beside documents (avatars, tile previews) run a few at once, the others waiting their turn, and
// none may be larger than a picture; a document's media keeps the larger cap.
TEST_F(WebDownloaderTest, PicturesRunAFewAtOnceUnderAPictureSizedCap)
{
    ZERI_WebDownloader::setPictureBoundsForTesting(64 * 1024, 2);
    std::vector<std::shared_ptr<ZERI_WebDownloader>> pictures;
    const auto path = [](int i) { return QStringLiteral("/avatar%1.jpg").arg(i); };
    for (int i = 0; i < 5; ++i) {
        server.setRoute(path(i), {200, payload(1000), -1, true});
        pictures.push_back(
            ZERI_WebDownloader::downloaderForUrl(server.url(path(i)), cache.path(), ZERI_WebDownloader::Kind::Picture));
        pictures.back()->downloadAndCache();
    }
    const auto asked = [&] {
        int count = 0;
        for (int i = 0; i < 5; ++i)
            count += server.requestCount(path(i));
        return count;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked() == 2; }, 5000));
    QTest::qWait(50); // give a (wrong) third request the chance to arrive
    EXPECT_EQ(asked(), 2);
    for (const auto& picture : pictures)
        EXPECT_EQ(picture->downloadStatus(), ZERI_WebDownloader::Downloading);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            server.release();
            return std::all_of(pictures.begin(), pictures.end(),
                               [](const auto& p) { return p->downloadStatus() == ZERI_WebDownloader::OnDisk; });
        },
        10000));
    EXPECT_EQ(asked(), 5);

    server.setRoute(QStringLiteral("/huge.jpg"), {200, payload(100 * 1024)});
    server.setRoute(QStringLiteral("/huge.mp4"), {200, payload(100 * 1024)});
    auto picture = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/huge.jpg")), cache.path(),
                                                        ZERI_WebDownloader::Kind::Picture);
    auto media = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/huge.mp4")), cache.path());
    picture->downloadAndCache();
    media->downloadAndCache();
    ASSERT_TRUE(waitForStatus(picture, ZERI_WebDownloader::Failed));
    EXPECT_EQ(picture->downloadError().code, ZERI_WebDownloader::TooLarge);
    EXPECT_TRUE(waitForStatus(media, ZERI_WebDownloader::OnDisk));
    ZERI_WebDownloader::setPictureBoundsForTesting(0, 0);
}

// The folder a download writes into is put elsewhere and a link to a folder of the user's takes its place while the
// transfer runs: the file lands in the folder the download began in, and nothing in the folder the link leads to.
TEST_F(WebDownloaderTest, ADownloadLandsInTheFolderItBeganInWhateverTakesItsPlace)
{
    QTemporaryDir own;
    AppPaths::setTemporaryForTesting(own.path());
    const QString folder = own.filePath(QStringLiteral("pictures"));
    ASSERT_TRUE(QDir().mkpath(folder));
    server.setRoute(QStringLiteral("/held.png"), {200, payload(5000), -1, true});
    auto downloader = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/held.png")), folder);
    downloader->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount(QStringLiteral("/held.png")) == 1; }, 5000));
    QTemporaryDir users;
    ASSERT_TRUE(QFile::rename(folder, folder + QStringLiteral(".moved")));
    ASSERT_TRUE(QFile::link(users.path(), folder));
    server.release();
    EXPECT_TRUE(waitForStatus(downloader, ZERI_WebDownloader::OnDisk));
    EXPECT_TRUE(QDir(users.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(QDir(folder + QStringLiteral(".moved")).entryList(QDir::Files | QDir::Hidden),
              QStringList{downloader->filename()});
    AppPaths::setTemporaryForTesting({});
}

TEST(WebDownloaderNaming, SameLastPathComponentNeverSharesACacheFile)
{
    const QString dir = QStringLiteral("/tmp/cache");
    const QString a =
        ZERI_WebDownloader::cacheFilePathForUrl(QUrl(QStringLiteral("https://a.example/x/image.png")), dir);
    const QString b =
        ZERI_WebDownloader::cacheFilePathForUrl(QUrl(QStringLiteral("https://a.example/y/image.png")), dir);
    EXPECT_NE(a, b);
    EXPECT_TRUE(a.endsWith(QStringLiteral(".png")));
    EXPECT_TRUE(a.startsWith(dir + QLatin1Char('/')));
    // A file already inside the folder is its own cache file; one elsewhere is not.
    EXPECT_EQ(ZERI_WebDownloader::cacheFilePathForUrl(QUrl::fromLocalFile(dir + QStringLiteral("/abc.jpg")), dir),
              dir + QStringLiteral("/abc.jpg"));
    EXPECT_NE(ZERI_WebDownloader::cacheFilePathForUrl(QUrl::fromLocalFile(QStringLiteral("/elsewhere/abc.jpg")), dir),
              QStringLiteral("/elsewhere/abc.jpg"));
    // A path whose "extension" is not a plain suffix gets none rather than smuggling separators in.
    const QString odd =
        ZERI_WebDownloader::cacheFilePathForUrl(QUrl(QStringLiteral("https://a.example/file.p%2F..%2Fx")), dir);
    EXPECT_EQ(QFileInfo(odd).path(), dir);
}

TEST(WebDownloaderLocal, LocalFileInsideTheFolderIsOnDiskWithoutTransfer)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("asset.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("12345");
    file.close();
    const int before = ZERI_WebDownloader::requestsStartedForTesting();
    auto downloader = ZERI_WebDownloader::downloaderForUrl(QUrl::fromLocalFile(path), dir.path());
    EXPECT_EQ(downloader->filepath(), path);
    EXPECT_TRUE(downloader->fileExists());
    EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::OnDisk);
    EXPECT_EQ(downloader->fileSize(), 5);
    downloader->downloadAndCache();
    EXPECT_EQ(ZERI_WebDownloader::requestsStartedForTesting(), before);

    auto missing =
        ZERI_WebDownloader::downloaderForUrl(QUrl::fromLocalFile(dir.filePath(QStringLiteral("no.png"))), dir.path());
    missing->downloadAndCache();
    EXPECT_EQ(missing->downloadStatus(), ZERI_WebDownloader::Failed);
}

// One failing address asked for by several objects, each asking again whenever the download fails (as a picture
// whose cropped, retina and original assets share one address does): the server sees a few requests with growing
// pauses, not a storm, and after a new start none at all.
TEST(WebDownloaderFailedAddresses, AFailingAddressIsAskedAFewTimesWhoeverAsksAndNotAgainAtTheNextStart)
{
    FailedAddresses::resetForTesting(100);
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setRoute(QStringLiteral("/shared.png"), {500, "busy"});
    const QUrl url = server.url(QStringLiteral("/shared.png"));
    QTemporaryDir first;
    QTemporaryDir second;
    std::vector<std::shared_ptr<ZERI_WebDownloader>> downloaders{
        ZERI_WebDownloader::downloaderForUrl(url, first.path()),
        ZERI_WebDownloader::downloaderForUrl(url, second.path())};
    std::vector<ObjectUpdateNotifierObserver> observers;
    int failures = 0;
    for (const auto& downloader : downloaders) {
        observers.push_back(downloader->updateNotifier().addObservationBlock(
            [&, downloader](const void*, const QSet<QString>&) {
                if (downloader->downloadStatus() != ZERI_WebDownloader::Failed)
                    return;
                ++failures;
                for (const auto& each : downloaders)
                    each->downloadAndCache();
            },
            QStringLiteral("downloadStatus")));
    }
    downloaders.front()->downloadAndCache();
    QTest::qWait(1500);
    EXPECT_EQ(server.requestCount(QStringLiteral("/shared.png")), FailedAddresses::kMaximumTries);
    EXPECT_LT(failures, 20);
    for (const auto& downloader : downloaders) {
        EXPECT_EQ(downloader->downloadStatus(), ZERI_WebDownloader::Failed);
        EXPECT_EQ(downloader->downloadError().userInfo.value(QStringLiteral("httpStatus")).toInt(), 500);
        EXPECT_FALSE(ZERI_WebDownloader::isPassingFailure(downloader->downloadError()));
    }
    observers.clear();
    downloaders.clear();

    // A new start: the record on disk (by a hash of the address, never the address) keeps the address quiet.
    FailedAddresses::resetForTesting(100, /*keepStore=*/true);
    QFile store(FailedAddresses::storeFile());
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_FALSE(store.readAll().contains("127.0.0.1"));
    auto again = ZERI_WebDownloader::downloaderForUrl(url, first.path());
    again->downloadAndCache();
    EXPECT_EQ(again->downloadStatus(), ZERI_WebDownloader::Failed);
    QTest::qWait(300);
    EXPECT_EQ(server.requestCount(QStringLiteral("/shared.png")), FailedAddresses::kMaximumTries);
    FailedAddresses::resetForTesting();
}

// A failure that only repeats at a cost (a file past the size cap) is not asked again at all; a success forgets
// the earlier failures of its address.
TEST(WebDownloaderFailedAddresses, ATooLargeFileIsFetchedOnceAndASuccessForgetsTheFailures)
{
    FailedAddresses::resetForTesting(50);
    ZERI_WebDownloader::setBoundsForTesting(16, 0);
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setRoute(QStringLiteral("/large.png"), {200, QByteArray(64, 'L')});
    server.setRoute(QStringLiteral("/later.png"), {503, "busy"});
    QTemporaryDir folder;
    auto large = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/large.png")), folder.path());
    large->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return large->downloadStatus() == ZERI_WebDownloader::Failed; }, 5000));
    QTest::qWait(200);
    large->downloadAndCache();
    QTest::qWait(200);
    EXPECT_EQ(server.requestCount(QStringLiteral("/large.png")), 1);
    ZERI_WebDownloader::setBoundsForTesting(0, 0);

    auto later = ZERI_WebDownloader::downloaderForUrl(server.url(QStringLiteral("/later.png")), folder.path());
    later->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return later->downloadStatus() == ZERI_WebDownloader::Failed; }, 5000));
    server.setRoute(QStringLiteral("/later.png"), {200, "fine"});
    later->downloadAndCache();
    ASSERT_TRUE(QTest::qWaitFor([&] { return later->downloadStatus() == ZERI_WebDownloader::OnDisk; }, 5000));
    EXPECT_EQ(FailedAddresses::waitBeforeAsking(server.url(QStringLiteral("/later.png"))), 0);
    FailedAddresses::resetForTesting();
}

// An address nothing answers at (the service out of reach): however often it failed, it is asked again after its
// pause, so that its file comes once the service can be reached again.
TEST(WebDownloaderFailedAddresses, AnAddressNothingAnswersAtIsAskedAgainOnceItsPauseIsOver)
{
    FailedAddresses::resetForTesting(20);
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/picture.png").arg(closed.serverPort()));
    closed.close();
    QTemporaryDir folder;
    auto downloader = ZERI_WebDownloader::downloaderForUrl(url, folder.path());
    for (int attempt = 0; attempt < FailedAddresses::kMaximumTries + 2; ++attempt) {
        downloader->downloadAndCache();
        ASSERT_TRUE(QTest::qWaitFor([&] { return downloader->downloadStatus() == ZERI_WebDownloader::Failed; }, 5000));
        EXPECT_GE(FailedAddresses::waitBeforeAsking(url), 0) << "given up after " << attempt + 1 << " failures";
    }
    FailedAddresses::resetForTesting();
}
