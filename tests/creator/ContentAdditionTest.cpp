#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <mutex>

#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TestPictures.h"

#include "../elements/video/MediaTestClips.h"
#include "app/QVRActionLog.h"
#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "platform/FileChooser.h"
#include "elements/video/StreamingVideoPreviewHelper.h"
#include "support/fakeservice/FakeHttp.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_GalleryLink.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLibrary.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "creator/addition/NewObjectPlacement.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/addition/QVRContentAdditionProgressView.h"
#include "creator/addition/QVR_AddShapeMenuViewController.h"
#include "creator/addition/QVR_AddStreamingVideoViewController.h"
#include "creator/addition/QVR_AddElementMenuViewController.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/AppPaths.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "platform/WorkerThreads.h"
#include "storage/AssetFileReferences.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/TextLayout.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;
using Objects = QVRContentAdditionManager::Objects;

namespace {

// Records the videos queued for re-encoding.
class RecordingCompression : public InertVideoCompressionManager {
public:
    void enqueueCompressionForContentAsset(const std::shared_ptr<ZERI_ContentAsset>& asset,
                                           const std::shared_ptr<VideoAssetCompressorPreset>& preset) override
    {
        queued.emplace_back(asset, preset);
    }
    std::vector<std::pair<std::shared_ptr<ZERI_ContentAsset>, std::shared_ptr<VideoAssetCompressorPreset>>> queued;
};

struct Outcome {
    bool done = false;
    Objects objects;
    Error error;
    std::vector<double> progress;
};

// A saved one-screen document (1024 × 748) in its own package, shown in an offscreen creator window, with alerts
// recorded and the video chooser answered by the test.
struct AdditionFixture {
    QTemporaryDir support;
    QTemporaryDir temporary;
    QTemporaryDir files;
    QTemporaryDir settings;
    RecordingAlertPresenter alerts;
    std::shared_ptr<RecordingCompression> compression = std::make_shared<RecordingCompression>();
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_qvdFilePackage> package;
    QPointer<QVR_CreatorWindow> window;
    // The chooser's answer: none until a test sets it; `chooserCalls` counts the questions.
    std::function<void(QVRContentAdditionManager::PresetBlock)> chooser;
    int chooserCalls = 0;

    explicit AdditionFixture(int screens = 1)
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        registerCreatorLibrary();
        AlertPresenter::setShared(&alerts);
        auto recording = compression;
        VideoCompressionManager::registerFactory([recording](const auto&) { return recording; });
        QVRContentAdditionManager::setPresetChooserForTesting(
            [this](QWidget*, QVRContentAdditionManager::PresetBlock done) {
                ++chooserCalls;
                if (chooser)
                    chooser(std::move(done));
                else
                    done(nullptr);
            });
        document = makeDocument(screens);
        package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1300, 900);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        QApplication::processEvents();
    }
    ~AdditionFixture()
    {
        for (QWidget* w : QVRWindowManager::sharedInstance().windows())
            delete w;
        // Pictures still being made finish before the folders go.
        WorkerThreads::shared().waitForIdle();
        QApplication::processEvents();
        QVRContentAdditionManager::setPresetChooserForTesting({});
        QVRContentAdditionManager::setStripDelayForTesting(-1);
        VideoCompressionManager::registerFactory(nullptr);
        AlertPresenter::setShared(nullptr);
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
        UserDefaults::setStoreFileForTesting(QString());
        QGuiApplication::clipboard()->clear();
    }
    static std::shared_ptr<ZERI_TessarineModel> makeDocument(int screens)
    {
        auto model = ZERI_TessarineModel::create();
        for (int i = 0; i < screens; ++i) {
            auto screen = ZERI_FlowScreenModel::create();
            screen->setInternalID(QStringLiteral("S%1").arg(i));
            model->firstFlowmodel()->addFlowScreen(screen);
        }
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(model, &error)) << error.message.toStdString();
        return model;
    }
    std::shared_ptr<ZERI_FlowModel> flow() const { return document->firstFlowmodel(); }
    std::shared_ptr<ZERI_FlowScreenModel> screen(int i = 0) const { return flow()->screenModels()[std::size_t(i)]; }
    QVRContentAdditionManager* manager() const { return window->contentAdditionManager(); }
    QStringList assetFiles() const
    {
        QStringList names = QDir(package->assetsPath()).entryList(QDir::Files);
        names.sort();
        return names;
    }
    QString png(const QString& name, QSize size, bool alpha = false) const
    {
        QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.fill(alpha ? QColor(200, 30, 30, 100) : QColor(30, 120, 200));
        const QString path = files.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }
    QString rawFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static void wait(const Outcome& outcome)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.done; }, 20000));
    }
    QVRContentAdditionManager::DoneBlock recorder(Outcome& outcome)
    {
        return [&outcome](const Objects& objects, const Error& error) {
            outcome.done = true;
            outcome.objects = objects;
            outcome.error = error;
        };
    }
    void addFiles(const QStringList& paths, Outcome& outcome)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        manager()->addObjectsFromFileURLs(
            urls, screen(), [&outcome](double f) { outcome.progress.push_back(f); }, recorder(outcome));
    }
};

QRectF rounded(const QRectF& r)
{
    const auto round2 = [](double v) { return std::round(v * 100) / 100; };
    return QRectF(round2(r.x()), round2(r.y()), round2(r.width()), round2(r.height()));
}

} // namespace

TEST(ContentAddition, PicturesCascadeFitTheScreenAndFormOneUndoStep)
{
    AdditionFixture f;
    const QStringList pictures{f.png("a.png", {2048, 1536}), f.png("b.png", {2048, 1536}),
                               f.png("c.png", {2048, 1536})};
    const int stepsBefore = f.flow()->undoManager().undoCount();
    Outcome outcome;
    f.addFiles(pictures, outcome);
    EXPECT_TRUE(f.window->isAddingContent());
    AdditionFixture::wait(outcome);
    ASSERT_TRUE(outcome.error.isNull()) << outcome.error.message.toStdString();
    ASSERT_EQ(outcome.objects.size(), 3u);
    EXPECT_FALSE(f.window->isAddingContent());
    for (int i = 0; i < 3; ++i) {
        const auto& object = outcome.objects[std::size_t(i)];
        EXPECT_EQ(object->type(), ZERI_MixedMediaObject::Image);
        // As high as the screen, each stays inside it: the cascade steps right as far as the screen allows.
        EXPECT_EQ(rounded((*object)->frame()), QRectF(std::min(10.0 + 20 * i, 26.67), 0, 997.33, 748));
        EXPECT_NEAR(*(*object)->zoomScale(), 748.0 / 1536.0, 1e-9);
        EXPECT_TRUE((*object)->croppedImageAsset()) << "pictures are set before the done block";
    }
    EXPECT_TRUE(f.alerts.requests.empty());
    EXPECT_EQ(f.flow()->undoManager().undoCount(), stepsBefore + 1);
    EXPECT_EQ(f.flow()->undoManager().undoActionName(), UFM::UNDO_MANAGER_ADD_MEDIA_TAG());
    f.flow()->undoManager().undo();
    EXPECT_TRUE(f.screen()->mixedMediaObjects().empty());

    // With a proposed centre the first picture a manager places is centred on it.
    QVRContentAdditionManager centred;
    centred.setProposedItemCenter(QPointF(512, 374));
    Outcome second;
    centred.addObjectsFromFileURLs({QUrl::fromLocalFile(pictures[0])}, f.screen(), {}, f.recorder(second));
    AdditionFixture::wait(second);
    ASSERT_EQ(second.objects.size(), 1u);
    EXPECT_NEAR((*second.objects[0])->frame().center().x(), 512, 0.01);
    EXPECT_NEAR((*second.objects[0])->frame().center().y(), 374, 0.01);
}

