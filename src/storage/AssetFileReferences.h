#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class TessarineDataModelItem;

// Reference counts of asset files held by something other than the document's live assets: an undo snapshot
// raises the count of every file its item uses when the change opens and releases them when its undo step is
// discarded, so a file that an undo could bring back is never deleted under it. Screen previews are the exception:
// an undo never needs an earlier preview's file (a screen whose preview file is gone draws it anew), so snapshots
// do not hold them and a replaced preview leaves the folder as soon as the draft names its successor.
//
// A deletion requested while a count holds the file is deferred: when the last count is released the file is
// deleted, unless the requester's check then says the document uses the file again (the undo restored it).
//
// Keyed by absolute clean path. Thread-safe; deferred deletions run on the thread that releases the last count
// (the main thread for undo).
class AssetFileReferences {
public:
    static void retainFile(const QString& path);
    static void releaseFile(const QString& path);
    static int referenceCount(const QString& path);

    // Raises the count of each local file of the item's content assets that is on disk, and returns those paths
    // for the matching releaseFiles().
    static QStringList retainFilesOfItem(const TessarineDataModelItem& item);
    // The same for an undo snapshot of the item: every file but its screens' preview pictures.
    static QStringList retainFilesOfSnapshot(const TessarineDataModelItem& item);
    static void releaseFiles(const QStringList& paths);

    // Deletes the file now when no count holds it (true), else defers the deletion (false). `stillUsed`, called on
    // the releasing thread when the deferred deletion comes due, keeps the file when it answers true.
    static bool deleteWhenUnreferenced(const QString& path, std::function<bool()> stillUsed);
    static bool hasDeferredDeletion(const QString& path);
};
