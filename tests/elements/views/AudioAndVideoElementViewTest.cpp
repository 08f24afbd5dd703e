#include <gtest/gtest.h>

#include <cmath>

#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QPainter>
#include <QPointer>
#include <QTest>

#include "ElementViewTestSupport.h"
#include "elements/audio/QVOAudioController.h"
#include "elements/images/AudioElementDrawing.h"
#include "elements/views/AudioProgressRingView.h"
#include "elements/views/QVOAudioIconView.h"
#include "elements/views/QVRVideoCompressionOverlayView.h"
#include "elements/views/QVR_AudioMixedMediaElementView.h"
#include "elements/views/QVR_MixedMediaElementGenerator.h"
#include "elements/views/QVR_VideoMixedMediaElementView.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

QImage transparentImage(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The largest difference of any channel at any pixel (premultiplied).
int largestChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            largest = std::max(
                {largest, std::abs(qRed(p[column]) - qRed(q[column])), std::abs(qGreen(p[column]) - qGreen(q[column])),
                 std::abs(qBlue(p[column]) - qBlue(q[column])), std::abs(qAlpha(p[column]) - qAlpha(q[column]))});
        }
    }
    return largest;
}

void post(const QString& name, const QVariantMap& userInfo)
{
    NotificationCenter::defaultCenter().post(name, nullptr, userInfo);
}

QVariantMap forId(const QString& id, QVariantMap extra = {})
{
    extra.insert(QVOInternalIDKey, id);
    return extra;
}

class AudioViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        object = doc.addObject(ZERI_MixedMediaObject::Audio, QRectF(0, 0, 400, 400));
        (*object)->setInternalID(QStringLiteral("clip-1"));
        view = std::make_unique<QVR_AudioMixedMediaElementView>(object);
        view->setFrame(QRectF(0, 0, 400, 400));
    }

    unsigned icon() const { return view->iconView()->iconType(); }
    double ring() const { return view->progressView()->progress(); }

    TestDocument doc;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> object;
    std::unique_ptr<QVR_AudioMixedMediaElementView> view;
};

} // namespace

TEST_F(AudioViewTest, AtRestThroughASceneShowsPanelTrackAndLoudspeakerAsTheModelDrawsIt)
{
    QGraphicsScene scene;
    scene.setSceneRect(0, 0, 400, 400);
    scene.addItem(view.get());
    QImage throughScene = transparentImage(QSize(400, 400));
    {
        QPainter painter(&throughScene);
        scene.render(&painter, QRectF(0, 0, 400, 400), QRectF(0, 0, 400, 400));
    }
    scene.removeItem(view.get());

    EXPECT_EQ(qAlpha(throughScene.pixel(0, 0)), 0) << "the rounded corner is transparent";
    const QColor panel = throughScene.pixelColor(30, 200);
    EXPECT_EQ(panel.red() + panel.green() + panel.blue(), 0);
    EXPECT_NEAR(panel.alpha(), 191, 2);
    EXPECT_EQ(throughScene.pixelColor(200, 10), QColor(Qt::white)) << "the ring's track, inset by 8";
    EXPECT_EQ(throughScene.pixelColor(140, 200), QColor(Qt::white)) << "the loudspeaker";

    // The picture of the object that previews, PDF and print use is the same panel.
    QImage byModel = transparentImage(QSize(400, 400));
    {
        QPainter painter(&byModel);
        (*object)->drawOnContext(&painter, 1.0, QSizeF(400, 400), true, true);
    }
    EXPECT_LE(largestChannelDifference(throughScene, byModel), 2);
}

