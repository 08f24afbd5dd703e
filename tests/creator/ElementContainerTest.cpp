#include <QApplication>
#include <QDir>
#include <QGraphicsScene>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRActionLog.h"
#include "app/QVRURLSchemeHandler.h"
#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/views/QVR_ImageMixedMediaElementView.h"
#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "platform/widgets/LinkOpener.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_GalleryLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

using namespace creator_test;
using Container = QVR_MixedMediaElementContainingView;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// A package in a temporary folder: pictures of the document live in its asset folder.
class FolderPackage : public DocumentFilePackage {
public:
    explicit FolderPackage(QString folder)
        : m_folder(std::move(folder))
    {
        QDir().mkpath(assetStoragePath());
    }
    QString packageID() const override { return QStringLiteral("containers"); }
    QString assetStoragePath() const override { return QDir(m_folder).filePath(QStringLiteral("assets")); }
    QString publishedAssetStoragePath() const override { return QDir(m_folder).filePath(QStringLiteral("published")); }

private:
    QString m_folder;
};

// A board showing screen "S0" of a new document in a 1100 × 800 pixel viewport, so the whole screen shows at
// zoom 1 on whole pixels.
struct Board {
    explicit Board(bool previewOnly = false)
        : board(nullptr, previewOnly)
    {
        ControlsArtwork::registerNamedImages();
        document->setFilePackage(package);
        board.setScreenModel(screen);
        board.show();
        setViewportSize(board, 1100, 800);
        board.setZoomLevelWithoutNotification(1.0);
        QApplication::processEvents();
    }

    Proxy add(int type, const QRectF& frame)
    {
        auto object = ZERI_MixedMediaObject::objectWithType(type);
        (*object)->setFrame(frame);
        screen->addMixedMediaObject(object);
        return object;
    }
    // Lets the screen's notifier deliver, as the end of the event-loop turn does.
    void deliver() { screen->updateNotifier().sendUpdateNotificationsIfNeeded(); }

    QVR_CreatorSingleScreen* single() const { return board.singleScreen(); }
    Container* container(const Proxy& object) const { return single()->containerForMixedMediaObject(object); }
    QWidget* viewport() const { return board.theScrollView()->viewport(); }
    QPoint toViewport(const QPointF& scenePoint) const { return board.theScrollView()->mapFromScene(scenePoint); }
    // The container's rectangle in viewport pixels.
    QRectF deviceRect(const Container* c) const
    {
        return board.theScrollView()->viewportTransform().mapRect(c->sceneBoundingRect());
    }
    void click(const QPointF& scenePoint)
    {
        QTest::mousePress(viewport(), Qt::LeftButton, {}, toViewport(scenePoint));
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, toViewport(scenePoint));
    }

    QTemporaryDir folder;
    std::shared_ptr<FolderPackage> package = std::make_shared<FolderPackage>(folder.path());
    std::shared_ptr<ZERI_TessarineModel> document = makeDocument(1);
    std::shared_ptr<ZERI_FlowScreenModel> screen = document->firstFlowmodel()->screenModels().front();
    QVR_SingleScreenArtBoardView board;
};

bool isWhole(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

// A picture of one colour in the board's asset folder, set as an image object's cropped picture.
struct RedPicture {
    RedPicture(const Board& board, const QString& name, const QSize& size, const QColor& colour = Qt::red)
    {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(colour);
        path = QDir(board.package->assetStoragePath()).filePath(name);
        picture.save(path);
    }
    void setOn(const Proxy& object) const
    {
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(path));
        (*object)->setCroppedImageAsset(asset);
    }
    QString path;
};

bool waitForPicture(const Container* container)
{
    return QTest::qWaitFor(
        [&] {
            const auto* view = dynamic_cast<QVR_ImageHandlingMixedMediaElement*>(container->mixedMediaElementView());
            return view && view->croppedImage() && view->croppedImage()->hasRepresentation();
        },
        10000);
}

bool near(const QColor& colour, int r, int g, int b, int tolerance)
{
    return std::abs(colour.red() - r) <= tolerance && std::abs(colour.green() - g) <= tolerance &&
           std::abs(colour.blue() - b) <= tolerance;
}

