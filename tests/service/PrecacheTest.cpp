#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "ServiceTestSupport.h"
#include "platform/AppPaths.h"
#include "service/QVBPrecacheManager.h"
#include "service/QVB_TessarinePrecacheHelper.h"
#include "storage/FailedAddresses.h"
#include "storage/ZERI_WebDownloader.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

struct RecordingPrecacheDelegate : QVBPrecacheManagerDelegate {
    int started = 0;
    int done = 0;
    int failedTooManyTimes = 0;
    QList<std::pair<int, int>> objects; // (done, total) of each report

    void precacheManagerStartedLoad(QVBPrecacheManager*) override { ++started; }
    void precacheManager(QVBPrecacheManager*, quint64, quint64, int doneObjects, int totalObjects) override
    {
        objects.append({doneObjects, totalObjects});
    }
    void precacheManagerDoneCaching(QVBPrecacheManager*) override { ++done; }
    void precacheManagerFailedTooManyTimes(QVBPrecacheManager*) override { ++failedTooManyTimes; }
    int calls() const { return started + done + failedTooManyTimes + int(objects.size()); }
};

// Two screens. Screen 1: preview, an image (cropped, retina and source) and a video (film and poster).
// Screen 2: preview, an image (cropped and source), a gallery picture and a local file.
struct RemoteDocument {
    std::shared_ptr<ZERI_TessarineModel> model;
    QMap<QString, QUrl> urls; // by role
};

class PrecacheTest : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        ASSERT_TRUE(m_temp.isValid());
        AppPaths::setTemporaryForTesting(m_temp.path());
        FailedAddresses::resetForTesting(10);
        m_manager.setDelegate(&m_delegate);
    }
    void TearDown() override
    {
        m_manager.resetEverything();
        ZERI_WebDownloader::setBoundsForTesting(0, 0);
        FailedAddresses::resetForTesting();
        AppPaths::setTemporaryForTesting(QString());
        ServiceTest::TearDown();
    }

    std::shared_ptr<ZERI_ContentAsset> remoteAsset(RemoteDocument& document, const QString& role, bool served = true)
    {
        const QString id = QStringLiteral("%1-%2").arg(role).arg(m_documents);
        const QUrl url = served ? m_service.addContent(id, role.toUtf8().repeated(100), role + ".png")
                                : m_service.contentURL(id, role + ".png");
        document.urls.insert(role, url);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(url);
        return asset;
    }

    RemoteDocument makeDocument(bool served = true)
    {
        ++m_documents;
        RemoteDocument document;
        document.model = ZERI_TessarineModel::create();
        auto flow = document.model->firstFlowmodel();
        auto first = ZERI_FlowScreenModel::create();
        auto second = ZERI_FlowScreenModel::create();
        flow->addFlowScreen(first);
        flow->addFlowScreen(second);
        first->setPreviewScreenShotAsset(remoteAsset(document, "preview1", served));
        second->setPreviewScreenShotAsset(remoteAsset(document, "preview2", served));

        auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        image->object()->setCroppedImageAsset(remoteAsset(document, "cropped1", served));
        image->object()->setRetinaCroppedImageAsset(remoteAsset(document, "retina1", served));
        image->object()->setOriginalImageAsset(remoteAsset(document, "source1", served));
        first->addMixedMediaObject(image);
        auto video = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
        video->object()->setVideoAsset(remoteAsset(document, "film1", served));
        video->object()->setOriginalImageAsset(remoteAsset(document, "poster1", served));
        first->addMixedMediaObject(video);

        auto image2 = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        image2->object()->setCroppedImageAsset(remoteAsset(document, "cropped2", served));
        image2->object()->setOriginalImageAsset(remoteAsset(document, "source2", served));
        image2->object()->galleryAssetManager()->insertImageAsset(remoteAsset(document, "gallery2", served), 0);
        second->addMixedMediaObject(image2);
        auto local = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        auto localAsset = ZERI_ContentAsset::create();
        localAsset->setExternalURL(QUrl::fromLocalFile(m_temp.filePath("local.png")));
        local->object()->setCroppedImageAsset(localAsset);
        second->addMixedMediaObject(local);
        return document;
    }

    static QStringList roles(const RemoteDocument& document, const QList<QUrl>& urls)
    {
        QStringList names;
        for (const QUrl& url : urls)
            names.append(document.urls.key(url, url.toString()));
        return names;
    }

    QTemporaryDir m_temp;
    QVBPrecacheManager m_manager;
    RecordingPrecacheDelegate m_delegate;
    int m_documents = 0;
};

} // namespace

TEST_F(PrecacheTest, OptionBitsChooseTheFiles)
{
    const auto document = makeDocument();
    const auto chosen = [&](int options) {
        return roles(document, QVB_TessarinePrecacheHelper::remoteURLsForModel(document.model, options));
    };
    EXPECT_EQ(chosen(0), QStringList({"preview1", "preview2"}));
    EXPECT_EQ(chosen(8), QStringList({"preview1", "cropped1", "retina1", "poster1", "preview2"}));
    EXPECT_EQ(chosen(1), QStringList({"preview1", "cropped1", "retina1", "poster1", "preview2", "cropped2"}));
    EXPECT_EQ(chosen(2), QStringList({"preview1", "cropped1", "retina1", "source1", "poster1", "preview2", "cropped2",
                                      "source2"}));
    EXPECT_EQ(chosen(4), QStringList({"preview1", "film1", "preview2", "gallery2"}));
    EXPECT_EQ(chosen(6).size(), 10);

    // A picture with only its original (the service's sample documents) is drawn from it: it is fetched too.
    auto alone = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    RemoteDocument copy = document;
    alone->object()->setOriginalImageAsset(remoteAsset(copy, "alone1"));
    document.model->firstFlowmodel()->screenModels().front()->addMixedMediaObject(alone);
    EXPECT_EQ(roles(copy, QVB_TessarinePrecacheHelper::remoteURLsForModel(document.model, 8)),
              QStringList({"preview1", "cropped1", "retina1", "poster1", "alone1", "preview2"}));
}

