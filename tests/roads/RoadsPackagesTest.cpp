#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "foundation/Tessutils.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/QVRTessarineTileGridItemView.h"
#include "library/lists/TilePreviews.h"
#include "platform/Json.h"
#include "roads/RoadsSignedInService.h"
#include "roads/RoadsTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace roads;

namespace {

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A package as someone could leave it in the documents folder by hand: a readable draft and metadata, and an
// "assets" that is a relative link to `linkedFolder`.
bool placePackage(const QString& id, const QString& title, const QJsonObject& metadata, const QString& linkedFolder)
{
    const QString folder = ZERI_qvdFilePackage::tessarinesFolder() + QLatin1Char('/') + id;
    if (!QDir().mkpath(folder + QStringLiteral("/published_assets")))
        return false;
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    document->setInternalID(id);
    document->firstFlowmodel()->setTitle(title);
    document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    QJsonObject meta = metadata;
    meta.insert(QStringLiteral("tessarineName"), title);
    meta.insert(QStringLiteral("packageType"), ZERI_qvdFilePackage::OwnDocument);
    return writeFile(folder + QStringLiteral("/docfile.qvd"), document->jsonData()) &&
           writeFile(folder + QStringLiteral("/metadata.json"), Json::write(meta)) &&
           QFile::link(QDir(folder).relativeFilePath(linkedFolder), folder + QStringLiteral("/assets"));
}

QVRMyTessarinesViewController* shownMyDocuments()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        if (auto* grid = top->findChild<QVRMyTessarinesViewController*>(); grid && grid->isVisible())
            return grid;
    }
    return nullptr;
}

} // namespace

// Packages left in the documents folder whose "assets" leads to a folder of the user's (in the wild the desktop's
// autostart folder, where a ".desktop" file runs at the next log-in; here a folder of the test's own): one names
// a preview address ending in ".desktop", served by the service; the other an earlier picture outside the
// package. Showing My Documents, without opening either, fetches and draws their pictures inside the packages:
// nothing appears in the user's folder, and nothing of it is deleted.
TEST(PackagesRoad, MyDocumentsWritesNothingThroughALinkedAssetsFolder)
{
    FakeWebService* service = signedInService();
    ASSERT_TRUE(service);
    QTemporaryDir users;
    ASSERT_TRUE(users.isValid());
    const QString autostart = users.filePath(QStringLiteral("autostart"));
    ASSERT_TRUE(QDir().mkpath(autostart));
    const QString foreignPicture = users.filePath(QStringLiteral("tile-preview-kept.jpg"));
    ASSERT_TRUE(writeFile(foreignPicture, "the user's own file"));
    {
        QFile old(foreignPicture);
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        old.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
    }
    const QUrl launcher = service->addContent(QStringLiteral("LAUNCHER"), "[Desktop Entry]\nExec=sh -c true\n",
                                              QStringLiteral("launcher.desktop"));
    const QString fetchedID = QStringLiteral("ROAD-LINKED-ADDRESS");
    const QString drawnID = QStringLiteral("ROAD-LINKED-PICTURE");
    ASSERT_TRUE(placePackage(fetchedID, QStringLiteral("Linked address"),
                             {{QStringLiteral("previewScreenshotURLString"), launcher.toString()}}, autostart));
    ASSERT_TRUE(placePackage(drawnID, QStringLiteral("Linked picture"),
                             {{QStringLiteral("previewScreenshotFilePath"), foreignPicture}}, autostart));

    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    ZERI_qvdFilePackage::rescan(); // what the start-up's first scan finds; this process may have scanned before
    QVRMyTessarinesViewController* grid = nullptr;
    ASSERT_TRUE(waitFor([&] { return (grid = shownMyDocuments()) && grid->tileViews().size() >= 3; }));
    ASSERT_TRUE(waitFor([&] { return service->contentRequestCount(QStringLiteral("/content/LAUNCHER")) >= 1; }));
    const auto pictureOf = [](const QString& id) {
        const auto package = ZERI_qvdFilePackage::packageForID(id);
        return package ? package->metaData().previewScreenshotFilePath() : QString();
    };
    const QString fetchedAssets =
        ZERI_qvdFilePackage::tessarinesFolder() + QLatin1Char('/') + fetchedID + QStringLiteral("/assets");
    const QRegularExpression fetchedName(QStringLiteral("^[0-9a-f]{40}"));
    ASSERT_TRUE(waitFor([&] {
        const QStringList landed = QDir(autostart).entryList(QDir::Files) + QDir(fetchedAssets).entryList(QDir::Files);
        return TilePreviews::pendingCount() == 0 && QFileInfo::exists(pictureOf(fetchedID)) &&
               pictureOf(drawnID) != foreignPicture && QFileInfo::exists(pictureOf(drawnID)) &&
               !landed.filter(fetchedName).isEmpty();
    }));

    EXPECT_EQ(QDir(autostart)
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                  .join(QLatin1Char(' '))
                  .toStdString(),
              "");
    EXPECT_TRUE(QFileInfo(foreignPicture).isFile()) << "a file outside the package was deleted";
    for (const QString& id : {fetchedID, drawnID}) {
        const QFileInfo assets(ZERI_qvdFilePackage::tessarinesFolder() + QLatin1Char('/') + id +
                               QStringLiteral("/assets"));
        EXPECT_TRUE(assets.isDir() && !assets.isSymLink()) << id.toStdString();
        EXPECT_TRUE(pictureOf(id).startsWith(assets.filePath())) << pictureOf(id).toStdString();
        for (const QString& name : QDir(assets.filePath()).entryList(QDir::Files))
            EXPECT_FALSE(name.endsWith(QLatin1String(".desktop"))) << name.toStdString();
    }
}

