#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QUrl>

#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/fuzz/DocumentFuzzTarget.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_FlowLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList corpusFiles()
{
    const QDir folder(QStringLiteral(TESS_DOCUMENT_FUZZ_CORPUS_DIR));
    return folder.entryList({QStringLiteral("*.qvd")}, QDir::Files, QDir::Name);
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> add(ZERI_FlowScreenModel& screen, int type, const QRectF& frame)
{
    auto proxy = ZERI_MixedMediaObject::objectWithType(type);
    proxy->object()->setFrame(frame);
    screen.addMixedMediaObject(proxy);
    return proxy;
}

std::shared_ptr<ZERI_ContentAsset> asset(const QUrl& url)
{
    auto made = ZERI_ContentAsset::create();
    made->setExternalURL(url);
    return made;
}

} // namespace

// Replays the document corpus (the application's own documents and the inputs fuzzing found) through the fuzzing
// harness: any crash, sanitizer report or leak fails the suite (it runs in the ASan/UBSan/LSan pass too), and so
// does a document that, written and read back, writes differently.
TEST(DocumentFuzzCorpus, EveryCorpusDocumentIsReadAndDrawnWithoutFault)
{
    int seeds = 0;
    for (const QString& name : corpusFiles()) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = readFile(QStringLiteral(TESS_DOCUMENT_FUZZ_CORPUS_DIR "/") + name);
        EXPECT_TRUE(tessfuzz::readAndDrawDocument(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                  std::size_t(bytes.size())))
            << "written and read back, the document writes differently";
        // The application's own documents must stay readable as the reader changes.
        if (name.startsWith(QLatin1String("seed-"))) {
            Error error;
            EXPECT_TRUE(ZERI_TessarineModel::initWithJsonData(bytes, &error)) << error.message.toStdString();
            ++seeds;
        }
    }
    EXPECT_GE(seeds, 5);
}

