#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "platform/Json.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenBackgroundModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_GalleryLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<ZERI_ContentAsset> assetAt(const QString& url)
{
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl(url));
    asset->setSourceFileName(QUrl(url).fileName());
    return asset;
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> addObject(const std::shared_ptr<ZERI_FlowScreenModel>& screen, int type,
                                                      const QRectF& frame)
{
    auto object = ZERI_MixedMediaObject::objectWithType(type);
    (*object)->setFrame(frame);
    screen->addMixedMediaObject(object);
    return object;
}

// Three screens; one object of each type; image, text and shape carry a web, a screen and a gallery link; a
// gallery with two captioned images; a video whose asset waits for the Small preset.
std::shared_ptr<ZERI_TessarineModel> makeFullDocument()
{
    auto document = ZERI_TessarineModel::create();
    document->setStringID("s7Kq2");
    document->setAlias("quarterly");
    document->setApiID("4411");
    document->setDescription("Results \"Q3\" – ünïcode");
    document->setCategories({"business", "finance"});
    document->setCanRemix(true);
    document->setSideMenuOpen(true);
    auto flow = document->firstFlowmodel();
    flow->setTitle("Quarterly results");
    flow->setThemeID("10");
    flow->setAutoAdvanceSlideDuration(12.5);
    flow->setAutoAdvanceTransitionType(2);
    flow->setAutoAdvanceLoops(true);
    for (int i = 0; i < 3; ++i)
        flow->addFlowScreen(ZERI_FlowScreenModel::create());
    auto s1 = flow->screenModels()[0];
    auto s2 = flow->screenModels()[1];
    auto s3 = flow->screenModels()[2];
    s1->setBackgroundColor(QColor(0x1F, 0x70, 0xA8));
    s1->setPresenterNotes("Say hello.\nThen the numbers.");
    s2->setAutoAdvanceSlideDuration(4);
    s2->setAutoAdvanceTransitionType(3);

    auto video = addObject(s1, ZERI_MixedMediaObject::Video, QRectF(10, 20, 320, 180));
    auto videoAsset = assetAt("file:///tmp/pkg/assets/clip.mov");
    videoAsset->setVideoCompressionPreset(VideoAssetCompressorPreset::small480p());
    (*video)->setVideoAsset(videoAsset);
    (*video)->setOriginalImageAsset(assetAt("file:///tmp/pkg/assets/poster.png"));

    auto image = addObject(s1, ZERI_MixedMediaObject::Image, QRectF(100.26, 50, 997.33, 748));
    (*image)->setZoomScale(0.0123456789);
    (*image)->setZoomOffset(QSizeF(12.5, -3));
    (*image)->setRotation(1);
    (*image)->setOriginalImageAsset(assetAt("https://cdn.example.com/a/photo.jpg"));
    (*image)->setCroppedImageAsset(assetAt("file:///tmp/pkg/assets/crop.png"));
    (*image)->setAction(ZERI_MMAction_WebLink::create(QUrl("http://example.com/a?b=c&d=e")));

    auto gallery = addObject(s2, ZERI_MixedMediaObject::Gallery, QRectF(0, 0, 400, 300));
    auto manager = (*gallery)->galleryAssetManager();
    manager->insertImageAsset(assetAt("file:///tmp/pkg/assets/g1.jpg"), 0);
    manager->insertImageAsset(assetAt("file:///tmp/pkg/assets/g2.jpg"), 1);
    manager->insertThumbImageAsset(assetAt("file:///tmp/pkg/assets/t1.jpg"), 0);
    manager->setCaptionText(0, "First");
    manager->setCaptionText(1, "Second, with \"quotes\"");

    auto text = addObject(s2, ZERI_MixedMediaObject::Text, QRectF(40, 40, 400, 100));
    auto textObject = text->as<ZERI_MMObject_Text>();
    TextAttributes heading{"HelveticaNeue-Bold", 48, QColor(255, 0, 0), TextAttributes::Center};
    AttributedText string("Hello world", heading);
    string.setAttributes({"HelveticaNeue-Light", 24, QColor(0, 0, 0, 128), TextAttributes::Left}, {6, 5});
    textObject->setAttributedString(string);
    textObject->setIsThemeText(true);
    textObject->setText("Hello world");
    textObject->setTextColor(QColor(10, 20, 30));
    (*text)->setAction(ZERI_MMAction_ScreenLink::create(s3->internalID()));

    addObject(s2, ZERI_MixedMediaObject::Link, QRectF(500, 500, 100, 40))
        ->object()
        ->setAction(ZERI_MMAction_ScreenLink::create(s1->internalID()));

    auto pdf = addObject(s3, ZERI_MixedMediaObject::PDF, QRectF(0, 0, 300, 400));
    (*pdf)->setPdfAsset(assetAt("file:///tmp/pkg/assets/report.pdf"));

    auto shape = addObject(s3, ZERI_MixedMediaObject::Shape, QRectF(600, 100, 200, 150));
    shape->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::StandardArrow);
    shape->as<ZERI_MMObject_Shape>()->setColor(QColor(0, 128, 0, 200));
    (*shape)->setRotation(1);
    (*shape)->setAction(ZERI_MMAction_GalleryLink::create());

    auto audio = addObject(s3, ZERI_MixedMediaObject::Audio, QRectF(900, 600, 100, 100));
    (*audio)->setAudioAsset(assetAt("file:///tmp/pkg/assets/sound.m4a"));
    return document;
}

