#include "tessarine_data_model/fuzz/PackageFuzzTarget.h"

#include <functional>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include "platform/AppPaths.h"
#include "storage/PackagePreviewPicture.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace tessfuzz {

namespace {

const QString kPackageID = QStringLiteral("FUZZ-PACKAGE");

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
}

// Every entry under the folder, links not followed: its kind, its link target or its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray content;
        if (info.isSymLink()) {
            content = "link:" + info.symLinkTarget().toUtf8();
        } else if (info.isDir()) {
            content = "folder";
        } else {
            QFile file(path);
            content = file.open(QIODevice::ReadOnly) ? "file:" + file.readAll() : "unreadable";
        }
        entries.insert(path, content);
    }
    return entries;
}

// Lets queued work (a download's reply, its landing on a worker) run until `done` holds or five seconds pass.
void runEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::yieldCurrentThread();
    }
}

// What My Documents does with the packages it finds, none of them opened: the scan, each tile's picture drawn
// (here a fixed one) and made the package's, and a picture fetched into the package's assets folder (from a local
// file: the tile's web address takes the same way into the folder).
void showInMyDocuments(const QString& pictureSource)
{
    ZERI_qvdFilePackage::damagedPackageFolders();
    for (const auto& package : ZERI_qvdFilePackage::packagesForType(~0)) {
        const QString picture = PackagePreviewPicture::preparePath(*package);
        if (!picture.isEmpty() && PackagePreviewPicture::write(picture, QByteArray("\xFF\xD8 a picture \xFF\xD9")))
            PackagePreviewPicture::adopt(*package, picture);
        const auto downloader =
            ZERI_WebDownloader::downloaderForUrl(QUrl::fromLocalFile(pictureSource), package->assetsPath());
        downloader->downloadAndCache();
        runEventsUntil([&] { return downloader->downloadStatus() != ZERI_WebDownloader::Downloading; });
        downloader->cancel(); // a machine too busy to land it in time: nothing more of it may arrive
    }
}

// The document as written, read again and written again: the two texts must be the same.
bool writesTheSameAfterReadingBack(const ZERI_TessarineModel& document)
{
    const QByteArray written = document.jsonData();
    const auto again = ZERI_TessarineModel::initWithJsonData(written);
    return again && again->jsonData() == written;
}

} // namespace