TEST_F(AudioViewTest, ModelDrawsTheResizedPanelWithoutStretchingAndNothingForBadScales)
{
    // At twice the scale the model's drawing is the panel of the same size in points, not a stretched bitmap.
    (*object)->setFrame(QRectF(10, 20, 120, 80));
    QImage twice = transparentImage(QSize(400, 300));
    {
        QPainter painter(&twice);
        (*object)->drawOnContext(&painter, 2.0, QSizeF(400, 300), false, true);
    }
    QImage once = transparentImage(QSize(200, 150));
    {
        QPainter painter(&once);
        (*object)->drawOnContext(&painter, 1.0, QSizeF(200, 150), false, true);
    }
    EXPECT_EQ(qAlpha(twice.pixel(19, 100)), 0);
    EXPECT_NEAR(qAlpha(twice.pixel(24, 100)), 191, 2);
    EXPECT_NEAR(qAlpha(once.pixel(12, 50)), 191, 2);
    EXPECT_EQ(qAlpha(once.pixel(131, 50)), 0);

    QImage untouched = transparentImage(QSize(50, 50));
    QPainter painter(&untouched);
    for (double scale : {0.0, -1.0, std::nan("")})
        (*object)->drawOnContext(&painter, scale, QSizeF(50, 50), true, true);
    painter.end();
    EXPECT_EQ(untouched, transparentImage(QSize(50, 50)));
}

TEST_F(AudioViewTest, IconAndRingItemsAreLaidOutInTheMiddleAndInsetWithEveryFrame)
{
    EXPECT_EQ(view->iconView()->pos(), QPointF(120, 120));
    EXPECT_EQ(view->iconView()->boundingRect(), QRectF(0, 0, 160, 160));
    EXPECT_EQ(view->progressView()->pos(), QPointF(8, 8));
    EXPECT_EQ(view->progressView()->boundingRect(), QRectF(0, 0, 384, 384));
    EXPECT_GT(view->progressView()->zValue(), view->iconView()->zValue());

    view->setFrame(QRectF(50, 60, 100, 50));
    EXPECT_EQ(view->iconView()->pos(), QPointF(30, 15));
    EXPECT_EQ(view->iconView()->boundingRect(), QRectF(0, 0, 40, 20));
    EXPECT_EQ(view->progressView()->boundingRect(), QRectF(0, 0, 84, 34));

    // A frame smaller than the inset leaves an empty ring rather than a negative one.
    view->setFrame(QRectF(0, 0, 10, 10));
    EXPECT_EQ(view->progressView()->boundingRect(), QRectF(0, 0, 0, 0));
}

TEST_F(AudioViewTest, PlaybackSequenceInPreviewModeMovesIconAndRingThenRestsAfterStop)
{
    view->setPreviewMode(true);
    view->setPreviewMode(true); // observing twice must not double anything

    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    EXPECT_EQ(icon(), 2u);
    post(QVOAudioPlaybackDidMakeProgressNotification, forId("clip-1", {{QVOAudioProgressKey, 0.5f}}));
    EXPECT_DOUBLE_EQ(ring(), 0.5);
    post(QVOAudioPlaybackDidPauseNotification, forId("clip-1"));
    EXPECT_EQ(icon(), 1u);
    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    EXPECT_EQ(icon(), 2u);
    post(QVOAudioPlaybackDidStopNotification, forId("clip-1"));
    EXPECT_DOUBLE_EQ(ring(), 1.0);
    EXPECT_EQ(icon(), 2u) << "the stop shows the full ring first";

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return icon() == 0u; }, 1000));
    EXPECT_LT(clock.elapsed(), 100 + 150) << "the view returns to rest about 0.05 s after the stop";
    EXPECT_DOUBLE_EQ(ring(), 0.0);
}