TEST(ContentAddition, SoundsAreSquareAndPdfsShowTheirFirstPage)
{
    AdditionFixture f;
    const QString pdf = f.files.filePath(QStringLiteral("doc.pdf"));
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        painter.fillRect(QRect(0, 0, 2000, 2000), Qt::red);
    }
    QStringList paths{pdf};
    const QString mp3 = f.files.filePath(QStringLiteral("tone.mp3"));
    const bool haveSound = MediaTestClips::toolsAvailable() &&
                           MediaTestClips::make(mp3, {"-f", "lavfi", "-i", "sine=frequency=440:duration=1"});
    if (haveSound)
        paths.append(mp3);
    Outcome outcome;
    f.addFiles(paths, outcome);
    AdditionFixture::wait(outcome);
    ASSERT_TRUE(outcome.error.isNull()) << outcome.error.message.toStdString();
    ASSERT_EQ(outcome.objects.size(), std::size_t(paths.size()));
    EXPECT_EQ(outcome.objects[0]->type(), ZERI_MixedMediaObject::PDF);
    EXPECT_TRUE((*outcome.objects[0])->originalImageAsset());
    EXPECT_TRUE((*outcome.objects[0])->pdfAsset());
    EXPECT_EQ((*outcome.objects[0])->pdfAsset()->sourceFileName(), QStringLiteral("doc.pdf"));
    if (haveSound) {
        EXPECT_EQ(outcome.objects[1]->type(), ZERI_MixedMediaObject::Audio);
        EXPECT_EQ((*outcome.objects[1])->frame().size(), QSizeF(300, 300));
    }
}

TEST(ContentAddition, RefusedFilesAreReportedAndNothingAddedLeavesNoStep)
{
    AdditionFixture f;
    Tessutils::setUserMaxUploadSize(2000000);
    const QString text = f.rawFile("notes.txt", "hello");
    const QString empty = f.rawFile("empty.png", {});
    const QString fake = f.rawFile("fake.png", "this is not a picture at all");
    const QString big = f.rawFile("big.png", QByteArray(3 * 1000 * 1000, 'x'));
    QStringList bad{text, empty, fake, big};
    const QString locked = f.png("locked.png", {20, 20});
    QFile::setPermissions(locked, {});
    const bool canLock = ::geteuid() != 0; // root reads anything
    if (canLock)
        bad.append(locked);
    const QStringList filesBefore = f.assetFiles();
    const int stepsBefore = f.flow()->undoManager().undoCount();
    Outcome outcome;
    f.addFiles(bad, outcome);
    AdditionFixture::wait(outcome);
    EXPECT_EQ(outcome.error.code, QVRContentAdditionManager::NothingAdded);
    EXPECT_TRUE(outcome.objects.empty());
    ASSERT_EQ(f.alerts.requests.size(), 1u);
    EXPECT_EQ(f.alerts.requests[0].messageText, UFM::CONTENT_NOT_ADDED_TEXT());
    const QStringList lines = f.alerts.requests[0].informativeText.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.size(), bad.size());
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("notes.txt: ")));
    EXPECT_TRUE(f.alerts.requests[0].informativeText.contains(QLocale().formattedDataSize(2000000)));
    EXPECT_EQ(f.assetFiles(), filesBefore);
    EXPECT_EQ(f.flow()->undoManager().undoCount(), stepsBefore);
    EXPECT_FALSE(f.flow()->currentUndoableAction());
    EXPECT_TRUE(f.screen()->mixedMediaObjects().empty());

    // Two good and two bad: the good ones in one step, the bad ones listed.
    f.alerts.requests.clear();
    Outcome mixed;
    f.addFiles({f.png("one.png", {40, 30}), text, f.png("two.png", {40, 30}), fake}, mixed);
    AdditionFixture::wait(mixed);
    EXPECT_TRUE(mixed.error.isNull());
    EXPECT_EQ(mixed.objects.size(), 2u);
    EXPECT_EQ(f.flow()->undoManager().undoCount(), stepsBefore + 1);
    ASSERT_EQ(f.alerts.requests.size(), 1u);
    EXPECT_EQ(f.alerts.requests[0].informativeText.split(QLatin1Char('\n')).size(), 2);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);

    // A movie of sound only is refused before a re-encoding size is asked for it.
    const QString voice = f.files.filePath(QStringLiteral("voice.mp4"));
    ASSERT_TRUE(MediaTestClips::make(voice, {"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a", "aac"}));
    f.alerts.requests.clear();
    Outcome soundOnly;
    f.addFiles({voice}, soundOnly);
    AdditionFixture::wait(soundOnly);
    EXPECT_EQ(soundOnly.error.code, QVRContentAdditionManager::NothingAdded);
    EXPECT_EQ(f.chooserCalls, 0);
    ASSERT_EQ(f.alerts.requests.size(), 1u);
    EXPECT_EQ(f.alerts.requests[0].informativeText, "voice.mp4: " + UFM::CONTENT_NOT_ADDED_NO_PICTURE());
}

TEST(ContentAddition, PastedObjectsGetFilesOfTheirOwnAndLandBesideTheirSource)
{
    AdditionFixture f(2);
    Outcome first;
    f.addFiles({f.png("pic.png", {200, 100})}, first);
    AdditionFixture::wait(first);
    ASSERT_EQ(first.objects.size(), 1u);
    const Proxy source = first.objects[0];
    const QRectF sourceFrame = (*source)->frame();

    bool copied = false;
    MixedMediaObjectStorage::getCopiesForTempDirectory({source}, [&](const Objects& copies) {
        ZERI_MixedMediaObject::pasteboardCopyObjects(copies);
        copied = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return copied; }, 5000));

    Outcome paste;
    f.manager()->addObjectsFromPasteboard(f.screen(), {}, f.recorder(paste));
    AdditionFixture::wait(paste);
    ASSERT_TRUE(paste.error.isNull()) << paste.error.message.toStdString();
    ASSERT_EQ(paste.objects.size(), 1u);
    const Proxy pasted = paste.objects[0];
    EXPECT_EQ((*pasted)->frame(), sourceFrame.translated(20, 20));
    const QString pastedFile = (*pasted)->originalImageAsset()->localFilePath();
    EXPECT_TRUE(pastedFile.startsWith(f.package->assetsPath()));
    EXPECT_NE(pastedFile, (*source)->originalImageAsset()->localFilePath());
    EXPECT_TRUE(QFileInfo::exists(pastedFile));

    Outcome again;
    f.manager()->addObjectsFromPasteboard(f.screen(), {}, f.recorder(again));
    AdditionFixture::wait(again);
    ASSERT_EQ(again.objects.size(), 1u);
    EXPECT_NE((*again.objects[0])->originalImageAsset()->localFilePath(), pastedFile);

    Outcome elsewhere;
    f.manager()->addObjectsFromPasteboard(f.screen(1), {}, f.recorder(elsewhere));
    AdditionFixture::wait(elsewhere);
    ASSERT_EQ(elsewhere.objects.size(), 1u);
    // The clipboard now holds the last pasted copy, two steps on from the source; another screen keeps its frame.
    EXPECT_EQ((*elsewhere.objects[0])->frame(), sourceFrame.translated(40, 40));
    EXPECT_TRUE(f.alerts.requests.empty());
}