bool openAndCleanPackage(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<QByteArray> parts;
    for (qsizetype from = 0;;) {
        const qsizetype at = input.indexOf("\n----\n", from);
        parts.append(input.mid(from, at < 0 ? -1 : at - from));
        if (at < 0)
            break;
        from = at + 6;
    }
    if (parts.size() < 2)
        return true;
    const QByteArray plan = parts.value(0).left(64);

    QTemporaryDir root;
    if (!root.isValid())
        return true;
    const QString outside = root.filePath(QStringLiteral("users-folder"));
    const QString packages = root.filePath(QStringLiteral("tessarines"));
    const QString package = packages + QLatin1Char('/') + kPackageID;
    QDir().mkpath(outside);
    QDir().mkpath(packages);
    // The package folder is made in the user's folder when it is to be a link to it.
    const QString packageFolder = plan.contains('g') ? outside + QStringLiteral("/package") : package;
    QDir().mkpath(packageFolder + QStringLiteral("/assets"));
    QDir().mkpath(packageFolder + QStringLiteral("/published_assets"));
    if (plan.contains('g'))
        QFile::link(packageFolder, package);

    const auto document = [&](int index) {
        return QByteArray(parts.value(index)).replace("@PKG@", package.toUtf8()).replace("@OUT@", outside.toUtf8());
    };
    const QByteArray draft = document(1);
    writeFile(packageFolder + QStringLiteral("/docfile.qvd"), draft);
    if (parts.size() > 2 && !parts.value(2).isEmpty())
        writeFile(packageFolder + QStringLiteral("/docfile_published.qvd"), document(2));
    writeFile(packageFolder + QStringLiteral("/metadata.json"),
              parts.size() > 3 && !parts.value(3).isEmpty() ? document(3) : QByteArray("{}"));

    // The user's files: some of the names the package uses, and others.
    const QStringList users{QStringLiteral("notes.txt"),
                            QStringLiteral("own.png"),
                            QStringLiteral("docfile.qvd"),
                            QStringLiteral("metadata.json"),
                            QStringLiteral("docfile_published.qvd"),
                            QStringLiteral("tile-preview-old.jpg")};
    for (const QString& name : users)
        writeFile(outside + QLatin1Char('/') + name, "the user's " + name.toUtf8());
    QStringList assetNames;
    for (const QByteArray& line : parts.value(4).split('\n')) {
        const QString name = QFileInfo(QString::fromUtf8(line.trimmed())).fileName();
        if (!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && assetNames.size() < 8)
            assetNames << name;
    }

    bool dangling = false;
    const auto linkTo = [&](const QString& target, const QString& link) {
        QFileInfo info(link);
        if (info.isDir() && !info.isSymLink())
            QDir(link).removeRecursively();
        else
            QFile::remove(link);
        QFile::link(dangling ? target + QStringLiteral(".nowhere") : target, link);
    };
    for (const char step : plan) {
        switch (step) {
        case 'x':
            dangling = true;
            break;
        case 'a':
            linkTo(outside, packageFolder + QStringLiteral("/assets"));
            break;
        case 'p':
            linkTo(outside, packageFolder + QStringLiteral("/published_assets"));
            break;
        case 'A':
            linkTo(QStringLiteral("published_assets"), packageFolder + QStringLiteral("/assets"));
            break;
        case 'P':
            linkTo(QStringLiteral("assets"), packageFolder + QStringLiteral("/published_assets"));
            break;
        case 'l':
            linkTo(QStringLiteral("assets"), packageFolder + QStringLiteral("/assets"));
            break;
        case 'd':
            linkTo(outside + QStringLiteral("/docfile.qvd"), packageFolder + QStringLiteral("/docfile.qvd"));
            break;
        case 'u':
            linkTo(outside + QStringLiteral("/docfile_published.qvd"),
                   packageFolder + QStringLiteral("/docfile_published.qvd"));
            break;
        case 'm':
            linkTo(outside + QStringLiteral("/metadata.json"), packageFolder + QStringLiteral("/metadata.json"));
            break;
        default:
            break;
        }
    }
    const QString assets = packageFolder + QStringLiteral("/assets");
    for (const QString& name : assetNames) {
        if (plan.contains('f')) {
            writeFile(outside + QLatin1Char('/') + name, "the user's " + name.toUtf8());
            if (QFileInfo(assets).isDir())
                QFile::link(outside + QLatin1Char('/') + name, assets + QLatin1Char('/') + name);
        } else if (QFileInfo(assets).isDir() && !QFileInfo(assets).isSymLink()) {
            writeFile(assets + QLatin1Char('/') + name, "the package's " + name.toUtf8());
        }
    }

    const QMap<QString, QByteArray> before = snapshot(outside);
    AppPaths::setApplicationSupportForTesting(root.filePath(QStringLiteral("support")));
    AppPaths::setTemporaryForTesting(root.filePath(QStringLiteral("temporary")));
    ZERI_qvdFilePackage::setPackagesFolder(packages);
    const QString pictureSource = root.filePath(QStringLiteral("picture.png"));
    writeFile(pictureSource, "a picture from elsewhere");
    bool roundTrips = true;
    {
        showInMyDocuments(pictureSource);
        ZERI_qvdFilePackage::resetForTesting();
        // As the creator opens a package: load, clean, look at the published copy; then what the plan asks.
        const auto opened = ZERI_qvdFilePackage::packageForID(kPackageID);
        if (opened && opened->loadModel()) {
            roundTrips = writesTheSameAfterReadingBack(*opened->model());
            opened->cleanDirectories();
            opened->loadPublishedModel();
            for (const char step : plan) {
                switch (step) {
                case 'U':
                    opened->deletePublishedData();
                    break;
                case 'S':
                    opened->savePublishedModelFromJSON(opened->model()->jsonData());
                    break;
                case 'D':
                    if (const auto copy = ZERI_qvdFilePackage::getTessarineModelCopy(opened->model()))
                        copy->setDontSave(true);
                    break;
                default:
                    break;
                }
            }
            opened->cleanDirectories();
            opened->unloadModel();
            if (plan.contains('X'))
                opened->deletePackage();
        }
    }
    ZERI_qvdFilePackage::setPackagesFolder(QString());
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
    return roundTrips && snapshot(outside) == before;
}

} // namespace tessfuzz