// Records open requests started by links of the application's own schemes.
struct OwnLinks {
    OwnLinks()
    {
        QVRURLSchemeHandler::setOpenRequestStarter([this](const QVROpenRequestCue& cue) { cues.push_back(cue); });
    }
    ~OwnLinks() { QVRURLSchemeHandler::setOpenRequestStarter({}); }
    std::vector<QVROpenRequestCue> cues;
};

// Analytics events go to a log of the test's own.
struct Analytics {
    Analytics() { QVRActionLog::setSharedForTesting(&log); }
    ~Analytics() { QVRActionLog::setSharedForTesting(nullptr); }
    QStringList names() const
    {
        QStringList result;
        for (const auto& event : log.backlog())
            result.append(event.toObject().value(QStringLiteral("name")).toString());
        return result;
    }
    QTemporaryDir folder;
    QVRActionLog log{folder.filePath(QStringLiteral("log.json")), [](const QByteArray&, auto) {}};
};

} // namespace

TEST(ElementContainers, SitAtTheirFramesStackedInModelOrderBelowTheMask)
{
    Board b;
    const Proxy a = b.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 200, 100));
    const Proxy s = b.add(ZERI_MixedMediaObject::Shape, QRectF(150, 120, 300, 300));
    const Proxy c = b.add(ZERI_MixedMediaObject::Text, QRectF(10.25, 20.5, 400, 100.75));
    b.deliver();

    ASSERT_EQ(b.single()->elementContainers().size(), 3u);
    EXPECT_EQ(b.container(a)->sceneBoundingRect(), QRectF(100, 100, 200, 100));
    EXPECT_EQ(b.container(s)->sceneBoundingRect(), QRectF(150, 120, 300, 300));
    EXPECT_EQ(b.container(c)->sceneBoundingRect(), QRectF(10.25, 20.5, 400, 100.75));
    // The element view fills its container.
    EXPECT_EQ(b.container(c)->mixedMediaElementView()->sceneBoundingRect(), QRectF(10.25, 20.5, 400, 100.75));
    EXPECT_LT(b.container(a)->zValue(), b.container(s)->zValue());
    EXPECT_LT(b.container(s)->zValue(), b.container(c)->zValue());
    EXPECT_GT(b.container(a)->zValue(), 0.0) << "above the screen";
    EXPECT_LT(b.container(c)->zValue(), QVR_CreatorSingleScreen::kMaskZValue);
    // What the view finds at a point where all three overlap is the text's element, the topmost.
    const QList<QGraphicsItem*> hits = b.single()->scene()->items(QPointF(160, 110));
    ASSERT_FALSE(hits.isEmpty());
    EXPECT_TRUE(b.container(c)->isAncestorOf(hits.front()) || hits.front() == b.container(c));

    // At 1.5 an image lands on whole pixels of the viewport; text keeps its fractions.
    const Proxy odd = b.add(ZERI_MixedMediaObject::Image, QRectF(10.3, 20.3, 100.2, 50.2));
    b.deliver();
    b.board.setZoomLevelWithoutNotification(1.5);
    const QRectF pixels = b.deviceRect(b.container(odd));
    EXPECT_TRUE(isWhole(pixels.left()) && isWhole(pixels.top()) && isWhole(pixels.right()) && isWhole(pixels.bottom()))
        << pixels.left() << " " << pixels.top() << " " << pixels.right() << " " << pixels.bottom();
    EXPECT_NEAR(pixels.width(), 100.2 * 1.5, 1.0);
    EXPECT_EQ(b.container(c)->sceneBoundingRect(), QRectF(10.25, 20.5, 400, 100.75));
}