QJsonObject firstObjectOfType(const QJsonObject& document, int type)
{
    for (const auto& flow : document[u"tessarine"_s][u"flows"_s].toArray())
        for (const auto& screen : flow[u"screens"_s].toArray())
            for (const auto& object : screen[u"mixedMediaObjects"_s].toArray())
                if (object[u"type"_s].toInt() == type)
                    return object.toObject();
    return {};
}

} // namespace

TEST(DocumentJson, FullDocumentRoundTripsToAnEqualModelAndStableBytes)
{
    const auto document = makeFullDocument();
    const QByteArray bytes = document->jsonData();
    EXPECT_EQ(document->jsonData(), bytes) << "writing twice gives the same bytes";
    EXPECT_FALSE(bytes.contains(": ")) << "compact form";

    Error error;
    const auto readBack = ZERI_TessarineModel::initWithJsonData(bytes, &error);
    ASSERT_TRUE(readBack) << error.message.toStdString();
    EXPECT_EQ(readBack->jsonDictionary(), document->jsonDictionary());
    EXPECT_EQ(readBack->jsonData(), bytes);

    // Spot checks that the model read back is the model written, not only its text.
    ASSERT_EQ(readBack->firstFlowmodel()->screenModels().size(), 3u);
    const auto s1 = readBack->firstFlowmodel()->screenModels()[0];
    EXPECT_EQ(s1->parent(), readBack->firstFlowmodel());
    EXPECT_EQ(s1->backgroundColor(), QColor(0x1F, 0x70, 0xA8));
    const auto image = s1->mixedMediaObjects()[1];
    EXPECT_EQ((*image)->frame(), QRectF(100.3, 50, 997.3, 748)) << "frames are kept to one decimal";
    EXPECT_EQ((*image)->zoomScale(), 0.0123456789) << "zoom scale at full precision";
    EXPECT_EQ((*image)->parent(), s1);
    EXPECT_EQ((*image)->croppedImageAsset()->parent(), image->object());
    const auto video = s1->mixedMediaObjects()[0]->object();
    ASSERT_TRUE(video->videoAsset()->videoCompressionPreset());
    EXPECT_EQ(video->videoAsset()->videoCompressionPreset()->bitrate(), 2048000);
    EXPECT_EQ(video->tessarineModel(), readBack);
    EXPECT_EQ(readBack->getAllContentAssets().size(), document->getAllContentAssets().size());
    EXPECT_EQ(readBack->title(), "Quarterly results");

    const QJsonObject dict = document->jsonDictionary();
    EXPECT_EQ(dict[u"tessarine"_s][u"docVersion"_s], "1.3");
    EXPECT_EQ(dict[u"tessarine"_s][u"sideMenuOpen"_s], "YES");
    EXPECT_EQ(firstObjectOfType(dict, 2)[u"frame"_s].toObject(),
              QJsonObject({{"x", "100.3"}, {"y", "50.0"}, {"width", "997.3"}, {"height", "748.0"}}));
    EXPECT_EQ(firstObjectOfType(dict, 1)[u"videoAsset"_s][u"videoCompressionPreset"_s].toObject(),
              VideoAssetCompressorPreset::small480p()->dictionaryRepresentation());
    EXPECT_FALSE(firstObjectOfType(dict, 6)[u"pdfAsset"_s].toObject().contains("videoCompressionPreset"));
    EXPECT_EQ(firstObjectOfType(dict, 7)[u"relativePaths"_s].toArray().size(), 7);
    EXPECT_EQ(firstObjectOfType(dict, 3)[u"galleryAssetManager"_s][u"captionTextArray"_s].toArray(),
              QJsonArray({"First", "Second, with \"quotes\""}));
    const QJsonObject run = firstObjectOfType(dict, 4)[u"attributedText"_s][u"runs"_s][1].toObject();
    EXPECT_EQ(run, QJsonObject({{"Name", "HelveticaNeue-Light"},
                                {"Size", "24"},
                                {"Range", "{6, 5}"},
                                {"color", "00000080"},
                                {"alignment", 0}}));
}

