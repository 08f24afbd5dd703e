#pragma once

#include <QString>

// What the model asks of the package (folder on disk) that holds a document. The storage layer implements
// it; a document without a package has no asset folder. The document holds its package weakly.
class DocumentFilePackage {
public:
    virtual ~DocumentFilePackage() = default;

    // The package's document id (the folder name); a document opened with a package takes it.
    virtual QString packageID() const = 0;
    // Folder of the draft's asset files.
    virtual QString assetStoragePath() const = 0;
    // Folder of the published copy's asset files (used for publish previews).
    virtual QString publishedAssetStoragePath() const = 0;
    // User name of the package's owner; empty when unknown.
    virtual QString ownerUserName() const { return {}; }
};