TEST(ElementContainers, RebuildsKeepTheSameContainersAndFollowTheModel)
{
    Board b;
    const Proxy a = b.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 200, 100));
    const Proxy s = b.add(ZERI_MixedMediaObject::Shape, QRectF(150, 120, 300, 300));
    const Proxy c = b.add(ZERI_MixedMediaObject::Text, QRectF(10, 20, 400, 100));
    b.deliver();
    QPointer<Container> ca = b.container(a), cs = b.container(s), cc = b.container(c);

    // Moving the text to the back re-stacks within one turn, with the same items.
    b.screen->removeMixedMediaObject(c);
    b.screen->insertMixedMediaObject(c, 0);
    QCoreApplication::processEvents();
    ASSERT_TRUE(ca && cs && cc);
    EXPECT_EQ(b.container(c), cc.data());
    EXPECT_EQ(b.container(a), ca.data());
    EXPECT_LT(cc->zValue(), ca->zValue());
    EXPECT_LT(ca->zValue(), cs->zValue());
    EXPECT_EQ(b.single()->elementContainers(), (std::vector<Container*>{cc, ca, cs}));

    // Removing the shape deletes exactly its container.
    b.screen->removeMixedMediaObject(s);
    b.deliver();
    EXPECT_FALSE(cs);
    EXPECT_TRUE(ca && cc);
    EXPECT_EQ(b.single()->elementContainers().size(), 2u);

    // A frame change moves the container as soon as the object's notifier delivers.
    (*a)->setFrame(QRectF(300, 200, 120, 80));
    a->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(ca->sceneBoundingRect(), QRectF(300, 200, 120, 80));

    // An empty object set up as an image shows the image view in the same container.
    const Proxy empty = b.add(ZERI_MixedMediaObject::None, QRectF(50, 50, 100, 100));
    b.deliver();
    QPointer<Container> ce = b.container(empty);
    ASSERT_TRUE(ce);
    EXPECT_EQ(dynamic_cast<QVR_ImageMixedMediaElementView*>(ce->mixedMediaElementView()), nullptr);
    ASSERT_TRUE(empty->changeType(ZERI_MixedMediaObject::Image));
    empty->updateNotifier().sendUpdateNotificationsIfNeeded();
    b.deliver();
    EXPECT_EQ(b.container(empty), ce.data());
    EXPECT_NE(dynamic_cast<QVR_ImageMixedMediaElementView*>(ce->mixedMediaElementView()), nullptr);
    EXPECT_EQ(ce->mixedMediaElementView()->sceneBoundingRect(), QRectF(50, 50, 100, 100));
}

TEST(ElementContainers, BadInputAndLateModelChangesDoNotCrash)
{
    auto b = std::make_unique<Board>(true);
    // Objects without a view of their own get the empty view; a zero-width video counts as button-sized.
    const Proxy link = b->add(ZERI_MixedMediaObject::Link, QRectF(0, 0, 50, 50));
    const Proxy flat = b->add(ZERI_MixedMediaObject::Video, QRectF(300, 300, 0, 400));
    const Proxy image = b->add(ZERI_MixedMediaObject::Image, QRectF(400, 100, 300, 300));
    b->deliver();
    ASSERT_TRUE(b->container(link));
    EXPECT_TRUE(b->container(flat)->isFrameButtonSized());
    EXPECT_TRUE(b->container(flat)->badgeName().isEmpty());
    // Clicks on links without an address or with an unusable one open nothing.
    ScopedRecordingLinkOpener opener;
    for (const QString& text : {QString(), QStringLiteral("not a link at all"), QStringLiteral("http://")}) {
        (*image)->setAction(ZERI_MMAction_WebLink::createWithText(text));
        b->click(QPointF(500, 200));
    }
    auto screenLink = ZERI_MMAction_ScreenLink::create(QString());
    (*image)->setAction(screenLink);
    PostCounter screenLinks(Container::kScreenLinkPressedNotification);
    b->click(QPointF(500, 200));
    EXPECT_EQ(screenLinks.count, 1);
    EXPECT_TRUE(opener.opened.isEmpty());

    // The board goes; the model lives on and keeps changing.
    const auto screen = b->screen;
    const auto document = b->document;
    b.reset();
    (*image)->setFrame(QRectF(0, 0, 10, 10));
    image->changeType(ZERI_MixedMediaObject::Shape);
    screen->removeMixedMediaObject(link);
    QCoreApplication::processEvents();
    screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    image->updateNotifier().sendUpdateNotificationsIfNeeded();
}

