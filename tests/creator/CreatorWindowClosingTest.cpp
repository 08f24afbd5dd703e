#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "platform/AppPaths.h"
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
    QTest::qWait(10);
    EXPECT_FALSE(QFileInfo::exists(laterStray)) << "the last window cleans the package";
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
    QTest::qWait(10);
    EXPECT_TRUE(QFileInfo::exists(picture)) << "the file of the unsaved edit survives the clean-up";
    EXPECT_TRUE(f.draft().contains("new-picture.png")) << "and the draft written on closing names it";
}
