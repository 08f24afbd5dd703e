#include <map>
#include <memory>

#include <QApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "platform/AppPaths.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "creator/TessarineThemeCatalogue.h"
#include "creator/thumbnails/QVRNewScreenSelectionViewController.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

const QString kInsertion = QStringLiteral("NEW_SCREEN_MODEL_INSERTION_NOTIFICATION");

// Themes "7" (5 screens), "10" (the blank theme, 3 screens) and "8", whose sample arrives only once downloaded
// (with `sampleAfterDownload` screens, none: it stays missing).
class FakeCatalogue : public TessarineThemeCatalogue {
public:
    std::map<QString, std::shared_ptr<ZERI_TessarineModel>> samples{{"7", makeDocument(5)}, {"10", makeDocument(3)}};
    int downloads = 0;
    int sampleAfterDownload = 2;
    std::function<void()> pendingDownload;

    bool hasTheme(const QString& id) const override { return id == "7" || id == "10" || id == "8"; }
    std::shared_ptr<ZERI_TessarineModel> sampleDocument(const QString& id) const override
    {
        const auto found = samples.find(id);
        return found == samples.end() ? nullptr : found->second;
    }
    void downloadSampleDocument(const QString& id, QObject*, std::function<void()> finished) override
    {
        ++downloads;
        pendingDownload = [this, id, finished] {
            if (sampleAfterDownload > 0)
                samples[id] = makeDocument(sampleAfterDownload);
            finished();
        };
    }
};

struct Catalogue {
    FakeCatalogue* fake = new FakeCatalogue;
    Catalogue() { TessarineThemeCatalogue::setShared(std::unique_ptr<TessarineThemeCatalogue>(fake)); }
    ~Catalogue() { TessarineThemeCatalogue::setShared(nullptr); }
};

TEST(NewScreenChooser, ThemeScreensThenBlankOnesAndOnlyTheFirstPickCounts)
{
    Catalogue catalogue;
    QVRNewScreenSelectionViewController chooser("7");
    chooser.view()->show();
    QApplication::processEvents();
    const auto buttons = chooser.tileButtons();
    ASSERT_EQ(buttons.size(), 8);
    EXPECT_TRUE(chooser.precacheManagerInstance().isIdle()) << "everything was on disk";
    EXPECT_FALSE(chooser.progressBar()->isVisible());

    PostCounter posts(kInsertion);
    QTest::mouseClick(buttons[6], Qt::LeftButton);
    ASSERT_EQ(posts.count, 1);
    EXPECT_EQ(posts.lastSender, chooser.view());
    const auto picked = posts.lastUserInfo.value("screenModel").value<ModelItemRef>().lock();
    EXPECT_EQ(picked, catalogue.fake->samples["10"]->firstFlowmodel()->screenModels()[1]);
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(posts.count, 1) << "a second pick posts nothing";
}

TEST(NewScreenChooser, TheKeyboardStartsOnTheFirstTileMovesByTheArrowsAndPicksWithReturn)
{
    Catalogue catalogue;
    QVRNewScreenSelectionViewController chooser("7");
    chooser.view()->show();
    chooser.view()->activateWindow();
    const auto buttons = chooser.tileButtons();
    ASSERT_EQ(buttons.size(), 8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return buttons[0]->hasFocus(); }, 2000)) << "the first tile has the keyboard";

    // Two columns: Right, Down and Left lead from the first tile to the third; Up past the top stays.
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left})
        QTest::keyClick(QApplication::focusWidget(), key);
    ASSERT_EQ(QApplication::focusWidget(), buttons[2]);
    PostCounter posts(kInsertion);
    QTest::keyClick(buttons[2], Qt::Key_Return);
    ASSERT_EQ(posts.count, 1);
    EXPECT_EQ(posts.lastUserInfo.value("screenModel").value<ModelItemRef>().lock(),
              catalogue.fake->samples["7"]->firstFlowmodel()->screenModels()[2]);
}

TEST(NewScreenChooser, BlankUnknownAndMissingThemesOfferTheBlankScreensOnce)
{
    Catalogue catalogue;
    for (const QString& id : {QStringLiteral("10"), QStringLiteral("99"), QString()}) {
        QVRNewScreenSelectionViewController chooser(id);
        chooser.view();
        EXPECT_EQ(chooser.tileButtons().size(), 3) << id.toStdString();
        EXPECT_EQ(chooser.templateId(), "10");
        EXPECT_TRUE(chooser.precacheManagerInstance().isIdle());
    }
    EXPECT_EQ(catalogue.fake->downloads, 0);
}

TEST(NewScreenChooser, AnUnknownPickPostsNothingAndBlocksNothing)
{
    Catalogue catalogue;
    QVRNewScreenSelectionViewController chooser("10");
    chooser.view();
    PostCounter posts(kInsertion);
    QVRThumbnailObject stranger(new TessarineBackgroundedScreenPreview(
        QRect(0, 0, 4, 3), makeDocument(1)->firstFlowmodel()->screenModels().front()));
    chooser.screenSelectedWithObject(&stranger);
    chooser.screenSelectedWithObject(nullptr);
    EXPECT_EQ(posts.count, 0);
    EXPECT_FALSE(chooser.selectionHappened());
    chooser.screenSelectedWithObject(chooser.thumbnailController()->screensArray()[2]);
    EXPECT_EQ(posts.count, 1);
}