TEST(PreviewClicks, WebLinksOpenOnlyWebAndMailAddressesAndOwnSchemesOnlyAsPrefix)
{
    Board b(true);
    const Proxy image = b.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 300, 200));
    b.deliver();
    ScopedRecordingLinkOpener opener;
    OwnLinks own;
    Analytics analytics;
    auto linkTo = [&](const QString& text) { (*image)->setAction(ZERI_MMAction_WebLink::createWithText(text)); };

    linkTo(QStringLiteral("https://example.org"));
    b.click(QPointF(200, 200));
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened.front().toString(), "https://example.org");
    EXPECT_TRUE(analytics.names().contains("Web Link Tapped"));

    // A downloaded document's local files, scripts and other programs' links are opened nowhere.
    for (const char* text : {"file:///etc/passwd", "javascript:alert(1)", "ssh://host/", "vnd.someapp:open"}) {
        linkTo(QString::fromLatin1(text));
        b.click(QPointF(200, 200));
    }
    EXPECT_EQ(opener.opened.size(), 1);

    linkTo(QStringLiteral("mailto:someone@example.org"));
    b.click(QPointF(200, 200));
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened.back().scheme(), "mailto");

    // The application's own links go to its URL handler; one merely carried inside a web address does not.
    linkTo(QStringLiteral("tessarine://loadbystringid/abc"));
    b.click(QPointF(200, 200));
    ASSERT_EQ(own.cues.size(), 1u);
    EXPECT_EQ(own.cues.front().value, "abc");
    EXPECT_EQ(opener.opened.size(), 2);
    linkTo(QStringLiteral("https://x.org/?r=tessarine://a"));
    b.click(QPointF(200, 200));
    EXPECT_EQ(own.cues.size(), 1u);
    ASSERT_EQ(opener.opened.size(), 3);
    EXPECT_EQ(opener.opened.back().host(), "x.org");

    // A release outside the element, and any click while editing, does nothing.
    linkTo(QStringLiteral("https://example.org"));
    QTest::mousePress(b.viewport(), Qt::LeftButton, {}, b.toViewport(QPointF(200, 200)));
    QTest::mouseRelease(b.viewport(), Qt::LeftButton, {}, b.toViewport(QPointF(700, 600)));
    EXPECT_EQ(opener.opened.size(), 3);
    b.container(image)->setIsPreviewOnly(false);
    b.click(QPointF(200, 200));
    EXPECT_EQ(opener.opened.size(), 3);
}