TEST_F(PrecacheTest, FetchesTheChosenFilesOnceThenFindsThemOnDisk)
{
    const auto document = makeDocument();
    int alreadyOnDisk = 0;
    QVB_TessarinePrecacheHelper::preloadAssetsFromModel(document.model, 8, m_manager, [&] { ++alreadyOnDisk; });
    EXPECT_EQ(alreadyOnDisk, 0);
    ASSERT_TRUE(waitUntil([&] { return m_delegate.done == 1; }));
    EXPECT_EQ(m_delegate.started, 1);
    EXPECT_EQ(m_delegate.failedTooManyTimes, 0);
    EXPECT_EQ(m_delegate.objects.last(), std::make_pair(5, 5));
    for (qsizetype i = 1; i < m_delegate.objects.size(); ++i)
        EXPECT_GT(m_delegate.objects[i].first, m_delegate.objects[i - 1].first);
    EXPECT_EQ(m_service.contentRequestCount(), 5);
    const QString folder = QVB_TessarinePrecacheHelper::cacheDirectoryForModel(document.model);
    EXPECT_TRUE(QFile::exists(ZERI_WebDownloader::cacheFilePathForUrl(document.urls["retina1"], folder)));
    EXPECT_FALSE(QFile::exists(ZERI_WebDownloader::cacheFilePathForUrl(document.urls["cropped2"], folder)));

    const int callsBefore = m_delegate.calls();
    QVB_TessarinePrecacheHelper::preloadAssetsFromModel(document.model, 8, m_manager, [&] { ++alreadyOnDisk; });
    EXPECT_EQ(alreadyOnDisk, 1);
    EXPECT_TRUE(m_manager.isIdle());
    EXPECT_FALSE(waitUntil([&] { return m_delegate.calls() > callsBefore; }, 200));
    EXPECT_EQ(m_service.contentRequestCount(), 5);
}

TEST_F(PrecacheTest, EveryDownloadFailingIsReportedOnceAfterThreeTriesOfOneFile)
{
    const auto document = makeDocument(/*served=*/false);
    // A busy server: a failure that may pass, so it is tried again.
    for (const QUrl& url : document.urls)
        m_service.setPageReply(url.path(), FakeHttpReply::html(503, "Service Unavailable"));
    QVB_TessarinePrecacheHelper::preloadAssetsFromModel(document.model, 6, m_manager, [] { FAIL(); });
    ASSERT_TRUE(waitUntil([&] { return m_delegate.failedTooManyTimes == 1; }));
    EXPECT_FALSE(waitUntil([&] { return m_delegate.failedTooManyTimes > 1 || m_delegate.done > 0; }, 300));
    EXPECT_EQ(m_service.contentRequestCount(), QVBPrecacheManager::kMaxConsecutiveFailures);
    EXPECT_TRUE(m_manager.isIdle());
}

TEST_F(PrecacheTest, ResetEverythingStopsTheLoadSilently)
{
    const auto document = makeDocument();
    QVB_TessarinePrecacheHelper::preloadAssetsFromModel(document.model, 6, m_manager, {});
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.objects.isEmpty(); }));
    m_manager.resetEverything();
    const int callsAfterReset = m_delegate.calls();
    EXPECT_TRUE(m_manager.isIdle());
    EXPECT_FALSE(waitUntil([&] { return m_delegate.calls() > callsAfterReset; }, 300));
    EXPECT_LT(m_service.contentRequestCount(), 10);
}

// A failure that cannot pass is not tried again: a file larger than the cap (which would be fetched up to the cap
// each time), or one the server does not have.
TEST_F(PrecacheTest, AFileTooLargeOrMissingIsTriedOnce)
{
    ZERI_WebDownloader::setBoundsForTesting(1024, 0);
    const QUrl large = m_service.addContent(QStringLiteral("LARGE"), QByteArray(64 * 1024, 'L'), "large.png");
    const QUrl missing = m_service.contentURL(QStringLiteral("MISSING"), QStringLiteral("missing.png"));
    for (const QUrl& url : {large, missing}) {
        SCOPED_TRACE(url.toString().toStdString());
        m_delegate = RecordingPrecacheDelegate();
        const int requestsBefore = m_service.contentRequestCount();
        m_manager.precacheURL(url, m_temp.path());
        ASSERT_TRUE(waitUntil([&] { return m_delegate.failedTooManyTimes == 1; }));
        EXPECT_FALSE(waitUntil([&] { return m_service.contentRequestCount() > requestsBefore + 1; }, 300));
        EXPECT_EQ(m_service.contentRequestCount(), requestsBefore + 1);
        EXPECT_TRUE(m_manager.isIdle());
        m_manager.resetEverything();
    }
}