TEST(ContentAddition, TheElementMenuOfAnUnselectedPictureCutsACopyThatPastes)
{
    AdditionFixture f(1);
    Outcome first;
    f.addFiles({f.png("pic.png", {200, 100})}, first);
    AdditionFixture::wait(first);
    ASSERT_EQ(first.objects.size(), 1u);
    QVR_SingleScreenArtBoardView* board = f.window->theArtBoard();
    board->singleScreen()->interactionHandler()->deselectAll();
    const QPoint at = board->theScrollView()->mapFromScene((*first.objects[0])->frame().center());
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, board->theScrollView()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(board->theScrollView()->viewport(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QGuiApplication::clipboard()->clear();
    for (QAction* action : menu->actions())
        if (action->text() == UFM::SAYS_CUT())
            action->trigger();
    menu->close();
    EXPECT_TRUE(f.screen()->mixedMediaObjects().empty());
    ASSERT_TRUE(QTest::qWaitFor([] { return !ZERI_MixedMediaObject::pasteboardReadObjects().empty(); }, 5000));
    // The copy's file went with it: it pastes.
    Outcome paste;
    f.manager()->addObjectsFromPasteboard(f.screen(), {}, f.recorder(paste));
    AdditionFixture::wait(paste);
    EXPECT_TRUE(paste.error.isNull()) << paste.error.message.toStdString();
    EXPECT_EQ(paste.objects.size(), 1u);
}

TEST(ContentAddition, BadClipboardContentIsRefusedBeforeAnyChange)
{
    AdditionFixture f;
    const QString outside = f.png("outside.png", {30, 30});
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(outside));
    (*object)->setOriginalImageAsset(asset);
    (*object)->setFrame(QRectF(0, 0, 30, 30));
    const QJsonObject dict = (*object)->jsonDictionary();

    const QByteArray cases[] = {
        QByteArray("[{\"type\": "),                                     // broken JSON
        QByteArray("[{\"type\": 42}]"),                                 // unknown type
        QJsonDocument(QJsonArray{dict}).toJson(QJsonDocument::Compact), // a file outside the copies
    };
    const QStringList filesBefore = f.assetFiles();
    const int stepsBefore = f.flow()->undoManager().undoCount();
    for (const QByteArray& bytes : cases) {
        f.alerts.requests.clear();
        QMimeData data;
        data.setData(ZERI_MixedMediaObject::kPasteboardType, bytes);
        Outcome outcome;
        f.manager()->addObjectsFromMimeData(&data, f.screen(), false, {}, f.recorder(outcome));
        AdditionFixture::wait(outcome);
        EXPECT_EQ(outcome.error.code, QVRContentAdditionManager::NothingAdded) << bytes.toStdString();
        ASSERT_EQ(f.alerts.requests.size(), 1u);
        EXPECT_EQ(f.alerts.requests[0].messageText, UFM::ERROR_PASTING_TEXT());
        EXPECT_EQ(f.alerts.requests[0].informativeText, UFM::INVALID_PASTED_DATA_TEXT());
        EXPECT_EQ(f.assetFiles(), filesBefore);
        EXPECT_EQ(f.flow()->undoManager().undoCount(), stepsBefore);
        EXPECT_TRUE(f.screen()->mixedMediaObjects().empty());
    }

    // Web pages and foreign-only data are refused with an alert too.
    for (int i = 0; i < 2; ++i) {
        f.alerts.requests.clear();
        QMimeData data;
        if (i == 0) // a web page, not a file it could fetch: refused without asking for it
            data.setUrls({QUrl(QStringLiteral("https://127.0.0.1:9/page.html"))});
        else
            data.setData(QStringLiteral("application/x-foreign"), "zzz");
        Outcome outcome;
        f.manager()->addObjectsFromMimeData(&data, f.screen(), true, {}, f.recorder(outcome));
        AdditionFixture::wait(outcome);
        EXPECT_EQ(outcome.error.code, QVRContentAdditionManager::NothingAdded);
        EXPECT_EQ(f.alerts.requests.size(), 1u);
        EXPECT_EQ(f.flow()->undoManager().undoCount(), stepsBefore);
    }
}

TEST(ContentAddition, PastedTextAndPictureData)
{
    AdditionFixture f;
    QMimeData html;
    html.setHtml(QStringLiteral("<p>Hello</p>"));
    Outcome text;
    f.manager()->addObjectsFromMimeData(&html, f.screen(), false, {}, f.recorder(text));
    AdditionFixture::wait(text);
    EXPECT_TRUE(text.error.isNull());
    EXPECT_TRUE(text.objects.empty()) << "pasted text is not among the done objects";
    ASSERT_EQ(f.screen()->mixedMediaObjects().size(), 1u);
    const Proxy added = f.screen()->mixedMediaObjects().front();
    EXPECT_EQ(added->type(), ZERI_MixedMediaObject::Text);
    EXPECT_EQ((*added)->frame().topLeft(), QPointF(10, 10));
    EXPECT_TRUE(added->as<ZERI_MMObject_Text>()->attributedString().string().contains(QStringLiteral("Hello")));

    for (const bool alpha : {true, false}) {
        QImage image(64, 48, alpha ? QImage::Format_ARGB32 : QImage::Format_ARGB32);
        image.fill(alpha ? QColor(255, 0, 0, 80) : QColor(0, 0, 255));
        QMimeData data;
        data.setImageData(image);
        Outcome picture;
        f.manager()->addObjectsFromMimeData(&data, f.screen(), false, {}, f.recorder(picture));
        AdditionFixture::wait(picture);
        ASSERT_EQ(picture.objects.size(), 1u);
        const QString path = (*picture.objects[0])->originalImageAsset()->localFilePath();
        EXPECT_TRUE(path.endsWith(alpha ? QStringLiteral(".png") : QStringLiteral(".jpg"))) << path.toStdString();
        // Each lands clear of the text and of the first, on the cascade's diagonal.
        const QRectF frame = rounded((*picture.objects[0])->frame());
        EXPECT_EQ(frame.x(), frame.y());
        for (const Proxy& other : f.screen()->mixedMediaObjects())
            EXPECT_TRUE(other == picture.objects[0] || NewObjectPlacement::hiddenShare(frame, (*other)->frame()) <=
                                                           NewObjectPlacement::kHiddenShareAllowed);
    }
}

TEST(ContentAddition, PastedTextTakesANewTextsFontAndItsFrameHoldsTheWholeText)
{
    AdditionFixture f;
    QMenuBar* bar = f.window->findChild<QMenuBar*>();
    ASSERT_TRUE(bar);
    const auto pasteThroughTheMenu = [&](QMimeData* data) {
        const std::size_t before = f.screen()->mixedMediaObjects().size();
        QGuiApplication::clipboard()->setMimeData(data);
        QVRMainMenu::validate(bar);
        QAction* paste = QVRMainMenu::action(bar, QStringLiteral("paste"));
        ASSERT_TRUE(paste && paste->isEnabled());
        paste->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.screen()->mixedMediaObjects().size() == before + 1; }, 5000));
        QApplication::processEvents();
    };
    const auto pastedText = [&] { return f.screen()->mixedMediaObjects().back()->as<ZERI_MMObject_Text>(); };

    auto* plain = new QMimeData;
    plain->setText(QStringLiteral("A first line of pasted words\nand a second one"));
    pasteThroughTheMenu(plain);
    auto text = pastedText();
    ASSERT_TRUE(text);
    const AttributedText string = text->attributedString();
    EXPECT_EQ(string.string(), QStringLiteral("A first line of pasted words\nand a second one"));
    for (const auto& run : string.runs()) {
        if (string.string().mid(run.range.location, run.range.length) == QStringLiteral("\n"))
            continue; // a line break of its own carries no font
        EXPECT_EQ(run.attributes.fontName, ZERI_MMObject_Text::defaultFontName());
        EXPECT_DOUBLE_EQ(run.attributes.fontSize, ZERI_MMObject_Text::defaultFontSize());
    }
    // Laid out as a text view lays it out, inside the container inset, every line is inside the frame.
    const QRectF frame = text->frame();
    EXPECT_EQ(frame.topLeft(), QPointF(10, 10));
    const TextLayout layout(string, frame.width() - 2 * ZERI_MMObject_Text::textContainerInsetWidth());
    EXPECT_GE(frame.height(), layout.usedRect().height() + 2 * ZERI_MMObject_Text::textContainerInsetHeight());
    EXPECT_GE(layout.usedRect().height(), 2 * ZERI_MMObject_Text::defaultFontSize()) << "two lines at least";

    // Styled text keeps what it says and takes the rest from a new text.
    auto* html = new QMimeData;
    html->setHtml(QStringLiteral("<p>Plain <span style=\"font-size:20pt\">small</span></p>"));
    pasteThroughTheMenu(html);
    text = pastedText();
    ASSERT_TRUE(text);
    QList<double> sizes;
    const AttributedText styled = text->attributedString();
    for (const auto& run : styled.runs())
        if (run.attributes.fontSize > 0)
            sizes << run.attributes.fontSize;
    EXPECT_EQ(sizes, (QList<double>{double(ZERI_MMObject_Text::defaultFontSize()), 20}));
}