// A folder left in the documents folder under the id one of the user's server documents carries (a package never
// finished, which the scan skips): My Documents, filled from the service at start-up, shows the document in a
// package of its own, and the folder is left as it was.
TEST(PackagesRoad, MyDocumentsShowsAServerDocumentWhoseIdNamesALeftoverFolder)
{
    const QString documentID = QStringLiteral("C0FFEE00-DDDD-EEEE-FFFF-444455556666");
    const QDir leftover(QDir(ZERI_qvdFilePackage::tessarinesFolder()).filePath(documentID));
    const struct RemovedAfterwards {
        QDir folder;
        ~RemovedAfterwards() { folder.removeRecursively(); }
    } removed{leftover};
    // The folder and the server's document are there before Ann signs in, as after an earlier session.
    FakeWebService::Document stored;
    FakeWebService* service = startedService([&](FakeWebService& fake) {
        if (!QDir().mkpath(leftover.path()) ||
            !writeFile(leftover.filePath(QStringLiteral("docfile.qvd.part")), "{\"tessarine\":"))
            return;
        auto document = ZERI_TessarineModel::create();
        document->setDontSave(true);
        document->setInternalID(documentID);
        document->firstFlowmodel()->setTitle(QStringLiteral("Synced past a leftover"));
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
        FakeWebService::Document record;
        record.owner = QStringLiteral("ann");
        record.title = QStringLiteral("Synced past a leftover");
        record.documentJson = QString::fromUtf8(document->jsonData());
        fake.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        stored = fake.addDocument(record);
        Tessutils::setCorvikAuthToken(QStringLiteral("TOKEN-ann"));
    });
    ASSERT_TRUE(service);
    ASSERT_FALSE(stored.stringID.isEmpty()) << "the leftover folder could not be made";

    application();
    ASSERT_TRUE(leaveFirstLaunchTour());
    QVRMyTessarinesViewController* grid = nullptr;
    const auto shownTitles = [&] {
        QStringList titles;
        if (!(grid = shownMyDocuments()))
            return titles;
        for (QWidget* tile : grid->tileViews()) {
            if (auto* view = qobject_cast<QVRTessarineTileGridItemView*>(tile))
                titles.append(view->titleLabel()->text());
        }
        return titles;
    };
    EXPECT_TRUE(waitFor([&] { return shownTitles().contains(QStringLiteral("Synced past a leftover")); }))
        << shownTitles().join(u',').toStdString();
    const auto package = ZERI_qvdFilePackage::packageForStringID(stored.stringID);
    ASSERT_TRUE(package) << "the document did not arrive";
    EXPECT_NE(package->path(), leftover.path());
    EXPECT_EQ(leftover.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"docfile.qvd.part"});
    QFile half(leftover.filePath(QStringLiteral("docfile.qvd.part")));
    ASSERT_TRUE(half.open(QIODevice::ReadOnly));
    EXPECT_EQ(half.readAll(), QByteArray("{\"tessarine\":"));
}
