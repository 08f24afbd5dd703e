#include "storage/PackagePreviewPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include "storage/PackageFileGuard.h"
#include "storage/ZERI_qvdFilePackage.h"

QString PackagePreviewPicture::preparePath(ZERI_qvdFilePackage& package)
{
    const QString folder = package.assetsPath();
    if (!PackageFileGuard::prepareFolder(folder) || !QDir().mkpath(folder))
        return QString();
    return QDir(folder).filePath(QLatin1String(kFilePrefix) + QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                 QStringLiteral(".jpg"));
}

bool PackagePreviewPicture::write(const QString& path, const QByteArray& jpeg)
{
    return !path.isEmpty() && !jpeg.isEmpty() && PackageFileGuard::writeFileInPreparedFolder(path, jpeg);
}

void PackagePreviewPicture::adopt(ZERI_qvdFilePackage& package, const QString& path)
{
    ZERI_qvdFilePackageMetadata& metadata = package.metaData();
    const QString old = metadata.previewScreenshotFilePath();
    metadata.setPreviewScreenshotFilePath(path);
    package.saveMetadata();
    // The earlier path comes from the package's metadata, which may name any file: only a picture of this
    // package goes.
    if (!old.isEmpty() && old != path && QFileInfo(old).fileName().startsWith(QLatin1String(kFilePrefix)))
        PackageFileGuard::removeFile(package, old);
}