TEST(NewScreenChooser, AMissingSampleIsDownloadedFirstWithABusyBar)
{
    Catalogue catalogue;
    QVRNewScreenSelectionViewController chooser("8");
    chooser.view();
    EXPECT_EQ(catalogue.fake->downloads, 1);
    EXPECT_TRUE(chooser.isProgressBusy());
    EXPECT_EQ(chooser.progressBar()->maximum(), 0) << "busy";
    EXPECT_TRUE(chooser.tileButtons().isEmpty());
    catalogue.fake->pendingDownload();
    EXPECT_FALSE(chooser.isProgressBusy());
    EXPECT_EQ(chooser.tileButtons().size(), 2 + 3);

    // Still missing after its download: logged, no tiles, the bar stops.
    catalogue.fake->sampleAfterDownload = 0;
    catalogue.fake->samples.erase("8");
    QVRNewScreenSelectionViewController missing("8");
    missing.view();
    catalogue.fake->pendingDownload();
    EXPECT_FALSE(missing.isProgressBusy());
    EXPECT_TRUE(missing.tileButtons().isEmpty());
}

TEST(NewScreenChooser, PrecacheProgressRunsFromZeroToOneAndAFailureShowsNoTiles)
{
    Catalogue catalogue;
    QVRNewScreenSelectionViewController chooser("8");
    chooser.view();
    QVBPrecacheManager& manager = chooser.precacheManagerInstance();
    chooser.precacheManagerStartedLoad(&manager);
    EXPECT_EQ(chooser.progressValue(), 0.0);
    chooser.precacheManager(&manager, 10, 30, 1, 3);
    EXPECT_NEAR(chooser.progressValue(), 1.0 / 3, 1e-9);
    chooser.precacheManager(&manager, 10, 30, 0, 0); // no files: the value stays
    EXPECT_NEAR(chooser.progressValue(), 1.0 / 3, 1e-9);
    chooser.precacheManagerFailedTooManyTimes(&manager);
    EXPECT_FALSE(chooser.progressBar()->isVisible());
    EXPECT_TRUE(chooser.tileButtons().isEmpty());
}

} // namespace

namespace {

QStringList g_progressLines;

void recordProgress(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (message.startsWith(QLatin1String("Progress =")))
        g_progressLines.append(message);
}

// Theme "8"'s sample arrives with three screens whose previews are files of the fake service.
class ServedThemeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        ASSERT_TRUE(m_service.start());
        AppPaths::setTemporaryForTesting(m_temp.path());
        g_progressLines.clear();
    }
    void TearDown() override { AppPaths::setTemporaryForTesting(QString()); }

    std::shared_ptr<ZERI_TessarineModel> servedSample(bool served)
    {
        auto document = makeDocument(3);
        int n = 0;
        for (const auto& screen : document->firstFlowmodel()->screenModels()) {
            const QString id = QStringLiteral("preview-%1").arg(++n);
            auto asset = ZERI_ContentAsset::create();
            asset->setExternalURL(served ? m_service.addContent(id, QByteArray(200, 'x'), id + ".jpg")
                                         : m_service.contentURL(id, id + ".jpg"));
            screen->setPreviewScreenShotAsset(asset);
        }
        return document;
    }

    QTemporaryDir m_temp;
    FakeWebService m_service;
    Catalogue m_catalogue;
};

TEST_F(ServedThemeTest, TheDownloadedSamplesFilesArePrecachedBeforeTheTilesShow)
{
    const auto sample = servedSample(true);
    QVRNewScreenSelectionViewController chooser("8");
    chooser.view();
    ASSERT_EQ(m_catalogue.fake->downloads, 1);
    EXPECT_TRUE(chooser.isProgressBusy());
    m_catalogue.fake->sampleAfterDownload = 0;
    m_catalogue.fake->samples["8"] = sample;
    QLoggingCategory::setFilterRules(QStringLiteral("tess.creator.info=true"));
    const QtMessageHandler previous = qInstallMessageHandler(recordProgress);
    m_catalogue.fake->pendingDownload();
    EXPECT_TRUE(chooser.tileButtons().isEmpty()) << "not before the files are on disk";
    const bool shown = QTest::qWaitFor([&] { return !chooser.tileButtons().isEmpty(); }, 5000);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    ASSERT_TRUE(shown);
    EXPECT_EQ(chooser.tileButtons().size(), 3 + 3);
    EXPECT_EQ(g_progressLines.value(0), "Progress =  0.333333");
    EXPECT_EQ(g_progressLines.value(g_progressLines.size() - 1), "Progress =  1.000000");
    EXPECT_FALSE(chooser.progressBar()->isVisible());
}

TEST_F(ServedThemeTest, FilesTheServiceDoesNotKnowStopTheBarWithoutTiles)
{
    m_catalogue.fake->samples["8"] = servedSample(false);
    QVRNewScreenSelectionViewController chooser("8");
    chooser.view();
    EXPECT_EQ(m_catalogue.fake->downloads, 0) << "the sample is on disk";
    ASSERT_TRUE(QTest::qWaitFor([&] { return chooser.precacheManagerInstance().isIdle(); }, 8000));
    QTest::qWait(20);
    EXPECT_TRUE(chooser.tileButtons().isEmpty());
    EXPECT_FALSE(chooser.progressBar()->isVisible());

    // A chooser going away in the middle of its precache leaves nothing running.
    auto* early = new QVRNewScreenSelectionViewController("8");
    early->view();
    delete early;
    QTest::qWait(50);
}

} // namespace
