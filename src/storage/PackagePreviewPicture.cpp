#include "storage/PackagePreviewPicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "storage/AssetFileReferences.h"
#include "storage/PackageFileGuard.h"
#include "storage/ZERI_qvdFilePackage.h"

QString PackagePreviewPicture::preparePath(ZERI_qvdFilePackage& package)
{
    const QString folder = package.assetsPath();
    if (!PackageFileGuard::prepareFolder(folder) || !QDir().mkpath(folder))
        return QString();
    const QString path = QDir(folder).filePath(
        QLatin1String(kFilePrefix) + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".jpg"));
    AssetFileReferences::retainFile(path);
    return path;
}

bool PackagePreviewPicture::write(const QString& path, const QByteArray& jpeg)
{
    return !path.isEmpty() && !jpeg.isEmpty() && PackageFileGuard::writeFileInPreparedFolder(path, jpeg);
}

bool PackagePreviewPicture::adopt(ZERI_qvdFilePackage& package, const QString& path)
{
    AssetFileReferences::releaseFile(path);
    if (!QFileInfo(path).isFile())
        return false;
    ZERI_qvdFilePackageMetadata& metadata = package.metaData();
    const QString old = metadata.previewScreenshotFilePath();
    metadata.setPreviewScreenshotFilePath(path);
    // Written by the package's writer, the earlier picture deleted after it: the file writes wait for the disk,
    // and this runs on the main thread. Only an earlier picture of this package goes.
    const bool replaces =
        !old.isEmpty() && old != path && QFileInfo(old).fileName().startsWith(QLatin1String(kFilePrefix));
    package.saveMetadataSoon(replaces ? old : QString());
    return true;
}

void PackagePreviewPicture::abandon(const QString& path)
{
    if (path.isEmpty())
        return;
    AssetFileReferences::releaseFile(path);
    QFile::remove(path);
}