TEST(DocumentJson, ReadingToleratesTheBooleanAndNumberFormsOfOtherWriters)
{
    auto read = [](const char* json) {
        Error error;
        auto document = ZERI_TessarineModel::initWithJsonData(json, &error);
        EXPECT_TRUE(document) << json << " " << error.message.toStdString();
        return document;
    };
    EXPECT_TRUE(read(R"({"tessarine":{"canRemix":"yes","sideMenuOpen":true,"isThemeTessarine":"1"}})")->canRemix());
    EXPECT_TRUE(read(R"({"tessarine":{"sideMenuOpen":"Yes"}})")->sideMenuOpen());
    EXPECT_FALSE(read(R"({"tessarine":{"sideMenuOpen":"no"}})")->sideMenuOpen());
    EXPECT_FALSE(read(R"({"tessarine":{"sideMenuOpen":false}})")->sideMenuOpen());
    EXPECT_FALSE(read(R"({"tessarine":{"sideMenuOpen":"0"}})")->sideMenuOpen());
    EXPECT_TRUE(read(R"({"tessarine":{"isThemeTessarine":1}})")->isThemeTessarine());

    const auto numbers = read(R"({"tessarine":{"flows":[{"screens":[{"id":"S","mixedMediaObjects":[
        {"id":"o","type":"2","frame":{"x":1,"y":"2.5","width":" 30 ","height":40},"zoomScale":"0.25","rotation":"3"}
    ]}]}]}})");
    const auto object = numbers->firstFlowmodel()->screenModels()[0]->mixedMediaObjects()[0];
    EXPECT_EQ(object->type(), 2);
    EXPECT_EQ((*object)->frame(), QRectF(1, 2.5, 30, 40));
    EXPECT_EQ((*object)->zoomScale(), 0.25);
    EXPECT_EQ((*object)->rotation(), 3);

    // Null is "absent", as the service sends it.
    EXPECT_EQ(read(R"({"tessarine":{"alias":null,"flows":null}})")->alias(), "");
}