TEST(PreviewClicks, LinksAndMediaPostTheirNotificationsFromTheWindow)
{
    Board b(true);
    const Proxy image = b.add(ZERI_MixedMediaObject::Image, QRectF(100, 100, 300, 200));
    const Proxy video = b.add(ZERI_MixedMediaObject::Video, QRectF(500, 100, 400, 300));
    const Proxy pdf = b.add(ZERI_MixedMediaObject::PDF, QRectF(100, 450, 250, 250));
    const Proxy audio = b.add(ZERI_MixedMediaObject::Audio, QRectF(500, 450, 100, 100));
    b.deliver();
    Analytics analytics;
    const void* window = b.board.window();

    PostCounter flows(Container::kFlowEmbedLinkPressedNotification);
    (*image)->setAction(ZERI_MMAction_WebLink::createWithText(QStringLiteral("flowLink://stringID=abc&screenID=S2")));
    b.click(QPointF(200, 200));
    EXPECT_EQ(flows.count, 1);
    EXPECT_EQ(flows.lastSender, window);
    EXPECT_EQ(flows.lastUserInfo.value(Container::kFlowEmbedLinkActionKey).value<ModelItemRef>().lock(),
              (*image)->action());

    PostCounter screens(Container::kScreenLinkPressedNotification);
    auto link = ZERI_MMAction_ScreenLink::create(QStringLiteral("S7"));
    link->setTransitionType(ZERI_MMAction_ScreenLink::Fade);
    (*image)->setAction(link);
    b.click(QPointF(200, 200));
    ASSERT_EQ(screens.count, 1);
    EXPECT_EQ(screens.lastSender, window);
    EXPECT_EQ(screens.lastUserInfo.value(Container::kScreenLinkIDKey).toString(), "S7");
    EXPECT_EQ(screens.lastUserInfo.value(Container::kScreenLinkTransitionTypeKey).toInt(), 2);

    PostCounter galleries(Container::kGalleryLinkPressedNotification);
    (*image)->setAction(ZERI_MMAction_GalleryLink::create());
    b.click(QPointF(200, 200));
    ASSERT_EQ(galleries.count, 1);
    EXPECT_EQ(galleries.lastUserInfo.value(Container::kGalleryLinkKey).value<MixedMediaObjectRef>().lock(), image);

    PostCounter localVideos(Container::kLocalVideoPressedNotification);
    PostCounter webVideos(Container::kYoutubeVideoPressedNotification);
    b.click(QPointF(700, 250));
    EXPECT_EQ(localVideos.count, 1);
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl(QStringLiteral("https://vimeo.com/123")));
    (*video)->setVideoAsset(asset);
    video->as<ZERI_MMObject_Video>()->setIsYoutubeVideo(true);
    b.click(QPointF(700, 250));
    ASSERT_EQ(webVideos.count, 1);
    EXPECT_EQ(webVideos.lastUserInfo.value(Container::kYoutubeVideoKey).toString(), "https://vimeo.com/123");

    PostCounter pdfs(Container::kPDFPressedNotification);
    PostCounter audios(Container::kAudioPressedNotification);
    b.click(QPointF(200, 550));
    b.click(QPointF(550, 500));
    EXPECT_EQ(pdfs.count, 1);
    EXPECT_EQ(audios.count, 1);
    EXPECT_EQ(audios.lastUserInfo.value(Container::kAudioKey).value<MixedMediaObjectRef>().lock(), audio);
    const QStringList names = analytics.names();
    for (const char* name :
         {"Nestception Link Pressed", "Screen Link Tapped", "View Gallery", "View Video", "View PDF", "Play Audio"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
}

TEST(ElementBadges, LargeMediaShowTheirBadgeCentredInPreviewOnly)
{
    Board b(true);
    const Proxy big = b.add(ZERI_MixedMediaObject::Video, QRectF(100, 100, 400, 300));
    const Proxy small = b.add(ZERI_MixedMediaObject::Video, QRectF(600, 100, 150, 100));
    const Proxy linked = b.add(ZERI_MixedMediaObject::Image, QRectF(100, 420, 300, 300));
    const Proxy pdf = b.add(ZERI_MixedMediaObject::PDF, QRectF(600, 420, 300, 300));
    (*linked)->setAction(ZERI_MMAction_GalleryLink::create());
    b.deliver();

    Container* video = b.container(big);
    EXPECT_EQ(video->badgeName(), "qvr_playvideo_btn");
    ASSERT_TRUE(video->playImageView());
    EXPECT_TRUE(video->playImageView()->isVisible());
    EXPECT_EQ(video->playImageView()->sceneBoundingRect().center(), QPointF(300, 250));
    EXPECT_TRUE(b.container(small)->badgeName().isEmpty());
    EXPECT_EQ(b.container(linked)->badgeName(), "qvr_launchgallery_btn");
    EXPECT_EQ(b.container(pdf)->badgeName(), "qvr_selectedItem_pdf");
    // Watermarks belong to the editor: hidden in preview, shown 10 points inside the bottom-right corner there.
    ASSERT_TRUE(video->watermarkView());
    EXPECT_FALSE(video->watermarkView()->isVisible());
    video->setIsPreviewOnly(false);
    EXPECT_TRUE(video->watermarkView()->isVisible());
    EXPECT_FALSE(video->playImageView()->isVisible());
    EXPECT_EQ(video->watermarkView()->sceneBoundingRect().bottomRight(), QPointF(490, 390));
    EXPECT_EQ(Container::watermarkForMixedMediaObjectType(ZERI_MixedMediaObject::Image), "");

    // A gallery link added later brings its badge; shrinking below the limit takes a badge away.
    const Proxy plain = b.add(ZERI_MixedMediaObject::Image, QRectF(300, 300, 300, 300));
    b.deliver();
    EXPECT_TRUE(b.container(plain)->badgeName().isEmpty());
    (*plain)->setAction(ZERI_MMAction_GalleryLink::create());
    plain->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(b.container(plain)->badgeName(), "qvr_launchgallery_btn");
    (*big)->setFrame(QRectF(100, 100, 180, 300));
    big->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_TRUE(video->badgeName().isEmpty());
}

TEST(ElementContainerPixels, CanvasMatchesTheModelsDrawingAndDimsWhatLiesOutside)
{
    for (const bool previewOnly : {false, true}) {
        Board b(previewOnly);
        RedPicture red(b, QStringLiteral("red.png"), QSize(200, 100));
        const Proxy half = b.add(ZERI_MixedMediaObject::Image, QRectF(-100, 300, 200, 100));
        red.setOn(half);
        const Proxy shape = b.add(ZERI_MixedMediaObject::Shape, QRectF(400, 200, 300, 200));
        shape->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Rectangle);
        shape->as<ZERI_MMObject_Shape>()->setColor(QColor(20, 60, 200));
        RedPicture green(b, QStringLiteral("green.png"), QSize(120, 90), QColor(30, 160, 40));
        const Proxy inside = b.add(ZERI_MixedMediaObject::Image, QRectF(600, 500, 120, 90));
        green.setOn(inside);
        b.screen->setBackgroundColor(QColor(250, 240, 220));
        b.deliver();
        ASSERT_TRUE(waitForPicture(b.container(half)));
        ASSERT_TRUE(waitForPicture(b.container(inside)));
        QApplication::processEvents();

        const QImage canvas = b.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint origin = b.toViewport(QPointF(0, 0));
        EXPECT_EQ(canvas.pixelColor(origin + QPoint(50, 350)), QColor(255, 0, 0));
        const QColor outside = canvas.pixelColor(origin + QPoint(-20, 350));
        if (previewOnly)
            EXPECT_TRUE(near(outside, 51, 51, 51, 2)) << outside.name().toStdString();
        else
            EXPECT_TRUE(near(outside, 239, 60, 60, 3)) << outside.name().toStdString();

        // Inside the screen the canvas shows what previews, PDF pages and prints draw.
        const QImage model = ModelDrawing::renderScreen(*b.screen).convertToFormat(QImage::Format_RGB32);
        const QImage shown = canvas.copy(QRect(origin, QSize(1024, 748)));
        int differing = 0;
        for (int y = 0; y < 748; ++y)
            for (int x = 0; x < 1024; ++x)
                differing += !near(shown.pixelColor(x, y), model.pixelColor(x, y).red(), model.pixelColor(x, y).green(),
                                   model.pixelColor(x, y).blue(), 2);
        EXPECT_EQ(differing, 0) << (previewOnly ? "preview" : "editing");
    }
}