// Writes the seed documents, made through the model as the application makes them, into the folder named by
// TESS_DOCUMENT_SEED_DIR (the corpus folder when unset). Run by hand when the document format grows:
//   tests_tessarine_data_model_drawing --gtest_also_run_disabled_tests --gtest_filter='*WriteSeedDocuments'
TEST(DocumentFuzzCorpus, DISABLED_WriteSeedDocuments)
{
    const QString folder = qEnvironmentVariableIsSet("TESS_DOCUMENT_SEED_DIR")
                               ? qEnvironmentVariable("TESS_DOCUMENT_SEED_DIR")
                               : QStringLiteral(TESS_DOCUMENT_FUZZ_CORPUS_DIR);
    const auto write = [&](const QString& name, const ZERI_TessarineModel& document) {
        QFile file(QDir(folder).filePath(QStringLiteral("seed-") + name + QStringLiteral(".qvd")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(document.jsonData());
    };

    auto empty = ZERI_TessarineModel::create();
    empty->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    write(QStringLiteral("empty"), *empty);

    // Styled text: runs of several fonts, sizes, colours and alignments, paragraphs, a long word.
    auto texts = ZERI_TessarineModel::create();
    auto textScreen = ZERI_FlowScreenModel::create();
    textScreen->setBackgroundColor(QColor(250, 240, 220));
    auto styled = add(*textScreen, ZERI_MixedMediaObject::Text, QRectF(40, 40, 500, 300))->as<ZERI_MMObject_Text>();
    AttributedText string(QStringLiteral("Title\nBody text in two runs\r\nLast paragraph ") + QString(300, u'W'),
                          TextAttributes{QStringLiteral("HelveticaNeue-Bold"), 40, QColor(Qt::black), 2});
    string.setAttributes(TextAttributes{QStringLiteral("HelveticaNeue-Light"), 18, QColor(20, 90, 160, 200), 3},
                         TextRange{6, 20});
    styled->setAttributedString(string);
    auto plain = add(*textScreen, ZERI_MixedMediaObject::Text, QRectF(600, 400, 300, 200))->as<ZERI_MMObject_Text>();
    plain->setText(QString::fromUtf16(u"Ünïcödé – עברית – 漢字 – e\u0301 – 👍"));
    plain->setTextAlignment(1);
    plain->setBackgroundColor(QColor(255, 255, 0, 128));
    texts->firstFlowmodel()->addFlowScreen(textScreen);
    write(QStringLiteral("texts"), *texts);

    // Every shape type, turned, with link actions.
    auto shapes = ZERI_TessarineModel::create();
    auto shapeScreen = ZERI_FlowScreenModel::create();
    for (int type = 1; type <= 8; ++type) {
        auto proxy = add(*shapeScreen, ZERI_MixedMediaObject::Shape,
                         QRectF(10 + (type - 1) % 4 * 250, 100 + (type - 1) / 4 * 300, 200, 150));
        proxy->as<ZERI_MMObject_Shape>()->setShapeType(type);
        proxy->as<ZERI_MMObject_Shape>()->setColor(QColor::fromHsv(type * 40, 200, 200));
        proxy->object()->setRotation(type * 90 % 360);
    }
    auto web = std::make_shared<ZERI_MMAction_WebLink>();
    web->setWeblink(QUrl(QStringLiteral("https://www.example.com/page?x=1")));
    shapeScreen->mixedMediaObjects().front()->object()->setAction(web);
    auto flowLink = std::make_shared<ZERI_MMAction_FlowLink>();
    flowLink->setFlowLink(QStringLiteral("flowLink://stringID=abc123&screenIndex=2"));
    shapeScreen->mixedMediaObjects().back()->object()->setAction(flowLink);
    shapes->firstFlowmodel()->addFlowScreen(shapeScreen);
    write(QStringLiteral("shapes-and-links"), *shapes);

    // Media objects whose files are elsewhere or missing, and screen previews.
    auto media = ZERI_TessarineModel::create();
    auto mediaScreen = ZERI_FlowScreenModel::create();
    auto picture = add(*mediaScreen, ZERI_MixedMediaObject::Image, QRectF(0, 0, 400, 300));
    picture->object()->setOriginalImageAsset(asset(QUrl(QStringLiteral("https://cdn.example.com/a/photo.jpg"))));
    picture->object()->setCroppedImageAsset(asset(QUrl::fromLocalFile(QStringLiteral("/nonexistent/crop.png"))));
    add(*mediaScreen, ZERI_MixedMediaObject::Video, QRectF(420, 0, 400, 300))
        ->object()
        ->setVideoAsset(asset(QUrl(QStringLiteral("https://cdn.example.com/v.mp4"))));
    add(*mediaScreen, ZERI_MixedMediaObject::Audio, QRectF(0, 320, 100, 100))
        ->object()
        ->setAudioAsset(asset(QUrl(QStringLiteral("https://cdn.example.com/s.m4a"))));
    add(*mediaScreen, ZERI_MixedMediaObject::PDF, QRectF(120, 320, 200, 260))
        ->object()
        ->setPdfAsset(asset(QUrl(QStringLiteral("https://cdn.example.com/d.pdf"))));
    add(*mediaScreen, ZERI_MixedMediaObject::Gallery, QRectF(340, 320, 300, 200));
    add(*mediaScreen, ZERI_MixedMediaObject::Link, QRectF(660, 320, 200, 60));
    mediaScreen->setPreviewScreenShotAsset(asset(QUrl(QStringLiteral("https://cdn.example.com/preview.jpg"))));
    media->firstFlowmodel()->addFlowScreen(mediaScreen);
    write(QStringLiteral("media"), *media);

    // Several flows and screens with timings, notes and a view size of its own.
    auto flows = ZERI_TessarineModel::create();
    flows->firstFlowmodel()->setTitle(QStringLiteral("First"));
    flows->firstFlowmodel()->setAutoAdvanceSlideDuration(3.5);
    flows->firstFlowmodel()->setAutoAdvanceLoops(true);
    for (int i = 0; i < 3; ++i) {
        auto screen = ZERI_FlowScreenModel::create();
        screen->setPresenterNotes(QStringLiteral("Notes %1").arg(i));
        screen->setAutoAdvanceSlideDuration(1.0 + i);
        screen->setAutoAdvanceTransitionType(i);
        add(*screen, ZERI_MixedMediaObject::Text, QRectF(10, 10, 300, 80))
            ->as<ZERI_MMObject_Text>()
            ->setText(QStringLiteral("Screen %1").arg(i));
        flows->firstFlowmodel()->addFlowScreen(screen);
    }
    auto second = ZERI_FlowModel::create();
    second->setTitle(QStringLiteral("Second"));
    second->setViewSize(QSizeF(768, 1024));
    second->addFlowScreen(ZERI_FlowScreenModel::create());
    flows->addFlowModel(second);
    flows->setDescription(QStringLiteral("A description"));
    write(QStringLiteral("flows"), *flows);
}