TEST(DocumentJson, BadDocumentsFailWithAnErrorNamingTheFaultAndNeverCrash)
{
    struct Case {
        const char* json;
        int code;
        const char* mentions;
    };
    const Case cases[] = {
        {"not json at all", ModelJsonError::NotJson, "not JSON"},
        {"[1,2,3]", ModelJsonError::MissingDocument, "object"},
        {R"({"document":{}})", ModelJsonError::MissingDocument, "tessarine"},
        {R"({"tessarine":"1.3"})", ModelJsonError::MissingDocument, "tessarine"},
        {R"({"tessarine":{"flows":"none"}})", ModelJsonError::WrongKind, "tessarine.flows"},
        {R"({"tessarine":{"flows":[7]}})", ModelJsonError::WrongKind, "tessarine.flows[0]"},
        {R"({"tessarine":{"canRemix":"maybe"}})", ModelJsonError::WrongKind, "tessarine.canRemix"},
        {R"({"tessarine":{"description":{"a":1}}})", ModelJsonError::WrongKind, "tessarine.description"},
        {R"({"tessarine":{"flows":[{"screens":{}}]}})", ModelJsonError::WrongKind, "tessarine.flows[0].screens"},
        {R"({"tessarine":{"flows":[{"viewSize":[1024,748]}]}})", ModelJsonError::WrongKind, "viewSize"},
        {R"({"tessarine":{"flows":[{"screens":[{"mixedMediaObjects":[{"type":2,"frame":"0,0,10,10"}]}]}]}})",
         ModelJsonError::WrongKind, "tessarine.flows[0].screens[0].mixedMediaObjects[0].frame"},
        {R"({"tessarine":{"flows":[{"screens":[{"mixedMediaObjects":[{"type":"image"}]}]}]}})",
         ModelJsonError::WrongKind, "mixedMediaObjects[0].type"},
        {R"({"tessarine":{"flows":[{"screens":[{"background":{"color":"#12345"}}]}]}})", ModelJsonError::WrongKind,
         "background.color"},
        {R"({"tessarine":{"flows":[{"screens":[{"mixedMediaObjects":[{"type":2,"croppedImageAsset":{"isBakedAsset":[]}}]}]}]}})",
         ModelJsonError::WrongKind, "croppedImageAsset.isBakedAsset"},
        {R"({"tessarine":{"flows":[{"screens":[{"mixedMediaObjects":[{"type":4,"attributedText":{"string":"ab","runs":[{"Range":"{1, 5}"}]}}]}]}]}})",
         ModelJsonError::WrongKind, "attributedText"},
        // Numbers no integer holds are refused while still numbers, never converted.
        {R"({"tessarine":{"flows":[{"autoAdvanceTransitionType":1e300}]}})", ModelJsonError::WrongKind,
         "tessarine.flows[0].autoAdvanceTransitionType"},
        {R"({"tessarine":{"flows":[{"screens":[{"autoAdvanceTransitionType":-3e9}]}]}})", ModelJsonError::WrongKind,
         "screens[0].autoAdvanceTransitionType"},
        {R"({"tessarine":{"flows":[{"screens":[{"autoAdvanceTransitionType":"2147483648"}]}]}})",
         ModelJsonError::WrongKind, "autoAdvanceTransitionType"},
    };
    for (const Case& c : cases) {
        Error error;
        EXPECT_FALSE(ZERI_TessarineModel::initWithJsonData(c.json, &error, "docfile.qvd")) << c.json;
        EXPECT_EQ(error.code, c.code) << c.json;
        EXPECT_EQ(error.domain, ModelJsonError::domain);
        EXPECT_TRUE(error.message.contains(QLatin1String(c.mentions))) << error.message.toStdString();
        EXPECT_TRUE(error.message.startsWith("docfile.qvd")) << error.message.toStdString();
    }

    // Every truncation of a real document is refused, never half-read.
    const QByteArray bytes = makeFullDocument()->jsonData();
    for (qsizetype length = 0; length < bytes.size(); length += 7) {
        Error error;
        EXPECT_FALSE(ZERI_TessarineModel::initWithJsonData(bytes.left(length), &error)) << length;
        EXPECT_FALSE(error.message.isEmpty());
    }
}

TEST(DocumentJson, AnObjectOfUnknownTypeIsSkippedAndTheRestLoads)
{
    const char* json = R"({"tessarine":{"flows":[{"screens":[{"id":"S","mixedMediaObjects":[
        {"id":"a","type":2},{"id":"b","type":42},{"id":"c","type":8},{"id":"d","type":7,"shapeType":2}]}]}]}})";
    Error error;
    const auto document = ZERI_TessarineModel::initWithJsonData(json, &error);
    ASSERT_TRUE(document) << error.message.toStdString();
    const auto& objects = document->firstFlowmodel()->screenModels()[0]->mixedMediaObjects();
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ((*objects[0])->internalID(), "a");
    EXPECT_EQ((*objects[1])->internalID(), "d");
}

