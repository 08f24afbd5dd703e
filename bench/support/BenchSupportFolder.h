#pragma once

#include <QString>

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
