#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include "app/ViewerKeyNotifications.h"
#include "controls/ContentSheddingScrollView.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "platform/NotificationCenter.h"
#include "viewer/QVR_GalleryViewerView.h"
#include "ViewerTestSupport.h"

using namespace viewertest;

namespace {

const QColor kRed(220, 20, 20);
const QColor kGreen(20, 200, 40);
const QColor kBlue(30, 40, 210);

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

// What the view shows at its centre, drawn as the screen would show it.
QColor centreColour(QWidget& view)
{
    const QImage image = view.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

class GalleryViewer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(env.started()); }

    std::shared_ptr<ZERI_MixedMediaObjectProxy> gallery(const QList<QColor>& colours)
    {
        QList<QUrl> urls;
        for (int i = 0; i < colours.size(); ++i)
            urls.append(env.service.addContent(QStringLiteral("img%1").arg(i), imageBytes(colours[i]),
                                               QStringLiteral("img%1.png").arg(i)));
        auto object = makeGallery(urls);
        document = saveDocumentWith(object);
        return object;
    }

    std::unique_ptr<QVR_GalleryViewerView> show(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                const QSize& size = QSize(1024, 748))
    {
        auto view = std::make_unique<QVR_GalleryViewerView>(QRect(QPoint(0, 0), size), object);
        view->setClosedPressedBlock([this] { ++closes; });
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }

    static bool turnPage(QVR_GalleryViewerView& view, Qt::Key key)
    {
        QTest::keyClick(&view, key);
        return QTest::qWaitFor([&] { return !view.isAnimating(); }, 3000);
    }

    static bool showsColour(QVR_GalleryViewerView& view, const QColor& colour)
    {
        return QTest::qWaitFor([&] { return near(centreColour(view), colour); }, 5000);
    }

    ScopedViewerEnvironment env;
    std::shared_ptr<ZERI_TessarineModel> document;
    int closes = 0;
};

TEST_F(GalleryViewer, PagesThroughItsImagesWithTheArrowKeysAndClosesPastTheLast)
{
    auto view = show(gallery({kRed, kGreen, kBlue}));
    ASSERT_EQ(view->numScreens(), 3);
    EXPECT_TRUE(showsColour(*view, kRed));
    EXPECT_TRUE(view->leftChevron()->isHidden());
    EXPECT_FALSE(view->rightChevron()->isHidden());

    // Left on the first page does nothing.
    QTest::keyClick(view.get(), Qt::Key_Left);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->scrollViewPageNumber(), 0);

    // A second press while the page turns is ignored: one press, one page.
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_TRUE(view->isAnimating());
    QTest::keyClick(view.get(), Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isAnimating(); }, 3000));
    EXPECT_EQ(view->scrollViewPageNumber(), 1);
    EXPECT_TRUE(showsColour(*view, kGreen));
    EXPECT_FALSE(view->leftChevron()->isHidden());
    EXPECT_FALSE(view->rightChevron()->isHidden());

    ASSERT_TRUE(turnPage(*view, Qt::Key_Right));
    EXPECT_EQ(view->scrollViewPageNumber(), 2);
    EXPECT_TRUE(showsColour(*view, kBlue));
    EXPECT_TRUE(view->rightChevron()->isHidden());
    EXPECT_EQ(closes, 0);

    // Right on the last page closes, once.
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(view->isAnimating());

    // And back again by the left key.
    ASSERT_TRUE(turnPage(*view, Qt::Key_Left));
    EXPECT_EQ(view->scrollViewPageNumber(), 1);
    EXPECT_FALSE(view->rightChevron()->isHidden());
}