TEST(ContentAddition, OneAdditionPerDocumentAndCancelLeavesEverythingAsItWas)
{
    if (!MediaTestClips::toolsAvailable())
        GTEST_SKIP() << "ffmpeg is not available";
    AdditionFixture f;
    const auto otherDocument = AdditionFixture::makeDocument(1);
    QVRContentAdditionManager::setStripDelayForTesting(50);
    const QString movie = f.files.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(MediaTestClips::makeVideo(movie, 320, 240, 1, 0));
    // Bigger than a copy's first chunk, so the import reports progress before it ends.
    {
        QFile file(movie);
        ASSERT_TRUE(file.open(QIODevice::Append));
        QByteArray pad(40 * 1024 * 1024, '\0');
        const quint32 size = qToBigEndian(quint32(pad.size()));
        memcpy(pad.data(), &size, 4);
        memcpy(pad.data() + 4, "free", 4);
        file.write(pad);
    }
    QStringList paths;
    for (int i = 0; i < 20; ++i)
        paths.append(f.png(QStringLiteral("p%1.png").arg(i), {64, 48}));
    paths.append(movie);

    // The chooser is answered later, so the addition is still running meanwhile.
    QVRContentAdditionManager::PresetBlock pending;
    f.chooser = [&](QVRContentAdditionManager::PresetBlock done) { pending = std::move(done); };
    const QStringList filesBefore = f.assetFiles();
    const QByteArray before = QJsonDocument(f.screen()->jsonDictionary()).toJson();
    const int stepsBefore = f.flow()->undoManager().undoCount();
    // The board's first fit is animated and arrives a while after the window shows (later still on a busy
    // machine): the picture to compare with is the settled one.
    QVR_SingleScreenArtBoardView* board = f.window->theArtBoard();
    ASSERT_TRUE(board);
    ASSERT_TRUE(QTest::qWaitFor([&] { return board->currentZoomLevel() == board->fitZoomLevel(); }, 5000))
        << board->currentZoomLevel() << " " << board->fitZoomLevel();
    const QImage grabBefore = f.window->theCanvasView()->grab().toImage();

    Outcome outcome;
    bool cancelledFromProgress = false;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    f.manager()->addObjectsFromFileURLs(
        urls, f.screen(),
        [&](double fraction) {
            outcome.progress.push_back(fraction);
            // The first report of the movie's import: the movie is the object being set up.
            const auto& objects = f.screen()->mixedMediaObjects();
            if (!cancelledFromProgress && !objects.empty() && objects.back()->type() == ZERI_MixedMediaObject::Video) {
                cancelledFromProgress = true;
                f.manager()->cancel();
            }
        },
        f.recorder(outcome));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(pending); }, 10000));
    EXPECT_EQ(f.chooserCalls, 1);

    // Busy: another addition on this document is refused at once, another document's goes ahead.
    EXPECT_TRUE(f.window->isAddingContent());
    EXPECT_FALSE(f.window->canPaste());
    Outcome refused;
    QVRContentAdditionManager second;
    second.addObjectsFromFileURLs({QUrl::fromLocalFile(paths[0])}, f.screen(), {}, f.recorder(refused));
    EXPECT_TRUE(refused.done);
    EXPECT_EQ(refused.error.code, QVRContentAdditionManager::AlreadyAdding);
    Outcome elsewhere;
    QVRContentAdditionManager otherManager;
    otherManager.addObjectsFromFileURLs({QUrl::fromLocalFile(paths[0])},
                                        otherDocument->firstFlowmodel()->screenModels().front(), {},
                                        f.recorder(elsewhere));
    AdditionFixture::wait(elsewhere);
    EXPECT_EQ(elsewhere.objects.size(), 1u);

    // The strip shows after its delay.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return f.manager()->progressView() && f.manager()->progressView()->isVisible(); }, 5000));
    pending(VideoAssetCompressorPreset::medium720p());
    AdditionFixture::wait(outcome);
    EXPECT_TRUE(cancelledFromProgress);
    EXPECT_EQ(outcome.error.code, QVRContentAdditionManager::Cancelled);
    EXPECT_TRUE(outcome.objects.empty());
    EXPECT_TRUE(f.alerts.requests.empty());
    // The movie's import ends on its worker; the files it made go with it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.assetFiles() == filesBefore; }, 5000))
        << f.assetFiles().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(f.flow()->undoManager().undoCount(), stepsBefore);
    EXPECT_TRUE(f.screen()->mixedMediaObjects().empty());
    EXPECT_FALSE(f.window->isAddingContent());
    QTest::qWait(50);
    const QImage grabAfter = f.window->theCanvasView()->grab().toImage();
    if (grabAfter != grabBefore) {
        grabBefore.save(QStringLiteral("/tmp/i28_before.png"));
        grabAfter.save(QStringLiteral("/tmp/i28_after.png"));
    }
    EXPECT_EQ(grabAfter, grabBefore);
    EXPECT_EQ(QJsonDocument(f.screen()->jsonDictionary()).toJson().size(), before.size());

    // The whole batch with "medium": the movie carries the preset and is queued; the bar never moves back.
    Outcome batch;
    f.chooser = [](QVRContentAdditionManager::PresetBlock done) { done(VideoAssetCompressorPreset::medium720p()); };
    f.addFiles(paths, batch);
    AdditionFixture::wait(batch);
    ASSERT_EQ(batch.objects.size(), 21u);
    EXPECT_TRUE(std::is_sorted(batch.progress.begin(), batch.progress.end()));
    const auto video = (*batch.objects.back())->videoAsset();
    ASSERT_TRUE(video);
    ASSERT_EQ(f.compression->queued.size(), 1u);
    EXPECT_EQ(f.compression->queued[0].first, video);
    EXPECT_EQ(f.compression->queued[0].second->JSONRepresentation(),
              VideoAssetCompressorPreset::medium720p()->JSONRepresentation());

    // Closing the chooser queues nothing.
    Outcome unqueued;
    f.chooser = [](QVRContentAdditionManager::PresetBlock done) { done(nullptr); };
    f.addFiles({movie}, unqueued);
    AdditionFixture::wait(unqueued);
    EXPECT_EQ(unqueued.objects.size(), 1u);
    EXPECT_EQ(f.compression->queued.size(), 1u);
}

TEST(ContentAddition, EscapeCancelsAndClosingTheWindowCancels)
{
    AdditionFixture f;
    QVRContentAdditionManager::PresetBlock pending;
    f.chooser = [&](QVRContentAdditionManager::PresetBlock done) { pending = std::move(done); };
    const QString movie = f.files.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(MediaTestClips::makeVideo(movie, 64, 48, 1, 0));
    Outcome outcome;
    f.addFiles({movie}, outcome);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(pending); }, 5000));
    QTest::keyClick(f.window->theCanvasView(), Qt::Key_Escape);
    EXPECT_TRUE(outcome.done);
    EXPECT_EQ(outcome.error.code, QVRContentAdditionManager::Cancelled);

    Outcome closing;
    pending = nullptr;
    f.addFiles({movie}, closing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(pending); }, 5000));
    f.window->close();
    EXPECT_TRUE(closing.done);
    EXPECT_EQ(closing.error.code, QVRContentAdditionManager::Cancelled);
    EXPECT_TRUE(f.screen()->mixedMediaObjects().empty());
}

TEST(ContentAdditionCopies, ClearingTheCopiesFolderSparesAFileBeingImported)
{
    QTemporaryDir temporary;
    AppPaths::setTemporaryForTesting(temporary.path());
    const QString folder = MixedMediaObjectStorage::tempDirectoryForCopies();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString held = QFileInfo(folder + QStringLiteral("/held.mov")).absoluteFilePath();
    const QString loose = folder + QStringLiteral("/loose.png");
    for (const QString& path : {held, loose}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("data");
    }
    const QString canonical = QFileInfo(held).canonicalFilePath();
    AssetFileReferences::retainFile(canonical);
    MixedMediaObjectStorage::clearTempDirectoryForCopies();
    EXPECT_TRUE(QFile::exists(held));
    EXPECT_FALSE(QFile::exists(loose));
    AssetFileReferences::releaseFile(canonical);
    EXPECT_FALSE(QFile::exists(held));
    AppPaths::setTemporaryForTesting(QString());
}