TEST_F(AudioViewTest, OtherClipsMissingIdsBadProgressAndEditModeChangeNothing)
{
    // Edit mode: nothing is observed.
    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    EXPECT_EQ(icon(), 0u);

    view->setPreviewMode(true);
    post(QVOAudioPlaybackDidStartNotification, forId("clip-2"));
    post(QVOAudioPlaybackDidStartNotification, {});
    post(QVOAudioPlaybackDidStartNotification, {{QVOInternalIDKey, 42}});
    post(QVOAudioPlaybackDidPauseNotification, {{QVOInternalIDKey, QStringList{"clip-1"}}});
    EXPECT_EQ(icon(), 0u);

    post(QVOAudioPlaybackDidMakeProgressNotification, forId("clip-1", {{QVOAudioProgressKey, 0.25}}));
    post(QVOAudioPlaybackDidMakeProgressNotification, forId("clip-1"));
    post(QVOAudioPlaybackDidMakeProgressNotification, forId("clip-1", {{QVOAudioProgressKey, std::nan("")}}));
    post(QVOAudioPlaybackDidMakeProgressNotification, forId("clip-1", {{QVOAudioProgressKey, "half"}}));
    EXPECT_DOUBLE_EQ(ring(), 0.25);
    post(QVOAudioPlaybackDidMakeProgressNotification, forId("clip-1", {{QVOAudioProgressKey, 7.0}}));
    EXPECT_DOUBLE_EQ(ring(), 1.0);
    post(QVOAudioPlaybackDidMakeProgressNotification, forId("clip-1", {{QVOAudioProgressKey, -3.0}}));
    EXPECT_DOUBLE_EQ(ring(), 0.0);

    // Leaving preview mode stops observing and keeps what is shown.
    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    view->setPreviewMode(false);
    post(QVOAudioPlaybackDidPauseNotification, forId("clip-1"));
    EXPECT_EQ(icon(), 2u);

    // A view whose object has gone ignores everything.
    QVR_AudioMixedMediaElementView orphan(nullptr);
    orphan.setPreviewMode(true);
    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    EXPECT_EQ(orphan.iconView()->iconType(), 0u);
}

TEST_F(AudioViewTest, RestartRightAfterAStopKeepsThePauseIcon)
{
    view->setPreviewMode(true);
    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    post(QVOAudioPlaybackDidStopNotification, forId("clip-1"));
    // Started again before the 0.05 s reset is due (no event processed in between, so the order is certain).
    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    QTest::qWait(150);
    EXPECT_EQ(icon(), 2u) << "a clip restarted after its stop is shown playing, not at rest";
}

TEST_F(AudioViewTest, ViewDeletedBeforeTheDelayedResetIsNotTouched)
{
    view->setPreviewMode(true);
    post(QVOAudioPlaybackDidStopNotification, forId("clip-1"));
    view.reset();
    QTest::qWait(100);
    post(QVOAudioPlaybackDidStartNotification, forId("clip-1"));
    SUCCEED();
}

TEST(AudioElementDrawing, LineWidthFollowsTheIconsLargerSide)
{
    EXPECT_EQ(AudioElementDrawing::suggestedLineWidthForRect(QRectF(0, 0, 100, 40)), 1.0);
    EXPECT_EQ(AudioElementDrawing::suggestedLineWidthForRect(QRectF(0, 0, 40, 100.5)), 2.0);
    EXPECT_EQ(AudioElementDrawing::suggestedLineWidthForRect(QRectF(0, 0, 150, 150)), 2.0);
    EXPECT_EQ(AudioElementDrawing::suggestedLineWidthForRect(QRectF(0, 0, 150.5, 10)), 3.0);
    // An element wider than 375 points has an icon over 150 points.
    EXPECT_EQ(
        AudioElementDrawing::suggestedLineWidthForRect(AudioElementDrawing::iconRectForPanel(QRectF(0, 0, 376, 100))),
        3.0);
}

TEST(AudioElementDrawing, IconsDrawWhiteShapesWhereTheyBelong)
{
    QImage play = transparentImage(QSize(100, 100));
    QImage pause = transparentImage(QSize(100, 100));
    QImage nothing = transparentImage(QSize(100, 100));
    {
        QPainter p(&play);
        AudioElementDrawing::drawIcon(&p, QRectF(0, 0, 100, 100), AudioElementDrawing::PlayIcon);
        QPainter q(&pause);
        AudioElementDrawing::drawIcon(&q, QRectF(0, 0, 100, 100), AudioElementDrawing::PauseIcon);
        QPainter r(&nothing);
        AudioElementDrawing::drawIcon(&r, QRectF(0, 0, 100, 100), 7);
    }
    EXPECT_EQ(play.pixelColor(10, 50), QColor(Qt::white));
    EXPECT_EQ(qAlpha(play.pixel(90, 10)), 0);
    EXPECT_EQ(qAlpha(play.pixel(1, 50)), 0) << "the triangle starts at x = 2";
    // Bars of width 33 with a gap of 8 each side of the middle: 9..42 and 58..91.
    EXPECT_EQ(pause.pixelColor(30, 50), QColor(Qt::white));
    EXPECT_EQ(pause.pixelColor(70, 50), QColor(Qt::white));
    EXPECT_EQ(qAlpha(pause.pixel(50, 50)), 0);
    EXPECT_EQ(qAlpha(pause.pixel(5, 50)), 0);
    EXPECT_EQ(nothing, transparentImage(QSize(100, 100)));
}

