#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QJsonArray>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/QVRActionLog.h"
#include "app/QVRWindowManager.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/CreatorLibrary.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "platform/AppPaths.h"
#include "service/QVROpenRequest.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// A saved document in a package of its own, under a temporary application folder.
struct SavedDocument {
    QTemporaryDir support;
    QTemporaryDir temporary;
    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::shared_ptr<ZERI_qvdFilePackage> package;

    SavedDocument()
    {
        AppPaths::setApplicationSupportForTesting(support.path());
        AppPaths::setTemporaryForTesting(temporary.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        registerCreatorLibrary();
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        Error error;
        EXPECT_TRUE(ZERI_qvdFilePackage::saveModelToFile(document, &error)) << error.message.toStdString();
        package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    }
    ~SavedDocument()
    {
        for (QWidget* window : QVRWindowManager::sharedInstance().windows())
            delete window;
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }
    QString assetFile(const QString& name) const
    {
        const QString path = package->assetsPath() + QLatin1Char('/') + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("picture");
        return path;
    }
    QPointer<QVR_CreatorWindow> openWindow()
    {
        auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->launchTessarineWithTessarineModel(document);
        return window;
    }
    QByteArray draft() const
    {
        QFile file(package->path() + QStringLiteral("/docfile.qvd"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace

TEST(CreatorWindowClosing, AnotherWindowOnTheDocumentKeepsItLoadedAndItsFiles)
{
    SavedDocument f;
    ASSERT_TRUE(f.package);
    const QString stray = f.assetFile(QStringLiteral("stray.png"));
    auto first = f.openWindow();
    auto second = f.openWindow();
    // Opening a window cleans only when no other shows the document.
    QFile::remove(stray);
    const QString laterStray = f.assetFile(QStringLiteral("later.png"));

    EXPECT_FALSE(first->isOnlyWindowForTessarine());
    ASSERT_TRUE(first->close());
    QTest::qWait(10);
    EXPECT_TRUE(QFileInfo::exists(laterStray)) << "no clean-up while another window shows the document";
    EXPECT_EQ(f.package->model(), f.document) << "still loaded";
    EXPECT_TRUE(second->isOnlyWindowForTessarine());

    ASSERT_TRUE(second->close());
    // The folders are listed off the main thread; the deleting follows within a few turns of the event loop.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(laterStray); }, 5000))
        << "the last window cleans the package";
    EXPECT_EQ(f.package->model(), nullptr) << "and unloads the document";
}

TEST(CreatorWindowClosing, TheLastWindowKeepsTheFilesOfUnsavedEdits)
{
    SavedDocument f;
    ASSERT_TRUE(f.package);
    auto window = f.openWindow();
    const QString picture = f.assetFile(QStringLiteral("new-picture.png"));
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(picture));
    object->object()->setOriginalImageAsset(asset);
    object->object()->setFrame(QRectF(10, 10, 200, 100));
    f.document->firstFlowmodel()->screenModels().front()->addMixedMediaObject(object);
    EXPECT_FALSE(f.draft().contains("new-picture.png")) << "the draft is not saved yet";

    QTest::qWait(200);
    ASSERT_TRUE(window->close());
    // The closing draft is written on the package's writer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.draft().contains("new-picture.png"); }, 10000))
        << "the draft written on closing names the file of the unsaved edit";
    EXPECT_TRUE(QFileInfo::exists(picture)) << "and the file survives the clean-up";
}

TEST(CreatorWindowInsertion, AChosenScreenIsCopiedInAfterTheShownOneAsOneStep)
{
    SavedDocument f;
    ASSERT_TRUE(f.package);
    const auto flow = f.document->firstFlowmodel();
    for (int i = 0; i < 2; ++i)
        flow->addFlowScreen(ZERI_FlowScreenModel::create());
    auto window = f.openWindow();
    QTemporaryDir logFolder;
    QVRActionLog log(logFolder.filePath(QStringLiteral("log.json")), [](const QByteArray&, auto) {});
    QVRActionLog::setSharedForTesting(&log);

    // The chosen screen belongs to another document (a theme's), with two objects and a picture on disk.
    QTemporaryDir themeFolder;
    const QString themePicture = themeFolder.filePath(QStringLiteral("theme.png"));
    {
        QFile file(themePicture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("theme picture");
    }
    auto theme = ZERI_TessarineModel::create();
    theme->setDontSave(true);
    auto chosen = ZERI_FlowScreenModel::create();
    theme->firstFlowmodel()->addFlowScreen(chosen);
    auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(themePicture));
    picture->object()->setOriginalImageAsset(asset);
    chosen->addMixedMediaObject(picture);
    chosen->addMixedMediaObject(ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text));

    const QString shownID = flow->screenModels()[1]->internalID();
    window->setCurrentIndex(1);
    QWidget chooser(window); // a widget of this window, as the chooser's view is
    auto post = [&](const void* sender, const QVariant& screen) {
        NotificationCenter::defaultCenter().post(QVR_CreatorWindow::kNewScreenInsertionNotification, sender,
                                                 {{QStringLiteral("screenModel"), screen}});
    };
    const QVariant chosenRef = QVariant::fromValue(ModelItemRef(chosen));

    // Ignored: a sender outside this window, a value that is no screen, no value.
    QWidget elsewhere;
    post(&elsewhere, chosenRef);
    post(&chooser, QVariant::fromValue(ModelItemRef(picture->object())));
    post(&chooser, QVariant());
    EXPECT_EQ(flow->screenModels().size(), 3u);
    EXPECT_FALSE(flow->currentUndoableAction()) << "no change left open";
    EXPECT_EQ(flow->undoManager().undoCount(), 0);

    post(&chooser, chosenRef);
    ASSERT_EQ(flow->screenModels().size(), 4u);
    EXPECT_EQ(flow->undoManager().undoCount(), 1);
    const auto copy = flow->screenModels()[2];
    EXPECT_NE(copy, chosen);
    EXPECT_NE(copy->internalID(), chosen->internalID());
    EXPECT_EQ(copy->mixedMediaObjects().size(), 2u);
    EXPECT_EQ(window->currentIndex(), 2);
    EXPECT_EQ(window->artboards().size(), 4u);
    // The copy's picture is a file of this document's package, the same content as the theme's.
    const QString copiedFile = copy->getAllContentAssets().front()->localFilePath();
    EXPECT_TRUE(copiedFile.startsWith(f.package->assetsPath())) << copiedFile.toStdString();
    QFile copied(copiedFile);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("theme picture"));

    ASSERT_FALSE(log.backlog().isEmpty());
    const QJsonObject event = log.backlog().last().toObject();
    EXPECT_EQ(event.value("name").toString(), "Added Screen");
    EXPECT_EQ(event.value("parameters").toObject().value("Type").toString(), "Non-Theme:Preformatted");
    EXPECT_EQ(event.value("parameters").toObject().value("ScreenID").toString(), copy->internalID());

    window->setCurrentIndex(0);
    ASSERT_TRUE(flow->undoManager().undo());
    EXPECT_EQ(flow->screenModels().size(), 3u);
    EXPECT_EQ(window->artboards().size(), 3u);
    EXPECT_EQ(window->theArtBoard()->screenModel()->internalID(), shownID) << "back to the screen shown before";
    QVRActionLog::setSharedForTesting(nullptr);
}

TEST(CreatorWindowShareLink, ShowsOnlyOnceAPublishedVersionExistsByAliasOrAddress)
{
    SavedDocument f;
    ASSERT_TRUE(f.package);
    f.document->setStringID(QStringLiteral("abc123"));
    auto window = f.openWindow();
    QLineEdit* link = window->theToolBarView()->urlField();
    // An id alone is no published document.
    EXPECT_EQ(link->text(), QString());

    // The published version comes: its address shows.
    ASSERT_TRUE(f.package->savePublishedModelFromJSON(f.document->jsonData()));
    QApplication::processEvents();
    EXPECT_EQ(link->text(),
              f.document->publishURL()->remove(QStringLiteral("https://")).remove(QStringLiteral("http://")));
    EXPECT_FALSE(link->text().isEmpty());

    // With an alias, the short link by alias; a new id shows at once.
    f.document->setAlias(QStringLiteral("my-talk"));
    f.document->setStringID(QStringLiteral("def456"));
    f.document->updateNotifier().sendUpdateNotificationsIfNeeded();
    QApplication::processEvents();
    EXPECT_EQ(link->text(),
              QString(QVROpenRequest::shortLinkBase() + QStringLiteral("my-talk")).remove(QStringLiteral("http://")));
}