namespace {

// The analytics events the canvas logs, kept instead of sent.
struct LoggedEvents {
    QTemporaryDir folder;
    QVRActionLog log{folder.filePath(QStringLiteral("log.json")), [](const QByteArray&, auto) {}};
    LoggedEvents() { QVRActionLog::setSharedForTesting(&log); }
    ~LoggedEvents() { QVRActionLog::setSharedForTesting(nullptr); }
    QStringList types(const QString& name) const
    {
        QStringList found;
        for (const QJsonValue& event : log.backlog())
            if (event[QStringLiteral("name")].toString() == name)
                found.append(event[QStringLiteral("parameters")][QStringLiteral("Type")].toString());
        return found;
    }
};

std::vector<Proxy> selectedOnShownBoard(const AdditionFixture& f)
{
    std::vector<Proxy> objects;
    if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(f.window->theArtBoard()))
        for (auto* view : handler->currentlySelectedArray())
            if (auto object = view->mixedMediaObject())
                objects.push_back(object);
    return objects;
}

} // namespace

TEST(CanvasContentCommands, TextAndShapesAreOneStepEachAndSelected)
{
    AdditionFixture f(2);
    LoggedEvents events;
    QVR_CreatorCanvasView* canvas = f.window->theCanvasView();
    const int steps = f.flow()->undoManager().undoCount();
    // Chosen from the toolbar's Insert by the keyboard: the keyboard goes on to the new text.
    QVR_CreatorToolBarView::toolbarForWindow(f.window)->insertButton()->setFocus(Qt::TabFocusReason);
    canvas->setInsertionSuggestedCenter(std::nullopt);
    canvas->addElementMenuSelectionMadeWithType(4);
    ASSERT_EQ(f.screen()->mixedMediaObjects().size(), 1u);
    EXPECT_EQ(f.window->focusWidget(), f.window->theArtBoard()->theScrollView());
    const Proxy text = f.screen()->mixedMediaObjects().front();
    EXPECT_EQ((*text)->frame(), QRectF(20, 20, 320, 70));
    EXPECT_TRUE(text->as<ZERI_MMObject_Text>()->isThemeText());
    EXPECT_EQ(f.flow()->undoManager().undoCount(), steps + 1);
    EXPECT_EQ(selectedOnShownBoard(f), std::vector<Proxy>{text});
    EXPECT_EQ(events.types(QStringLiteral("Added Element")), QStringList{QStringLiteral("Text")});

    // A shape at a suggested centre: the shape menu shows in the dark panel, the choice adds a blue rectangle.
    canvas->directlyAddElementOfType(7, QPointF(500, 400));
    ASSERT_TRUE(f.window->isDisplayingSheet());
    EXPECT_TRUE(qobject_cast<QVR_AddShapeMenuViewController*>(
        f.window->sheetLikeViewController()->navigationController()->topViewController()));
    EXPECT_FALSE(f.window->sheetLikeViewController()->closeButton()->isHidden());
    canvas->shapeChosen(1);
    EXPECT_FALSE(f.window->isDisplayingSheet());
    ASSERT_EQ(f.screen()->mixedMediaObjects().size(), 2u);
    const Proxy shape = f.screen()->mixedMediaObjects().back();
    EXPECT_EQ((*shape)->frame(), QRectF(350, 250, 300, 300));
    const QColor colour = shape->as<ZERI_MMObject_Shape>()->color();
    EXPECT_EQ(colour.rgb() & 0xFFFFFF, 0x1F70A8u);
    EXPECT_EQ(colour.alpha(), 204);
    EXPECT_EQ(selectedOnShownBoard(f), std::vector<Proxy>{shape});
    EXPECT_EQ(f.flow()->undoManager().undoCount(), steps + 2);

    // Undone from the other screen, it pages back.
    f.window->setCurrentIndex(1);
    QApplication::processEvents();
    f.flow()->undoManager().undo();
    QApplication::processEvents();
    EXPECT_EQ(f.window->currentIndex(), 0);
    EXPECT_EQ(f.screen()->mixedMediaObjects().size(), 1u);

    // A kind the menu does not have adds and logs nothing.
    const int logged = int(events.log.backlog().size());
    canvas->addElementMenuSelectionMadeWithType(5);
    EXPECT_EQ(f.screen()->mixedMediaObjects().size(), 1u);
    EXPECT_EQ(int(events.log.backlog().size()), logged);
}

TEST(CanvasContentCommands, NewObjectsLandInsideTheScreenAndClearOfWhatIsThere)
{
    AdditionFixture f;
    QVR_CreatorCanvasView* canvas = f.window->theCanvasView();
    // A title where a new text would land.
    auto title = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    (*title)->setFrame(QRectF(20, 20, 320, 70));
    f.screen()->addMixedMediaObject(title);
    const auto hiddenMost = [&](const Proxy& added) {
        double most = 0;
        for (const Proxy& other : f.screen()->mixedMediaObjects())
            if (other != added)
                most = std::max(most, NewObjectPlacement::hiddenShare((*added)->frame(), (*other)->frame()));
        return most;
    };
    const QRectF screenRect(QPointF(0, 0), f.screen()->screenSize());

    // Texts and shapes from the toolbar, one after the other: each keeps its size, stays inside, and hides at
    // most a quarter of anything there.
    std::vector<QRectF> frames;
    for (int kind : {4, 4, 7, 4}) {
        canvas->setInsertionSuggestedCenter(std::nullopt);
        canvas->addElementMenuSelectionMadeWithType(kind);
        if (kind == 7)
            canvas->shapeChosen(1);
        const Proxy added = f.screen()->mixedMediaObjects().back();
        const QRectF frame = (*added)->frame();
        EXPECT_EQ(frame.size(), kind == 4 ? QSizeF(320, 70) : QSizeF(300, 300));
        EXPECT_TRUE(screenRect.contains(frame)) << frame.x() << "," << frame.y();
        EXPECT_LE(hiddenMost(added), NewObjectPlacement::kHiddenShareAllowed) << frame.x() << "," << frame.y();
        // Stepped on from the spot the menu gives, down and to the right.
        EXPECT_EQ(frame.x() - (kind == 4 ? 20 : 10), frame.y() - (kind == 4 ? 20 : 10));
        frames.push_back(frame);
    }
    EXPECT_NE(frames[0], frames[1]);

    // At a point asked for, near the screen's corner: centred as near it as the screen allows, over what is there.
    canvas->directlyAddElementOfType(4, QPointF(1020, 740));
    EXPECT_EQ((*f.screen()->mixedMediaObjects().back())->frame(), QRectF(1024 - 320, 748 - 70, 320, 70));
    canvas->directlyAddElementOfType(4, QPointF(180, 55));
    EXPECT_EQ((*f.screen()->mixedMediaObjects().back())->frame(), QRectF(20, 20, 320, 70));

    // Pictures too large for the screen are fitted and kept inside it, one near the corner too.
    const QString wide = f.png("wide.png", {3000, 1000});
    for (const std::optional<QPointF>& centre :
         {std::optional<QPointF>(), std::optional<QPointF>(QPointF(1000, 700))}) {
        QVRContentAdditionManager manager;
        manager.setProposedItemCenter(centre);
        Outcome outcome;
        manager.addObjectsFromFileURLs({QUrl::fromLocalFile(wide)}, f.screen(), {}, f.recorder(outcome));
        AdditionFixture::wait(outcome);
        ASSERT_EQ(outcome.objects.size(), 1u);
        const QRectF frame = rounded((*outcome.objects[0])->frame());
        EXPECT_EQ(frame.size(), QSizeF(1024, 341.33));
        EXPECT_EQ(frame.x(), 0);
        EXPECT_TRUE(frame.top() >= 0 && frame.bottom() <= 748) << frame.y();
    }

    // A title as wide as the sample's: a new text steps off its words, though it hides little of the title's box.
    for (const Proxy& object : std::vector<Proxy>(f.screen()->mixedMediaObjects()))
        f.screen()->removeMixedMediaObject(object);
    (*title)->setFrame(QRectF(80, 60, 864, 90));
    f.screen()->addMixedMediaObject(title);
    canvas->setInsertionSuggestedCenter(std::nullopt);
    canvas->addElementMenuSelectionMadeWithType(4);
    const QRectF overlap = (*f.screen()->mixedMediaObjects().back())->frame().intersected((*title)->frame());
    EXPECT_LE(overlap.width() * overlap.height(), NewObjectPlacement::kHiddenShareAllowed * 320 * 70);
}