TEST_F(GalleryViewer, ReturnAndEscapeCloseAndOtherKeysPassOn)
{
    auto view = show(gallery({kRed, kGreen}));
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(closes, 1);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(closes, 2);
    QTest::keyClick(view.get(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(closes, 3);
    // Keys handed on by the host take the same road; others are not taken.
    EXPECT_TRUE(view->handleKey(QKeyCombination(Qt::Key_Escape)));
    EXPECT_EQ(closes, 4);
    EXPECT_FALSE(view->handleKey(QKeyCombination(Qt::Key_A)));
    EXPECT_FALSE(view->handleKey(QKeyCombination(Qt::ControlModifier, Qt::Key_Right)));
    EXPECT_EQ(view->scrollViewPageNumber(), 0);
    EXPECT_EQ(closes, 4);
}

TEST_F(GalleryViewer, OneImageHasNoChevronsAndALateFileShowsOnceItLands)
{
    env.service.setContentDelay(600);
    auto view = show(gallery({kGreen}));
    EXPECT_TRUE(view->leftChevron()->isHidden());
    EXPECT_TRUE(view->rightChevron()->isHidden());
    // Still on its way: black, then the picture.
    EXPECT_TRUE(near(centreColour(*view), Qt::black));
    EXPECT_TRUE(showsColour(*view, kGreen));
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_EQ(closes, 1);
}

TEST_F(GalleryViewer, NoImagesOrNoGalleryGiveABlackStripThatStillCloses)
{
    // A gallery without images, an image object, a gone object, and an image the service answers with 404 or
    // with bytes that are no picture: nothing crashes, and the keys still close.
    auto empty = makeGallery({});
    saveDocumentWith(empty);
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    saveDocumentWith(image);
    const QUrl missing = env.service.contentURL(QStringLiteral("nothing"), QStringLiteral("gone.png"));
    const QUrl damaged =
        env.service.addContent(QStringLiteral("bad"), QByteArray("not a picture"), QStringLiteral("bad.png"));
    auto broken = makeGallery({missing, damaged});
    saveDocumentWith(broken);

    for (const auto& object : {empty, image, std::shared_ptr<ZERI_MixedMediaObjectProxy>(), broken}) {
        closes = 0;
        auto view = show(object);
        EXPECT_TRUE(view->leftChevron()->isHidden());
        QTest::qWait(200);
        EXPECT_TRUE(near(centreColour(*view), Qt::black));
        QTest::keyClick(view.get(), Qt::Key_Escape);
        QTest::keyClick(view.get(), Qt::Key_Return);
        EXPECT_EQ(closes, 2);
        if (view->numScreens() <= 1) {
            QTest::keyClick(view.get(), Qt::Key_Right);
            EXPECT_EQ(closes, 3);
        }
    }
}

TEST_F(GalleryViewer, AResizeKeepsTheShownPageInView)
{
    auto view = show(gallery({kRed, kGreen, kBlue}));
    ASSERT_TRUE(turnPage(*view, Qt::Key_Right));
    ASSERT_TRUE(turnPage(*view, Qt::Key_Right));
    ASSERT_EQ(view->scrollViewPageNumber(), 2);

    view->resize(1440, 900);
    EXPECT_EQ(view->viewsArray()[2]->geometry(), QRect(2920, 0, 1360, 900));
    EXPECT_EQ(view->scrollView()->visibleOrigin(), QPoint(2880, 0));
    EXPECT_EQ(view->rightControl()->geometry(), QRect(1400, 0, 40, 900));
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(showsColour(*view, kBlue));

    // A resize in the middle of a page turn ends on the page it was going to.
    ASSERT_TRUE(turnPage(*view, Qt::Key_Left));
    QTest::keyClick(view.get(), Qt::Key_Left);
    ASSERT_TRUE(view->isAnimating());
    view->resize(1024, 748);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->scrollView()->visibleOrigin(), QPoint(0, 0));
    EXPECT_TRUE(view->leftChevron()->isHidden());
}

TEST_F(GalleryViewer, LogsItsViewingTimeAndIgnoresOtherViewersKeyPosts)
{
    auto object = gallery({kRed, kGreen});
    auto view = show(object);
    const QString galleryID = object->object()->internalID();
    EXPECT_TRUE(QVRTimedAnalytics::isRunning(QStringLiteral("View Gallery")));

    // A key post of another viewer, in another window, is not this gallery's.
    int otherViewer = 0;
    NotificationCenter::defaultCenter().post(
        TessarineViewerViewKeyDownNotificationName, &otherViewer,
        {{TessarineViewerViewKeyDownNotificationUserDictKey, QVariant::fromValue(QKeyCombination(Qt::Key_Right))}});
    NotificationCenter::defaultCenter().post(
        TessarineViewerViewKeyDownNotificationName, &otherViewer,
        {{TessarineViewerViewKeyDownNotificationUserDictKey, QVariant::fromValue(QKeyCombination(Qt::Key_Return))}});
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->scrollViewPageNumber(), 0);
    EXPECT_EQ(closes, 0);

    EXPECT_TRUE(env.events(QStringLiteral("View Gallery")).isEmpty());
    view.reset();
    const auto events = env.events(QStringLiteral("View Gallery"));
    ASSERT_EQ(events.size(), 1);
    const QJsonObject parameters = events.first().value(QStringLiteral("parameters")).toObject();
    EXPECT_EQ(parameters.value(QStringLiteral("Gallery ID")).toString(), galleryID);
    EXPECT_TRUE(parameters.contains(QStringLiteral("duration")));
}

} // namespace

namespace {

TEST_F(GalleryViewer, ADocumentWithoutAPackageShowsItsImportedFiles)
{
    const QString path = env.temporaryPath(QStringLiteral("imported.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(imageBytes(kBlue));
    file.close();
    auto view = show(makeGallery({QUrl::fromLocalFile(path)}));
    EXPECT_TRUE(showsColour(*view, kBlue));
}

} // namespace
