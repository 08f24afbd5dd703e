#pragma once

#include <memory>

#include <QDebug>
#include <QString>

#include "support/BenchPicturedDocument.h"

#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"

// Points the application's support folder at a folder of the benchmark's own and makes documents store their
// packages there, with the package registry started afresh.
inline void storePackagesUnder(const QString& supportFolder)
{
    AppPaths::setApplicationSupportForTesting(supportFolder);
    ZERI_qvdFilePackage::resetForTesting();
    ZERI_qvdFilePackage::registerWithDocumentModel();
}

// makePicturedDocument()'s document saved into a package of its own in the support folder.
inline std::shared_ptr<ZERI_TessarineModel> savedPicturedDocument(const QString& picturesFolder, int screens)
{
    auto document = makePicturedDocument(picturesFolder, screens);
    Error error;
    if (!ZERI_qvdFilePackage::saveModelToFile(document, &error))
        qWarning() << "cannot save the document:" << error.message;
    return document;
}