namespace {
// Counts the times a widget is shown and hidden.
struct SpinnerWatch : QObject {
    explicit SpinnerWatch(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        shown += event->type() == QEvent::Show;
        hidden += event->type() == QEvent::Hide;
        return false;
    }
    int shown = 0;
    int hidden = 0;
};
} // namespace

TEST(CanvasContentCommands, ChosenFilesGoThroughTheContentAddition)
{
    AdditionFixture f;
    LoggedEvents events;
    RecordingFileChooser chooser;
    FileChooser::setShared(&chooser);
    QVR_CreatorCanvasView* canvas = f.window->theCanvasView();
    Tessutils::setLastOpenedDirectoryURL(QUrl::fromLocalFile(f.temporary.path()));

    // Sounds: only MP3 files, from the last folder; a cancel adds nothing and gives the window its size back.
    const QSize minimum = f.window->minimumSize();
    canvas->directlyAddElementOfType(9, std::nullopt);
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].allowedExtensions, QStringList{QStringLiteral("mp3")});
    EXPECT_EQ(chooser.requests[0].directory, f.temporary.path());
    EXPECT_EQ(chooser.requests[0].mode, FileChooserRequest::Mode::OpenFiles);
    QTest::qWait(50);
    EXPECT_EQ(f.window->minimumSize(), minimum);
    EXPECT_FALSE(canvas->shield());

    // Three pictures centred on the suggestion, all selected, under one turn of the toolbar's spinner.
    QVR_CreatorToolBarView* toolbar = f.window->theToolBarView();
    SpinnerWatch spinner(toolbar->globalProgressIndicator());
    int mostStarts = 0;
    chooser.queuePaths({f.png("a.png", {200, 100}), f.png("b.png", {200, 100}), f.png("c.png", {200, 100})});
    canvas->directlyAddElementOfType(2, QPointF(512, 374));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            mostStarts = std::max(mostStarts, toolbar->progressIndicatorShowCount());
            return f.screen()->mixedMediaObjects().size() == 3 && !f.window->isAddingContent();
        },
        10000));
    QApplication::processEvents();
    EXPECT_EQ(mostStarts, 1);
    EXPECT_EQ(spinner.shown, 1);
    EXPECT_EQ(spinner.hidden, 1);
    EXPECT_EQ(toolbar->progressIndicatorShowCount(), 0);
    EXPECT_TRUE(toolbar->globalProgressIndicator()->isHidden());
    const auto objects = f.screen()->mixedMediaObjects();
    EXPECT_EQ((*objects[0])->frame().center(), QPointF(512, 374));
    EXPECT_EQ(selectedOnShownBoard(f).size(), 3u);
    EXPECT_EQ(Tessutils::lastOpenedDirectoryURL().toLocalFile(), f.files.path());
    EXPECT_TRUE(events.types(QStringLiteral("Added Element")).contains(QStringLiteral("3")));
    FileChooser::setShared(nullptr);
}

TEST(CanvasContentCommands, WebVideosAreAddedAfterTheDialogAsOneStep)
{
    AdditionFixture f;
    LoggedEvents events;
    QImage picture(480, 360, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    QByteArray jpegBytes;
    {
        QBuffer buffer(&jpegBytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPEG");
    }
    FakeHttpServer server([jpegBytes](const FakeHttpRequest& request) {
        if (request.path == QStringLiteral("/vi/Ab3_-x9Zq0Q/hqdefault.jpg") ||
            request.path == QStringLiteral("/vimeo/76979871.jpg"))
            return FakeHttpReply::raw(200, "image/jpeg", jpegBytes);
        if (request.path == QStringLiteral("/api/v2/video/76979871.json"))
            return FakeHttpReply::raw(200, "application/json",
                                      "[{\"thumbnail_large\":\"http://" + request.headers.value("host") +
                                          "/vimeo/76979871.jpg\"}]");
        return FakeHttpReply::html(404, "Not Found");
    });
    ASSERT_TRUE(server.start());
    const QUrl base(QStringLiteral("http://127.0.0.1:%1").arg(server.port()));
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(base, base);
    QVR_CreatorCanvasView* canvas = f.window->theCanvasView();
    const int steps = f.flow()->undoManager().undoCount();

    // The dialog shows in the dark panel, which closes when a link is chosen.
    canvas->addElementMenuSelectionMadeWithType(8);
    ASSERT_TRUE(f.window->isDisplayingSheet());
    EXPECT_TRUE(qobject_cast<QVR_AddStreamingVideoViewController*>(
        f.window->sheetLikeViewController()->navigationController()->topViewController()));
    canvas->addYoutubeVideoViewControllerSelectionCompletedWithVideoURL(QStringLiteral("youtu.be/Ab3_-x9Zq0Q"));
    EXPECT_FALSE(f.window->isDisplayingSheet());
    EXPECT_TRUE(f.screen()->mixedMediaObjects().empty()) << "added a moment after the dialog closes";
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.window->isAddingContent(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.flow()->undoManager().undoCount() == steps + 1; }, 10000));
    EXPECT_FALSE(f.window->isAddingContent());
    ASSERT_EQ(f.screen()->mixedMediaObjects().size(), 1u);
    const Proxy video = f.screen()->mixedMediaObjects().front();
    EXPECT_EQ(video->type(), ZERI_MixedMediaObject::Video);
    EXPECT_EQ((*video)->frame(), QRectF(10, 10, 480, 360));
    EXPECT_EQ((*video)->videoAsset()->externalURL(),
              QUrl(QStringLiteral("https://www.youtube.com/embed/Ab3_-x9Zq0Q?autoplay=1")));
    const QString thumbnail = (*video)->originalImageAsset()->localFilePath();
    EXPECT_TRUE(thumbnail.startsWith(f.package->assetsPath()));
    QFile file(thumbnail);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), jpegBytes);
    EXPECT_EQ(events.types(QStringLiteral("Added Element")), QStringList{QStringLiteral("YouTube")});

    // A video of the other site: its player's link, its picture found through the site's description.
    canvas->addVimeoVideoViewControllerSelectionCompletedWithVideoURL(QStringLiteral("vimeo.com/76979871"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.flow()->undoManager().undoCount() == steps + 2; }, 10000));
    ASSERT_EQ(f.screen()->mixedMediaObjects().size(), 2u);
    const Proxy vimeo = f.screen()->mixedMediaObjects().back();
    EXPECT_EQ((*vimeo)->frame().size(), QSizeF(640, 360));
    EXPECT_EQ((*vimeo)->videoAsset()->externalURL(),
              QUrl(QStringLiteral("https://player.vimeo.com/video/76979871#at=1")));
    QFile vimeoThumbnail((*vimeo)->originalImageAsset()->localFilePath());
    ASSERT_TRUE(vimeoThumbnail.open(QIODevice::ReadOnly));
    EXPECT_EQ(vimeoThumbnail.readAll(), jpegBytes);
    EXPECT_EQ(events.types(QStringLiteral("Added Element")),
              (QStringList{QStringLiteral("YouTube"), QStringLiteral("Vimeo")}));

    // A thumbnail the site does not have: nothing added, no step, one alert.
    canvas->addYoutubeVideoViewControllerSelectionCompletedWithVideoURL(QStringLiteral("youtu.be/Zz9_-x9Zq0Q"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.alerts.requests.empty(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(f.alerts.requests.size(), 1u);
    EXPECT_EQ(f.screen()->mixedMediaObjects().size(), 2u);
    EXPECT_EQ(f.flow()->undoManager().undoCount(), steps + 2);
    EXPECT_FALSE(f.window->isAddingContent());
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(), QUrl());
}

TEST(CanvasContentCommands, NewGalleriesAreOneStepAndOnlyGalleriesAreEdited)
{
    AdditionFixture f;
    LoggedEvents events;
    QVR_CreatorCanvasView* canvas = f.window->theCanvasView();
    QImage first(2048, 1024, QImage::Format_RGB32);
    first.fill(QColor(90, 20, 140));
    const QString firstPath = QDir(f.package->assetsPath()).filePath(QStringLiteral("first.png"));
    ASSERT_TRUE(first.save(firstPath));
    // What the editor hands over on Save: a working copy whose first image is that picture.
    const auto workingCopy = [&] {
        auto gallery = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(firstPath));
        (*gallery)->galleryAssetManager()->insertImageAsset(asset, 0);
        (*gallery)->setFrame(QRectF(0, 0, 400, 300));
        return gallery;
    };
    const int steps = f.flow()->undoManager().undoCount();

    canvas->addElementMenuSelectionMadeWithType(3);
    ASSERT_TRUE(canvas->galleryEditor());
    const Proxy gallery = workingCopy();
    canvas->galleryEditorEndedEditing(false, gallery);
    EXPECT_FALSE(canvas->galleryEditor());
    EXPECT_EQ(f.screen()->indexOfMixedMediaObject(gallery), 0) << "on the screen before the delegate returns";
    EXPECT_TRUE(f.window->isAddingContent()) << "the document is busy until the gallery's picture is in";
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.flow()->undoManager().undoCount() == steps + 1; }, 10000));
    EXPECT_FALSE(f.window->isAddingContent());
    EXPECT_EQ((*gallery)->frame(), QRectF(0, 20, 1024, 512)) << "as wide as the screen, and inside it";
    EXPECT_DOUBLE_EQ(*(*gallery)->zoomScale(), 0.5);
    EXPECT_TRUE(std::dynamic_pointer_cast<ZERI_MMAction_GalleryLink>((*gallery)->action()));
    EXPECT_EQ(selectedOnShownBoard(f), std::vector<Proxy>{gallery});

    // At a suggested centre; editing an image first changes nothing for the new gallery.
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    (*image)->setFrame(QRectF(600, 500, 100, 100));
    f.screen()->addMixedMediaObject(image);
    canvas->editGalleryObject(image);
    EXPECT_FALSE(canvas->galleryEditor());
    canvas->directlyAddElementOfType(3, QPointF(512, 374));
    const Proxy centred = workingCopy();
    canvas->galleryEditorEndedEditing(false, centred);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.flow()->undoManager().undoCount() == steps + 2; }, 10000));
    EXPECT_EQ((*centred)->frame().center(), QPointF(512, 374));
    EXPECT_EQ((*image)->frame(), QRectF(600, 500, 100, 100));
    EXPECT_FALSE((*image)->existingGalleryAssetManager());

    // A gallery edited is selected again once the editor goes, cancelled too.
    canvas->editGalleryObject(gallery);
    EXPECT_TRUE(selectedOnShownBoard(f).empty());
    canvas->galleryEditorEndedEditing(true, workingCopy());
    EXPECT_EQ(selectedOnShownBoard(f), std::vector<Proxy>{gallery});

    // A cancel is logged and adds nothing.
    canvas->addElementMenuSelectionMadeWithType(3);
    canvas->galleryEditorEndedEditing(true, workingCopy());
    EXPECT_EQ(f.screen()->mixedMediaObjects().size(), 3u);
    EXPECT_TRUE(events.types(QStringLiteral("QVRAnalyticsEvent_GalleryEditEnded"))
                    .contains(QStringLiteral("Gallery Edit Canceled")));
    f.flow()->undoManager().undo();
    EXPECT_EQ(f.screen()->mixedMediaObjects().size(), 2u) << "a new gallery is undone like any addition";
}

