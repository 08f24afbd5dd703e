#include "tessarine_data_model/UndoSnapshotFiles.h"

#include <QMutex>

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

QStringList UndoSnapshotFiles::retain(const TessarineDataModelItem& item)
{
    const auto handler = currentHandler();
    return handler ? handler->retainFilesOfItem(item) : QStringList();
}

void UndoSnapshotFiles::release(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (const auto handler = currentHandler())
        handler->releaseFiles(paths);
}