TEST(DocumentJson, LinkActionsAreChosenByTheirActionType)
{
    const auto screenLink = ZERI_MMAction::initWithDict({{"screenID", "S2"}, {"action_type", "MMActionScreenLink"}});
    ASSERT_TRUE(screenLink);
    EXPECT_EQ(screenLink->type(), ZERI_MMAction::ScreenLink);
    EXPECT_EQ(std::static_pointer_cast<ZERI_MMAction_ScreenLink>(screenLink)->screenID(), "S2");

    const auto webLink = ZERI_MMAction::initWithDict({{"weblink", "http://x"}, {"action_type", "MMActionTypeWebLink"}});
    ASSERT_TRUE(webLink);
    EXPECT_EQ(webLink->type(), ZERI_MMAction::WebLink);
    EXPECT_EQ(std::static_pointer_cast<ZERI_MMAction_WebLink>(webLink)->weblink(), QUrl("http://x"));

    // An embedded-flow link is no valid URL; its text must survive reading and writing unchanged.
    const QString flowText = QStringLiteral("flowLink://stringID=abc&screenID=S1&screenIndex=2");
    const auto embedded = ZERI_MMAction::initWithDict({{"weblink", flowText}, {"action_type", "MMActionTypeWebLink"}});
    ASSERT_TRUE(embedded);
    EXPECT_EQ(std::static_pointer_cast<ZERI_MMAction_WebLink>(embedded)->weblinkText(), flowText);
    EXPECT_EQ(embedded->jsonDictionary().value("weblink").toString(), flowText);

    const auto galleryLink = ZERI_MMAction::initWithDict({{"action_type", "galleryLink"}});
    ASSERT_TRUE(galleryLink);
    EXPECT_EQ(galleryLink->type(), ZERI_MMAction::GalleryLink);

    const auto flowLink = ZERI_MMAction::initWithDict({{"action_type", "MMActionTypeFlowLink"}, {"flowLink", "x"}});
    ASSERT_TRUE(flowLink);
    EXPECT_EQ(flowLink->type(), ZERI_MMAction::FlowLink);

    Error error;
    EXPECT_FALSE(ZERI_MMAction::initWithDict({{"action_type", "teleport"}}, &error));
    EXPECT_TRUE(error.isNull()) << "an unknown action is no error, just no action";
    EXPECT_FALSE(ZERI_MMAction::initWithDict({}));

    // An action belongs to its object and knows its document.
    const auto document = makeFullDocument();
    const auto text = document->firstFlowmodel()->screenModels()[1]->mixedMediaObjects()[1];
    ASSERT_TRUE((*text)->action());
    EXPECT_EQ((*text)->action()->tessarineModel(), document);
}

TEST(DocumentJson, AnAssetWithoutPresetHasNoPresetKey)
{
    auto asset = ZERI_ContentAsset::create();
    EXPECT_FALSE(asset->jsonDictionary().contains("videoCompressionPreset"));
    asset->setVideoCompressionPreset(VideoAssetCompressorPreset::medium720p());
    EXPECT_EQ(asset->jsonDictionary()[u"videoCompressionPreset"_s][u"bitrate"_s], 4096000);
    asset->setVideoCompressionPreset(nullptr);
    EXPECT_FALSE(asset->jsonDictionary().contains("videoCompressionPreset")) << "the cached form was dropped";
}

// Documents written before web videos were marked say "NO" for them: a video whose address is a site's embedded
// player is read as the web video it is; a file on the service or on disk stays a file, whatever its path.
TEST(DocumentJson, AStoredVideoIsAWebVideoExactlyWhenItsAddressIsASitesEmbeddedPlayer)
{
    const struct {
        const char* address;
        bool webVideo;
    } cases[] = {
        {"https://www.youtube.com/embed/Ab3_-x9Zq0Q?autoplay=1", true},
        {"http://youtube.com/embed/Ab3_-x9Zq0Q", true},
        {"https://www.youtube-nocookie.com/embed/Ab3_-x9Zq0Q", true},
        {"https://player.vimeo.com/video/76979871#at=1", true},
        {"https://www.youtube.com/embed/short", false},
        {"https://www.youtube.com/watch?v=Ab3_-x9Zq0Q", false},
        {"https://cdn.example.com/embed/Ab3_-x9Zq0Q", false},
        {"https://player.vimeo.com/video/76979871/clip.mp4", false},
        {"https://service.example.com/content/v1/movie.mp4", false},
        {"file:///home/ann/embed/Ab3_-x9Zq0Q", false},
    };
    for (const auto& c : cases) {
        auto document = ZERI_TessarineModel::create();
        auto screen = ZERI_FlowScreenModel::create();
        document->firstFlowmodel()->addFlowScreen(screen);
        auto video = addObject(screen, ZERI_MixedMediaObject::Video, QRectF(10, 10, 480, 360));
        (*video)->setVideoAsset(assetAt(QString::fromLatin1(c.address)));
        QJsonObject json = document->jsonDictionary();
        const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact);
        ASSERT_TRUE(text.contains("\"isYoutubeVideo\":\"NO\"")) << c.address;

        auto read = ZERI_TessarineModel::initWithDict(json);
        ASSERT_TRUE(read) << c.address;
        const auto readVideo =
            read->firstFlowmodel()->screenModels().front()->mixedMediaObjects().front()->as<ZERI_MMObject_Video>();
        ASSERT_TRUE(readVideo);
        EXPECT_EQ(readVideo->isYoutubeVideo(), c.webVideo) << c.address;
        // Written back as what it is.
        EXPECT_EQ(
            QJsonDocument(read->jsonDictionary()).toJson(QJsonDocument::Compact).contains("\"isYoutubeVideo\":\"YES\""),
            c.webVideo)
            << c.address;
    }
}

