#include "tessarine_data_model/UndoSnapshotFiles.h"

#include <QMutex>
#include <QSet>

namespace {

QMutex& handlerMutex()
{
    static QMutex mutex;
    return mutex;
}

std::shared_ptr<UndoSnapshotFiles>& registeredHandler()
{
    static std::shared_ptr<UndoSnapshotFiles> handler;
    return handler;
}

std::shared_ptr<UndoSnapshotFiles> currentHandler()
{
    QMutexLocker lock(&handlerMutex());
    return registeredHandler();
}

} // namespace

void UndoSnapshotFiles::registerHandler(std::shared_ptr<UndoSnapshotFiles> handler)
{
    QMutexLocker lock(&handlerMutex());
    registeredHandler() = std::move(handler);
}

bool UndoSnapshotFiles::isRegistered()
{
    return currentHandler() != nullptr;
}

namespace {

// The list the latest snapshot kept. Most steps leave a document's files as they were: their snapshots share
// this one list (and, when some files changed, the strings of those that did not) instead of each holding a copy
// of every path.
struct SharedPaths {
    QMutex mutex;
    QStringList latest;
};

SharedPaths& sharedPaths()
{
    static SharedPaths paths;
    return paths;
}

QStringList shareUnchanged(QStringList paths)
{
    SharedPaths& shared = sharedPaths();
    QMutexLocker lock(&shared.mutex);
    if (paths == shared.latest)
        return shared.latest;
    if (!shared.latest.isEmpty() && !paths.isEmpty()) {
        const QSet<QString> known(shared.latest.cbegin(), shared.latest.cend());
        for (QString& path : paths)
            if (const auto found = known.constFind(path); found != known.constEnd())
                path = *found;
    }
    shared.latest = paths;
    return paths;
}

} // namespace

QStringList UndoSnapshotFiles::retain(const TessarineDataModelItem& item)
{
    const auto handler = currentHandler();
    return handler ? shareUnchanged(handler->retainFilesOfItem(item)) : QStringList();
}

void UndoSnapshotFiles::release(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (const auto handler = currentHandler())
        handler->releaseFiles(paths);
}