TEST(CanvasContentCommands, TheGallerySheetHangsBelowTheMenuBarWithALegibleTitle)
{
    AdditionFixture f;
    // Short enough that a sheet centred on the window would reach over its title band and menu bar.
    f.window->resize(1100, 640);
    QApplication::processEvents();
    QTest::mouseClick(f.window->theToolBarView()->insertButton(), Qt::LeftButton);
    UniversalPopover* popover = f.window->theCanvasView()->contentPopover();
    ASSERT_TRUE(popover);
    auto* menu = popover->findChild<QVR_AddElementMenuViewController*>();
    ASSERT_TRUE(menu && menu->galleryCell());
    QTest::mouseClick(menu->galleryCell(), Qt::LeftButton, {}, menu->galleryCell()->rect().center());
    QVRGalleryEditorViewController* editor = f.window->theCanvasView()->galleryEditor();
    ASSERT_TRUE(editor);
    QWidget* sheet = editor->view()->window();
    ASSERT_NE(sheet, f.window.data());
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->isVisible(); }, 2000));

    QMenuBar* bar = f.window->menuBar();
    const int menuBottom = bar->mapToGlobal(QPoint(0, bar->height())).y();
    const QRect sheetFrame = sheet->frameGeometry();
    const QRect windowFrame = f.window->frameGeometry();
    EXPECT_GE(sheetFrame.top(), menuBottom) << "the menu bar stays in sight and reachable";
    EXPECT_LE(sheetFrame.bottom(), windowFrame.bottom());
    EXPECT_LE(std::abs(sheetFrame.center().x() - windowFrame.center().x()), 1);

    // The title as the sheet draws it stands out from what lies behind it.
    QLabel* title = editor->titleLabel();
    const QImage image = sheet->grab(QRect(title->mapTo(sheet, QPoint(0, 0)), title->size())).toImage();
    const int background = image.pixelColor(1, 1).lightness();
    int contrast = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            contrast = std::max(contrast, std::abs(image.pixelColor(x, y).lightness() - background));
    EXPECT_GT(contrast, 120);

    QTest::mouseClick(editor->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.window->theCanvasView()->galleryEditor(); }, 2000));
    EXPECT_TRUE(f.screen()->mixedMediaObjects().empty());
}

TEST(ContentAddition, PastingTwiceCascadesFromTheLastPasteInTheSavedDocument)
{
    AdditionFixture f;
    Outcome first;
    f.addFiles({f.png("pic.png", {200, 100})}, first);
    AdditionFixture::wait(first);
    ASSERT_EQ(first.objects.size(), 1u);
    const QRectF sourceFrame = (*first.objects[0])->frame();
    f.window->theArtBoard()->singleScreen()->setSelectionsForMixedMediaObjects(first.objects);
    f.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.window));
    QWidget* canvas = f.window->theArtBoard()->theScrollView()->viewport();
    QGuiApplication::clipboard()->clear();
    const auto copied = [] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasFormat(ZERI_MixedMediaObject::kPasteboardType);
    };
    // Each copy for the clipboard waits to link its files until the newest object's picture has been cut again
    // (a view asking for it once more), which drops the picture the copy named.
    struct HeldCopies {
        HeldCopies() { MixedMediaObjectStorage::setClipboardCopiesHeldForTesting(true); }
        ~HeldCopies() { MixedMediaObjectStorage::setClipboardCopiesHeldForTesting(false); }
    };
    const auto cutAgainThenRelease = [&](std::unique_ptr<HeldCopies> held) {
        bool cut = false;
        ASSERT_TRUE(MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
            f.screen()->mixedMediaObjects().back(), [&cut](const Error&) { cut = true; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return cut; }, 10000));
        held.reset();
    };
    auto held = std::make_unique<HeldCopies>();
    QTest::keyClick(canvas, Qt::Key_C, Qt::ControlModifier);
    ASSERT_NO_FATAL_FAILURE(cutAgainThenRelease(std::move(held)));
    ASSERT_TRUE(QTest::qWaitFor(copied, 5000));

    // Two pastes, each as soon as the window takes it again.
    for (std::size_t count = 2; count <= 3; ++count) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !f.window->isAddingContent(); }, 10000));
        held = std::make_unique<HeldCopies>();
        QTest::keyClick(canvas, Qt::Key_V, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.screen()->mixedMediaObjects().size() == count; }, 10000))
            << "paste " << count - 1;
        ASSERT_NO_FATAL_FAILURE(cutAgainThenRelease(std::move(held)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !f.window->isAddingContent(); }, 10000));
    }
    QFile draft(f.package->draftFilePath());
    ASSERT_TRUE(draft.open(QIODevice::ReadOnly));
    Error error;
    const auto saved = ZERI_TessarineModel::initWithJsonData(draft.readAll(), &error);
    ASSERT_TRUE(saved) << error.message.toStdString();
    const auto objects = saved->firstFlowmodel()->screenModels().front()->mixedMediaObjects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ((*objects[0])->frame(), sourceFrame);
    EXPECT_EQ((*objects[1])->frame(), sourceFrame.translated(20, 20));
    EXPECT_EQ((*objects[2])->frame(), sourceFrame.translated(40, 40)) << "not on top of the first copy";
    // Each copy has a picture file of its own.
    QSet<QString> files;
    for (const auto& object : objects)
        files.insert((*object)->originalImageAsset()->localFilePath());
    EXPECT_EQ(files.size(), 3);
}