TEST(ElementContainers, AnswerTheInteractionModelByObjectType)
{
    Board b;
    const Proxy text = b.add(ZERI_MixedMediaObject::Text, QRectF(0, 0, 400, 100));
    const Proxy audio = b.add(ZERI_MixedMediaObject::Audio, QRectF(0, 200, 100, 100));
    const Proxy image = b.add(ZERI_MixedMediaObject::Image, QRectF(200, 200, 100, 100));
    b.deliver();
    for (const Proxy& object : {text, audio, image}) {
        const QVR_Interactable* answers = b.container(object);
        EXPECT_TRUE(answers->hoverable() && answers->selectable() && answers->translatable());
        EXPECT_FALSE(answers->disallowsMouseEvent(QPointF(10, 10))) << "nothing is being edited";
    }
    EXPECT_FALSE(b.container(text)->rotatable());
    EXPECT_FALSE(b.container(audio)->rotatable());
    EXPECT_TRUE(b.container(image)->rotatable());
    // Text resizes only side to side; everything else from every handle.
    for (int position = 0; position < 8; ++position) {
        EXPECT_EQ(b.container(text)->resizePositionIsAvailable(position), position == 4 || position == 5);
        EXPECT_TRUE(b.container(image)->resizePositionIsAvailable(position));
    }
}

TEST(ElementContainers, ShowInTheCreatorWindowsBoards)
{
    registerCreatorLibrary();
    QPointer<QVR_CreatorWindow> window =
        qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    ASSERT_TRUE(window);
    const auto document = makeDocument(2);
    const auto screen = document->firstFlowmodel()->screenModels().front();
    auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    (*shape)->setFrame(QRectF(100, 100, 200, 150));
    screen->addMixedMediaObject(shape);
    window->launchTessarineWithTessarineModel(document);
    QApplication::processEvents();
    ASSERT_TRUE(window->currentlyDisplayedSingleScreen());
    Container* container = window->currentlyDisplayedSingleScreen()->containerForMixedMediaObject(shape);
    ASSERT_TRUE(container);
    EXPECT_FALSE(container->isPreviewOnly());
    EXPECT_EQ(container->mixedMediaObject(), shape);
    delete window;
}
