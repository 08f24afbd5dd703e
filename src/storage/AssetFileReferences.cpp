#include "storage/AssetFileReferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include "storage/StorageLogging.h"
#include "tessarine_data_model/TessarineDataModelItem.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"

namespace {

struct Registry {
    QMutex mutex;
    QHash<QString, int> counts;
    QHash<QString, std::function<bool()>> deferred;
};

Registry& registry()
{
    // Never destroyed: imports still queued on the shared workers finish while the process exits, after static
    // objects are gone, and they count their files here.
    static Registry* const instance = new Registry;
    return *instance;
}

QString key(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void removeFile(const QString& path)
{
    if (QFileInfo::exists(path) && !QFile::remove(path))
        qCWarning(lcStorage) << "cannot delete asset file" << path;
}

} // namespace

void AssetFileReferences::retainFile(const QString& path)
{
    if (path.isEmpty())
        return;
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    ++r.counts[key(path)];
}

void AssetFileReferences::releaseFile(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString k = key(path);
    std::function<bool()> stillUsed;
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        auto it = r.counts.find(k);
        if (it == r.counts.end()) {
            qCWarning(lcStorage) << "asset file released more often than retained" << k;
            return;
        }
        if (--it.value() > 0)
            return;
        r.counts.erase(it);
        stillUsed = r.deferred.take(k);
    }
    // The check and the deletion run without the lock: the check walks a document.
    if (stillUsed && !stillUsed())
        removeFile(k);
}

int AssetFileReferences::referenceCount(const QString& path)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return r.counts.value(key(path));
}

namespace {

bool isScreenPreview(const ZERI_ContentAsset& asset)
{
    const auto screen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(asset.parent());
    return screen && (screen->previewScreenShotAsset().get() == &asset ||
                      screen->previewScreenShotAsset_textless().get() == &asset);
}

QStringList retainFiles(const TessarineDataModelItem& item, bool previews)
{
    QStringList paths;
    auto assets = item.getAllContentAssets();
    if (auto asset = dynamic_cast<const ZERI_ContentAsset*>(&item); asset && (previews || !isScreenPreview(*asset)))
        paths.append(asset->localFilePath());
    for (const auto& asset : assets) {
        if (previews || !isScreenPreview(*asset))
            paths.append(asset->localFilePath());
    }
    QStringList retained;
    for (const QString& path : paths) {
        if (!path.isEmpty() && QFileInfo(path).isFile()) {
            AssetFileReferences::retainFile(path);
            retained.append(path);
        }
    }
    return retained;
}

} // namespace

QStringList AssetFileReferences::retainFilesOfItem(const TessarineDataModelItem& item)
{
    return retainFiles(item, true);
}

QStringList AssetFileReferences::retainFilesOfSnapshot(const TessarineDataModelItem& item)
{
    return retainFiles(item, false);
}

void AssetFileReferences::releaseFiles(const QStringList& paths)
{
    for (const QString& path : paths)
        releaseFile(path);
}

bool AssetFileReferences::deleteWhenUnreferenced(const QString& path, std::function<bool()> stillUsed)
{
    const QString k = key(path);
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        if (r.counts.value(k) > 0) {
            r.deferred.insert(
                k, stillUsed ? std::move(stillUsed) : [] { return false; });
            return false;
        }
        r.deferred.remove(k);
    }
    removeFile(k);
    return true;
}

bool AssetFileReferences::hasDeferredDeletion(const QString& path)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return r.deferred.contains(key(path));
}