namespace {

// Drops `mime` on the middle of the shown screen as a drag from another program does.
bool dropOnCanvas(QVR_CreatorWindow* window, QMimeData* mime)
{
    QWidget* viewport = window->theArtBoard()->theScrollView()->viewport();
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
}

} // namespace

TEST(ContentAddition, PicturesDraggedFromAWebPageAreFetchedWithinTheDownloadBounds)
{
    AdditionFixture f;
    ZERI_WebDownloader::setBoundsForTesting(20000, 500);
    const QByteArray cat = pngBytes({120, 80}, Qt::darkGreen);
    ASSERT_LT(cat.size(), 20000);
    std::mutex mutex;
    QStringList asked;
    FakeHttpServer server([&](const FakeHttpRequest& request) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            asked.append(request.path);
        }
        if (request.path == QLatin1String("/pics/cat.png"))
            return FakeHttpReply::raw(200, "image/png", cat);
        if (request.path == QLatin1String("/pics/huge.png"))
            return FakeHttpReply::raw(200, "image/png", QByteArray(30000, 'x'));
        if (request.path == QLatin1String("/pics/stuck.png"))
            return FakeHttpReply::stall(cat.left(10), cat.size());
        return FakeHttpReply::html(404, "no");
    });
    ASSERT_TRUE(server.start());
    const auto address = [&](const QString& path) {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(path));
    };
    const auto askedFor = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return asked;
    };
    const auto settled = [&](std::size_t count) {
        return QTest::qWaitFor(
            [&] { return !f.window->isAddingContent() && f.screen()->mixedMediaObjects().size() == count; }, 20000);
    };

    // A link to a picture: fetched, stored in the document and placed at its own size.
    QMimeData link;
    link.setUrls({address(QStringLiteral("/pics/cat.png"))});
    ASSERT_TRUE(dropOnCanvas(f.window, &link));
    ASSERT_TRUE(settled(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.window->isAddingContent(); }, 5000));
    const Proxy fetched = f.screen()->mixedMediaObjects().front();
    EXPECT_EQ(fetched->type(), ZERI_MixedMediaObject::Image);
    EXPECT_EQ((*fetched)->frame().size(), QSizeF(120, 80));
    const QString stored = (*fetched)->originalImageAsset()->localFilePath();
    EXPECT_TRUE(stored.startsWith(f.package->assetsPath())) << stored.toStdString();
    EXPECT_EQ(QImage(stored).pixelColor(5, 5), QColor(Qt::darkGreen));
    EXPECT_EQ(askedFor(), QStringList{QStringLiteral("/pics/cat.png")});
    EXPECT_TRUE(f.alerts.requests.empty());

    // A picture dragged off a page carries the picture and its link: the picture is taken, nothing fetched.
    QMimeData both;
    QImage red(50, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    both.setImageData(red);
    both.setUrls({address(QStringLiteral("/pics/other.png"))});
    ASSERT_TRUE(dropOnCanvas(f.window, &both));
    ASSERT_TRUE(settled(2));
    EXPECT_EQ((*f.screen()->mixedMediaObjects().back())->frame().size(), QSizeF(50, 40));
    EXPECT_EQ(askedFor().size(), 1);

    // Too large, stalled, missing and a page: nothing added, each named in one alert, no step.
    const int steps = f.flow()->undoManager().undoCount();
    QMimeData bad;
    bad.setUrls({address(QStringLiteral("/pics/huge.png")), address(QStringLiteral("/pics/stuck.png")),
                 address(QStringLiteral("/pics/gone.png")), address(QStringLiteral("/index.html"))});
    ASSERT_TRUE(dropOnCanvas(f.window, &bad));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.alerts.requests.empty(); }, 20000));
    ASSERT_TRUE(settled(2));
    EXPECT_EQ(f.alerts.requests.front().informativeText.split(QLatin1Char('\n')).size(), 4);
    EXPECT_TRUE(f.alerts.requests.front().informativeText.contains(QLocale().formattedDataSize(20000)));
    EXPECT_EQ(f.flow()->undoManager().undoCount(), steps);
    EXPECT_FALSE(askedFor().contains(QStringLiteral("/index.html")));

    // A fetch that hangs is given up with Escape: nothing stays, and the next drop is taken.
    ZERI_WebDownloader::setBoundsForTesting(20000, 60000);
    f.alerts.requests.clear();
    QMimeData stuck;
    stuck.setUrls({address(QStringLiteral("/pics/stuck.png"))});
    ASSERT_TRUE(dropOnCanvas(f.window, &stuck));
    ASSERT_TRUE(QTest::qWaitFor([&] { return askedFor().count(QStringLiteral("/pics/stuck.png")) == 2; }, 5000));
    EXPECT_TRUE(f.window->isAddingContent());
    QTest::keyClick(f.window->theArtBoard()->theScrollView()->viewport(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.window->isAddingContent(); }, 5000));
    EXPECT_EQ(f.screen()->mixedMediaObjects().size(), 2u);
    EXPECT_EQ(f.flow()->undoManager().undoCount(), steps);
    EXPECT_TRUE(f.alerts.requests.empty());
    ASSERT_TRUE(dropOnCanvas(f.window, &link));
    EXPECT_TRUE(settled(3));
    ZERI_WebDownloader::setBoundsForTesting(0, 0);
}

TEST(CanvasContentCommands, TheShapeChoosersTitleReadsOnTheDarkPanel)
{
    AdditionFixture f;
    QTest::mouseClick(f.window->theToolBarView()->insertButton(), Qt::LeftButton);
    UniversalPopover* popover = f.window->theCanvasView()->contentPopover();
    ASSERT_TRUE(popover);
    auto* menu = popover->findChild<QVR_AddElementMenuViewController*>();
    ASSERT_TRUE(menu && menu->shapeCell());
    QTest::mouseClick(menu->shapeCell(), Qt::LeftButton, {}, menu->shapeCell()->rect().center());
    QVR_AddShapeMenuView* shapes = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            shapes = f.window->findChild<QVR_AddShapeMenuView*>();
            return shapes && shapes->isVisible();
        },
        2000));
    QApplication::processEvents();
    // The title as the window shows it, over the panel.
    QLabel* title = shapes->titleLabel();
    const QImage image = f.window->grab(QRect(title->mapTo(f.window, QPoint(0, 0)), title->size())).toImage();
    const int background = image.pixelColor(image.width() - 2, 1).lightness();
    int contrast = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            contrast = std::max(contrast, std::abs(image.pixelColor(x, y).lightness() - background));
    EXPECT_GT(contrast, 120);
}
