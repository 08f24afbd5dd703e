#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "platform/Error.h"

class ZERI_ContentAsset;
class ZERI_TessarineModel;

// What the model asks of the package (folder on disk) that holds a document. The storage layer implements it
// and registers how a package is made for a document that has none; a document without a package has no asset
// folder. The document holds its package weakly (the storage layer keeps its packages).
class DocumentFilePackage {
public:
    using Maker =
        std::function<std::shared_ptr<DocumentFilePackage>(const std::shared_ptr<ZERI_TessarineModel>&, Error*)>;

    // Codes of the "com.tessarine.filepackage" errors the model itself reports.
    enum SaveError { CannotSave = 2, NoPackageStore = 3, SavingSwitchedOff = 4 };

    virtual ~DocumentFilePackage() = default;

    // The package's document id (the folder name); a document opened with a package takes it.
    virtual QString packageID() const = 0;
    // Folder of the draft's asset files.
    virtual QString assetStoragePath() const = 0;
    // Folder of the published copy's asset files (used for publish previews).
    virtual QString publishedAssetStoragePath() const = 0;
    // User name of the package's owner; empty when unknown.
    virtual QString ownerUserName() const { return {}; }
    // Makes `document` the package's model and writes it as the draft, atomically. The default cannot save.
    virtual bool saveDocument(const std::shared_ptr<ZERI_TessarineModel>& document, Error* error);
    // The document's scheduled save: as saveDocument, except that a package may take the document's state now and
    // leave the writing to a background writer (isWritingDraft() until the draft is on disk). False, with `error`,
    // only when the save cannot even start; a later write failure is the package's to log. The default saves at
    // once.
    virtual bool saveDocumentSoon(const std::shared_ptr<ZERI_TessarineModel>& document, Error* error)
    {
        return saveDocument(document, error);
    }
    // True while a draft handed over by saveDocumentSoon() is not on disk yet.
    virtual bool isWritingDraft() const { return false; }
    // A screen of the saving document took another preview picture (a new one was drawn, an undo restored an
    // earlier one): `old`, still in its screen, is the one it let go. Its file is the package's to remove once
    // nothing names it. The default keeps everything.
    virtual void screenPreviewReplaced(const ZERI_ContentAsset& old) { (void)old; }

    // How a package is made for a document saved for the first time; nullptr restores the default (none). The
    // maker keeps the package it makes (documents hold theirs weakly, and a package holds its document).
    static void registerMaker(Maker maker);
    static bool isRegistered();
    static std::shared_ptr<DocumentFilePackage> makeForDocument(const std::shared_ptr<ZERI_TessarineModel>& document,
                                                                Error* error);
};
