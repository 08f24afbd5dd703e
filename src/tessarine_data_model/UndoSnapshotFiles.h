#pragma once

#include <memory>

#include <QStringList>

class TessarineDataModelItem;

// Keeps the asset files an undo snapshot refers to alive until the snapshot is restored or dropped. The storage
// layer registers the real counting; until then nothing is counted.
class UndoSnapshotFiles {
public:
    virtual ~UndoSnapshotFiles() = default;

    // Raises the count of every on-disk file of the item's assets; returns what to release later.
    virtual QStringList retainFilesOfItem(const TessarineDataModelItem& item) = 0;
    virtual void releaseFiles(const QStringList& paths) = 0;

    // nullptr restores the default (no counting).
    static void registerHandler(std::shared_ptr<UndoSnapshotFiles> handler);
    static bool isRegistered();
    static QStringList retain(const TessarineDataModelItem& item);
    static void release(const QStringList& paths);
};