TEST(VideoElementView, OverlayStaysAboveEveryRebuiltPictureAndFollowsTheFrame)
{
    TestDocument doc;
    auto object = doc.addObject(ZERI_MixedMediaObject::Video, QRectF(10, 10, 320, 240));
    std::unique_ptr<QVR_VirtualMixedMediaElementView> base(
        QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(object));
    auto* view = qobject_cast<QVR_VideoMixedMediaElementView*>(base.get());
    ASSERT_NE(view, nullptr);
    view->setFrame(QRectF(0, 0, 320, 240));
    QGraphicsScene scene;
    scene.addItem(view);

    QPointer<QGraphicsObject> firstPicture = view->croppedImageView();
    (*object)->setFrame(QRectF(10, 10, 200, 100));
    view->setFrame(QRectF(0, 0, 200, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstPicture.isNull(); }, 2000));

    const QList<QGraphicsItem*> stack =
        scene.items(QPointF(100, 50), Qt::IntersectsItemBoundingRect, Qt::DescendingOrder);
    ASSERT_GE(stack.size(), 3);
    EXPECT_EQ(stack.front(), view->compressionOverlayView());
    EXPECT_EQ(view->compressionOverlayView()->boundingRect(), QRectF(0, 0, 200, 100));
    scene.removeItem(view);
}

TEST(VideoElementView, ReplacingTheVideoAssetMovesTheOverlayOnceAndADeletedViewIsLeftAlone)
{
    TestDocument doc;
    auto object = doc.addObject(ZERI_MixedMediaObject::Video, QRectF(0, 0, 160, 90));
    auto first = ZERI_ContentAsset::create();
    (*object)->setVideoAsset(first);
    QCoreApplication::processEvents();

    auto view = std::make_unique<QVR_VideoMixedMediaElementView>(object);
    std::vector<std::shared_ptr<ZERI_ContentAsset>> watched;
    QObject::connect(view.get(), &QVR_VideoMixedMediaElementView::compressionWatchRestarted,
                     [&](const std::shared_ptr<ZERI_ContentAsset>& asset) { watched.push_back(asset); });

    auto second = ZERI_ContentAsset::create();
    auto third = ZERI_ContentAsset::create();
    (*object)->setVideoAsset(second);
    (*object)->setVideoAsset(third); // two changes in one turn: one restart, with the asset it ends on
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watched.empty(); }, 1000));
    QTest::qWait(20);
    ASSERT_EQ(watched.size(), 1u);
    EXPECT_EQ(watched.front(), third);

    (*object)->setFrame(QRectF(0, 0, 100, 50)); // other keys do not move the overlay
    QTest::qWait(20);
    EXPECT_EQ(watched.size(), 1u);

    view.reset();
    (*object)->setVideoAsset(first);
    QTest::qWait(20);
    EXPECT_EQ(watched.size(), 1u);
}

TEST(VideoElementView, ViewOfAMissingObjectOrAssetIsQuiet)
{
    QVR_VideoMixedMediaElementView orphan(nullptr);
    ASSERT_NE(orphan.compressionOverlayView(), nullptr);
    orphan.videoAssetChanged();

    TestDocument doc;
    auto object = doc.addObject(ZERI_MixedMediaObject::Video, QRectF(0, 0, 160, 90));
    QVR_VideoMixedMediaElementView view(object);
    std::shared_ptr<ZERI_ContentAsset> last = ZERI_ContentAsset::create();
    QObject::connect(&view, &QVR_VideoMixedMediaElementView::compressionWatchRestarted,
                     [&](const std::shared_ptr<ZERI_ContentAsset>& asset) { last = asset; });
    view.videoAssetChanged();
    EXPECT_EQ(last, nullptr);
    doc.screen->removeMixedMediaObject(object);
    object.reset();
    view.videoAssetChanged();
    EXPECT_EQ(last, nullptr);
}