TEST(DocumentJson, SettingPropertiesFromASnapshotKeepsScreensAndObjectsInPlace)
{
    const auto document = makeFullDocument();
    const auto flow = document->firstFlowmodel();
    const QJsonObject snapshot = flow->jsonDictionary();
    const auto screen = flow->screenModels()[0];
    const auto image = screen->mixedMediaObjects()[1];

    (*image)->setFrame(QRectF(1, 2, 3, 4));
    flow->removeFlowScreen(flow->screenModels()[2]);
    screen->addMixedMediaObject(ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text));
    ASSERT_NE(flow->jsonDictionary(), snapshot);

    ASSERT_TRUE(flow->setPropertiesFromDict(snapshot));
    EXPECT_EQ(flow->jsonDictionary(), snapshot);
    EXPECT_EQ(flow->screenModels()[0], screen) << "the same screen object";
    EXPECT_EQ(screen->mixedMediaObjects()[1], image) << "the same proxy";
    EXPECT_EQ((*image)->parent(), screen);
    EXPECT_EQ(flow->screenModels()[2]->parent(), flow);
    EXPECT_EQ(document->jsonData(), ZERI_TessarineModel::initWithJsonData(document->jsonData())->jsonData());
}

TEST(DocumentJson, LongFlowsReadTheSameAndReportTheEarliestFault)
{
    // Long flows build their screens on several threads; the result must not depend on it.
    auto document = ZERI_TessarineModel::create();
    for (int i = 0; i < 60; ++i) {
        auto screen = ZERI_FlowScreenModel::create();
        document->firstFlowmodel()->addFlowScreen(screen);
        auto object = ZERI_MixedMediaObject::objectWithType(i % 2 ? ZERI_MixedMediaObject::Text : 2);
        (*object)->setFrame(QRectF(i, i, 10, 10));
        screen->addMixedMediaObject(object);
    }
    const QByteArray bytes = document->jsonData();
    const auto readBack = ZERI_TessarineModel::initWithJsonData(bytes);
    ASSERT_TRUE(readBack);
    EXPECT_EQ(readBack->jsonData(), bytes);
    for (const auto& screen : readBack->firstFlowmodel()->screenModels()) {
        EXPECT_EQ(screen->parent(), readBack->firstFlowmodel());
        EXPECT_EQ(screen->backgroundModel()->parent(), screen);
        EXPECT_EQ((*screen->mixedMediaObjects()[0])->tessarineModel(), readBack);
    }

    QJsonObject dict = document->jsonDictionary();
    QJsonObject root = dict["tessarine"].toObject();
    QJsonArray flows = root["flows"].toArray();
    QJsonObject flow = flows[0].toObject();
    QJsonArray screens = flow["screens"].toArray();
    for (int broken : {47, 9}) {
        QJsonObject screen = screens[broken].toObject();
        screen["presenterNotes"] = QJsonArray{1};
        screens[broken] = screen;
    }
    flow["screens"] = screens;
    flows[0] = flow;
    root["flows"] = flows;
    dict["tessarine"] = root;
    Error error;
    EXPECT_FALSE(ZERI_TessarineModel::initWithDict(dict, &error));
    EXPECT_TRUE(error.message.contains("tessarine.flows[0].screens[9].presenterNotes")) << error.message.toStdString();
}

TEST(DocumentJson, LongFlowsWriteEveryEditWhicheverThreadBuildsAScreen)
{
    // Saves of long flows build the changed screens on several threads, one screen at a time.
    auto document = ZERI_TessarineModel::create();
    for (int i = 0; i < 90; ++i)
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    for (int round = 0; round < 20; ++round) {
        const auto& screens = document->firstFlowmodel()->screenModels();
        for (int i = round % 3; i < int(screens.size()); i += 2)
            screens[size_t(i)]->setPresenterNotes(QStringLiteral("round %1 screen %2").arg(round).arg(i));
        const auto readBack = ZERI_TessarineModel::initWithJsonData(document->jsonData());
        ASSERT_TRUE(readBack);
        const auto& written = readBack->firstFlowmodel()->screenModels();
        ASSERT_EQ(written.size(), screens.size());
        for (size_t i = 0; i < screens.size(); ++i)
            ASSERT_EQ(written[i]->presenterNotes(), screens[i]->presenterNotes())
                << "round " << round << " screen " << i;
    }
}
